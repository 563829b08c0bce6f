#include "Credentials.h"

#include "POPErrors.h"
#include "platform/SecretCommand.h"
#include "platform/SecretStore.h"

namespace mail {

namespace {

Credentials::Result failed(int number, const QString& detail) {
    Credentials::Result result;
    result.error = number;
    result.detail = detail;
    return result;
}

Credentials::Result fromCommand(const SecretCommandResult& r) {
    using Outcome = SecretCommandResult::Outcome;
    const QString said = r.errorLine.isEmpty()
                             ? QString()
                             : QStringLiteral("; it said: %1").arg(r.errorLine.left(200));
    switch (r.outcome) {
    case Outcome::Ok:
        return {0, {}, r.secret};
    case Outcome::NotStarted:
        return failed(popErrPassCommandFailed,
                      QStringLiteral("it could not be started: %1").arg(r.errorLine));
    case Outcome::Failed:
        return failed(popErrPassCommandFailed,
                      QStringLiteral("exit status %1%2").arg(r.exitCode).arg(said));
    case Outcome::Killed:
        return failed(popErrPassCommandFailed,
                      QStringLiteral("ended by signal %1%2").arg(r.exitCode).arg(said));
    case Outcome::TimedOut:
        return failed(popErrPassCommandTimedOut, QStringLiteral("stopped after 20 s%1").arg(said));
    case Outcome::Empty:
        return failed(popErrPassCommandEmpty, QStringLiteral("exit status 0%1").arg(said));
    case Outcome::TooMuch:
        return failed(popErrPassCommandTooMuch,
                      QStringLiteral("stopped after 64 KiB of output%1").arg(said));
    }
    return failed(popErrPassCommandFailed, {});
}

Credentials::Result fromKeyring(const SecretStoreResult& r) {
    using Outcome = SecretStoreResult::Outcome;
    switch (r.outcome) {
    case Outcome::Ok:
        return {0, {}, r.secret};
    case Outcome::Refused:
        return failed(popErrKeyringRefused, r.message);
    case Outcome::NotFound:
        return failed(popErrKeyringNoEntry, r.message);
    case Outcome::NoService:
    case Outcome::TimedOut:
    case Outcome::Failed:
        break;
    }
    return failed(popErrKeyringUnavailable, r.message);
}

} // namespace

Credentials::~Credentials() {
    *self_ = nullptr;
}

void Credentials::Obtain(const LoginSettings& login, const QString& server, const QString& user,
                         const QString& storedPassword, Done done) {
    if (login.passCommand.trimmed().isEmpty() && !login.keyring) {
        done({0, {}, storedPassword});
        return;
    }
    if (login.passCommand.trimmed().isEmpty()) {
        read(server, user, std::move(done));
        return;
    }
    if (!command_) {
        done(failed(popErrPassCommandFailed, QStringLiteral("no command can run here")));
        return;
    }
    pending_ = true;
    command_->Run(login.passCommand,
                  [self = self_, done = std::move(done)](const SecretCommandResult& r) {
                      if (!*self)
                          return;
                      (*self)->pending_ = false;
                      done(fromCommand(r));
                  });
}

void Credentials::read(const QString& server, const QString& user, Done done) {
    if (!store_) {
        done(failed(popErrKeyringUnavailable, QStringLiteral("no keyring can be used here")));
        return;
    }
    pending_ = true;
    if (writing_ > 0) {
        afterWrites_.push_back([this, server, user, done = std::move(done)]() mutable {
            pending_ = false;
            read(server, user, std::move(done));
        });
        return;
    }
    store_->Read(server, user, [self = self_, done = std::move(done)](const SecretStoreResult& r) {
        if (!*self)
            return;
        (*self)->pending_ = false;
        done(fromKeyring(r));
    });
}

void Credentials::Store(const QString& server, const QString& user, const QString& password,
                        Done done) {
    if (!store_) {
        done(failed(popErrKeyringWrite, QStringLiteral("no keyring can be used here")));
        return;
    }
    ++writing_;
    store_->Write(server, user, password,
                  [self = self_, done = std::move(done)](const SecretStoreResult& r) {
                      if (!*self)
                          return;
                      Credentials& me = **self;
                      --me.writing_;
                      done(r.outcome == SecretStoreResult::Outcome::Ok
                               ? Result{}
                               : failed(popErrKeyringWrite,
                                        r.message.isEmpty() ? fromKeyring(r).detail : r.message));
                      if (me.writing_ == 0 && *self) {
                          auto waiting = std::move(me.afterWrites_);
                          me.afterWrites_.clear();
                          for (auto& next : waiting)
                              next();
                      }
                  });
}

} // namespace mail
