#pragma once

#include <QtCore/QString>

#include <functional>

// What a password command ended with. The secret is the first line of its
// standard output; the other fields say why there is none.
struct SecretCommandResult {
    enum class Outcome { Ok, NotStarted, Failed, Killed, TimedOut, Empty, TooMuch };
    Outcome outcome = Outcome::NotStarted;
    QString secret;
    int exitCode = 0;  // Failed: the exit status; Killed: the signal
    QString errorLine; // the first line of its standard error, or why it did not start
};

// Runs the user's password command (written for /bin/sh -c, as mail tools'
// PassCmd settings are). done is called once, on the calling thread, from a
// later turn of the event loop; nothing blocks meanwhile.
class SecretCommand {
public:
    virtual ~SecretCommand() = default;
    virtual void Run(const QString& commandLine,
                     std::function<void(const SecretCommandResult&)> done) = 0;
};
