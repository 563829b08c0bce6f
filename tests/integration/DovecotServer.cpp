#include "DovecotServer.h"

bool DovecotServer::start(const Options& options) {
    QStringList arguments;
    for (const QString& user : options.users)
        arguments << QStringLiteral("--user") << user;
    if (!options.tls)
        arguments << QStringLiteral("--no-tls");
    if (options.oauth)
        arguments << QStringLiteral("--oauth");
    return script_.start(arguments) && pop3Port() > 0;
}

bool DovecotServer::fill(const QString& user, int count) {
    return script_.call(QStringLiteral("fill"), {user, QString::number(count)});
}
