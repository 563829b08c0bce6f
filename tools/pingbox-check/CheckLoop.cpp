#include "CheckLoop.h"

#include "Options.h"
#include "Outcome.h"
#include "platform/linux/ModuleSecretStore.h"
#include "platform/linux/ShellSecretCommand.h"
#include "pop/Credentials.h"
#include "pop/POPErrors.h"
#include "pop/popclient.h"
#include "settings/StoredSettings.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QTextStream>
#include <QtCore/QTimer>

#include <algorithm>

namespace {

int exitCodeOf(int number) {
    switch (number) {
    case popErrUnreachable:
        return exitUnreachable;
    case popErrLoginRefused:
    case popErrUnsendableLogin:
    case popErrNoLoginMethod:
    case popErrApopUserName:
        return exitLoginRefused;
    case popErrSessionEnded:
    case popErrNoAnswer:
        return exitTransient;
    case popErrProtocol:
    case popErrLineTooLong:
    case popErrCommandRefused:
        return exitProtocol;
    case popErrTlsHandshake:
    case popErrTlsCertificate:
    case popErrTlsInjection:
    case popErrTlsRefused:
    case popErrTlsUnavailable:
    case popErrTlsNotOffered:
    case popErrTokenNeedsTls:
        return exitTls;
    default:
        return exitOther;
    }
}

// Beside the program (the build tree), then the installed module folder as
// seen from the program, then where it was installed to.
QStringList keyringModuleFolders() {
    const QString here = QCoreApplication::applicationDirPath();
    return {here, QDir::cleanPath(here + QStringLiteral("/" PINGBOX_MODULE_DIR_FROM_BIN)),
            QStringLiteral(PINGBOX_MODULE_DIR)};
}

} // namespace

int runChecks(const Options& options, const StoredSettings& account) {
    TPOP pop;
    TPOP::Timeouts limits;
    limits.lookupMs = limits.connectMs = limits.tlsMs = limits.replyMs =
        options.timeoutSeconds * 1000;
    limits.quitMs = std::min(limits.quitMs, options.timeoutSeconds * 1000);
    pop.SetTimeouts(limits);
    pop.SetQuitAfterCount(true);
    if (options.caFile)
        pop.SetCaCertificatesFile(*options.caFile);
    pop.SetRemoteHost(account.server);
    pop.SetUserId(account.userName);
    const auto method = options.auth ? options.auth : parseLoginMethod(account.auth);
    if (!method) {
        say(QStringLiteral("%1 - %2 (Auth=%3)")
                .arg(popErrAuthSetting)
                .arg(popErrorDescription(popErrAuthSetting), account.auth));
        return exitUsage;
    }
    pop.SetMethod(*method);

    if (options.verbose)
        pop.OnTrace = [](const QString& line) { say(line); };

    ShellSecretCommand command;
    // Loaded only when the account keeps its password in the keyring.
    ModuleSecretStore keyring(QStringLiteral(PINGBOX_KEYRING_MODULE), keyringModuleFolders());
    mail::Credentials credentials(&command, &keyring);
    const LoginSettings login{account.auth, account.passCommand, account.passwordInKeyring()};
    int remaining = options.checks;
    int result = exitOther;
    bool failed = false;
    QTextStream out(stdout);

    // The password command runs afresh for every check.
    const auto startCheck = [&] {
        credentials.Obtain(login, account.server, account.userName, account.password,
                           [&](const mail::Credentials::Result& r) {
                               if (r.error) {
                                   say(QStringLiteral("%1 - %2 (%3)")
                                           .arg(r.error)
                                           .arg(popErrorDescription(r.error), r.detail));
                                   QCoreApplication::exit(exitNoPassword);
                                   return;
                               }
                               pop.SetPassword(r.secret);
                               pop.Connect();
                           });
    };
    pop.OnStateChanged = [&](std::int16_t state) {
        if (state != popClosed)
            return;
        if (!failed && --remaining > 0) {
            startCheck();
            return;
        }
        QCoreApplication::exit(result);
    };
    pop.OnProtocolStateChanged = [&](std::int16_t state) {
        if (state == popAwaitingLogin)
            pop.Authenticate(pop.UserId(), pop.Password());
    };
    pop.OnRefreshMessageCount = [&](std::int32_t count) {
        out << count << Qt::endl;
        result = exitOk;
        pop.Quit();
    };
    pop.OnError = [&](std::int16_t number, QString& description, std::int32_t, const QString&,
                      const QString&, std::int32_t, bool& cancelDisplay) {
        cancelDisplay = true;
        failed = true;
        result = exitCodeOf(number);
        QString detail;
        if (pop.Errors().Count() > 0)
            detail = QStringLiteral(" (%1)").arg(pop.Errors().Description(pop.Errors().Count()));
        say(QStringLiteral("%1 - %2%3").arg(number).arg(description, detail));
        pop.Quit();
    };

    // From inside the loop: a command's answer may come at once.
    QTimer::singleShot(0, &pop, startCheck);
    return QCoreApplication::exec();
}
