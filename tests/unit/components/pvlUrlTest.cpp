#include "components/pvlUrl.h"
#include "FakeClassesRoot.h"
#include "FakeProgramStarter.h"
#include "platform/Errors.h"
#include "platform/linux/XdgClassesRoot.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString address = QStringLiteral("http://127.0.0.1/pingbox/");

struct TemplateCase {
    const char* name;
    QByteArray command;
    QString url;
    QString expected;
};

class LaunchTemplate : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(LaunchTemplate, BuildsTheCommandLine) {
    const auto& c = GetParam();
    FakeClassesRoot classes;
    classes.Set(QStringLiteral(".htm"), "htmlfile");
    classes.Set(QStringLiteral("htmlfile\\shell\\open\\command"), c.command);
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    url.Url = c.url;
    url.Launch();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].commandLine, c.expected);
    EXPECT_EQ(starter.starts[0].showCode, 10); // the default show command
    EXPECT_TRUE(classes.open.isEmpty());       // every key closed again
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchTemplate,
    ::testing::Values(
        TemplateCase{"QuotedPlaceholderDropsTheRest",
                     "C:\\Browse\\browse.exe -nohome \"%1\" -second", address,
                     "C:\\Browse\\browse.exe -nohome  " + address},
        TemplateCase{"BarePlaceholder", "browse.exe %1", address, "browse.exe  " + address},
        TemplateCase{"NoPlaceholder", "browse.exe -new", address, "browse.exe -new " + address},
        TemplateCase{"PlaceholderFirst", "\"%1\" -new", address, " " + address},
        TemplateCase{"QuotedOneWinsOverAnEarlierBareOne", "browse.exe %1 \"%1\"", address,
                     "browse.exe %1  " + address},
        TemplateCase{"EmptyUrlStillRuns", "browse.exe \"%1\"", QString(), "browse.exe  "},
        TemplateCase{"ValueEndsAtItsFirstNul", QByteArray("browse.exe\0 -junk \"%1\"", 22), address,
                     "browse.exe " + address}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TpvlUrl, ShowCommandsMapToTheirCodes) {
    const int codes[] = {0, 3, 6, 9, 5, 10, 3, 2, 7, 8, 4, 1};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ShowCommandCode(TUrlShowCmd(i)), codes[i]) << i;
    EXPECT_EQ(ShowCommandCode(TUrlShowCmd(200)), 1);

    FakeClassesRoot classes;
    classes.Set(QStringLiteral(".htm"), "htmlfile");
    classes.Set(QStringLiteral("htmlfile\\shell\\open\\command"), "browse.exe \"%1\"");
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    EXPECT_EQ(url.UrlShowCommand, TUrlShowCmd::ssShowDefault);
    EXPECT_TRUE(url.Url.isEmpty());
    url.UrlShowCommand = TUrlShowCmd::ssMaximize;
    url.Launch();
    EXPECT_EQ(starter.starts.at(0).showCode, 3);
}

TEST(TpvlUrl, MissingAssociationOrCommandDoesNothing) {
    FakeClassesRoot classes;
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    url.Url = address;
    url.Launch();
    classes.Set(QStringLiteral(".htm"), "htmlfile");
    url.Launch();
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(classes.opened, (QStringList{".htm", ".htm", "htmlfile\\shell\\open\\command"}));
    EXPECT_TRUE(classes.open.isEmpty());

    // A command too long to read whole is not run cut off.
    classes.Set(QStringLiteral("htmlfile\\shell\\open\\command"), QByteArray(300, 'x'));
    url.Launch();
    EXPECT_TRUE(starter.starts.empty());
}

TEST(TpvlUrl, FailedStartRaisesAndCanBeRetried) {
    FakeClassesRoot classes;
    classes.Set(QStringLiteral(".htm"), "htmlfile");
    classes.Set(QStringLiteral("HTMLFILE\\Shell\\Open\\Command"), "browse.exe \"%1\"");
    FakeProgramStarter starter;
    starter.results = {2, 31};
    TpvlUrl url(classes, starter);
    url.Url = address;
    for (int i = 0; i < 2; ++i) {
        try {
            url.Launch();
            ADD_FAILURE() << "no error for result " << i;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Couldn't launch default browser");
        }
    }
    url.Launch(); // 33: started
    EXPECT_EQ(starter.starts.size(), 3u);
}

TEST(TpvlUrl, ReadLeavesTheValueAloneWhenTheKeyIsMissing) {
    FakeClassesRoot classes;
    FakeProgramStarter starter;
    TpvlUrl url(classes, starter);
    QString value = QStringLiteral("before");
    EXPECT_EQ(url.ReadClassesRootValue(QStringLiteral(".htm"), value), 2);
    EXPECT_EQ(value, "before");
}

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
