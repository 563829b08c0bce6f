#include "platform/linux/FlockInstanceMarker.h"
#include "platform/Errors.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets an environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* name, const QString& value) : name_(name), old_(qgetenv(name)) {
        had_ = qEnvironmentVariableIsSet(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }
    ~EnvVar() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_ = false;
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

// Without a runtime folder, and with the shared temporary folder's
// pingbox-<uid> not ours, the marker goes to a private folder in the cache
// and still keeps a second copy out; with no folder at all, the user is told.
TEST(FlockInstanceMarkerTest, FallsBackToAPrivateFolderOrSaysWhyThereIsNone) {
    QTemporaryDir dir;
    const QString tmp = dir.filePath("tmp"), cache = dir.filePath("cache");
    QDir().mkpath(tmp);
    const QString shared = QDir(tmp).filePath(QStringLiteral("pingbox-%1").arg(::getuid()));
    const EnvVar runtime("XDG_RUNTIME_DIR", QString());
    const EnvVar tmpdir("TMPDIR", tmp);
    const EnvVar cacheHome("XDG_CACHE_HOME", cache);

    // Not ours: another user's folder where we can make one, else a planted link.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mkdir(QFile::encodeName(shared).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(::symlink(QFile::encodeName(dir.path()).constData(),
                            QFile::encodeName(shared).constData()),
                  0);
    }
    const QString own = QDir(cache).filePath("pingbox");
    EXPECT_EQ(FlockInstanceMarker::runtimeFolder(), own);
    EXPECT_EQ(modeOf(own) & 0777, 0700u);
    FlockInstanceMarker first, second;
    EXPECT_EQ(first.Folder(), own);
    EXPECT_EQ(first.Create("pingbox-test"), InstanceMarker::Result::Created);
    EXPECT_EQ(second.Create("pingbox-test"), InstanceMarker::Result::AlreadyExists);
    EXPECT_TRUE(first.Problem().isEmpty() && second.Problem().isEmpty());
    first.Close();
    EXPECT_EQ(second.Create("pingbox-test"), InstanceMarker::Result::Created);
    second.Close();

    // A folder of ours that others may enter is closed to them before use.
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0755), 0);
    EXPECT_EQ(FlockInstanceMarker::runtimeFolder(), own);
    EXPECT_EQ(modeOf(own) & 0777, 0700u);

    // No cache folder can be made either: Create fails and says so.
    QDir(own).removeRecursively();
    QFile(cache).remove();
    QDir().rmdir(cache);
    {
        QFile blocker(cache);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    FlockInstanceMarker none;
    EXPECT_TRUE(none.Folder().isEmpty());
    EXPECT_EQ(none.Create("pingbox-test"), InstanceMarker::Result::Failed);
    const QString text = none.Problem();
    EXPECT_TRUE(text.contains("only one copy")) << qPrintable(text);
    EXPECT_TRUE(text.contains("XDG_RUNTIME_DIR is not set")) << qPrintable(text);
    EXPECT_TRUE(text.contains(shared)) << qPrintable(text);
    EXPECT_TRUE(text.contains(own)) << qPrintable(text);
    if (root) {
        EXPECT_TRUE(text.contains("belongs to another user")) << qPrintable(text);
    }
    EXPECT_THROW(FlockInstanceMarker::runtimeFolder(), Exception);
}

// $XDG_RUNTIME_DIR is used when it is the user's own and closed to writers;
// one that others may write to is passed over.
TEST(FlockInstanceMarkerTest, RuntimeFolderIsUsedOnlyWhenOthersCannotWriteToIt) {
    QTemporaryDir dir;
    const QString runtimeDir = dir.filePath("run"), tmp = dir.filePath("tmp");
    QDir().mkpath(runtimeDir);
    QDir().mkpath(tmp);
    const EnvVar runtime("XDG_RUNTIME_DIR", runtimeDir);
    const EnvVar tmpdir("TMPDIR", tmp);
    ASSERT_EQ(::chmod(QFile::encodeName(runtimeDir).constData(), 0700), 0);
    EXPECT_EQ(FlockInstanceMarker::runtimeFolder(), runtimeDir);
    ASSERT_EQ(::chmod(QFile::encodeName(runtimeDir).constData(), 01777), 0);
    EXPECT_EQ(FlockInstanceMarker::runtimeFolder(),
              QDir(tmp).filePath(QStringLiteral("pingbox-%1").arg(::getuid())));
    EXPECT_EQ(modeOf(runtimeDir) & 07777, 01777u); // not ours to change
}

// The login's runtime folder is taken whatever XDG_RUNTIME_DIR says, so that
// a start with it and one without find the same marker; one that others may
// enter is passed over.
TEST(FlockInstanceMarkerTest, LoginRuntimeFolderWinsWhateverTheEnvironmentSays) {
    QTemporaryDir dir;
    const QString root = dir.filePath("run-user"), other = dir.filePath("other");
    const QString login = QDir(root).filePath(QString::number(::getuid()));
    QDir().mkpath(login);
    QDir().mkpath(other);
    ASSERT_EQ(::chmod(QFile::encodeName(login).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(other).constData(), 0700), 0);
    const EnvVar tmpdir("TMPDIR", dir.path());
    QString withVariable, without;
    {
        const EnvVar runtime("XDG_RUNTIME_DIR", other);
        withVariable = FlockInstanceMarker::runtimeFolder(root);
    }
    {
        const EnvVar runtime("XDG_RUNTIME_DIR", QString());
        without = FlockInstanceMarker::runtimeFolder(root);
    }
    EXPECT_EQ(withVariable, login);
    EXPECT_EQ(without, login);
    FlockInstanceMarker first(withVariable), second(without);
    EXPECT_EQ(first.Create("pingbox-test"), InstanceMarker::Result::Created);
    EXPECT_EQ(second.Create("pingbox-test"), InstanceMarker::Result::AlreadyExists);

    ASSERT_EQ(::chmod(QFile::encodeName(login).constData(), 0750), 0);
    const EnvVar runtime("XDG_RUNTIME_DIR", other);
    EXPECT_EQ(FlockInstanceMarker::runtimeFolder(root), other);
}
