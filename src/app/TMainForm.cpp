#include "TMainForm.h"

#include "Just1_32.h"
#include "components/About.h"
#include "components/AppEvent.h"
#include "gui/TApplication.h"
#include "mail/CheckCycle.h"
#include "mail/ConnectionHandlers.h"
#include "mail/SleepAndNetworkChecks.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "notify/Appexec.h"
#include "notify/IcoList.h"
#include "notify/TIcon.h"
#include "notify/TrayShell.h"
#include "platform/Convert.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/MediaPlayer.h"
#include "platform/qt/X11WindowHints.h"
#include "pop/POPControl.h"
#include "settings/StoredSettings.h"
#include "ui_TMainForm.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QThread>
#include <QtGui/QCloseEvent>
#include <QtGui/QFontInfo>
#include <QtGui/QScreen>
#include <QtWidgets/QMenu>

#include <limits>

TMainForm::TMainForm(MainFormServices services)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      services_(services), ui_(std::make_unique<Ui::TMainForm>()), timer1_(this),
      kel1_(services.random), viewerApp_(std::make_unique<TAppExecute>(services.starter)) {
    SleepFn = [](int ms) { QThread::msleep(ulong(ms)); };
    credentials_ =
        std::make_unique<mail::Credentials>(&services_.secretCommand, &services_.secretStore);
    ui_->setupUi(this);
    setFixedSize(416, 340);
    requestTitleBarWithoutButtons(*this);
    justOne321_ =
        std::make_unique<TJustOne32>(services_.previousInstance, services_.windows,
                                     services_.app.Title(), [this] { services_.app.Terminate(); });
    // The window's stored hint colour: pale yellow tooltips. Loaded writes
    // ShowMainForm (true) as well; start-up writes false after all windows.
    appEvents1_ = std::make_unique<TAppEvents>();
    appEvents1_->SetHintColor(12320767);
    appEvents1_->Loaded();
    buildPopupMenu();
    // A second copy ends as soon as the first has been brought forward; it
    // never shows an icon of its own in the tray.
    if (justOne321_->HandedOver())
        return;
    createTrayIcon();
    bindControls();
    bindPOP();
    ePOPServerChange();
    timer1_.OnTimer = [this] { Timer1Timer(); };
}

TMainForm::~TMainForm() = default;

void TMainForm::buildPopupMenu() {
    popupMenu1_ = std::make_unique<QMenu>();
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& caption, void (TMainForm::*handler)()) {
        QAction* action = popupMenu1_->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (handler)
            connect(action, &QAction::triggered, this, [this, handler] {
                services_.app.Guarded(this, [this, handler] { (this->*handler)(); });
            });
        return action;
    };
    item("CheckEmail1", QStringLiteral("&Check Email"), &TMainForm::CheckEmail1Click);
    item("ReadEmail1", QStringLiteral("&Read Email"), &TMainForm::ReadEmail1Click);
    popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N2"));
    item("AboutPingbox1", QStringLiteral("&About Pingbox"), &TMainForm::AboutPingbox1Click);
    item("Configure1", QStringLiteral("C&onfigure"), &TMainForm::Configure1Click);
    popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N1"));
    item("ClosePingbox1", QStringLiteral("Clos&e"), &TMainForm::ClosePingbox1Click);
    // The same menu is also this window's own right-click menu.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popupMenu1_->popup(mapToGlobal(at)); });
}

void TMainForm::createTrayIcon() {
    // The icon enters the tray as soon as its still picture is there.
    trayIcon1_ = std::make_unique<TTrayIcon>(nullptr, services_.notifyArea);
    trayIcon1_->Icon()->LoadFromFile(QStringLiteral(":/pingbox/icons/tray.ico"));
    QFile frames(QStringLiteral(":/pingbox/icons/frames.icons"));
    if (frames.open(QIODevice::ReadOnly))
        trayIcon1_->Icons()->ReadData(frames);
    trayIcon1_->SetInterval(195);
    trayIcon1_->SetPopupMenu(popupMenu1_.get());
    trayIcon1_->OnDblClick = [this](QObject*) { TrayIcon1DblClick(); };
    trayIcon1_->Loaded();
}

void TMainForm::bindControls() {
    // Every handler runs guarded: an exception goes down the application's
    // exception path here, not through the widget that raised the signal.
    auto bind = [this](QAbstractButton* button, void (TMainForm::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            services_.app.Guarded(this, [this, handler] { (this->*handler)(); });
        });
    };
    for (QLineEdit* field : {ui_->ePOPServer, ui_->eUserName, ui_->ePassword})
        connect(field, &QLineEdit::textChanged, this, [this] { ePOPServerChange(); });
    bind(ui_->POPConnectBtn, &TMainForm::POPConnectBtnClick);
    bind(ui_->Button1, &TMainForm::Button1Click);
    bind(ui_->Button2, &TMainForm::Button2Click);
    bind(ui_->Button4, &TMainForm::Button4Click);
    bind(ui_->Button5, &TMainForm::Button5Click);
    bind(ui_->Button3, &TMainForm::ClosePingbox1Click);
    ui_->ShowNetError->setVisible(false);
    ui_->LeftPanel->setStyleSheet(
        QStringLiteral("#LeftPanel { background-color: rgb(0, 64, 128); }"));
    QPalette strip = ui_->TopStrip->palette();
    strip.setColor(QPalette::Window, palette().color(QPalette::Dark));
    ui_->TopStrip->setPalette(strip);
}

void TMainForm::showEvent(QShowEvent* event) {
    // Sized and drawn when first shown, not at start-up: a resident program
    // whose window stays hidden never loads the pictures and fonts this takes.
    if (!measured_) {
        measured_ = true;
        ui_->Image1->setPixmap(QPixmap(QStringLiteral(":/pingbox/pictures/envelope.png")));
        ui_->Image2->setPixmap(QPixmap(QStringLiteral(":/pingbox/pictures/mailbox.png")));
        ui_->Image3->setPixmap(QPixmap(QStringLiteral(":/pingbox/pictures/bell.png")));
        // The captions of the plain labels size themselves to their text.
        for (QLabel* label : findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lbl"))))
            label->adjustSize();
        drawPlayButton();
    }
    QWidget::showEvent(event);
}

void TMainForm::drawPlayButton() {
    // The play glyph is character 255 of the Wingdings symbol font; where the
    // desktop has no such font, a plain play triangle stands in for it.
    QFont symbol(QStringLiteral("Wingdings"), font().pointSize());
    const bool haveWingdings =
        QFontInfo(symbol).family().compare(QStringLiteral("Wingdings"), Qt::CaseInsensitive) == 0;
    ui_->Button5->setFont(haveWingdings ? symbol : font());
    ui_->Button5->setText(haveWingdings ? QString(QChar(0xFF)) : QStringLiteral("\u25B6"));
    ui_->Button5->setStyleSheet(QStringLiteral("color: navy;"));
}

// --- start-up and shutdown -------------------------------------------------

void TMainForm::FormCreate() {
    // Nothing read here may stop start-up before the period is set: the
    // timer's design period of one second would check the server every
    // second. What cannot be read takes its default, and the user is told.
    QStringList problems = LoadSettings();
    try {
        ApplyCheckInterval();
    } catch (const EConvertError& e) {
        ui_->EditCheckTime->setText(StoredSettings::DefaultCheckTime());
        ApplyCheckInterval();
        problems << MainTexts::IntervalReplaced.arg(e.Message(),
                                                    StoredSettings::DefaultCheckTime());
    }
    hide();
    if (!ui_->eUserName->text().isEmpty()) {
        StartCheck();
    } else {
        showCentred();
    }
    if (!problems.isEmpty()) {
        services_.dialogs.MessageBeep(MB_ICONEXCLAMATION_SOUND);
        services_.dialogs.MessageDlg(MainTexts::SettingsUnreadable + QStringLiteral("\n\n") +
                                         problems.join(QLatin1Char('\n')),
                                     TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    }
}

void TMainForm::ApplyCheckInterval() {
    const std::int32_t minutes = StrToInt(ui_->EditCheckTime->text());
    // The timer's period is 32 bits of milliseconds; a longer one is refused
    // rather than wrapped into a short one.
    constexpr std::int64_t longest = std::numeric_limits<std::uint32_t>::max() / 60000;
    if (minutes < 0 || minutes > longest)
        throw EConvertError(MainTexts::IntervalOutOfRange.arg(minutes).arg(longest));
    timer1_.SetInterval(static_cast<std::uint32_t>(minutes) * 60000u);
}

void TMainForm::ClosePingbox1Click() {
    close();
}

void TMainForm::FormClose(TCloseAction& action) {
    services_.dialogs.MessageBeep(MB_OK_SOUND);
    if (services_.dialogs.MessageDlg(MainTexts::ClosePingbox, TMsgDlgType::mtConfirmation,
                                     TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
        action = TCloseAction::caFree;
    else
        action = TCloseAction::caNone;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    TCloseAction action = TCloseAction::caHide;
    FormClose(action);
    if (action != TCloseAction::caFree) {
        event->ignore();
        return;
    }
    // The main window is freed and the application ends with it; the owner
    // destroys the window once the message loop has returned.
    freed_ = true;
    event->accept();
    services_.app.Terminate();
}

// --- the window's own commands ----------------------------------------------

// A password kept in the keyring or printed by a command needs no field.
void TMainForm::ePOPServerChange() {
    const bool passwordElsewhere = login_.keyring || !login_.passCommand.trimmed().isEmpty();
    ui_->POPConnectBtn->setEnabled(!ui_->ePOPServer->text().isEmpty() &&
                                   !ui_->eUserName->text().isEmpty() &&
                                   (passwordElsewhere || !ui_->ePassword->text().isEmpty()));
}

void TMainForm::POPConnectBtnClick() {
    SaveSettings();
    StartCheck();
    ApplyCheckInterval();
    hide();
}

OpenFileRequest TMainForm::OpenDialog1() {
    OpenFileRequest r;
    r.title = QStringLiteral("Select eMail Viewer");
    // Programs on this desktop have no suffix: they are found by being
    // executable. The ".exe" choice stays for Windows programs run by Wine.
    r.filter = QStringLiteral("Programs|*|Executable Applications|*.exe");
    r.programsFilter = QStringLiteral("Programs");
    r.defaultExt = QStringLiteral("exe");
    r.initialDir = QStringLiteral("/");
    r.hideReadOnly = true;
    r.pathMustExist = true;
    r.fileMustExist = true;
    return r;
}

OpenFileRequest TMainForm::OpenDialog2() {
    OpenFileRequest r;
    r.title = QStringLiteral("Select Media or Sound File");
    r.filter = QStringLiteral("All Media files|*.wav;*.au;*.avi;*.mid;*.rmi|Wave files|*.wav|"
                              "AU files|*.au|Avi files|*.avi|Midi files|*.mid|Rmi files|*.rmi");
    r.initialDir = QStringLiteral("/usr/share/sounds");
    return r;
}

void TMainForm::Button1Click() {
    if (auto path = services_.dialogs.OpenFile(OpenDialog1()))
        ui_->Viewer->setText(*path);
}

void TMainForm::Button4Click() {
    if (auto path = services_.dialogs.OpenFile(OpenDialog2()))
        ui_->SoundFile->setText(*path);
}

void TMainForm::Button5Click() {
    PlaySoundFile();
}

AlertServices TMainForm::alertServices() {
    return {*this, services_.dialogs, services_.sound, *viewerApp_};
}

void TMainForm::PlaySoundFile() {
    notify::PlaySoundFile(alertServices());
}

void TMainForm::StartViewer() {
    notify::StartViewer(alertServices());
}

void TMainForm::ReadEmail1Click() {
    StartViewer();
}

void TMainForm::showCentred() {
    if (!isVisible() && screen())
        move(screen()->availableGeometry().center() - rect().center());
    BringBack();
}

void TMainForm::BringBack() {
    // Window managers may offer minimising whatever the title-bar hints say;
    // on a desktop without a task bar this is then the only way back.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TMainForm::Configure1Click() {
    showCentred();
}

void TMainForm::Button2Click() {
    if (aboutbox_)
        aboutbox_->ShowModal();
}

void TMainForm::AboutPingbox1Click() {
    Button2Click();
}

// --- checking ----------------------------------------------------------------

void TMainForm::Timer1Timer() {
    if (sleepAndNetwork_ && !sleepAndNetwork_->TimerMayCheck())
        return;
    StartCheck();
}

void TMainForm::StartCheck() {
    mail::StartCheck(services_.pop, *this);
}

void TMainForm::CheckEmail1Click() {
    mail::CheckWithProgress(services_.pop, *this);
}

void TMainForm::TrayIcon1DblClick() {
    mail::CheckWithProgress(services_.pop, *this);
}

void TMainForm::bindPOP() {
    POPControl& pop1 = services_.pop;
    pop1.OnStateChanged = [this](std::int16_t state) { POP1StateChanged(state); };
    pop1.OnProtocolStateChanged = [this](std::int16_t state) { POP1ProtocolStateChanged(state); };
    pop1.OnError = [this](std::int16_t number, QString& description, std::int32_t, const QString&,
                          const QString&, std::int32_t,
                          bool& cancelDisplay) { POP1Error(number, description, cancelDisplay); };
    pop1.OnRefreshMessageCount = [this](std::int32_t number) { POP1RefreshMessageCount(number); };
}

void TMainForm::SetWindows(TFrmCheck* frmCheck, TfrmNetDialog* netDialog, TAboutbox* aboutbox) {
    frmCheck_ = frmCheck;
    aboutbox_ = aboutbox;
    netDialog_ = netDialog;
    if (netDialog_)
        requestTitleBarWithoutButtons(*netDialog_);
    if (netDialog_)
        netDialog_->OnSkipThisClick = [this] { SaveNetErrorsOff(); };
}

void TMainForm::SetSleepAndNetworkChecks(mail::SleepAndNetworkChecks* checks) {
    sleepAndNetwork_ = checks;
}

void TMainForm::SetNewMailBubble(notify::NewMailBubble* bubble) {
    newMailBubble_ = bubble;
}

void TMainForm::POP1StateChanged(std::int16_t State) {
    mail::POP1StateChanged(services_.pop, *this, State);
}

void TMainForm::POP1ProtocolStateChanged(std::int16_t ProtocolState) {
    mail::POP1ProtocolStateChanged(services_.pop, *this, ProtocolState);
}

void TMainForm::POP1Error(std::int16_t Number, QString& Description, bool& CancelDisplay) {
    mail::POP1Error(services_.pop, *this, services_.dialogs, Number, Description, CancelDisplay);
}

void TMainForm::POP1RefreshMessageCount(std::int32_t Number) {
    notify::POP1RefreshMessageCount(alertServices(), Number, newMailBubble_);
}

// --- MailHost ----------------------------------------------------------------

QString TMainForm::ServerText() const {
    return ui_->ePOPServer->text();
}
QString TMainForm::UserNameText() const {
    return ui_->eUserName->text();
}
QString TMainForm::PasswordText() const {
    return ui_->ePassword->text();
}
void TMainForm::ReportCheckError(int number, const QString& detail) {
    mail::CheckNotStarted(*this, services_.dialogs, number, detail);
}

QString TMainForm::ShowNetErrorText() const {
    return ui_->ShowNetError->text();
}
void TMainForm::SetStatus(const QString& text) {
    ui_->ConnectStatus->setText(text);
    if (Observer)
        Observer(QStringLiteral("status"), text);
}
void TMainForm::SetOKCaption(const QString& caption) {
    ui_->POPConnectBtn->setText(caption);
}

void TMainForm::SetConnectionFieldsEnabled(bool enabled) {
    for (QLineEdit* field : {ui_->ePOPServer, ui_->eUserName, ui_->ePassword})
        field->setEnabled(enabled);
}

void TMainForm::ShowConfiguration() {
    showCentred();
}

void TMainForm::SetTrayAnimated(bool animated) {
    trayIcon1_->SetAnimated(animated);
    if (Observer)
        Observer(QStringLiteral("animated"),
                 trayIcon1_->Animated() ? QStringLiteral("true") : QStringLiteral("false"));
}

bool TMainForm::TrayAnimated() const {
    return trayIcon1_->Animated();
}

QString TMainForm::TrayHint() const {
    return trayIcon1_->Hint();
}

// --- AlertHost ---------------------------------------------------------------

QString TMainForm::SoundFileText() const {
    return ui_->SoundFile->text();
}
QString TMainForm::ViewerText() const {
    return ui_->Viewer->text();
}
void TMainForm::HideConfiguration() {
    hide();
}
void TMainForm::SetMessageCount(const QString& text) {
    ui_->lMessageCount->setText(text);
    if (Observer)
        Observer(QStringLiteral("count"), text);
}
void TMainForm::SetTrayHint(const QString& hint) {
    trayIcon1_->SetHint(hint);
    if (Observer)
        Observer(QStringLiteral("hint"), hint);
}
void TMainForm::SetCheckTimerEnabled(bool enabled) {
    timer1_.SetEnabled(enabled);
}
void TMainForm::QuitConnection() {
    services_.pop.Quit();
}
void TMainForm::Sleep(int milliseconds) {
    SleepFn(milliseconds);
}

void TMainForm::ShowProgressModal() {
    if (frmCheck_)
        frmCheck_->exec();
}

void TMainForm::ShowNetDialogModal() {
    if (sleepAndNetwork_ && !sleepAndNetwork_->NetErrorWindowAllowed())
        return;
    if (netDialog_)
        netDialog_->exec();
}
