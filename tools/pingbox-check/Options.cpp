#include "Options.h"

#include "Outcome.h"

#include <QtCore/QCommandLineParser>

namespace {

int number(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high,
           const QString& complaint) {
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high)
        throw UsageError(complaint);
    return value;
}

} // namespace

Options parseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks the Pingbox mailbox once and prints the number of messages.\n"
                       "Without --server it uses the account stored by Pingbox. The password "
                       "comes from --password-file, --password-command or the PINGBOX_PASSWORD "
                       "environment variable, never from the command line.\n\n"
                       "The login goes only over TLS (pop3s://, or STLS when the server offers "
                       "it) or to a loopback address; pop3+plain://host lets it go readable "
                       "where the server offers no TLS.\n\n"
                       "Exit codes: 0 count printed, 2 usage or settings, 3 server unreachable, "
                       "4 login refused, 5 transient (server busy, ended the session or "
                       "stopped answering), 6 protocol error, 7 TLS failure, 8 no password (the "
                       "password command or the keyring failed), 1 other.\n\n"
                       "Examples:\n"
                       "  Gmail, an app password in the desktop keyring:\n"
                       "    pingbox-check --server pop3s://pop.gmail.com --user me@gmail.com "
                       "--password-command 'secret-tool lookup server "
                       "pingbox:pop3s://pop.gmail.com user me@gmail.com'\n"
                       "  Outlook.com, an OAuth2 token from a broker (oama, pizauth):\n"
                       "    pingbox-check --server pop3s://outlook.office365.com --user "
                       "me@outlook.com --auth xoauth2 --password-command 'oama access "
                       "me@outlook.com'\n"
                       "  A password kept in pass:\n"
                       "    pingbox-check --server pop3s://mail.example.org --user me "
                       "--password-command 'pass show mail/me | head -n 1'"));
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
    const QCommandLineOption auth(
        QStringLiteral("auth"),
        QStringLiteral("login method: auto (default: USER and PASS, else SASL PLAIN, else APOP), "
                       "user, plain, apop, or xoauth2 or oauthbearer with an OAuth2 access token "
                       "as the password (over TLS only)"),
        QStringLiteral("method"));
    const QCommandLineOption passwordCommand(
        QStringLiteral("password-command"),
        QStringLiteral("shell command whose first line of output is the password or access "
                       "token; run for every check, at most 20 s"),
        QStringLiteral("command"));
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
    parser.addOptions(
        {server, user, passwordFile, passwordCommand, auth, caFile, checks, timeout, verbose});
    // Usage errors name no argument: a password typed in the wrong place
    // would end up in a terminal's or a status bar's log.
    if (!parser.parse(arguments))
        throw UsageError(
            QStringLiteral("unknown option, or an option without its value; see --help"));
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(exitOk);
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("unexpected argument (the password is never given on the "
                                        "command line); see --help"));

    Options options;
    options.checks =
        number(parser, checks, 1, 1000, QStringLiteral("--checks wants a number from 1 to 1000"));
    options.timeoutSeconds =
        number(parser, timeout, 1, 3600,
               QStringLiteral("--timeout wants a number of seconds from 1 to 3600"));
    if (parser.isSet(server) || parser.isSet(user)) {
        if (!parser.isSet(server) || !parser.isSet(user))
            throw UsageError(QStringLiteral("--server and --user go together"));
        options.accountGiven = true;
        options.server = parser.value(server);
        options.user = parser.value(user);
    }
    if (parser.isSet(passwordFile))
        options.passwordFile = parser.value(passwordFile);
    if (parser.isSet(passwordCommand))
        options.passwordCommand = parser.value(passwordCommand);
    if (options.passwordFile && options.passwordCommand)
        throw UsageError(
            QStringLiteral("--password-file and --password-command exclude each other"));
    if (parser.isSet(auth)) {
        options.auth = parseLoginMethod(parser.value(auth));
        if (!options.auth)
            throw UsageError(
                QStringLiteral("--auth wants auto, user, plain, apop, xoauth2 or oauthbearer"));
    }
    if (parser.isSet(caFile))
        options.caFile = parser.value(caFile);
    options.verbose = parser.isSet(verbose);
    return options;
}
