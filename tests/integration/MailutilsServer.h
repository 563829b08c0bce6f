#pragma once

#include "ServerScript.h"

// A private GNU Mailutils pop3d on loopback in a temporary folder, through
// scripts/mailutils-server. Users are "name:password:count" and log in as
// name@domain().
class MailutilsServer {
public:
    // Starts the server; false (with error() saying why) when it cannot.
    bool start(const QStringList& users);
    void stop() { script_.stop(); }

    int stlsPort() const { return script_.value("POP3_PORT").toInt(); }   // plain, STLS offered
    int plainPort() const { return script_.value("PLAIN_PORT").toInt(); } // no TLS at all
    int implicitPort() const {
        return script_.value("POP3S_PORT").toInt();
    } // TLS from the first byte
    QString host() const { return script_.value("HOST"); }
    QString domain() const { return script_.value("DOMAIN"); }
    QString caFile() const { return script_.value("CA_FILE"); }
    QString error() const { return script_.error(); }

private:
    ServerScript script_{QStringLiteral(PINGBOX_MAILUTILS_SERVER)};
};
