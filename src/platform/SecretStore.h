#pragma once

#include <QtCore/QString>

#include <functional>

// What a keyring read or write ended with.
struct SecretStoreResult {
    enum class Outcome { Ok, NoService, Refused, NotFound, Failed, TimedOut };
    Outcome outcome = Outcome::Failed;
    QString secret;  // a read's password
    QString message; // the keyring's own words when it failed
};

// The desktop keyring, one password per server and user name. done is called
// once, on the calling thread, from a later turn of the event loop; nothing
// blocks meanwhile.
class SecretStore {
public:
    using Done = std::function<void(const SecretStoreResult&)>;
    virtual ~SecretStore() = default;
    virtual void Read(const QString& server, const QString& user, Done done) = 0;
    virtual void Write(const QString& server, const QString& user, const QString& secret,
                       Done done) = 0;
};
