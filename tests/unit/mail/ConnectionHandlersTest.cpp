#include "mail/ConnectionHandlers.h"
#include "FakeDialogs.h"
#include "FakeMailHost.h"
#include "FakePOPControl.h"
#include "mail/CheckCycle.h"
#include "mail/TFrmCheck.h"
#include "ui_TFrmCheck.h"

#include <gtest/gtest.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>

namespace {

class ConnectionTest : public ::testing::Test {
protected:
    FakePOPControl pop;
    FakeMailHost host;
    FakeDialogs dialogs;
    void SetUp() override {
        host.server = "pop.example.net";
        host.userName = "alice";
        host.password = "pw";
        pop.host = "pop.example.net";
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
    host.status = host.caption = "before";
    host.fieldsEnabled = !row.fieldsEnabled;
    pop.host = "host.read.at.event"; // the control's host at the time of the event
    mail::POP1StateChanged(pop, host, row.state);
    EXPECT_EQ(host.status, row.status ? QString::fromUtf8(row.status) : QStringLiteral("before"));
    EXPECT_EQ(host.caption,
              row.caption ? QString::fromUtf8(row.caption) : QStringLiteral("before"));
    EXPECT_EQ(host.fieldsEnabled, row.fieldsEnabled);
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
    mail::POP1ProtocolStateChanged(pop, host, 1);
    EXPECT_EQ(pop.calls, QStringList({"Authenticate connected-as secret"}));
    pop.authenticateThrows = true;
    EXPECT_NO_THROW(mail::POP1ProtocolStateChanged(pop, host, 1)); // dropped without a message
    EXPECT_TRUE(dialogs.events.isEmpty());

    host.userName = "edited";
    mail::POP1ProtocolStateChanged(pop, host, 2);
    EXPECT_EQ(host.status, "User edited authorized on server pop.example.net");
    host.status.clear();
    mail::POP1ProtocolStateChanged(pop, host, 3);
    EXPECT_EQ(host.status, "");
}

namespace {

struct ErrorCase {
    std::int16_t number;
    const char* showNetError;
    QStringList errors;
    QStringList dialogEvents; // beeps and boxes in order
    QStringList shown;        // the host's windows in order
};

class ErrorBranches : public ConnectionTest, public ::testing::WithParamInterface<ErrorCase> {};

} // namespace

TEST_P(ErrorBranches, EndInQuitAfterTheirMessage) {
    const ErrorCase& c = GetParam();
    host.showNetError = QString::fromUtf8(c.showNetError);
    for (const QString& e : c.errors)
        pop.errors.Add(e);
    host.trayAnimated = true;
    host.onModal = [&](const QString&) { EXPECT_FALSE(pop.calls.contains("Quit")); };
    dialogs.onBox = [&](const QString&) { EXPECT_FALSE(pop.calls.contains("Quit")); };
    QString description = "Description";
    bool cancel = false;
    mail::POP1Error(pop, host, dialogs, c.number, description, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_FALSE(host.trayAnimated);
    EXPECT_EQ(host.status, "Error!");
    EXPECT_EQ(dialogs.events, c.dialogEvents);
    for (const auto& box : dialogs.boxes)
        EXPECT_EQ(box.type, TMsgDlgType::mtError);
    EXPECT_EQ(host.shown, c.shown);
    EXPECT_EQ(pop.calls, QStringList({"Quit"}));
}

INSTANTIATE_TEST_SUITE_P(
    Connection, ErrorBranches,
    ::testing::Values(
        ErrorCase{1014, "true", {}, {"beep 0", "box Invalid Username or Password"}, {}},
        ErrorCase{1005, "true", {"x"}, {}, {}}, ErrorCase{1009, "true", {}, {}, {}},
        ErrorCase{1003, "true", {}, {}, {"net dialog"}}, ErrorCase{1003, "True", {}, {}, {}},
        ErrorCase{1003, "false", {}, {}, {}},
        ErrorCase{1100, "true", {}, {"beep 0", "box 1100 - Description"}, {"configuration"}},
        ErrorCase{1100,
                  "true",
                  {" one "},
                  {"beep 0", "box 1100 - Description( one )"},
                  {"configuration"}},
        ErrorCase{1101,
                  "true",
                  {"first", "second", "third"},
                  {"beep 0", "box 1101 - Description(third)"},
                  {"configuration"}}));

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
        mail::StartCheck(pop, host);
        EXPECT_EQ(pop.calls, c.calls) << c.state << " " << c.protocol << " " << c.busy;
    }
    pop.state = 6;
    pop.connectThrows = true;
    EXPECT_NO_THROW(mail::StartCheck(pop, host));
}

// The login method comes from the settings file; a word that names none
// starts no check and says why.
TEST_F(ConnectionTest, StartCheckHandsOnTheLoginMethod) {
    host.login.auth = " OAuthBearer";
    mail::StartCheck(pop, host);
    EXPECT_EQ(pop.method, LoginMethod::OAuthBearer);
    EXPECT_EQ(pop.calls.last(), "Connect");
    pop.calls.clear();
    host.login.auth = "xoauth";
    mail::StartCheck(pop, host);
    EXPECT_EQ(pop.calls, QStringList{});
    EXPECT_EQ(host.checkErrors, QStringList{"1040 Auth=xoauth"});
}

// With a password command the check waits for it: one run per check, no
// second check meanwhile, and a failure starts nothing and never shows the
// output.
TEST_F(ConnectionTest, PasswordCommandRunsForEveryCheckBeforeTheConnection) {
    using Outcome = SecretCommandResult::Outcome;
    host.login.passCommand = "pass show mail/alice";
    const struct {
        SecretCommandResult result;
        const char* error; // nullptr: the check starts
    } cases[] = {
        {{Outcome::Ok, "tok1", 0, {}}, nullptr},
        {{Outcome::Failed, "tok1", 3, "gpg: decryption failed"},
         "1041 exit status 3; it said: gpg: decryption failed"},
        {{Outcome::Killed, {}, 9, {}}, "1041 ended by signal 9"},
        {{Outcome::TimedOut, {}, 0, {}}, "1042 stopped after 20 s"},
        {{Outcome::Empty, {}, 0, {}}, "1043 exit status 0"},
        {{Outcome::TooMuch, {}, 0, {}}, "1044 stopped after 64 KiB of output"},
        {{Outcome::NotStarted, {}, 0, "fork failed"}, "1041 it could not be started: fork failed"},
        {{Outcome::Ok, "tok2", 0, {}}, nullptr},
    };
    int runs = 0;
    for (const auto& c : cases) {
        pop.calls.clear();
        host.checkErrors.clear();
        mail::StartCheck(pop, host);
        mail::StartCheck(pop, host); // a timer tick while the command runs
        EXPECT_EQ(host.command.lines.size(), ++runs);
        EXPECT_EQ(pop.calls, QStringList{});
        host.command.finish(c.result);
        if (c.error) {
            EXPECT_EQ(host.checkErrors, QStringList{c.error});
            EXPECT_EQ(pop.calls, QStringList{});
        } else {
            EXPECT_EQ(host.checkErrors, QStringList{});
            EXPECT_EQ(pop.calls, QStringList({"RemoteHost=pop.example.net", "UserId=alice",
                                              "Password=" + c.result.secret, "Connect"}));
        }
    }
    // A check opened meanwhile by another road keeps its connection.
    mail::StartCheck(pop, host);
    pop.state = popConnecting;
    pop.calls.clear();
    host.command.finish({Outcome::Ok, "tok3", 0, {}});
    EXPECT_EQ(pop.calls, QStringList{});
}

// With the keyring the check waits for its answer, asks it afresh every
// time, and when it cannot have the password starts nothing: the password in
// the file is never used instead.
TEST_F(ConnectionTest, KeyringIsAskedForEveryCheckAndNeverReplacedByTheFile) {
    using Outcome = SecretStoreResult::Outcome;
    host.login.keyring = true;
    host.password = "from the file";
    const struct {
        SecretStoreResult result;
        const char* error; // nullptr: the check starts
    } cases[] = {
        {{Outcome::NoService, {}, "no D-Bus"}, "1045 no D-Bus"},
        {{Outcome::TimedOut, {}, "no answer"}, "1045 no answer"},
        {{Outcome::Refused, {}, "locked"}, "1046 locked"},
        {{Outcome::NotFound, {}, "no entry"}, "1047 no entry"},
        {{Outcome::Failed, {}, "odd"}, "1045 odd"},
        {{Outcome::Ok, "from the keyring", {}}, nullptr},
    };
    int reads = 0;
    for (const auto& c : cases) {
        pop.calls.clear();
        host.checkErrors.clear();
        mail::StartCheck(pop, host);
        mail::StartCheck(pop, host);
        EXPECT_EQ(host.keyring.calls.size(), ++reads);
        EXPECT_EQ(host.keyring.calls.last(), "read pop.example.net alice");
        host.keyring.finish(c.result);
        if (c.error) {
            EXPECT_EQ(host.checkErrors, QStringList{c.error});
            EXPECT_EQ(pop.calls, QStringList{});
        } else {
            EXPECT_EQ(pop.calls, QStringList({"RemoteHost=pop.example.net", "UserId=alice",
                                              "Password=from the keyring", "Connect"}));
        }
    }
    // A check asked for while the password is being stored reads what was stored.
    host.keyring.calls.clear();
    pop.calls.clear();
    QStringList stored;
    host.credentials.Store(
        "pop.example.net", "alice", "new",
        [&](const mail::Credentials::Result& r) { stored << QString::number(r.error); });
    mail::StartCheck(pop, host);
    EXPECT_EQ(host.keyring.calls, QStringList{"write pop.example.net alice"});
    host.keyring.finish({Outcome::Refused, {}, "locked"});
    EXPECT_EQ(stored, QStringList{"1048"});
    EXPECT_EQ(host.keyring.calls.last(), "read pop.example.net alice");
    host.keyring.finish({Outcome::Ok, "new", {}});
    EXPECT_EQ(pop.calls.last(), "Connect");
}

TEST_F(ConnectionTest, ManualCheckShowsTheProgressWindowFirst) {
    host.onModal = [&](const QString&) { EXPECT_TRUE(pop.calls.isEmpty()); };
    mail::CheckWithProgress(pop, host);
    EXPECT_EQ(host.shown, QStringList({"progress"}));
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
