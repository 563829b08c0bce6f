// pingbox-check: one check of the mailbox from the command line. Prints the
// message count and exits 0, or prints one line on stderr and exits with a
// code that tells the kind of failure.
#include "Account.h"
#include "CheckLoop.h"
#include "Options.h"
#include "Outcome.h"
#include "platform/linux/ProcessHardening.h"

#include <QtCore/QCoreApplication>

#include <cstdio>
#include <cstdlib>

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

// Ends the process without the libraries' tear-down: a check keeps nothing
// that outlives it, and OpenSSL's clean-up alone costs as many instructions as
// reading the CA file. Sanitizer builds end normally, so that LeakSanitizer
// still looks at everything the check allocated.
int endProcess(int code) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
#endif
    return code;
}

} // namespace

int main(int argc, char** argv) {
    keepSecretsOutOfDumps();
    // The TLS backend matches one wildcard pattern while it looks for the
    // system's certificate folder; compiling it for PCRE2's JIT costs more
    // than it saves in a process that runs one check.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_REGEXP_JIT"))
        qputenv("QT_ENABLE_REGEXP_JIT", "0");
    CheckApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pingbox-check"));
    Options options;
    StoredSettings account;
    try {
        options = parseOptions(QCoreApplication::arguments());
        account = accountFor(options);
    } catch (const UsageError& e) {
        say(e.Message());
        return endProcess(exitUsage);
    }
    return endProcess(runChecks(options, account));
}
