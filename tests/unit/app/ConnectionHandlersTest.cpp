#include "MainFormFixture.h"

#include "mail/ConnectionStatus.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "ui_TFrmCheck.h"
#include "ui_TfrmNetDialog.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>

namespace {

class ConnectionTest : public MainFormTest {
protected:
    void SetUp() override {
        create();
        fillConnection("pop.example.net", "alice", "pw");
        pop.host = "pop.example.net";
    }
    QString status() { return ui().ConnectStatus->text(); }
    bool fieldsEnabled() {
        const bool a = ui().ePOPServer->isEnabled(), b = ui().eUserName->isEnabled(),
                   c = ui().ePassword->isEnabled();
        EXPECT_TRUE(a == b && b == c);
        return a;
    }
};

struct StateRow {
    std::int16_t state;
    const char* status;  // nullptr: unchanged
    const char* caption; // nullptr: unchanged
    bool fieldsEnabled;
};

class StateTable : public ConnectionTest, public ::testing::WithParamInterface<StateRow> {};

} // namespace

TEST_P(StateTable, StatusCaptionAndFields) {
    const StateRow& row = GetParam();
    form->SetStatus("before");
    ui().POPConnectBtn->setText("before");
    form->SetConnectionFieldsEnabled(!row.fieldsEnabled);
    pop.host = "host.read.at.event"; // the control's host at the time of the event
    pop.OnStateChanged(row.state);
    EXPECT_EQ(status(), row.status ? QString::fromUtf8(row.status) : QStringLiteral("before"));
    EXPECT_EQ(ui().POPConnectBtn->text(),
              row.caption ? QString::fromUtf8(row.caption) : QStringLiteral("before"));
    EXPECT_EQ(fieldsEnabled(), row.fieldsEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Connection, StateTable,
    ::testing::Values(
        StateRow{1, "Connecting to POP server: host.read.at.event...", nullptr, true},
        StateRow{2, "Resolving Host", nullptr, true}, StateRow{3, "Host Resolved", nullptr, true},
        StateRow{4, "Connected to POP server: host.read.at.event", "Disconnect", false},
        StateRow{5, "Disconnecting from POP server: host.read.at.event...", nullptr, true},
        StateRow{6, "Waiting to check email on: host.read.at.event", "OK", true},
        StateRow{0, nullptr, nullptr, true}, StateRow{7, nullptr, nullptr, true}));

TEST_F(ConnectionTest, LoginIsSentWithTheControlsValuesAndAuthorisedShowsTheFieldsAsTyped) {
    pop.user = "connected-as";
    pop.password = "secret";
    pop.OnProtocolStateChanged(1);
    EXPECT_EQ(pop.calls, QStringList({"Authenticate connected-as secret"}));
    pop.authenticateThrows = true;
    EXPECT_NO_THROW(pop.OnProtocolStateChanged(1)); // dropped without a message
    EXPECT_TRUE(dialogs.events.isEmpty());

    ui().eUserName->setText("edited");
    pop.OnProtocolStateChanged(2);
    EXPECT_EQ(status(), "User edited authorized on server pop.example.net");
    pop.OnProtocolStateChanged(3);
    EXPECT_EQ(status(), "User edited authorized on server pop.example.net");
}

namespace {

struct ErrorCase {
    std::int16_t number;
    const char* showNetError;
    QStringList errors;
    QStringList dialogEvents; // beeps and boxes in order
    bool netDialogShown;
    bool configurationShown;
};

class ErrorBranches : public ConnectionTest, public ::testing::WithParamInterface<ErrorCase> {};

} // namespace

TEST_P(ErrorBranches, EndInQuitAfterTheirMessage) {
    const ErrorCase& c = GetParam();
    TFrmCheck frmCheck;
    TfrmNetDialog netDialog(dialogs);
    form->SetWindows(&frmCheck, &netDialog);
    ui().ShowNetError->setText(QString::fromUtf8(c.showNetError));
    for (const QString& e : c.errors)
        pop.errors.Add(e);
    form->SetTrayAnimated(true);
    bool netDialogShown = false;
    // Both modal windows are closed from inside their own loops.
    QTimer::singleShot(0, &netDialog, [&] {
        if (netDialog.isVisible()) {
            netDialogShown = true;
            EXPECT_FALSE(pop.calls.contains("Quit")); // Quit only after the window closed
            netDialog.ui().BitBtn1->click();
        }
    });
    dialogs.onBox = [&](const QString&) { EXPECT_FALSE(pop.calls.contains("Quit")); };
    QString description = "Description";
    bool cancel = false;
    pop.OnError(c.number, description, 0, "src", "help", 0, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_FALSE(form->TrayAnimated());
    EXPECT_EQ(status(), "Error!");
    EXPECT_EQ(dialogs.events, c.dialogEvents);
    for (const auto& box : dialogs.boxes)
        EXPECT_EQ(box.type, TMsgDlgType::mtError);
    EXPECT_EQ(netDialogShown, c.netDialogShown);
    EXPECT_EQ(form->isVisible(), c.configurationShown);
    EXPECT_EQ(pop.calls.last(), "Quit");
}

INSTANTIATE_TEST_SUITE_P(
    Connection, ErrorBranches,
    ::testing::Values(
        ErrorCase{1014, "true", {}, {"beep 0", "box Invalid Username or Password"}, false, false},
        ErrorCase{1005, "true", {"x"}, {}, false, false},
        ErrorCase{1009, "true", {}, {}, false, false},
        ErrorCase{1003, "true", {}, {"beep 64"}, true, false}, // the window's own asterisk beep
        ErrorCase{1003, "True", {}, {}, false, false},
        ErrorCase{1003, "false", {}, {}, false, false},
        ErrorCase{1100, "true", {}, {"beep 0", "box 1100 - Description"}, false, true},
        ErrorCase{
            1100, "true", {" one "}, {"beep 0", "box 1100 - Description( one )"}, false, true},
        ErrorCase{1101,
                  "true",
                  {"first", "second", "third"},
                  {"beep 0", "box 1101 - Description(third)"},
                  false,
                  true}));

TEST_F(ConnectionTest, StartCheckOpensOnlyFromClosedAndRefreshesOnlyAnIdleLogin) {
    struct Case {
        std::int16_t state, protocol;
        bool busy;
        QStringList calls;
    };
    const QStringList open{"RemoteHost=pop.example.net", "UserId=alice", "Password=pw", "Connect"};
    for (const Case& c : {Case{6, 0, false, open}, Case{4, 2, false, {"RefreshMessageCount"}},
                          Case{4, 1, false, {}}, Case{4, 2, true, {}}, Case{1, 0, false, {}},
                          Case{5, 2, false, {}}}) {
        pop.calls.clear();
        pop.state = c.state;
        pop.protocolState = c.protocol;
        pop.busy = c.busy;
        form->StartCheck();
        EXPECT_EQ(pop.calls, c.calls) << c.state << " " << c.protocol << " " << c.busy;
    }
    pop.state = 6;
    pop.connectThrows = true;
    EXPECT_NO_THROW(form->StartCheck());
}

TEST_F(ConnectionTest, ManualCheckShowsTheProgressWindowFirstEvenWhenCancelled) {
    TFrmCheck frmCheck;
    form->SetWindows(&frmCheck, nullptr);
    bool shownBeforeCheck = false;
    QTimer::singleShot(0, &frmCheck, [&] {
        shownBeforeCheck = frmCheck.isVisible() && pop.calls.isEmpty();
        frmCheck.ui().Button1->click(); // Cancel
    });
    form->CheckEmail1Click();
    EXPECT_TRUE(shownBeforeCheck);
    EXPECT_FALSE(frmCheck.isVisible());
    EXPECT_EQ(pop.calls.last(), "Connect");
}

TEST(TFrmCheck, FillsItsBarAndClosesItselfAboutASecondAfterShowing) {
    TFrmCheck frmCheck;
    EXPECT_EQ(frmCheck.windowTitle(), "Checking for New Messages...");
    EXPECT_EQ(frmCheck.ui().ProgressBar1->maximum(), 2000);
    QElapsedTimer clock;
    for (int showing = 0; showing < 2; ++showing) { // the window is reused
        clock.start();
        QTimer::singleShot(800, &frmCheck, [&] { EXPECT_TRUE(frmCheck.isVisible()); });
        frmCheck.exec();
        EXPECT_GE(clock.elapsed(), 900);
        EXPECT_LT(clock.elapsed(), 5000);
    }
    QTest::qWait(50);
    EXPECT_FALSE(frmCheck.Timer1().Enabled()); // off while hidden
}

TEST_F(ConnectionTest, SilencingTheConnectionErrorWindowStoresFalseForGood) {
    TfrmNetDialog netDialog(dialogs);
    form->SetWindows(nullptr, &netDialog);
    EXPECT_EQ(netDialog.windowTitle(), "Unable to Connect to eMail Server...");
    EXPECT_EQ(netDialog.ui().Memo1->toPlainText().split('\n'), TfrmNetDialog::MemoLines());
    EXPECT_EQ(TfrmNetDialog::MemoLines()[2],
              "        entered the correct Server Name or IP address.  ");
    ui().ShowNetError->setText("true");
    registry.unwritable.insert(MemoryRegistry::key("Server", "ShowError"));
    EXPECT_THROW(netDialog.chkSkipThisClick(), ERegistryException);
    EXPECT_EQ(form->ShowNetErrorText(), "true"); // the store first, then the field
    registry.unwritable.clear();
    netDialog.ui().chkSkipThis->click();
    netDialog.ui().chkSkipThis->click(); // clearing the box writes "false" too
    EXPECT_EQ(stored("Server", "ShowError"), "false");
    EXPECT_EQ(form->ShowNetErrorText(), "false");
    EXPECT_EQ(registry.openNow, 0);
    form->SaveSettings(); // later saves leave it alone
    form->LoadSettings();
    EXPECT_EQ(form->ShowNetErrorText(), "false");
}
