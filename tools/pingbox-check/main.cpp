// pingbox-check: one check of the mailbox from the command line. Prints the
// message count and exits 0, or prints one line on stderr and exits with a
// code that tells the kind of failure.
#include "Account.h"
#include "CheckLoop.h"
#include "Options.h"
#include "Outcome.h"
#include "platform/linux/ProcessHardening.h"

#include <QtCore/QCoreApplication>

namespace {

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
    Options options;
    StoredSettings account;
    try {
        options = parseOptions(QCoreApplication::arguments());
        account = accountFor(options);
    } catch (const UsageError& e) {
        say(e.Message());
        return exitUsage;
    }
    return runChecks(options, account);
}
