#include "MailutilsServer.h"

bool MailutilsServer::start(const QStringList& users) {
    QStringList arguments;
    for (const QString& user : users)
        arguments << QStringLiteral("--user") << user;
    return script_.start(arguments) && stlsPort() > 0 && plainPort() > 0 && implicitPort() > 0;
}
