#pragma once

#include "FakeSecretCommand.h"
#include "FakeSecretStore.h"
#include "mail/MailHost.h"
#include "pop/Credentials.h"

#include <QtCore/QStringList>

#include <functional>

// A host of the check cycle and the connection handlers that keeps what it is
// told and records the windows it is asked to show, in order.
class FakeMailHost : public MailHost {
public:
    QString ServerText() const override { return server; }
    QString UserNameText() const override { return userName; }
    QString PasswordText() const override { return password; }
    QString ShowNetErrorText() const override { return showNetError; }
    LoginSettings Login() const override { return login; }
    mail::Credentials& CheckCredentials() override { return credentials; }
    void ReportCheckError(int number, const QString& detail) override {
        checkErrors << QStringLiteral("%1 %2").arg(number).arg(detail);
    }

    void SetStatus(const QString& text) override { status = text; }
    void SetOKCaption(const QString& text) override { caption = text; }
    void SetConnectionFieldsEnabled(bool enabled) override { fieldsEnabled = enabled; }
    void ShowConfiguration() override { shown << QStringLiteral("configuration"); }
    void SetTrayAnimated(bool animated) override { trayAnimated = animated; }
    void ShowProgressModal() override { modal(QStringLiteral("progress")); }
    void ShowNetDialogModal() override { modal(QStringLiteral("net dialog")); }

    QString server, userName, password, showNetError = QStringLiteral("true");
    LoginSettings login;
    FakeSecretCommand command;
    FakeSecretStore keyring;
    mail::Credentials credentials{&command, &keyring};
    QStringList checkErrors; // "number detail" of each check that could not start
    QString status, caption;
    bool fieldsEnabled = true;
    bool trayAnimated = false;
    QStringList shown;                           // the windows shown, in order
    std::function<void(const QString&)> onModal; // runs inside a modal window

private:
    void modal(const QString& window) {
        shown << window;
        if (onModal)
            onModal(window);
    }
};
