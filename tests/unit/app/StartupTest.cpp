#include "MainFormFixture.h"

#include "platform/Errors.h"
#include "settings/StoredSettings.h"
#include "settings/TKelEncryption.h"

#include <QtGui/QScreen>

TEST_F(MainFormTest, EmptyStoreShowsTheWindowCentredAndStartsNoCheck) {
    create().FormCreate();
    EXPECT_TRUE(form->isVisible());
    const QPoint centre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - centre).manhattanLength(), 40);
    EXPECT_TRUE(pop.calls.isEmpty());
    EXPECT_EQ(form->Timer1().Interval(), 900000u);
    EXPECT_TRUE(form->Timer1().Enabled());
}

TEST_F(MainFormTest, StoredUserNameEvenBlanksHidesTheWindowAndChecksAtOnce) {
    store("Server", "User", "  ");
    store("Server", "Pass", TKelEncryption::Scramble("pw", "kestrel", 9));
    create().FormCreate();
    EXPECT_FALSE(form->isVisible());
    // server empty: the check starts all the same, with the fields as loaded
    EXPECT_EQ(pop.calls, QStringList({"RemoteHost=", "UserId=  ", "Password=pw", "Connect"}));
}

// Whatever start-up cannot read, it goes on to the end with the stored
// default period, never the timer's one-second design value, and says once
// what it could not read.
TEST_F(MainFormTest, UnusableIntervalStartsWithTheDefaultPeriodAndSaysSoOnce) {
    for (const char* text : {"abc", "10 min", "71583", "-1", "2147483648"}) {
        SCOPED_TRACE(text);
        dialogs.boxes.clear();
        pop.calls.clear();
        store("Server", "User", "bob");
        store("Options", "Checktime", text);
        create().FormCreate();
        EXPECT_EQ(form->Timer1().Interval(), 900000u);
        EXPECT_TRUE(form->Timer1().Enabled());
        EXPECT_EQ(ui().EditCheckTime->text(), "15");
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(pop.calls.contains("Connect"));
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].type, TMsgDlgType::mtWarning);
        EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("'%1'").arg(text)));
    }
    // The longest period that fits is taken as it is.
    store("Options", "Checktime", "71582");
    create().FormCreate();
    EXPECT_EQ(form->Timer1().Interval(), 71582u * 60000u);
}

TEST_F(MainFormTest, UnreadableValuesTakeTheirDefaultsAndStartupGoesOn) {
    store("Server", "User", "bob");
    store("Server", "Pass", "Q7");
    store("Options", "Checktime", "3");
    registry.unreadable.insert(MemoryRegistry::key("Viewer", "Path"));
    registry.unreadable.insert(MemoryRegistry::key("Options", "Checktime"));
    create().FormCreate();
    EXPECT_EQ(form->Timer1().Interval(), 900000u);
    EXPECT_EQ(ui().ePassword->text(), "");
    EXPECT_EQ(ui().SoundFile->text(), "newmail.wav");
    EXPECT_TRUE(pop.calls.contains("Connect"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const QString text = dialogs.boxes[0].text;
    EXPECT_TRUE(text.contains(StoredSettings::PasswordUnreadable));
    EXPECT_TRUE(text.contains("'Path'")) << qPrintable(text);
    EXPECT_FALSE(text.contains("Q7")); // not even part of the stored password

    // A store that cannot be opened at all: every field at its default.
    registry.failOpen = true;
    dialogs.boxes.clear();
    create().FormCreate();
    EXPECT_EQ(form->Timer1().Interval(), 900000u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(MainFormTest, IntervalZeroNeverTicks) {
    store("Options", "Checktime", "0");
    create().FormCreate();
    EXPECT_EQ(form->Timer1().Interval(), 0u);
    EXPECT_FALSE(form->Timer1().IsRunning());
}

TEST_F(MainFormTest, SettingsMoveBetweenEveryFieldAndTheStore) {
    create();
    fillConnection("h", "u", "pw");
    ui().EditCheckTime->setText("7");
    ui().SoundFile->setText("s.wav");
    ui().Viewer->setText("v");
    form->SaveSettings();
    EXPECT_EQ(stored("Server", "Host"), "h");
    EXPECT_EQ(stored("Server", "User"), "u");
    EXPECT_EQ(TKelEncryption::Unscramble(stored("Server", "Pass"), "kestrel"), "pw");
    EXPECT_EQ(stored("Options", "Checktime"), "7");
    EXPECT_EQ(stored("SoundFile", "Path"), "s.wav");
    EXPECT_EQ(stored("Viewer", "Path"), "v");

    store("Server", "ShowError", "false");
    for (QLineEdit* field : form->findChildren<QLineEdit*>())
        field->clear();
    form->LoadSettings();
    EXPECT_EQ(QStringList({ui().ePOPServer->text(), ui().eUserName->text(), ui().ePassword->text(),
                           ui().EditCheckTime->text(), ui().SoundFile->text(), ui().Viewer->text(),
                           ui().ShowNetError->text()}),
              QStringList({"h", "u", "pw", "7", "s.wav", "v", "false"}));

    // A value that cannot be read takes its default; the others all load.
    store("Server", "Host", "h2");
    store("Server", "Pass", "ZZ");
    ui().EditCheckTime->setText("kept");
    EXPECT_EQ(form->LoadSettings(), QStringList{StoredSettings::PasswordUnreadable});
    EXPECT_EQ(ui().ePOPServer->text(), "h2");
    EXPECT_EQ(ui().ePassword->text(), "");
    EXPECT_EQ(ui().EditCheckTime->text(), "7");
}

TEST_F(MainFormTest, CloseAsksAfterABeepAndNoChangesNothing) {
    create().show();
    TMainForm::TCloseAction action = TMainForm::TCloseAction::caHide;
    form->FormClose(action);
    EXPECT_EQ(action, TMainForm::TCloseAction::caNone);
    EXPECT_EQ(dialogs.events, QStringList({"beep 0", "box Close Pingbox?"}));
    EXPECT_EQ(dialogs.boxes[0].buttons, TMsgDlgButtons::mbYesNo);
    EXPECT_EQ(dialogs.boxes[0].type, TMsgDlgType::mtConfirmation);

    form->ClosePingbox1Click(); // answered No again
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->Freed());

    dialogs.answers.push_back(TModalResult::mrYes);
    form->ClosePingbox1Click();
    EXPECT_TRUE(form->Freed());
}

TEST(PreviousInstance, MarkerDecidesAndTheGuardHandsOverOnlyToAnotherCopy) {
    FakeInstanceMarker marker;
    FakeTopLevelWindows windows;
    int terminations = 0;
    const auto terminate = [&] { ++terminations; };
    const QString title = QStringLiteral("Pingbox");
    {
        TPreviousInstance first(marker, QStringLiteral("n"));
        EXPECT_FALSE(first.PreviousInstance());
        TJustOne32 guard(first, windows, title, terminate);
        EXPECT_FALSE(guard.HandedOver());
        EXPECT_TRUE(windows.calls.isEmpty());
        EXPECT_EQ(terminations, 0);
    }
    marker.result = InstanceMarker::Result::Failed; // runs as a first copy
    EXPECT_FALSE(TPreviousInstance(marker, QStringLiteral("n")).PreviousInstance());

    marker.result = InstanceMarker::Result::AlreadyExists;
    TPreviousInstance second(marker, QStringLiteral("n"));
    EXPECT_TRUE(second.PreviousInstance());
    windows.otherCopyRuns = true;
    windows.otherIsIconic = true;
    TJustOne32 restore(second, windows, title, terminate);
    windows.otherIsIconic = false;
    TJustOne32 raise(second, windows, title, terminate);
    windows.otherCopyRuns = false;
    TJustOne32 nobody(second, windows, title, terminate);
    EXPECT_TRUE(restore.HandedOver() && nobody.HandedOver());
    EXPECT_EQ(windows.calls,
              QStringList({"FindWindow Pingbox", "ShowWindow 9", "FindWindow Pingbox",
                           "BringWindowToTop", "FindWindow Pingbox"}));
    EXPECT_EQ(terminations, 3); // this copy ends whether or not a window was found
}

TEST(PreviousInstance, MarkerNameIsStablePerProgramFile) {
    const QString a = TPreviousInstance::markerNameFor("/usr/bin/pingbox");
    EXPECT_EQ(a, TPreviousInstance::markerNameFor("/usr/bin/pingbox"));
    EXPECT_NE(a, TPreviousInstance::markerNameFor("/opt/pingbox/pingbox"));
    EXPECT_TRUE(a.startsWith("pingbox-"));
}
