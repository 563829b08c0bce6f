#pragma once

#include "platform/MediaPlayer.h"

#include <QtCore/QByteArray>
#include <QtCore/QStringList>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

// The media player on Qt Multimedia. Opening never runs the event loop: it
// is called in the middle of the new-mail alert, where a timer tick or a tray
// command taken in would start a second check and a second alert. It checks
// at once that the file exists, can be read and starts like one of the media
// kinds a player knows (wave, AU, AVI, MIDI, RMI, Ogg, FLAC, MP3); a missing,
// foreign or empty file is reported as a failure to open. Loading and
// decoding happen in the background once Play is called.
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

    // Whether the first bytes of a file are those of a known media kind.
    static bool looksLikeMedia(const QByteArray& head);

    // Whether the last playing reached its end (for tests).
    bool ReachedEnd() const;
    // Waits until the current playing ends or fails; false on time-out.
    bool WaitForEnd(int timeoutMs);

private:
    QMediaPlayer& player();

    QString fileName_;
    QString openPath_;
    QStringList searchFolders_;
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
    bool open_ = false;
};
