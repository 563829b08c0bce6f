#pragma once

#include "pop/Credentials.h"

#include <QtCore/QString>

// What the check cycle and the connection handlers need of the window that
// hosts the POP client: the working settings, the status line, the OK
// button's caption, the connection fields, and the windows they show.
class MailHost {
public:
    virtual ~MailHost() = default;

    virtual QString ServerText() const = 0;       // ePOPServer
    virtual QString UserNameText() const = 0;     // eUserName
    virtual QString PasswordText() const = 0;     // ePassword, clear text
    virtual QString ShowNetErrorText() const = 0; // "true" or "false"
    virtual LoginSettings Login() const = 0;
    // Obtains each check's password; one per host, alive as long as it.
    virtual mail::Credentials& CheckCredentials() = 0;

    // A check that could not start (no password to be had, a setting that
    // cannot be used): shown like the control's own errors.
    virtual void ReportCheckError(int number, const QString& detail) = 0;

    virtual void SetStatus(const QString& text) = 0; // ConnectStatus
    virtual void SetOKCaption(const QString& caption) = 0;
    virtual void SetConnectionFieldsEnabled(bool enabled) = 0;
    virtual void ShowConfiguration() = 0;
    virtual void SetTrayAnimated(bool animated) = 0;

    virtual void ShowProgressModal() = 0;  // FrmCheck
    virtual void ShowNetDialogModal() = 0; // frmNetDialog
};
