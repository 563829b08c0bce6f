#pragma once

#include <QtCore/QString>

#include <functional>
#include <memory>
#include <vector>

class SecretCommand;
class SecretStore;

// The account settings that have no field in the window: kept as read from
// the settings file.
struct LoginSettings {
    QString auth;         // login method word; empty is auto
    QString passCommand;  // prints the password or token; empty for none
    bool keyring = false; // the password lives in the desktop keyring
};

namespace mail {

// Where the password of one check comes from: the password command when the
// settings name one (run afresh for every check: access tokens last about an
// hour), else the desktop keyring when it keeps the password (asked afresh
// too, so a keyring unlocked after a failure works from the next check on),
// else the password as stored in the file. A keyring that cannot be had is
// an error, never a reason to use the file.
class Credentials {
public:
    struct Result {
        int error = 0; // an error number of the program's table, 0 when there is a secret
        QString detail;
        QString secret;
    };
    using Done = std::function<void(const Result&)>;

    // command and store may be null where there is none: a setting that
    // needs them then fails with a clear error.
    explicit Credentials(SecretCommand* command, SecretStore* store = nullptr)
        : command_(command), store_(store) {}
    ~Credentials();

    // Calls done once: at once for the stored password, else from a later
    // turn of the event loop. Never after this object is gone.
    void Obtain(const LoginSettings& login, const QString& server, const QString& user,
                const QString& storedPassword, Done done);
    // A command or a keyring read is running: a second check must not start
    // meanwhile.
    bool Pending() const { return pending_; }
    // Puts the password into the keyring; a read asked for meanwhile waits
    // for the write. done gets error popErrKeyringWrite when it failed.
    void Store(const QString& server, const QString& user, const QString& password, Done done);

private:
    void read(const QString& server, const QString& user, Done done);

    SecretCommand* command_;
    SecretStore* store_;
    bool pending_ = false;
    int writing_ = 0;
    std::vector<std::function<void()>> afterWrites_;
    std::shared_ptr<Credentials*> self_ = std::make_shared<Credentials*>(this);
};

} // namespace mail
