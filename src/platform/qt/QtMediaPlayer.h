#pragma once

#include "platform/MediaPlayer.h"

#include <QtCore/QStringList>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

// The media player on Qt Multimedia. Opening waits (in a local event loop,
// at most a few seconds) until the file is loaded or has failed, so that a
// missing, foreign or broken file is reported as a failure to open.
// A relative name is looked for in the working folder first, then in
// searchFolders (by default the program's folder and its ../share/pingbox),
// where the default sound newmail.wav is installed.
class QtMediaPlayer : public MediaPlayer {
public:
    explicit QtMediaPlayer(QStringList searchFolders = defaultSearchFolders());
    static QStringList defaultSearchFolders();
    ~QtMediaPlayer() override;

    void Close() override;
    QString FileName() const override { return fileName_; }
    void SetFileName(const QString& name) override { fileName_ = name; }
    void Open() override;
    void Rewind() override;
    void Play() override;

    // Whether the last playing reached its end (for tests).
    bool ReachedEnd() const;
    // Waits until the current playing ends or fails; false on time-out.
    bool WaitForEnd(int timeoutMs);

private:
    QMediaPlayer& player();

    QString fileName_;
    QStringList searchFolders_;
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
    bool open_ = false;
};
