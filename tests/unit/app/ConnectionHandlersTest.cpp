#include "MainFormFixture.h"

#include "FakeSystemWatches.h"
#include "mail/SleepAndNetworkChecks.h"

#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "ui_TFrmCheck.h"
#include "ui_TfrmNetDialog.h"

#include <QtCore/QTimer>

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

} // namespace

// The handlers themselves are tested in the mail folder; here, that each of
// the control's events reaches them and what they do shows in the window.

TEST_F(ConnectionTest, StateEventsShowInTheStatusLineTheButtonAndTheFields) {
    pop.OnStateChanged(4);
    EXPECT_EQ(status(), "Connected to POP server: pop.example.net");
    EXPECT_EQ(ui().POPConnectBtn->text(), "Disconnect");
    EXPECT_FALSE(fieldsEnabled());
    pop.OnStateChanged(6);
    EXPECT_EQ(ui().POPConnectBtn->text(), "OK");
    EXPECT_TRUE(fieldsEnabled());
}

TEST_F(ConnectionTest, ProtocolEventsLogInAndShowTheFieldsAsTyped) {
    pop.user = "connected-as";
    pop.password = "secret";
    pop.OnProtocolStateChanged(1);
    EXPECT_EQ(pop.calls, QStringList({"Authenticate connected-as secret"}));
    ui().eUserName->setText("edited");
    pop.OnProtocolStateChanged(2);
    EXPECT_EQ(status(), "User edited authorized on server pop.example.net");
}

TEST_F(ConnectionTest, AnUnreachableServerShowsTheConnectionErrorWindowThenQuits) {
    TfrmNetDialog netDialog(dialogs);
    form->SetWindows(nullptr, &netDialog);
    ui().ShowNetError->setText("true");
    form->SetTrayAnimated(true);
    bool netDialogShown = false;
    // The modal window is closed from inside its own loop.
    QTimer::singleShot(0, &netDialog, [&] {
        netDialogShown = netDialog.isVisible();
        EXPECT_FALSE(pop.calls.contains("Quit")); // Quit only after the window closed
        netDialog.ui().BitBtn1->click();
    });
    QString description = "Description";
    bool cancel = false;
    pop.OnError(1003, description, 0, "src", "help", 0, cancel);
    EXPECT_TRUE(netDialogShown);
    EXPECT_EQ(dialogs.events, QStringList({"beep 64"})); // the window's own asterisk beep
    EXPECT_FALSE(form->TrayAnimated());
    EXPECT_EQ(status(), "Error!");
    EXPECT_EQ(pop.calls, QStringList({"Quit"}));
}

TEST_F(ConnectionTest, TimedChecksOpenWithTheFields) {
    form->Timer1Timer();
    EXPECT_EQ(pop.calls, QStringList({"RemoteHost=pop.example.net", "UserId=alice", "Password=pw",
                                      "Connect"}));
}

TEST_F(ConnectionTest, GoingToSleepHoldsBackTimedChecksAndTheConnectionErrorWindow) {
    FakeSleepWatch sleep;
    FakeNetworkWatch network;
    mail::SleepAndNetworkChecks checks(sleep, network);
    TfrmNetDialog netDialog(dialogs);
    form->SetWindows(nullptr, &netDialog);
    form->SetSleepAndNetworkChecks(&checks);
    sleep.Announce(true);
    form->Timer1Timer();
    EXPECT_TRUE(pop.calls.isEmpty());
    // A check dying as the network goes down: no window, the rest as usual.
    bool netDialogShown = false;
    QTimer::singleShot(0, &netDialog, [&] {
        netDialogShown = netDialog.isVisible();
        if (netDialogShown)
            netDialog.ui().BitBtn1->click();
    });
    QString description = "Description";
    bool cancel = false;
    pop.OnError(1003, description, 0, "src", "help", 0, cancel);
    EXPECT_FALSE(netDialogShown);
    EXPECT_EQ(status(), "Error!");
    EXPECT_EQ(pop.calls, QStringList({"Quit"}));
    form->SetSleepAndNetworkChecks(nullptr);
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
