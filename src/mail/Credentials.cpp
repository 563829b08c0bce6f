#include "Credentials.h"

#include "POPErrors.h"
#include "platform/SecretCommand.h"

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

} // namespace

Credentials::~Credentials() {
    *self_ = nullptr;
}

void Credentials::Obtain(const LoginSettings& login, const QString& storedPassword, Done done) {
    if (login.passCommand.trimmed().isEmpty()) {
        done({0, {}, storedPassword});
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

} // namespace mail
