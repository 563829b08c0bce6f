#pragma once

#include "platform/SecretCommand.h"

#include <QtCore/QObject>

// How long a password command may run and how much it may print.
struct SecretCommandLimits {
    int timeMs = 20000;
    qsizetype outputBytes = 64 * 1024;
};

// SecretCommand through /bin/sh -c: standard input on /dev/null, a process
// group of its own so that the time limit ends everything the command
// started, standard output read up to a limit and never shown anywhere.
class ShellSecretCommand : public QObject, public SecretCommand {
public:
    using Limits = SecretCommandLimits;

    explicit ShellSecretCommand(Limits limits = {}) : limits_(limits) {}
    ~ShellSecretCommand() override;

    void Run(const QString& commandLine,
             std::function<void(const SecretCommandResult&)> done) override;

private:
    class Job;
    Limits limits_;
};
