#include "MainFormFixture.h"

#include "FakeProgramStarter.h"
#include "mail/TFrmCheck.h"
#include "notify/Appexec.h"
#include "platform/qt/QtMediaPlayer.h"

#include <QtCore/QDataStream>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

namespace {

class AlertTest : public MainFormTest {
protected:
    QStringList sleeps;
    void SetUp() override {
        create().show();
        fillConnection("pop.example.net", "alice", "pw");
        form->SleepFn = [this](int ms) { sleeps << QString::number(ms); };
        ui().SoundFile->setText("chime.wav");
        sound.playable.insert("chime.wav");
        ui().Viewer->setText("/opt/My Mail/mail");
        pop.state = popConnected;
        pop.protocolState = popLoggedIn;
    }
    QString status() { return ui().ConnectStatus->text(); }
};

} // namespace

// The alert itself is tested in the notify folder; here, that the count
// event and the menu reach it and what it does shows in the window.

TEST_F(AlertTest, TheCountShowsInTheWindowTheTrayAndTheTimer) {
    dialogs.onBox = [&](const QString&) {
        EXPECT_TRUE(form->TrayAnimated());
        EXPECT_EQ(sleeps, QStringList({"1000"}));
        EXPECT_FALSE(form->Timer1().Enabled());
    };
    pop.OnRefreshMessageCount(1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui().lMessageCount->text(), "1");
    EXPECT_EQ(form->TrayHint(), "1 Messages on pop.example.net");
    EXPECT_EQ(sound.calls, QStringList({"Close", "FileName=chime.wav", "Open", "Rewind", "Play"}));
    EXPECT_EQ(dialogs.events, QStringList({"box You have 1 Messages - Start eMail Viewer?"}));
    EXPECT_EQ(pop.calls, QStringList({"Quit"}));
    EXPECT_EQ(status(), "Ready");
}

TEST_F(AlertTest, ACountArrivingWhileTheQuestionIsOpenRunsNestedOnTheOpenConnection) {
    TFrmCheck* none = nullptr;
    form->SetWindows(none, nullptr);
    int depth = 0;
    dialogs.onBox = [&](const QString& text) {
        if (!text.startsWith("You have 5") || depth++)
            return;
        // The user checks from the tray while the question is open: the
        // connection is still logged in, so only the count is refreshed.
        form->StartCheck();
        EXPECT_EQ(pop.calls, QStringList({"RefreshMessageCount"}));
        pop.OnRefreshMessageCount(6);
    };
    pop.OnRefreshMessageCount(5);
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].text, "You have 6 Messages - Start eMail Viewer?");
    EXPECT_EQ(pop.calls, QStringList({"RefreshMessageCount", "Quit", "Quit"}));
    EXPECT_EQ(ui().lMessageCount->text(), "6");
}

TEST_F(AlertTest, ReadEmailStartsTheViewerAndTheTimerComesBack) {
    form->SetTrayAnimated(true);
    form->SetCheckTimerEnabled(false);
    form->ReadEmail1Click();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].commandLine, "/opt/My Mail/mail ");
    EXPECT_EQ(form->ViewerApp().AppInstance(), 33);
    EXPECT_FALSE(form->TrayAnimated());
    EXPECT_TRUE(form->Timer1().Enabled());

    ui().Viewer->clear(); // Yes to configuring one shows this window
    form->hide();
    dialogs.answers.push_back(TModalResult::mrYes);
    form->ReadEmail1Click();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, ACheckTickDueWhileTheSoundOpensStartsNoSecondCheckOrAlert) {
    // A real player with a real file: opening it must not let the tick in.
    QTemporaryDir dir;
    QFile wav(dir.filePath("tone.wav"));
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    QDataStream w(&wav);
    w.setByteOrder(QDataStream::LittleEndian);
    w.writeRawData("RIFF", 4);
    w << quint32(36 + 1600);
    w.writeRawData("WAVEfmt ", 8);
    w << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
      << quint16(16);
    w.writeRawData("data", 4);
    w << quint32(1600);
    w.writeRawData(QByteArray(1600, '\0').constData(), 1600);
    wav.close();
    QtMediaPlayer player;
    form = std::make_unique<TMainForm>(
        MainFormServices{*TApplication::Instance(), registry, dialogs, desktop.random, player, pop,
                         starter, desktop.notifyArea, desktop.previous, desktop.windows,
                         desktop.secretCommand, desktop.secretStore});
    form->SleepFn = [](int) {};
    fillConnection("pop.example.net", "alice", "pw");
    ui().SoundFile->setText(wav.fileName());
    pop.state = popConnected;
    pop.protocolState = popLoggedIn;
    form->Timer1().SetInterval(1);
    QThread::msleep(20); // the tick is due before the alert begins
    pop.OnRefreshMessageCount(2);
    EXPECT_EQ(dialogs.events, QStringList({"box You have 2 Messages - Start eMail Viewer?"}));
    EXPECT_EQ(pop.calls, QStringList({"Quit"})); // no RefreshMessageCount from a tick
}
