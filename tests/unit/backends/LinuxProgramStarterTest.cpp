// Real program starts through the Linux backend, with a recording program as
// the started program.
#include "platform/linux/LinuxProgramStarter.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Record {
    QString cwd;
    QString show;
    qint64 pid = 0;
    qint64 ppid = 0;
    qint64 sid = 0;
    QString stdinTarget;
    QStringList descriptors;
    QStringList args;
};

std::optional<Record> readRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Record record;
    const QByteArray data = file.readAll();
    for (const QByteArray& field : data.split('\0')) {
        const qsizetype eq = field.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = field.left(eq);
        const QString value = QFile::decodeName(field.mid(eq + 1));
        if (key == "cwd")
            record.cwd = value;
        else if (key == "show")
            record.show = value;
        else if (key == "pid")
            record.pid = value.toLongLong();
        else if (key == "ppid")
            record.ppid = value.toLongLong();
        else if (key == "sid")
            record.sid = value.toLongLong();
        else if (key == "stdin")
            record.stdinTarget = value;
        else if (key == "fd")
            record.descriptors.append(value);
        else if (key == "arg")
            record.args.append(value);
    }
    return record;
}

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentOverride() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class LinuxProgramStarterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        root_ = tmp_.path();
        recordPath_ = root_ + "/record";
        out_.emplace("ARGV_RECORDER_OUT", QFile::encodeName(recordPath_));
        ASSERT_TRUE(QDir(root_).mkpath("My Mail Box"));
        viewer_ = root_ + "/My Mail Box/argv recorder";
        install(viewer_);
    }

    static void install(const QString& path) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(PINGBOX_ARGV_RECORDER), path)) << path.toStdString();
        ASSERT_TRUE(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void writeFile(const QString& path, const QByteArray& content, QFile::Permissions perms) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        ASSERT_TRUE(QFile::setPermissions(path, perms));
    }

    // The started program writes its record on its own time.
    std::optional<Record> waitForRecord() {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (QFile::exists(recordPath_))
                return readRecord(recordPath_);
            QThread::msleep(10);
        }
        return std::nullopt;
    }

    QTemporaryDir tmp_;
    QString root_;
    QString recordPath_;
    QString viewer_;
    std::optional<EnvironmentOverride> out_;
    LinuxProgramStarter starter_;
};

TEST_F(LinuxProgramStarterTest, StartsAQuotedPathWithBlanksWithItsArguments) {
    EnvironmentOverride stale(LinuxProgramStarter::ShowCodeVariable, "99");
    const auto result =
        starter_.WinExec('"' + viewer_ + R"(" one "two three" f\"our)", SW_SHOWMAXIMIZED);
    EXPECT_EQ(result, LinuxProgramStarter::Started);
    EXPECT_EQ(starter_.LastShowCode(), 3);
    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, QStringList({viewer_, "one", "two three", "f\"our"}));
    EXPECT_EQ(record->cwd, QDir::currentPath());
    EXPECT_EQ(record->show, "3");
}

TEST_F(LinuxProgramStarterTest, StartsAnUnquotedPathWithBlanksFollowedByABlank) {
    EXPECT_GT(starter_.WinExec(viewer_ + ' ', SW_SHOWNORMAL), 31u);
    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, QStringList({viewer_}));
    EXPECT_EQ(record->show, "1");
}

TEST_F(LinuxProgramStarterTest, AnUnquotedPathPrefersTheShortestReadingThatExists) {
    install(root_ + "/My");
    EXPECT_GT(starter_.WinExec(viewer_ + " -x", SW_SHOW), 31u);
    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, QStringList({root_ + "/My", "Mail", "Box/argv", "recorder", "-x"}));
}

TEST_F(LinuxProgramStarterTest, FindsABareNameOnPathButNotInTheWorkingFolder) {
    ASSERT_TRUE(QDir(root_).mkdir("bin"));
    install(root_ + "/bin/pingbox-recorder");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root_ + "/bin"));
    {
        EnvironmentOverride path("PATH", ":/nonexistent");
        EXPECT_EQ(starter_.WinExec("pingbox-recorder ", SW_SHOW), 2u);
    }
    {
        EnvironmentOverride path("PATH", QFile::encodeName(root_ + "/bin:/usr/bin"));
        EXPECT_GT(starter_.WinExec("pingbox-recorder  a", SW_SHOW), 31u);
    }
    ASSERT_TRUE(QDir::setCurrent(previous));
    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, QStringList({"pingbox-recorder", "a"}));
    EXPECT_EQ(record->cwd, root_ + "/bin");
}

TEST_F(LinuxProgramStarterTest, ShellCharactersInPathAndParametersAreJustText) {
    const QString folder = root_ + "/a;b|c&$(touch x)`touch y`>z";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "/rec";
    install(program);
    const QString pwned = root_ + "/pwned";
    const QString line = program + " ; $(touch " + pwned + ") | && `touch " + pwned +
                         "` 'single' > " + pwned + R"( "a; b | c & $(touch )" + pwned +
                         R"x()" * ~ $HOME %HOME%)x";
    EXPECT_GT(starter_.WinExec(line, SW_SHOW), 31u);
    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args,
              QStringList({program, ";", "$(touch", pwned + ")", "|", "&&", "`touch", pwned + "`",
                           "'single'", ">", pwned, "a; b | c & $(touch " + pwned + ")", "*", "~",
                           "$HOME", "%HOME%"}));
    EXPECT_FALSE(QFile::exists(pwned));
    EXPECT_EQ(QDir(root_).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList({"record"}));
}

TEST_F(LinuxProgramStarterTest, TheProgramIsDetachedAndGetsNothingOfOurs) {
    EnvironmentOverride linger("ARGV_RECORDER_SLEEP_MS", "1500");
    const int inherited = ::open("/dev/zero", O_RDONLY); // deliberately without O_CLOEXEC
    ASSERT_GE(inherited, 0);
    const auto result = starter_.WinExec('"' + viewer_ + '"', SW_SHOW);
    ::close(inherited);
    ASSERT_EQ(result, LinuxProgramStarter::Started);

    // No child of ours is left, neither the running program nor a zombie.
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    const auto record = waitForRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(::kill(static_cast<pid_t>(record->pid), 0), 0) << "the program still runs";
    EXPECT_NE(record->ppid, ::getpid());
    EXPECT_NE(record->sid, ::getsid(0));
    EXPECT_EQ(record->stdinTarget, "/dev/null");
    EXPECT_TRUE(record->descriptors.isEmpty()) << record->descriptors.join(", ").toStdString();
}

struct FailureCase {
    const char* line; // %1 is the test's folder
    std::uint32_t code;
};

class LinuxProgramStarterFailureTest : public LinuxProgramStarterTest,
                                       public ::testing::WithParamInterface<FailureCase> {
protected:
    void SetUp() override {
        LinuxProgramStarterTest::SetUp();
        const auto rw = QFile::ReadOwner | QFile::WriteOwner;
        writeFile(root_ + "/plain", "not a program\n", rw);
        // Run by a shell this would leave a file behind; it must not run.
        writeFile(root_ + "/script", "touch " + QFile::encodeName(root_) + "/ran\n",
                  rw | QFile::ExeOwner);
        writeFile(root_ + "/orphan", "#!/nonexistent/interpreter\n", rw | QFile::ExeOwner);
    }
};

TEST_P(LinuxProgramStarterFailureTest, ReportsTheSystemCodeAndStartsNothing) {
    const QString line = QString::fromUtf8(GetParam().line).replace("%1", root_);
    EXPECT_EQ(starter_.WinExec(line, SW_SHOW), GetParam().code) << line.toStdString();
    QThread::msleep(50);
    EXPECT_FALSE(QFile::exists(root_ + "/ran"));
    EXPECT_FALSE(QFile::exists(recordPath_));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LinuxProgramStarterFailureTest,
    ::testing::Values(FailureCase{"", 2}, FailureCase{" ", 2}, FailureCase{"%1/missing ", 2},
                      FailureCase{"\"%1/missing file\" x", 2},
                      FailureCase{"%1/My Mail Box/missing file", 2},
                      FailureCase{"no-such-program-pingbox", 2}, FailureCase{"%1/orphan", 2},
                      FailureCase{"%1/no folder/viewer ", 3},
                      FailureCase{"\"%1/nofolder/viewer\" x", 3}, FailureCase{"%1/plain/viewer", 3},
                      FailureCase{"%1/plain ", 11}, FailureCase{"\"%1/plain\" a b", 11},
                      FailureCase{"%1/script", 11}, FailureCase{"%1/My Mail Box", 11}));

} // namespace
