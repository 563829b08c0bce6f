#include "platform/linux/IniFileStore.h"
#include "platform/Errors.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
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

// Whatever a field can hold, our own save writes a file that loads back to
// the same text; files of earlier versions, which knew no "\\0", load as before.
TEST_F(IniFileStoreTest, OwnSavesOfAwkwardValuesAlwaysLoadBack) {
    const QString controls = [] {
        QString all;
        for (char16_t c = 0; c < 0x20; ++c)
            all += QChar(c);
        return all + QChar(0x7f);
    }();
    const std::vector<QString> values = {
        QString(QChar(0)),
        QStringLiteral("pass") + QChar(0) + QStringLiteral("word") + QChar(0),
        QStringLiteral("\\0 stays a backslash and a zero"),
        controls,
        QStringLiteral("ends in a backslash\\"),
        QStringLiteral("\r\n\n\r"),
        QStringLiteral("  blanks\t around  "),
        QStringLiteral("[Server]"),
        QStringLiteral("; not a comment"),
        QStringLiteral("=x=y="),
        QString(QChar(0xfeff)) + QStringLiteral("starts with a byte-order mark"),
        QStringLiteral("line\u2028separator \U0001F4EC ünï"),
        QString(),
    };
    for (std::size_t i = 0; i < values.size(); ++i)
        store.Open("Pingbox")->WriteString("Server", QStringLiteral("V%1").arg(i), values[i]);
    EXPECT_FALSE(readFile().contains('\0'));
    auto ini = store.Open("Pingbox");
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini->ReadString("Server", QStringLiteral("V%1").arg(i), "absent"), values[i])
            << "value " << i;
    // Text that is not valid UTF-16 still gives a file that loads.
    const QString lone = QStringLiteral("a") + QChar(0xd800) + QStringLiteral("b");
    store.Open("Pingbox")->WriteString("Server", "Lone", lone);
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "Lone", "").size(), 3);

    // As earlier versions wrote them: "\\0" was not an escape, a NUL went raw.
    static constexpr char earlier[] = "[Server]\nHost=C:\\\\0dir\\\\\\nx\\r\nPass=a\0b\n";
    writeFile(QByteArray(earlier, sizeof earlier - 1));
    auto old = store.Open("Pingbox");
    EXPECT_EQ(old->ReadString("Server", "Host", ""), QStringLiteral("C:\\0dir\\\nx\r"));
    const QString pass = old->ReadString("Server", "Pass", "");
    EXPECT_EQ(pass, QStringLiteral("a") + QChar(0) + "b");
    old->WriteString("Server", "Pass", pass);
    old->WriteString("Server", "User", "u");
    EXPECT_EQ(readFile(), "[Server]\nHost=C:\\\\0dir\\\\\\nx\\r\nPass=a\\0b\nUser=u\n");
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

// Anything but a regular file of at most 1 MiB is refused at once with a
// clear error, never read without bound, and a later save leaves it as it was.
TEST_F(IniFileStoreTest, NoRegularFileOrTooLargeIsRefusedUnreadAndKept) {
    const QByteArray name = QFile::encodeName(path());
    const qint64 limit = IniFileStore::maxFileSize;
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"named pipe", [&] { ASSERT_EQ(::mkfifo(name.constData(), 0600), 0); }, "a named pipe"},
        {"link to /dev/zero", [&] { ASSERT_EQ(::symlink("/dev/zero", name.constData()), 0); },
         "a device"},
        {"folder", [&] { ASSERT_EQ(::mkdir(name.constData(), 0700), 0); }, "a folder"},
        {"file one byte too large", [&] { writeFile("; " + QByteArray(limit - 1, 'x')); },
         "larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        struct stat before {};
        ASSERT_EQ(::lstat(name.constData(), &before), 0);
        try {
            store.Open("Pingbox");
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.Message().contains(path())) << qPrintable(e.Message());
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.says))) << qPrintable(e.Message());
        }
        EXPECT_THROW(store.Open("Pingbox")->WriteString("Server", "Host", "x"), ERegistryException);
        struct stat after {};
        ASSERT_EQ(::lstat(name.constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
        ASSERT_TRUE(QFile::remove(path()) || QDir().rmdir(path()));
    }
    // A file of exactly the limit loads; a save that would go over it is refused.
    writeFile("; " + QByteArray(limit - 3, 'x') + '\n');
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "Host", "dflt"), "dflt");
    writeFile("[Server]\nHost=a\n");
    EXPECT_THROW(
        store.Open("Pingbox")->WriteString("Server", "Host", QString(limit, QLatin1Char('y'))),
        ERegistryException);
    EXPECT_EQ(readFile(), "[Server]\nHost=a\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary file left
    // A pipe put in place after the load is not replaced by the save either.
    ASSERT_TRUE(QFile::remove(path()));
    auto ini = store.Open("Pingbox");
    ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
    EXPECT_THROW(ini->WriteString("Server", "Host", "x"), ERegistryException);
    struct stat st {};
    ASSERT_EQ(::lstat(name.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A Pingbox.ini that a dotfile manager links elsewhere keeps its link: each
// save atomically replaces the file at the end of the links, and a byte-order
// mark there is read past and kept.
TEST_F(IniFileStoreTest, SymlinkedFileIsSavedThroughItsLinkAndABomIsAccepted) {
    QDir(dir.path()).mkpath("dotfiles/pingbox");
    const QString target = dir.filePath("dotfiles/pingbox/settings.ini");
    const QString hop = dir.filePath("dotfiles/current.ini");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF; from Windows\r\n[Server]\r\nHost=old\r\n");
    }
    ASSERT_EQ(::symlink("pingbox/settings.ini", QFile::encodeName(hop).constData()), 0);
    ASSERT_EQ(::symlink("dotfiles/current.ini", QFile::encodeName(path()).constData()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &before), 0);

    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "Host", ""), "old");
    store.Open("Pingbox")->WriteString("Server", "User", "alice");

    EXPECT_EQ(QFileInfo(path()).symLinkTarget(), hop);
    EXPECT_EQ(QFileInfo(hop).symLinkTarget(), target);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("\xEF\xBB\xBF; from Windows\r\n[Server]\r\nHost=old\r\n"));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // replaced by a rename, not rewritten in place
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.filePath("dotfiles/pingbox")).entryList(QDir::Files).size(), 1);
    auto ini = store.Open("Pingbox");
    EXPECT_EQ(ini->ReadString("Server", "Host", ""), "old");
    EXPECT_EQ(ini->ReadString("Server", "User", ""), "alice");

    // A link whose target is gone: the save creates the target.
    ASSERT_TRUE(QFile::remove(target));
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "User", "dflt"), "dflt");
    store.Open("Pingbox")->WriteString("Server", "User", "bob");
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(store.Open("Pingbox")->ReadString("Server", "User", ""), "bob");
}

TEST_F(IniFileStoreTest, UnreadableValueRaisesOnlyWhenRead) {
    writeFile("[Server]\nHost=ok\nPass=bad\\q\n");
    auto ini = store.Open("Pingbox");
    EXPECT_EQ(ini->ReadString("Server", "Host", ""), "ok");
    EXPECT_THROW(ini->ReadString("Server", "Pass", ""), ERegistryException);
}

// Files of the Windows version are in its ANSI code page: what is not UTF-8
// reads as Windows-1252 and is saved back as UTF-8, with the file's line ends.
TEST_F(IniFileStoreTest, NonUtf8TextReadsAsWindows1252AndSavesAsUtf8) {
    writeFile("[Server]\r\nUser=J\xfcrgen \x80\x81\x9f\r\n[Vi\xe9wer]\r\n"
              "Path=C:\\\\Programme\\\\Gr\xfc\xdf\r\nUtf8=gr\xc3\xbc\xc3\x9f\r\n");
    {
        auto ini = store.Open("Pingbox");
        EXPECT_EQ(ini->ReadString("Server", "User", ""), QStringLiteral("Jürgen €\u0081Ÿ"));
        EXPECT_EQ(ini->ReadString("Viéwer", "Path", ""), QStringLiteral("C:\\Programme\\Grüß"));
        EXPECT_EQ(ini->ReadString("Viéwer", "Utf8", ""), QStringLiteral("grüß"));
        ini->WriteString("Server", "User", ini->ReadString("Server", "User", ""));
        ini->WriteString("Options", "Checktime", "15");
    }
    EXPECT_EQ(readFile(),
              QByteArray("[Server]\r\nUser=J\xc3\xbcrgen \xe2\x82\xac\xc2\x81\xc5\xb8\r\n"
                         "[Vi\xe9wer]\r\nPath=C:\\\\Programme\\\\Gr\xfc\xdf\r\n"
                         "Utf8=gr\xc3\xbc\xc3\x9f\r\n\r\n[Options]\r\nChecktime=15\r\n"));

    writeFile("[Server]\nHost=a\r\nUser=b\n");
    store.Open("Pingbox")->WriteString("Server", "Pass", "00");
    EXPECT_EQ(readFile(), "[Server]\nHost=a\r\nUser=b\nPass=00\n");
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
