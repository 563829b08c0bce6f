#pragma once

#include "MailHost.h"

#include <QtCore/QString>

#include <functional>
#include <memory>

class SecretCommand;

namespace mail {

// Where the password of one check comes from: the password command when the
// settings name one (run afresh for every check: access tokens last about an
// hour), else the password as stored.
class Credentials {
public:
    struct Result {
        int error = 0; // an error number of the program's table, 0 when there is a secret
        QString detail;
        QString secret;
    };
    using Done = std::function<void(const Result&)>;

    // command may be null where no command can run: a PassCommand= then
    // fails with a clear error.
    explicit Credentials(SecretCommand* command) : command_(command) {}
    ~Credentials();

    // Calls done once: at once for the stored password, else from a later
    // turn of the event loop. Never after this object is gone.
    void Obtain(const LoginSettings& login, const QString& storedPassword, Done done);
    // A command is running: a second check must not start meanwhile.
    bool Pending() const { return pending_; }

private:
    SecretCommand* command_;
    bool pending_ = false;
    std::shared_ptr<Credentials*> self_ = std::make_shared<Credentials*>(this);
};

} // namespace mail
