#include "platform/linux/XdgClassesRoot.h"
#include "FakeProgramStarter.h"
#include "components/pvlUrl.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString address = QStringLiteral("http://127.0.0.1/pingbox/");

// The freedesktop backend against folders of the test's own.
class XdgAssociations : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        for (const char* sub : {"config", "etc", "data/applications", "usr/applications", "bin"})
            ASSERT_TRUE(QDir(root).mkpath(QLatin1String(sub)));
        dirs.configHome = root + "/config";
        dirs.configDirs = {root + "/etc"};
        dirs.dataHome = root + "/data";
        dirs.dataDirs = {root + "/usr"};
    }
    void write(const QString& relative, const QByteArray& text) {
        QFile f(root + "/" + relative);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir dir;
    QString root;
    XdgDirs dirs;
};

TEST_F(XdgAssociations, DefaultBrowserStartsWithTheAddress) {
    // A recording program whose path has a blank in it.
    const QString recorder = root + "/bin/rec ord.sh";
    write("bin/rec ord.sh",
          "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
    QFile::setPermissions(recorder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write("usr/applications/recorder.desktop",
          "[Desktop Action new]\nExec=wrong %u\n[Desktop Entry]\nType=Application\nName=Recorder\n"
          "Exec=\"" +
              recorder.toUtf8() + "\" --new-window %U --icon=%i %%s\n");
    write("config/mimeapps.list", "# user's choice\n[Default Applications]\n"
                                  "text/html=missing.desktop;recorder.desktop;\n");

    XdgClassesRoot classes(dirs);
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    url.Url = address;
    url.UrlShowCommand = TUrlShowCmd::ssMaximize;
    url.Launch();
    ASSERT_EQ(starter.starts.size(), 1u);
    const QString line = starter.starts[0].commandLine;
    EXPECT_EQ(line, "\"" + recorder + "\" --new-window  " + address);
    EXPECT_EQ(starter.starts[0].showCode, 3);

    // The line is a runnable command: the program receives exactly its arguments.
    QStringList args = QProcess::splitCommand(line);
    const QString program = args.takeFirst();
    ASSERT_EQ(QProcess::execute(program, args), 0);
    QFile recorded(recorder + ".args");
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(recorded.readAll()), "--new-window\n" + address + "\n");
}

TEST_F(XdgAssociations, ListsAreSearchedInOrderAndHiddenEntriesSkipped) {
    write("usr/applications/a.desktop", "[Desktop Entry]\nExec=a %u\n");
    write("usr/applications/b.desktop", "[Desktop Entry]\nExec=b %f\n");
    write("data/applications/c.desktop", "[Desktop Entry]\nExec=c\nHidden=true\n");
    write("usr/applications/mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n");
    XdgClassesRoot classes(dirs);
    EXPECT_EQ(classes.DefaultApplication("text/html"), "a.desktop");

    write("etc/mimeapps.list", "[Default Applications]\ntext/html=c.desktop;b.desktop\n");
    EXPECT_EQ(classes.DefaultApplication("text/html"), "b.desktop"); // read anew

    dirs.desktops = {"xfce"};
    write("config/xfce-mimeapps.list", "[Default Applications]\ntext/html=a.desktop\n");
    EXPECT_EQ(XdgClassesRoot(dirs).DefaultApplication("text/html"), "a.desktop");

    FakeProgramStarter starter;
    XdgClassesRoot fresh(dirs);
    TpvlUrl url(fresh, starter);
    QString value;
    EXPECT_EQ(url.ReadClassesRootValue(".htm", value), 0);
    EXPECT_EQ(value, "a.desktop");
    EXPECT_EQ(url.ReadClassesRootValue("a.desktop\\shell\\open\\command", value), 0);
    EXPECT_EQ(value, "a \"%1\"");
    EXPECT_EQ(url.ReadClassesRootValue("c.desktop\\shell\\open\\command", value), 2);
    EXPECT_EQ(url.ReadClassesRootValue("htmlfile", value), 2);
}

TEST_F(XdgAssociations, NoDefaultBrowserIsASilentStop) {
    write("usr/applications/mimeapps.list", "[Default Applications]\ntext/plain=a.desktop\n");
    write("usr/applications/a.desktop", "[Desktop Entry]\nExec=a %u\n");
    XdgClassesRoot classes(dirs);
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    url.Launch();
    EXPECT_TRUE(starter.starts.empty());
}

TEST(XdgExec, FieldCodesAndQuoting) {
    EXPECT_EQ(XdgClassesRoot::CommandFromExec("firefox-esr %u"), "firefox-esr \"%1\"");
    EXPECT_EQ(XdgClassesRoot::CommandFromExec("\"/opt/My Browser/run\" %F %U"),
              "\"/opt/My Browser/run\" \"%1\"");
    EXPECT_EQ(XdgClassesRoot::CommandFromExec("browse --url=%u %c %k"), "browse --url=%1");
    EXPECT_EQ(XdgClassesRoot::CommandFromExec("sh -c \"echo \\\"hi\\\"\""),
              "sh -c \"echo \\\"hi\\\"\"");
    EXPECT_EQ(XdgClassesRoot::CommandFromExec("viewer"), "viewer");
}

} // namespace
