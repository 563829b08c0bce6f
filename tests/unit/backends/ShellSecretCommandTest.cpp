// The password command through a real /bin/sh: what it prints, and every way
// it can fail, each ending in its own outcome without blocking the caller.
#include "platform/linux/ShellSecretCommand.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {

using Outcome = SecretCommandResult::Outcome;

struct CommandCase {
    const char* name;
    const char* command;
    Outcome outcome;
    int exitCode = 0;
    const char* secret = "";
    const char* errorLine = "";
};

TEST(ShellSecretCommand, EachEndingHasItsOwnOutcome) {
    const CommandCase cases[] = {
        {"first line, CR LF dropped", "printf 'tok en\\r\\nsecond\\n'", Outcome::Ok, 0, "tok en"},
        {"no line break at all", "printf secret", Outcome::Ok, 0, "secret"},
        {"standard input is empty", "cat; echo \"[$(cat)]\"", Outcome::Ok, 0, "[]"},
        {"fails", "echo first words >&2; echo more >&2; exit 3", Outcome::Failed, 3, "",
         "first words"},
        {"fails after printing", "echo secret; exit 1", Outcome::Failed, 1},
        {"prints nothing", "true", Outcome::Empty},
        {"empty first line", "printf '\\nsecret\\n'", Outcome::Empty},
        {"prints 1 MB", "head -c 1048576 /dev/zero | tr '\\0' x", Outcome::TooMuch},
        {"killed", "kill -9 $$", Outcome::Killed, 9},
        {"slow", "sleep 30", Outcome::TimedOut},
        {"no such program", "/nonexistent/broker", Outcome::Failed, 127, "",
         "/nonexistent/broker: not found"},
    };
    ShellSecretCommand command({1500, 64 * 1024});
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SecretCommandResult> result;
        QElapsedTimer clock;
        clock.start();
        command.Run(QString::fromLatin1(c.command),
                    [&](const SecretCommandResult& r) { result = r; });
        EXPECT_FALSE(result.has_value()); // never from inside Run
        EXPECT_LT(clock.elapsed(), 500);
        ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        EXPECT_EQ(int(result->outcome), int(c.outcome));
        EXPECT_EQ(result->secret, QString::fromLatin1(c.secret));
        if (c.outcome == Outcome::Failed || c.outcome == Outcome::Killed) {
            EXPECT_EQ(result->exitCode, c.exitCode);
        }
        EXPECT_TRUE(*c.errorLine ? result->errorLine.endsWith(QLatin1String(c.errorLine))
                                 : result->errorLine.isEmpty())
            << result->errorLine.toStdString();
    }
}

// The time limit ends everything the command started, not just the shell:
// a child left behind would go on holding the account's secrets.
TEST(ShellSecretCommand, TimeLimitEndsTheWholeGroup) {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("leaked"));
    ShellSecretCommand command({300, 1024});
    std::optional<SecretCommandResult> result;
    command.Run(QStringLiteral("(sleep 1; touch '%1') & sleep 30").arg(marker),
                [&](const SecretCommandResult& r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(int(result->outcome), int(Outcome::TimedOut));
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(marker));
}

} // namespace
