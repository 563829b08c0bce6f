#pragma once

#include <QtCore/QString>

// An invisible media player for sound and media files. Open raises an
// Exception when the file does not exist, is not a media file, or cannot be
// decoded; Play starts in the background and returns at once.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    virtual void Close() = 0;
    virtual QString FileName() const = 0;
    virtual void SetFileName(const QString& name) = 0;
    virtual void Open() = 0;
    virtual void Rewind() = 0;
    virtual void Play() = 0;
};
