#include "notify/Appexec.h"
#include "platform/ProgramStarter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

struct Start {
    QString line;
    int showCode;
};

class RecordingStarter : public ProgramStarter {
public:
    std::uint32_t WinExec(const QString& commandLine, int showCode) override {
        starts.push_back({commandLine, showCode});
        return result;
    }
    std::vector<Start> starts;
    std::uint32_t result = 42;
};

TEST(AppexecTest, StartsWithNothingAndShowAfterConstruction) {
    RecordingStarter starter;
    TAppExecute app(starter);
    EXPECT_EQ(app.AppInstance(), 0);
    EXPECT_EQ(app.ShowType(), TShowType::S_SHOW);
    EXPECT_FALSE(app.WaitForEnd());
    EXPECT_TRUE(app.AppName().isEmpty());
    EXPECT_TRUE(app.AppParam().isEmpty());
    EXPECT_FALSE(app.OnExecute);
    EXPECT_FALSE(app.OnClose);
}

struct LineCase {
    const char* name;
    const char* param;
    const char* line;
};

class AppexecLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(AppexecLineTest, JoinsNameBlankAndParameterAsTheyStand) {
    RecordingStarter starter;
    TAppExecute app(starter);
    app.SetAppName(QString::fromUtf8(GetParam().name));
    app.SetAppParam(QString::fromUtf8(GetParam().param));
    app.Execute();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].line, QString::fromUtf8(GetParam().line));
    EXPECT_EQ(app.AppInstance(), 42);
}

INSTANTIATE_TEST_SUITE_P(Lines, AppexecLineTest,
                         ::testing::Values(LineCase{"/usr/bin/mutt", "", "/usr/bin/mutt "},
                                           LineCase{"/opt/My Mail/mail", "", "/opt/My Mail/mail "},
                                           LineCase{"", "", " "},
                                           LineCase{"mail", "-f box", "mail -f box"},
                                           LineCase{" a ", " \"b\" ", " a   \"b\" "},
                                           LineCase{"/home/zoë/Post", "ü", "/home/zoë/Post ü"}));

TEST(AppexecTest, EmptyNameKeepsTheFailureCodeWithoutRaising) {
    RecordingStarter starter;
    starter.result = 2;
    TAppExecute app(starter);
    EXPECT_NO_THROW(app.Execute());
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].line, QStringLiteral(" "));
    EXPECT_EQ(app.AppInstance(), 2);
}

class AppexecShowTest : public ::testing::TestWithParam<std::pair<TShowType, int>> {};

TEST_P(AppexecShowTest, PassesTheShowCodeOfItsType) {
    RecordingStarter starter;
    TAppExecute app(starter);
    app.SetAppName(QStringLiteral("viewer"));
    app.SetShowType(GetParam().first);
    app.Execute();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].showCode, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AppexecShowTest,
    ::testing::Values(std::pair{TShowType::S_HIDE, 0}, std::pair{TShowType::S_MINIMIZE, 6},
                      std::pair{TShowType::S_RESTORE, 9}, std::pair{TShowType::S_SHOW, 5},
                      std::pair{TShowType::S_SHOWMAXIMIZED, 3},
                      std::pair{TShowType::S_SHOWMINIMIZED, 2},
                      std::pair{TShowType::S_SHOWMINNOACTIVE, 7}, std::pair{TShowType::S_SHOWNA, 8},
                      std::pair{TShowType::S_SHOWNOACTIVATE, 4},
                      std::pair{TShowType::S_SHOWNORMAL, 1}));

TEST(AppexecTest, OnExecuteRunsJustBeforeTheStartWithTheComponent) {
    RecordingStarter starter;
    TAppExecute app(starter);
    QObject* sender = nullptr;
    std::size_t startsSeen = 99;
    app.OnExecute = [&](QObject* s) {
        sender = s;
        startsSeen = starter.starts.size();
    };
    app.Execute();
    EXPECT_EQ(sender, &app);
    EXPECT_EQ(startsSeen, 0u);
    EXPECT_EQ(starter.starts.size(), 1u);
}

TEST(AppexecTest, OnExecuteRaisingStartsNothing) {
    RecordingStarter starter;
    TAppExecute app(starter);
    app.SetAppName(QStringLiteral("/usr/bin/viewer"));
    app.Execute();
    starter.result = 77;
    app.OnExecute = [](QObject*) { throw std::runtime_error("no"); };
    EXPECT_THROW(app.Execute(), std::runtime_error);
    EXPECT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(app.AppInstance(), 42);
}

TEST(AppexecTest, PassesTheLongestLineAndRefusesALongerOne) {
    RecordingStarter starter;
    TAppExecute app(starter);
    bool announced = false;
    app.OnExecute = [&](QObject*) { announced = true; };
    app.SetAppName(QString(TAppExecute::MaxCommandLine - 1, QLatin1Char('a')));
    app.Execute();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].line.size(), 380);
    EXPECT_EQ(app.AppInstance(), 42);

    announced = false;
    app.SetAppParam(QStringLiteral("b"));
    app.Execute();
    EXPECT_EQ(starter.starts.size(), 1u);
    EXPECT_FALSE(announced);
    EXPECT_EQ(app.AppInstance(), TAppExecute::LineTooLong);
    EXPECT_LT(app.AppInstance(), 32);
}

TEST(AppexecTest, WaitForEndHandlesQueuedMessagesAndNeverRaisesOnClose) {
    RecordingStarter starter;
    TAppExecute app(starter);
    int closed = 0;
    app.OnClose = [&](QObject*) { ++closed; };
    bool delivered = false;
    QTimer::singleShot(0, &app, [&] { delivered = true; });

    app.Execute();
    EXPECT_FALSE(delivered) << "without WaitForEnd, Execute returns at once";

    app.SetWaitForEnd(true);
    app.Execute();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(closed, 0);
}

} // namespace
