#include "FakeAlertHost.h"
#include "FakeDesktopNotifications.h"
#include "FakeDialogs.h"
#include "FakeMediaPlayer.h"
#include "FakeProgramStarter.h"
#include "notify/Appexec.h"
#include "notify/NewMailBubble.h"

#include <gtest/gtest.h>

namespace {

class AlertTest : public ::testing::Test {
protected:
    FakeAlertHost host;
    FakeDialogs dialogs;
    FakeMediaPlayer sound;
    FakeProgramStarter starter;
    TAppExecute viewerApp{starter};
    AlertServices services{host, dialogs, sound, viewerApp};

    void SetUp() override {
        host.server = "pop.example.net";
        host.soundFile = "chime.wav";
        sound.playable.insert("chime.wav");
        host.viewer = "/opt/My Mail/mail";
    }
};

} // namespace

TEST_F(AlertTest, ZeroShowsTheCountStopsTheAnimationAndAsksNothing) {
    host.trayAnimated = true;
    notify::POP1RefreshMessageCount(services, 0);
    EXPECT_FALSE(host.configurationShown);
    EXPECT_EQ(host.messageCount, "0");
    EXPECT_EQ(host.trayHint, "0 Messages on pop.example.net");
    EXPECT_FALSE(host.trayAnimated);
    EXPECT_TRUE(sound.calls.isEmpty());
    EXPECT_TRUE(dialogs.events.isEmpty());
    EXPECT_TRUE(host.timerEnabled); // untouched
    EXPECT_EQ(host.calls, QStringList({"Quit"}));
    EXPECT_EQ(host.status, "Ready");
}

TEST_F(AlertTest, MailWaitingAnimatesPlaysWaitsStopsTheTimerAndAsks) {
    dialogs.onBox = [&](const QString&) {
        EXPECT_TRUE(host.trayAnimated);
        EXPECT_EQ(host.calls, QStringList({"Sleep 1000"})); // the wait comes before the question
        EXPECT_FALSE(host.timerEnabled);
        EXPECT_EQ(host.status, "Checking eMail...");
    };
    notify::POP1RefreshMessageCount(services, 1);
    EXPECT_EQ(dialogs.events, QStringList({"box You have 1 Messages - Start eMail Viewer?"}));
    EXPECT_EQ(dialogs.boxes[0].buttons, TMsgDlgButtons::mbYesNo);
    EXPECT_EQ(sound.calls, QStringList({"Close", "FileName=chime.wav", "Open", "Rewind", "Play"}));
    EXPECT_EQ(host.trayHint, "1 Messages on pop.example.net");
    // No: the tray keeps animating and the timed checks stay off
    EXPECT_TRUE(host.trayAnimated);
    EXPECT_FALSE(host.timerEnabled);
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(host.calls, QStringList({"Sleep 1000", "Quit"}));
    EXPECT_EQ(host.status, "Ready");
}

TEST_F(AlertTest, YesStartsTheViewerMaximisedUnquotedAndRestartsTheTimer) {
    dialogs.answers.push_back(TModalResult::mrYes);
    notify::POP1RefreshMessageCount(services, 12);
    EXPECT_EQ(dialogs.boxes[0].text, "You have 12 Messages - Start eMail Viewer?");
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].commandLine, "/opt/My Mail/mail ");
    EXPECT_EQ(starter.starts[0].showCode, 3);
    EXPECT_FALSE(host.trayAnimated);
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_EQ(viewerApp.AppInstance(), 33);
}

TEST_F(AlertTest, SoundFileProblemsComeBeforeTheQuestion) {
    host.soundFile = "/missing.wav";
    notify::POP1RefreshMessageCount(services, 2);
    EXPECT_EQ(dialogs.events,
              QStringList({"beep 0", "box Unable to open Media or Sound file:/missing.wav",
                           "box You have 2 Messages - Start eMail Viewer?"}));
}

namespace {

struct PlayCase {
    const char* soundFile;
    bool playable;
    QStringList dialogEvents;
};

class PlaySound : public AlertTest, public ::testing::WithParamInterface<PlayCase> {};

} // namespace

TEST_P(PlaySound, PlaysOrBeepsAndNamesTheFileThatFailed) {
    const PlayCase& c = GetParam();
    host.soundFile = QString::fromUtf8(c.soundFile);
    sound.playable.clear();
    if (c.playable)
        sound.playable.insert(host.soundFile);
    notify::PlaySoundFile(services);
    EXPECT_EQ(dialogs.events, c.dialogEvents);
    if (c.playable) {
        EXPECT_EQ(sound.calls, QStringList({"Close", QStringLiteral("FileName=%1").arg(c.soundFile),
                                            "Open", "Rewind", "Play"}));
    }
    EXPECT_TRUE(host.calls.isEmpty()); // playing starts nothing else
    if (dialogs.boxes.size() == 1) {
        EXPECT_EQ(dialogs.boxes[0].type, TMsgDlgType::mtInformation);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Alert, PlaySound,
    ::testing::Values(
        PlayCase{"chime.wav", true, {}}, PlayCase{"", false, {"beep 0"}},
        PlayCase{"   ", false, {"beep 0"}},
        PlayCase{"/no/such.wav",
                 false,
                 {"beep 0", "box Unable to open Media or Sound file:/no/such.wav"}},
        PlayCase{" x.wav", false, {"beep 0", "box Unable to open Media or Sound file: x.wav"}}));

TEST_F(AlertTest, WithoutAViewerOffersToConfigureAndTheTimerComesBackEitherWay) {
    host.viewer.clear();
    host.configurationShown = false;
    host.timerEnabled = false;
    notify::StartViewer(services);
    EXPECT_EQ(dialogs.events,
              QStringList({"beep 0", "box You have no viewer configured, configure now?"}));
    EXPECT_FALSE(host.configurationShown);
    EXPECT_TRUE(host.timerEnabled);

    host.timerEnabled = false;
    dialogs.answers.push_back(TModalResult::mrYes);
    notify::StartViewer(services);
    EXPECT_TRUE(host.configurationShown);
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_TRUE(starter.starts.empty());
}

TEST_F(AlertTest, AViewerThatFailsToStartIsNotReported) {
    starter.results.push_back(2);
    host.trayAnimated = true;
    host.timerEnabled = false;
    notify::StartViewer(services);
    EXPECT_TRUE(dialogs.events.isEmpty());
    EXPECT_EQ(viewerApp.AppInstance(), 2);
    EXPECT_FALSE(host.trayAnimated);
    EXPECT_TRUE(host.timerEnabled);
}

namespace {

class BubbleTest : public AlertTest {
protected:
    FakeDesktopNotifications service;
    notify::NewMailBubble bubble{service};
    void SetUp() override {
        AlertTest::SetUp();
        bubble.OnStartViewer = [this] { notify::StartViewer(services); };
    }
    void count(std::int32_t number) { notify::POP1RefreshMessageCount(services, number, &bubble); }
    int plays() const { return int(sound.calls.count(QStringLiteral("Play"))); }
};

} // namespace

TEST_F(BubbleTest, MailWaitingNotifiesInsteadOfAskingAndTheButtonStartsTheViewer) {
    count(3);
    EXPECT_EQ(service.calls,
              QStringList({"Notify 0 You have 3 Messages [start-viewer Start eMail Viewer]"}));
    EXPECT_TRUE(dialogs.events.isEmpty());
    EXPECT_EQ(plays(), 1);
    // Nothing waits for an answer: no blocking wait, and the timed checks go on.
    EXPECT_EQ(host.calls, QStringList({"Quit"}));
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_TRUE(host.trayAnimated);
    EXPECT_EQ(host.trayHint, "3 Messages on pop.example.net");
    EXPECT_EQ(host.status, "Ready");

    service.Click(99); // another program's notification
    EXPECT_TRUE(starter.starts.empty());
    service.Click(7);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].showCode, 3);
    EXPECT_FALSE(host.trayAnimated);
}

TEST_F(BubbleTest, OneNotificationReplacedWhenTheCountChangesAndWithdrawnAtZero) {
    count(3);
    count(3); // the same count again: no second bubble, no second sound
    count(5);
    EXPECT_EQ(plays(), 2);
    service.Closed(7); // the user closed it: the same count stays quiet...
    count(5);
    count(6); // ...a new one gets a new bubble
    count(0);
    count(0);
    EXPECT_EQ(
        service.calls,
        QStringList({"Notify 0 You have 3 Messages [start-viewer Start eMail Viewer]",
                     "Notify 7 You have 5 Messages [start-viewer Start eMail Viewer]",
                     "Notify 0 You have 6 Messages [start-viewer Start eMail Viewer]", "Close 8"}));
    count(5); // after the empty mailbox the same count is news again
    EXPECT_EQ(service.calls.last(),
              "Notify 0 You have 5 Messages [start-viewer Start eMail Viewer]");
    EXPECT_TRUE(dialogs.events.isEmpty());
}

TEST_F(BubbleTest, DoNotDisturbNotifiesWithoutTheSound) {
    service.inhibited = true;
    count(2);
    EXPECT_EQ(service.calls.size(), 1);
    EXPECT_EQ(plays(), 0);
    EXPECT_TRUE(dialogs.events.isEmpty());
}

TEST_F(BubbleTest, WithoutAServiceThatShowsButtonsTheQuestionIsAsked) {
    for (auto broken : {&FakeDesktopNotifications::present, &FakeDesktopNotifications::actions,
                        &FakeDesktopNotifications::refuse}) {
        service.present = service.actions = true;
        service.refuse = false;
        service.*broken = broken == &FakeDesktopNotifications::refuse;
        dialogs.events.clear();
        host.calls.clear();
        host.timerEnabled = true;
        count(4);
        EXPECT_EQ(dialogs.events, QStringList({"box You have 4 Messages - Start eMail Viewer?"}));
        EXPECT_EQ(host.calls, QStringList({"Sleep 1000", "Quit"}));
        EXPECT_FALSE(host.timerEnabled);
    }
}
