#pragma once

#include "platform/Errors.h"
#include "platform/MediaPlayer.h"

#include <QtCore/QSet>
#include <QtCore/QStringList>

// Opens only the file names the test lists as playable; records every call.
class FakeMediaPlayer : public MediaPlayer {
public:
    void Close() override { calls << QStringLiteral("Close"); }
    QString FileName() const override { return fileName; }
    void SetFileName(const QString& name) override {
        calls << QStringLiteral("FileName=%1").arg(name);
        fileName = name;
    }
    void Open() override {
        calls << QStringLiteral("Open");
        if (!playable.contains(fileName))
            throw Exception(QStringLiteral("cannot open %1").arg(fileName));
    }
    void Rewind() override { calls << QStringLiteral("Rewind"); }
    void Play() override { calls << QStringLiteral("Play"); }

    QString fileName;
    QSet<QString> playable;
    QStringList calls;
};
