#include "MainFormFixture.h"

#include "components/TKelEncryption.h"
#include "platform/Errors.h"

#include <QtGui/QScreen>

TEST_F(MainFormTest, EmptyStoreLoadsDefaultsShowsTheWindowCentredAndStartsNoCheck) {
    create().FormCreate();
    EXPECT_EQ(ui().ePOPServer->text(), "");
    EXPECT_EQ(ui().eUserName->text(), "");
    EXPECT_EQ(ui().ePassword->text(), "");
    EXPECT_EQ(ui().EditCheckTime->text(), "15");
    EXPECT_EQ(ui().SoundFile->text(), "newmail.wav");
    EXPECT_EQ(ui().Viewer->text(), "");
    EXPECT_EQ(ui().ShowNetError->text(), "true");
    EXPECT_EQ(registry.lastFileName, "Pingbox");
    EXPECT_EQ(registry.openNow, 0); // released after the load
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

TEST_F(MainFormTest, IntervalConversionErrorStopsStartupWithTheDefaultPeriod) {
    store("Server", "User", "bob");
    store("Options", "Checktime", "abc");
    create();
    EXPECT_THROW(form->FormCreate(), EConvertError);
    EXPECT_EQ(form->Timer1().Interval(), 1000u);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(pop.calls.isEmpty());
}

TEST_F(MainFormTest, IntervalZeroNeverTicks) {
    store("Options", "Checktime", "0");
    create().FormCreate();
    EXPECT_EQ(form->Timer1().Interval(), 0u);
    EXPECT_FALSE(form->Timer1().IsRunning());
}

TEST_F(MainFormTest, LoadStopsAtAnUnreadableValueOrABadPassword) {
    store("Server", "Host", "h");
    store("Server", "Pass", "ZZ");
    store("Options", "Checktime", "5");
    create();
    EXPECT_THROW(form->LoadSettings(), EConvertError);
    EXPECT_EQ(ui().ePOPServer->text(), "h");
    EXPECT_EQ(ui().ePassword->text(), "ZZ");     // left holding the stored text
    EXPECT_EQ(ui().EditCheckTime->text(), "15"); // later fields keep their initial text
    EXPECT_EQ(registry.openNow, 0);

    registry.unreadable.insert(MemoryRegistry::key("Server", "User"));
    EXPECT_THROW(form->LoadSettings(), ERegistryException);
}

TEST_F(MainFormTest, SaveWritesEverySettingAsTypedWithThePasswordScrambled) {
    create();
    fillConnection("pop.example.net", "alice", "sécret");
    ui().EditCheckTime->setText("");
    ui().SoundFile->setText(" ding.wav ");
    form->SaveSettings();
    form->SaveSettings();
    EXPECT_EQ(stored("Server", "Host"), "pop.example.net");
    EXPECT_EQ(stored("Server", "User"), "alice");
    EXPECT_EQ(stored("Options", "Checktime"), "");
    EXPECT_EQ(stored("SoundFile", "Path"), " ding.wav ");
    EXPECT_EQ(stored("Viewer", "Path"), "");
    EXPECT_EQ(stored("Server", "ShowError"), "<absent>"); // never written by a save
    const QString pass = stored("Server", "Pass");
    EXPECT_EQ(pass.size(), 2 + 2 * QStringLiteral("sécret").toUtf8().size());
    EXPECT_EQ(TKelEncryption::Unscramble(pass, "kestrel"), QStringLiteral("sécret").toUtf8());
    EXPECT_TRUE(pass.startsWith("11")); // the second save drew a fresh seed

    ui().ePassword->setText("");
    form->SaveSettings();
    EXPECT_EQ(stored("Server", "Pass"), "");
    form->LoadSettings();
    EXPECT_EQ(ui().ePassword->text(), "");
    EXPECT_EQ(ui().EditCheckTime->text(), ""); // empty, not the default
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
