#include "components/pvlUrl.h"
#include "FakeClassesRoot.h"
#include "FakeProgramStarter.h"
#include "platform/Errors.h"

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

} // namespace
