// pingbox-check: one check of the mailbox from the command line. Prints the
// message count and exits 0, or prints one line on stderr and exits with a
// code that tells the kind of failure.
#include "components/TKelEncryption.h"
#include "mail/POPErrors.h"
#include "mail/popclient.h"
#include "platform/Errors.h"
#include "platform/RandomSource.h"
#include "platform/linux/IniFileStore.h"
#include "platform/linux/ProcessHardening.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTextStream>

#include <cstdio>

namespace {

enum ExitCode {
    exitOk = 0,
    exitOther = 1,
    exitUsage = 2,
    exitUnreachable = 3,
    exitLoginRefused = 4,
    exitTransient = 5,
    exitProtocol = 6,
    exitTls = 7,
};

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
        return exitTls;
    default:
        return exitOther;
    }
}

void say(const QString& line) {
    std::fprintf(stderr, "pingbox-check: %s\n", qUtf8Printable(line));
}

struct Account {
    QString server;
    QString user;
    QString password;
};

// The account as Pingbox keeps it, the password unscrambled.
Account storedAccount() {
    IniFileStore store(IniFileStore::defaultFolder());
    auto settings = store.Open(QStringLiteral("Pingbox"));
    Account account;
    account.server = settings->ReadString(QStringLiteral("Server"), QStringLiteral("Host"), {});
    account.user = settings->ReadString(QStringLiteral("Server"), QStringLiteral("User"), {});
    const QString scrambled =
        settings->ReadString(QStringLiteral("Server"), QStringLiteral("Pass"), {});
    SystemRandom random;
    TKelEncryption encryption(random);
    encryption.SetKey(QStringLiteral("kestrel"));
    encryption.SetAction(TActionType::atDecryption);
    encryption.SetInput(scrambled);
    encryption.Apply();
    account.password = encryption.Output();
    return account;
}

// No exception may cross the event loop: one that escapes a handler ends the
// check with exit code 1 and a line on stderr, never an abort with a core.
class CheckApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            say(QStringLiteral("internal error: %1").arg(exceptionText(e)));
        } catch (...) {
            say(QStringLiteral("internal error"));
        }
        exit(exitOther);
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    keepSecretsOutOfDumps();
    CheckApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pingbox-check"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks the Pingbox mailbox once and prints the number of messages.\n"
                       "Without --server it uses the account stored by Pingbox. The password "
                       "comes from --password-file or the PINGBOX_PASSWORD environment "
                       "variable, never from the command line.\n\n"
                       "The login goes only over TLS (pop3s://, or STLS when the server offers "
                       "it) or to a loopback address; pop3+plain://host lets it go readable "
                       "where the server offers no TLS.\n\n"
                       "Exit codes: 0 count printed, 2 usage or settings, 3 server unreachable, "
                       "4 login refused, 5 transient (server busy, ended the session or "
                       "stopped answering), 6 protocol error, 7 TLS failure, 1 other."));
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("host, host:port, [v6addr]:port, "
                                                   "pop3://host[:port], pop3s://host[:port] or "
                                                   "pop3+plain://host[:port]"),
                                    QStringLiteral("server"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("user name"),
                                  QStringLiteral("name"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"),
                                          QStringLiteral("file whose first line is the password"),
                                          QStringLiteral("file"));
    const QCommandLineOption caFile(
        QStringLiteral("ca-file"),
        QStringLiteral("PEM file of certificate authorities to trust beside the system's"),
        QStringLiteral("file"));
    const QCommandLineOption checks(QStringLiteral("checks"),
                                    QStringLiteral("checks to run one after another in this "
                                                   "process (default 1)"),
                                    QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("seconds to wait for each step (default 20); a whole "
                       "check may take twice as long"),
        QStringLiteral("seconds"), QStringLiteral("20"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("print each state and protocol step"));
    parser.addOptions({server, user, passwordFile, caFile, checks, timeout, verbose});
    // Usage errors name no argument: a password typed in the wrong place
    // would end up in a terminal's or a status bar's log.
    if (!parser.parse(QCoreApplication::arguments())) {
        say(QStringLiteral("unknown option, or an option without its value; see --help"));
        return exitUsage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(exitOk);
    if (!parser.positionalArguments().isEmpty()) {
        say(QStringLiteral("unexpected argument (the password is never given on the command "
                           "line); see --help"));
        return exitUsage;
    }

    bool ok = false;
    const int checkCount = parser.value(checks).toInt(&ok);
    if (!ok || checkCount < 1 || checkCount > 1000) {
        say(QStringLiteral("--checks wants a number from 1 to 1000"));
        return exitUsage;
    }
    const int seconds = parser.value(timeout).toInt(&ok);
    if (!ok || seconds < 1 || seconds > 3600) {
        say(QStringLiteral("--timeout wants a number of seconds from 1 to 3600"));
        return exitUsage;
    }

    Account account;
    if (parser.isSet(server) || parser.isSet(user)) {
        if (!parser.isSet(server) || !parser.isSet(user)) {
            say(QStringLiteral("--server and --user go together"));
            return exitUsage;
        }
        account.server = parser.value(server);
        account.user = parser.value(user);
        if (parser.isSet(passwordFile)) {
            QFile file(parser.value(passwordFile));
            if (!file.open(QIODevice::ReadOnly)) {
                say(QStringLiteral("cannot read the --password-file: %1").arg(file.errorString()));
                return exitUsage;
            }
            QByteArray line = file.readLine(4096);
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            account.password = QString::fromUtf8(line);
        } else if (qEnvironmentVariableIsSet("PINGBOX_PASSWORD")) {
            account.password = qEnvironmentVariable("PINGBOX_PASSWORD");
        } else {
            say(QStringLiteral("no password: use --password-file or PINGBOX_PASSWORD"));
            return exitUsage;
        }
    } else {
        try {
            account = storedAccount();
        } catch (const std::exception& e) {
            say(QStringLiteral("cannot read Pingbox's settings: %1").arg(exceptionText(e)));
            return exitUsage;
        }
        if (account.server.isEmpty() || account.user.isEmpty()) {
            say(QStringLiteral("no account stored in %1; give --server and --user")
                    .arg(IniFileStore(IniFileStore::defaultFolder())
                             .pathOf(QStringLiteral("Pingbox"))));
            return exitUsage;
        }
    }

    TPOP pop;
    TPOP::Timeouts limits;
    limits.lookupMs = limits.connectMs = limits.tlsMs = limits.replyMs = seconds * 1000;
    pop.SetTimeouts(limits);
    pop.SetQuitAfterCount(true);
    if (parser.isSet(caFile))
        pop.SetCaCertificatesFile(parser.value(caFile));
    pop.SetRemoteHost(account.server);
    pop.SetUserId(account.user);
    pop.SetPassword(account.password);

    const bool chatty = parser.isSet(verbose);
    if (chatty)
        pop.OnTrace = [](const QString& line) { say(line); };

    int remaining = checkCount;
    int result = exitOther;
    bool failed = false;
    QTextStream out(stdout);

    pop.OnStateChanged = [&](std::int16_t state) {
        if (state != popClosed)
            return;
        if (!failed && --remaining > 0) {
            pop.Connect();
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

    pop.Connect();
    return QCoreApplication::exec();
}
