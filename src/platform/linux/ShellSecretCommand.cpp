#include "ShellSecretCommand.h"

#include <QtCore/QProcess>
#include <QtCore/QTimer>

#include <csignal>
#include <optional>
#include <unistd.h>

namespace {

QByteArray firstLine(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\n');
    return end < 0 ? bytes : bytes.left(end);
}

} // namespace

// One run: owns its process and deletes itself after reporting.
class ShellSecretCommand::Job : public QObject {
public:
    Job(QObject* parent, Limits limits, std::function<void(const SecretCommandResult&)> done)
        : QObject(parent), limits_(limits), done_(std::move(done)) {}

    ~Job() override {
        killGroup();
        output_.fill('\0');
    }

    void start(const QString& commandLine) {
        process_.setProgram(QStringLiteral("/bin/sh"));
        process_.setArguments({QStringLiteral("-c"), commandLine});
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        connect(&process_, &QProcess::readyReadStandardOutput, this, [this] { readOutput(); });
        connect(&process_, &QProcess::readyReadStandardError, this, [this] { readErrors(); });
        connect(&process_, &QProcess::finished, this,
                [this](int code, QProcess::ExitStatus status) { finished(code, status); });
        connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                report({SecretCommandResult::Outcome::NotStarted, {}, 0, process_.errorString()});
        });
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { stop(Outcome::TimedOut); });
        timer_.start(limits_.timeMs);
        process_.start();
        pid_ = process_.processId();
    }

private:
    using Outcome = SecretCommandResult::Outcome;

    void readOutput() {
        output_ += process_.readAllStandardOutput();
        if (output_.size() > limits_.outputBytes)
            stop(Outcome::TooMuch);
    }

    void readErrors() {
        const QByteArray bytes = process_.readAllStandardError();
        if (errors_.size() < 4096)
            errors_ += bytes.left(4096 - errors_.size());
    }

    // The limits end the whole group: a shell pipeline leaves children behind.
    void stop(Outcome why) {
        stopped_ = why;
        killGroup();
    }

    void killGroup() {
        if (pid_ > 0 && process_.state() != QProcess::NotRunning)
            ::kill(-pid_, SIGKILL);
    }

    void finished(int code, QProcess::ExitStatus status) {
        readOutput();
        readErrors();
        SecretCommandResult result;
        result.errorLine = QString::fromUtf8(firstLine(errors_)).trimmed();
        result.exitCode = code;
        if (stopped_) {
            result.outcome = *stopped_;
        } else if (status == QProcess::CrashExit) {
            result.outcome = Outcome::Killed;
            result.exitCode = killSignal();
        } else if (code != 0) {
            result.outcome = Outcome::Failed;
        } else {
            QByteArray line = firstLine(output_);
            if (line.endsWith('\r'))
                line.chop(1);
            result.outcome = line.isEmpty() ? Outcome::Empty : Outcome::Ok;
            result.secret = QString::fromUtf8(line);
            line.fill('\0');
        }
        report(result);
    }

    // QProcess keeps the signal to itself; the shell reports a killed child
    // as 128 + its number, and a killed shell shows as a crash.
    int killSignal() const { return process_.exitCode(); }

    void report(const SecretCommandResult& result) {
        if (reported_)
            return;
        reported_ = true;
        timer_.stop();
        // A process that cannot start says so from inside start().
        QTimer::singleShot(0, this, [this, result] {
            auto done = std::move(done_);
            deleteLater();
            done(result);
        });
    }

    Limits limits_;
    std::function<void(const SecretCommandResult&)> done_;
    QProcess process_;
    QTimer timer_;
    qint64 pid_ = 0;
    QByteArray output_;
    QByteArray errors_;
    std::optional<Outcome> stopped_;
    bool reported_ = false;
};

ShellSecretCommand::~ShellSecretCommand() = default;

void ShellSecretCommand::Run(const QString& commandLine,
                             std::function<void(const SecretCommandResult&)> done) {
    (new Job(this, limits_, std::move(done)))->start(commandLine);
}
