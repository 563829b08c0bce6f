// The configuration window's check road with the real POP client against a
// real Dovecot: states in order with their status texts, the count, a wrong
// password, a stopped server, and checks requested while a box is open.
#include "DovecotServer.h"
#include "FakeDesktop.h"
#include "gui/TApplication.h"
#include "mail/TfrmNetDialog.h"
#include "platform/linux/ShellSecretCommand.h"
#include "pop/popclient.h"
#include "ui_TMainForm.h"
#include "ui_TfrmNetDialog.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

class CheckRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new DovecotServer;
        if (!server_->start({{"alice:secret:3"}, true, true}))
            FAIL() << "Dovecot: " << server_->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        ASSERT_GT(server_->pop3Port(), 0);
        TPOP::ClearCapabilityCache();
        pop.SetCaCertificatesFile(server_->caFile());
        form = std::make_unique<TMainForm>(desktop.services(pop));
        form->SleepFn = [](int) {};
        form->Observer = [this](const QString& what, const QString& text) {
            if (what == "status" || what == "count")
                shown << what + " " + text;
        };
        form->ui().ePOPServer->setText(QStringLiteral("localhost:%1").arg(server_->pop3Port()));
        form->ui().eUserName->setText("alice");
        form->ui().ePassword->setText("secret");
        form->ui().SoundFile->clear();
    }
    bool waitClosedAgain() {
        return QTest::qWaitFor(
            [&] { return shown.size() > 1 && shown.last().startsWith("status Waiting"); }, 20000);
    }
    QString host() const { return form->ui().ePOPServer->text(); }

    static DovecotServer* server_;
    FakeDesktop desktop;
    MemoryRegistry& registry = desktop.registry;
    FakeDialogs& dialogs = desktop.dialogs;
    TPOP pop;
    std::unique_ptr<TMainForm> form;
    QStringList shown;
};
DovecotServer* CheckRoad::server_ = nullptr;

} // namespace

TEST_F(CheckRoad, TimedCheckWalksEveryStateShowsTheCountAndCloses) {
    form->Timer1().SetInterval(1); // the next tick starts the check
    dialogs.onBox = [&](const QString&) { form->Timer1().SetEnabled(false); };
    ASSERT_TRUE(waitClosedAgain()) << qPrintable(shown.join('\n'));
    const QStringList expected{
        "status Connecting to POP server: " + host() + "...",
        "status Resolving Host",
        "status Host Resolved",
        "status Connected to POP server: " + host(),
        "status User alice authorized on server " + host(),
        "status Checking eMail...",
        "count 3",
        "status Ready",
        "status Disconnecting from POP server: " + host() + "...",
        "status Waiting to check email on: " + host(),
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(dialogs.events,
              QStringList({"beep 0", "box You have 3 Messages - Start eMail Viewer?"}));
    EXPECT_EQ(form->TrayHint(), "3 Messages on " + host());
    EXPECT_TRUE(form->TrayAnimated()); // declined: the tray keeps animating
    EXPECT_TRUE(form->ui().ePOPServer->isEnabled());
    EXPECT_EQ(form->ui().POPConnectBtn->text(), "OK");
}

TEST_F(CheckRoad, AWrongPasswordEndsInItsBoxAndACheckMeanwhileOpensNothing) {
    form->ui().ePassword->setText("wrong");
    form->Timer1().SetEnabled(false);
    int connectionsDuringBox = -1;
    dialogs.onBox = [&](const QString&) {
        // A tray check while the box is open: the control is not closed yet.
        const auto before = pop.State();
        form->StartCheck();
        connectionsDuringBox = pop.State() == before ? 0 : 1;
    };
    form->StartCheck();
    ASSERT_TRUE(waitClosedAgain()) << qPrintable(shown.join('\n'));
    EXPECT_EQ(dialogs.events, QStringList({"beep 0", "box Invalid Username or Password"}));
    EXPECT_TRUE(shown.contains("status Error!"));
    EXPECT_EQ(connectionsDuringBox, 0);
    EXPECT_FALSE(shown.contains("count 3"));
}

TEST_F(CheckRoad, AStoppedServerShowsTheConnectionErrorWindow) {
    DovecotServer gone;
    ASSERT_TRUE(gone.start({{"bob:pw:1"}, false})) << qPrintable(gone.error());
    const int port = gone.pop3Port();
    gone.stop();
    form->ui().ePOPServer->setText(QStringLiteral("localhost:%1").arg(port));
    form->Timer1().SetEnabled(false);
    TfrmNetDialog netDialog(dialogs);
    form->SetWindows(nullptr, &netDialog);
    form->ui().ShowNetError->setText("true");
    bool shownWindow = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (netDialog.isVisible()) {
            shownWindow = true;
            netDialog.ui().BitBtn1->click();
        }
    });
    poll.start(20);
    form->StartCheck();
    ASSERT_TRUE(waitClosedAgain()) << qPrintable(shown.join('\n'));
    EXPECT_TRUE(shownWindow);
    EXPECT_TRUE(shown.contains("status Error!"));
    EXPECT_EQ(dialogs.events, QStringList({"beep 64"}));
}

namespace {

// Pingbox's own road with Auth=xoauth2 and an access token from a command: the
// check starts only once the command has answered, and the window's thread
// goes on meanwhile.
TEST_F(CheckRoad, TokenFromACommandLogsInWithXoauth2) {
    ShellSecretCommand command;
    const MainFormServices s = desktop.services(pop);
    form.reset();
    form = std::make_unique<TMainForm>(
        MainFormServices{s.app, s.registry, s.dialogs, s.random, s.sound, s.pop, s.starter,
                         s.notifyArea, s.previousInstance, s.windows, command, s.secretStore});
    form->SleepFn = [](int) {};
    form->Observer = [this](const QString& what, const QString& text) {
        if (what == "status" || what == "count")
            shown << what + " " + text;
    };
    const auto put = [&](const char* ident, const QString& value) {
        registry.values[MemoryRegistry::key("Server", ident)] = value;
    };
    put("Host", QStringLiteral("localhost:%1").arg(server_->pop3Port()));
    put("User", "alice");
    put("Auth", "xoauth2");
    put("PassCommand", "sleep 0.5; echo secret");
    form->LoadSettings();
    form->ui().SoundFile->clear();
    QElapsedTimer clock;
    clock.start();
    form->StartCheck();
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_TRUE(shown.isEmpty()); // nothing connects before the token is there
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.contains("count 3"); }, 20000))
        << qPrintable(shown.join('\n'));
    EXPECT_EQ(pop.Method(), LoginMethod::XOAuth2);
}

} // namespace
