#include "platform/linux/IniFileStore.h"
#include "platform/Errors.h"

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class IniFileStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    IniFileStore store{dir.path()};
    QString path() const { return store.pathOf(QStringLiteral("Pingbox")); }
    void writeFile(const QByteArray& bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readFile() {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(IniFileStoreTest, MissingFileSectionOrIdentReadsDefaultAndEmptyValueReadsEmpty) {
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Options", "Checktime", "15"), "15");
    EXPECT_FALSE(QFile::exists(path())); // a load never creates or writes the file
    writeFile("[Options]\nChecktime=\n[Server]\nHost= pop.example.net \n");
    auto ini = store.Open("Pingbox");
    EXPECT_EQ(ini->ReadString("Options", "Checktime", "15"), "");
    EXPECT_EQ(ini->ReadString("Server", "Host", ""), " pop.example.net "); // untrimmed
    EXPECT_EQ(ini->ReadString("Server", "User", "dflt"), "dflt");
    EXPECT_EQ(ini->ReadString("Viewer", "Path", "dflt"), "dflt");
}

TEST_F(IniFileStoreTest, WritesRoundTripAnyTextAndKeepForeignLines) {
    writeFile("; kept comment\n[Server]\nHost=old\nOther=keep me\n\n[Mine]\nx=1\n");
    const QString tricky = QStringLiteral("a=b\\c\nd\re ;# [x] ünï");
    {
        auto ini = store.Open("Pingbox");
        ini->WriteString("Server", "Host", tricky);
        ini->WriteString("Server", "User", "alice");
        ini->WriteString("Viewer", "Path", "/usr/bin/mail reader");
    }
    auto ini = store.Open("Pingbox");
    EXPECT_EQ(ini->ReadString("server", "HOST", ""), tricky); // names ignore case
    EXPECT_EQ(ini->ReadString("Server", "User", ""), "alice");
    EXPECT_EQ(ini->ReadString("Server", "Other", ""), "keep me");
    EXPECT_EQ(ini->ReadString("Mine", "x", ""), "1");
    EXPECT_EQ(ini->ReadString("Viewer", "Path", ""), "/usr/bin/mail reader");
    EXPECT_TRUE(readFile().startsWith("; kept comment\n[Server]\n"));
}

TEST_F(IniFileStoreTest, FileIsPrivateToTheUser) {
    store.Open("Pingbox")->WriteString("Server", "Pass", "0033");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniFileStoreTest, DamagedFileRaisesAClearErrorAndIsNeverOverwritten) {
    const QByteArray damaged = "[Server]\nHost=a\nthis line is broken\n";
    writeFile(damaged);
    try {
        store.Open("Pingbox");
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("line 3"))) << qPrintable(e.Message());
        EXPECT_TRUE(e.Message().contains(path()));
    }
    EXPECT_THROW(store.Open("Pingbox")->WriteString("Server", "Host", "b"), ERegistryException);
    EXPECT_EQ(readFile(), damaged);
}

TEST_F(IniFileStoreTest, UnreadableValueRaisesOnlyWhenRead) {
    writeFile("[Server]\nHost=ok\nUser=\xff\xfe\nPass=bad\\q\n");
    auto ini = store.Open("Pingbox");
    EXPECT_EQ(ini->ReadString("Server", "Host", ""), "ok");
    EXPECT_THROW(ini->ReadString("Server", "User", ""), ERegistryException);
    EXPECT_THROW(ini->ReadString("Server", "Pass", ""), ERegistryException);
}

TEST_F(IniFileStoreTest, RefusedWriteRaisesAndKeepsEarlierWrites) {
    auto ini = store.Open("Pingbox");
    ini->WriteString("Server", "Host", "kept");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0500), 0);
    if (::geteuid() == 0) {
        // root writes through permissions; a path that cannot exist instead
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        IniFileStore broken(dir.filePath("not-a-folder/file"));
        QFile(dir.filePath("not-a-folder")).open(QIODevice::WriteOnly);
        EXPECT_THROW(broken.Open("Pingbox")->WriteString("Server", "User", "x"),
                     ERegistryException);
    } else {
        EXPECT_THROW(ini->WriteString("Server", "User", "x"), ERegistryException);
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    }
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "Host", ""), "kept");
}

#ifdef PINGBOX_SETTINGS_WRITER
// A process killed in the middle of saving leaves a file that loads, every
// value whole: each value is the one of the last save or the one before it.
TEST_F(IniFileStoreTest, KillDuringSaveLeavesALoadableStore) {
    auto generation = [](const QString& value, const QString& prefix) {
        EXPECT_TRUE(value.startsWith(prefix) && value.endsWith(QString(2000, QLatin1Char('x'))))
            << qPrintable(value.left(40));
        return value.mid(prefix.size()).chopped(2000).toLong();
    };
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(PINGBOX_SETTINGS_WRITER), {dir.path()});
        ASSERT_TRUE(writer.waitForReadyRead(5000)); // it has saved once
        QThread::msleep(5 + 7 * round);
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished();
        auto ini = store.Open("Pingbox");
        const long host = generation(ini->ReadString("Server", "Host", ""), "host-");
        const long user = generation(ini->ReadString("Server", "User", ""), "user-");
        const long viewer = generation(ini->ReadString("Viewer", "Path", ""), "viewer-");
        EXPECT_TRUE(host == user || host == user + 1);
        EXPECT_TRUE(user == viewer || user == viewer + 1);
    }
}
#endif
