#include "MainFormFixture.h"

#include "platform/Errors.h"
#include "settings/TKelEncryption.h"

#include "components/AppEvent.h"

#include <QtGui/QContextMenuEvent>
#include <QtTest/QTest>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolTip>

TEST_F(MainFormTest, OkIsEnabledExactlyWhenServerUserAndPasswordHoldSomething) {
    create();
    EXPECT_FALSE(ui().POPConnectBtn->isEnabled());
    fillConnection("s", "u", " "); // blanks count
    EXPECT_TRUE(ui().POPConnectBtn->isEnabled());
    for (QLineEdit* field : {ui().ePOPServer, ui().eUserName, ui().ePassword}) {
        const QString kept = field->text();
        field->clear();
        EXPECT_FALSE(ui().POPConnectBtn->isEnabled()) << qPrintable(field->objectName());
        field->setText(kept);
        EXPECT_TRUE(ui().POPConnectBtn->isEnabled());
    }
}

TEST_F(MainFormTest, OkStoresStartsACheckAppliesTheIntervalAndHides) {
    create().show();
    fillConnection("pop.example.net", "alice", "pw");
    ui().EditCheckTime->setText("2");
    ui().POPConnectBtn->click();
    EXPECT_EQ(TKelEncryption::Unscramble(stored("Server", "Pass"), "kestrel"), "pw");
    EXPECT_EQ(pop.calls, QStringList({"RemoteHost=pop.example.net", "UserId=alice", "Password=pw",
                                      "Connect"}));
    EXPECT_EQ(form->Timer1().Interval(), 120000u);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, OkWithNonNumericIntervalStoresItChecksAndStaysShown) {
    create().show();
    fillConnection("s", "u", "p");
    ui().EditCheckTime->setText("ten");
    EXPECT_THROW(form->POPConnectBtnClick(), EConvertError);
    EXPECT_EQ(stored("Options", "Checktime"), "ten");
    EXPECT_TRUE(pop.calls.contains("Connect"));
    EXPECT_EQ(form->Timer1().Interval(), 1000u); // the period stays as it was
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, OkWithARefusedStoreWriteStopsBeforeTheCheck) {
    create().show();
    fillConnection("s", "u", "p");
    registry.unwritable.insert(MemoryRegistry::key("Server", "User"));
    EXPECT_THROW(form->POPConnectBtnClick(), ERegistryException);
    EXPECT_EQ(stored("Server", "Host"), "s"); // written before the refusal
    EXPECT_TRUE(pop.calls.isEmpty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(registry.openNow, 0);
}

// With PassStore=keyring, OK puts the typed password into the keyring and
// empties the file's only once the keyring has it; a refused write keeps the
// file as it was and says so. The check after OK reads what was written.
TEST_F(MainFormTest, OkWritesThePasswordToTheKeyringInsteadOfTheFile) {
    using Outcome = SecretStoreResult::Outcome;
    FakeSecretStore& keyring = desktop.secretStore;
    store("Server", "PassStore", "keyring");
    store("Server", "Pass", TKelEncryption::Scramble("old", "kestrel", 7));
    const QString oldPass = stored("Server", "Pass");
    store("Server", "Host", "pop.example.net");
    store("Server", "User", "alice");
    create();
    form->LoadSettings();
    ui().ePassword->clear();
    EXPECT_TRUE(ui().POPConnectBtn->isEnabled()); // no password field needed
    fillConnection("pop.example.net", "alice", "typed");
    ui().POPConnectBtn->click();
    EXPECT_EQ(keyring.calls, QStringList{"write pop.example.net alice"});
    EXPECT_EQ(keyring.written, QStringList{"typed"});
    EXPECT_EQ(stored("Server", "Pass"), oldPass);
    keyring.finish({Outcome::Refused, {}, "locked"});
    EXPECT_EQ(stored("Server", "Pass"), oldPass);
    EXPECT_TRUE(dialogs.events.join(' ').contains("box 1048 - "))
        << dialogs.events.join(' ').toStdString();
    keyring.finish({Outcome::Ok, "typed", {}}); // the check's read, after the write
    EXPECT_EQ(pop.calls.last(), "Connect");
    EXPECT_EQ(pop.password, "typed");

    pop.state = popClosed;
    ui().POPConnectBtn->click();
    keyring.finish({Outcome::Ok, {}, {}});
    EXPECT_EQ(stored("Server", "Pass"), "");
    // An empty field leaves the keyring's entry alone.
    keyring.calls.clear();
    ui().ePassword->clear();
    form->SaveSettings();
    EXPECT_EQ(keyring.calls, QStringList{});
}

TEST_F(MainFormTest, BrowseButtonsUseTheirDialogsAndCancelChangesNothing) {
    create();
    ui().Viewer->setText("old viewer");
    ui().SoundFile->setText("old.wav");
    form->Button1Click();
    form->Button4Click();
    EXPECT_EQ(ui().Viewer->text(), "old viewer");
    EXPECT_EQ(ui().SoundFile->text(), "old.wav");
    ASSERT_EQ(dialogs.fileRequests.size(), 2u);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Select eMail Viewer");
    // Programs are picked by being executable; the ".exe" choice stays.
    EXPECT_EQ(dialogs.fileRequests[0].filter, "Programs|*|Executable Applications|*.exe");
    EXPECT_EQ(dialogs.fileRequests[0].programsFilter, "Programs");
    EXPECT_EQ(dialogs.fileRequests[0].defaultExt, "exe");
    EXPECT_TRUE(dialogs.fileRequests[0].fileMustExist);
    EXPECT_EQ(dialogs.fileRequests[1].title, "Select Media or Sound File");
    EXPECT_TRUE(
        dialogs.fileRequests[1].filter.startsWith("All Media files|*.wav;*.au;*.avi;*.mid;*.rmi|"));

    dialogs.fileAnswer = QStringLiteral("/home/u/My Files/chime.wav");
    form->Button4Click();
    EXPECT_EQ(ui().SoundFile->text(), "/home/u/My Files/chime.wav");
    form->Button1Click();
    EXPECT_EQ(ui().Viewer->text(), "/home/u/My Files/chime.wav");
}

TEST_F(MainFormTest, ThePlayButtonPlaysTheSoundFileAndStartsNothingElse) {
    create();
    ui().SoundFile->setText("chime.wav");
    sound.playable.insert("chime.wav");
    ui().Button5->click();
    EXPECT_EQ(sound.calls, QStringList({"Close", "FileName=chime.wav", "Open", "Rewind", "Play"}));
    EXPECT_TRUE(dialogs.events.isEmpty());
    EXPECT_TRUE(pop.calls.isEmpty());
}

TEST_F(MainFormTest, ConfigureShowsTheWindowAndLeavesItShown) {
    create();
    form->Configure1Click();
    EXPECT_TRUE(form->isVisible());
    form->Configure1Click();
    EXPECT_TRUE(form->isVisible());
    // A window the user minimised comes back, active.
    form->setWindowState(Qt::WindowMinimized);
    form->Configure1Click();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

TEST_F(MainFormTest, PopupMenuHoldsTheSevenItemsInOrder) {
    create();
    QStringList items;
    for (QAction* a : form->PopupMenu1().actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, QStringList({"&Check Email", "&Read Email", "-", "&About Pingbox",
                                  "C&onfigure", "-", "Clos&e"}));
}

TEST_F(MainFormTest, WindowHasItsCaptionSizeAndHiddenFlagField) {
    create();
    EXPECT_EQ(form->windowTitle(), "Pingbox v2.02");
    EXPECT_EQ(form->size(), QSize(416, 340));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(ui().ePassword->echoMode(), QLineEdit::Password);
    ui().ePassword->setText(QStringLiteral("abc"));
    EXPECT_EQ(ui().ePassword->displayText(), "***"); // masked with asterisks
    form->show();
    EXPECT_FALSE(ui().ShowNetError->isVisible());
    // tab order: server, user name, password; interval, sound, browse, play; viewer, browse; OK,
    // About, Exit
    QStringList order;
    QWidget* w = ui().ePOPServer;
    for (int i = 0; i < 12; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || !w->isVisible())
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    EXPECT_EQ(order, QStringList({"ePOPServer", "eUserName", "ePassword", "EditCheckTime",
                                  "SoundFile", "Button4", "Button5", "Viewer", "Button1",
                                  "POPConnectBtn", "Button2", "Button3"}));
}

TEST_F(MainFormTest, AppEvents1GivesPaleYellowHintsAndTakesEveryEscapingException) {
    TApplication& app = *TApplication::Instance();
    create().show();
    EXPECT_EQ(GlobalAppEventList.Components(), std::vector<TAppEvents*>{&form->AppEvents1()});
    EXPECT_EQ(app.HintColor(), 12320767u);
    EXPECT_EQ(QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase),
              QColor(255, 255, 187));
    // Start-up writes false after the window's true; the live value is read.
    EXPECT_TRUE(app.ShowMainForm());
    app.SetShowMainForm(false);
    EXPECT_FALSE(form->AppEvents1().ShowMainForm());

    // An exception escaping a handler goes through the component ...
    fillConnection("s", "u", "p");
    ui().EditCheckTime->setText("ten");
    QStringList seen;
    form->AppEvents1().OnException = [&](QObject*, const std::exception& e) {
        seen << QString::fromUtf8(e.what());
    };
    ui().POPConnectBtn->click();
    EXPECT_EQ(seen.size(), 1);
    EXPECT_TRUE(dialogs.exceptions.isEmpty());
    // ... and, with no handler there, to the application's display.
    form->AppEvents1().OnException = nullptr;
    app.SetDialogs(&dialogs);
    ui().POPConnectBtn->click();
    app.SetDialogs(nullptr);
    EXPECT_EQ(dialogs.exceptions.size(), 1);

    form.reset(); // detached with the window
    EXPECT_TRUE(GlobalAppEventList.Components().empty());
    EXPECT_FALSE(app.OnException);
    app.SetHintColor(0x80000018);
    app.SetShowMainForm(true);
}

TEST_F(MainFormTest, RightClickOnTheWindowShowsPopupMenu1AndFieldsKeepTheirOwn) {
    create().show();
    QContextMenuEvent onGroup(QContextMenuEvent::Mouse, QPoint(5, 5),
                              ui().GroupBox1->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ui().GroupBox1, &onGroup);
    EXPECT_TRUE(form->PopupMenu1().isVisible());
    form->PopupMenu1().hide();
    QContextMenuEvent onField(QContextMenuEvent::Mouse, QPoint(5, 5),
                              ui().ePOPServer->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ui().ePOPServer, &onField);
    QWidget* editMenu = QApplication::activePopupWidget();
    EXPECT_NE(editMenu, nullptr);
    EXPECT_NE(editMenu, &form->PopupMenu1());
    if (editMenu)
        editMenu->close();
}
