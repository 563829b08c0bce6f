#pragma once

#include "notify/NewMailAlert.h"

#include <QtCore/QStringList>

// A host of the new-mail alert that keeps what it is told and records the
// waits and the end of the connection.
class FakeAlertHost : public AlertHost {
public:
    QString ServerText() const override { return server; }
    QString SoundFileText() const override { return soundFile; }
    QString ViewerText() const override { return viewer; }

    void HideConfiguration() override { configurationShown = false; }
    void ShowConfiguration() override { configurationShown = true; }
    void SetStatus(const QString& text) override { status = text; }
    void SetMessageCount(const QString& text) override { messageCount = text; }
    void SetTrayHint(const QString& text) override { trayHint = text; }
    void SetTrayAnimated(bool animated) override { trayAnimated = animated; }
    void SetCheckTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void QuitConnection() override { calls << QStringLiteral("Quit"); }
    void Sleep(int milliseconds) override { calls << QStringLiteral("Sleep %1").arg(milliseconds); }

    QString server, soundFile, viewer;
    QString status, messageCount, trayHint;
    bool configurationShown = true;
    bool trayAnimated = false;
    bool timerEnabled = true;
    QStringList calls; // waits and the end of the connection, in order
};
