#pragma once

#include "platform/SecretStore.h"

#include <QtCore/QObject>

// SecretStore in the Secret Service (GNOME Keyring, KWallet, KeePassXC)
// through QtKeychain. An entry's service is "pingbox:" + the server as
// written in the settings and its key the user name; QtKeychain's libsecret
// backend stores them as the attributes "server" and "user", so
//   secret-tool lookup server pingbox:SERVER user USER
// finds it. Every call has a time limit: a session bus that does not answer
// must not hold a check up for ever.
class QtKeychainStore : public QObject, public SecretStore {
public:
    explicit QtKeychainStore(int timeLimitMs = 15000) : timeLimitMs_(timeLimitMs) {}

    static QString serviceOf(const QString& server) { return QStringLiteral("pingbox:") + server; }

    void Read(const QString& server, const QString& user, Done done) override;
    void Write(const QString& server, const QString& user, const QString& secret,
               Done done) override;

private:
    int timeLimitMs_;
};
