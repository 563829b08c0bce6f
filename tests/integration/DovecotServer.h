#pragma once

#include "ServerScript.h"

// A private Dovecot on loopback in a temporary folder, through
// scripts/dovecot-server. Users are "name:password:count".
class DovecotServer {
public:
    struct Options {
        QStringList users;
        bool tls = true;
        bool oauth = false; // XOAUTH2 and OAUTHBEARER, the password standing for the token
    };

    // Starts the server; false (with error() saying why) when it cannot.
    bool start(const Options& options);
    void stop() { script_.stop(); }
    bool fill(const QString& user, int count);

    int pop3Port() const { return script_.value("POP3_PORT").toInt(); }
    int pop3sPort() const { return script_.value("POP3S_PORT").toInt(); }
    QString host() const { return script_.value("HOST"); }
    QString caFile() const { return script_.value("CA_FILE"); }
    QString error() const { return script_.error(); }

private:
    ServerScript script_{QStringLiteral(PINGBOX_DOVECOT_SERVER)};
};
