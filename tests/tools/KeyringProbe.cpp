// keyring-probe read SERVER USER | write SERVER USER (the secret on stdin):
// Pingbox's keyring backend from a shell, so that a test can put an entry in
// the real keyring and read it back with secret-tool, and the other way.
// Prints "ok", the secret read, or "outcome N: message"; exits 0 on success.
#include "platform/keyring/QtKeychainStore.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || (args[1] != "read" && args[1] != "write")) {
        std::fprintf(stderr, "usage: keyring-probe read|write SERVER USER\n");
        return 2;
    }
    QtKeychainStore store(5000);
    int code = 1;
    QTextStream out(stdout);
    const auto done = [&](const SecretStoreResult& r) {
        if (r.outcome == SecretStoreResult::Outcome::Ok) {
            out << (args[1] == "read" ? r.secret : QStringLiteral("ok")) << Qt::endl;
            code = 0;
        } else {
            out << "outcome " << int(r.outcome) << ": " << r.message << Qt::endl;
        }
        app.exit(code);
    };
    if (args[1] == "read")
        store.Read(args[2], args[3], done);
    else
        store.Write(args[2], args[3], QTextStream(stdin).readLine(), done);
    return app.exec();
}
