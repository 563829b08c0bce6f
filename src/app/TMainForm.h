#pragma once

#include "mail/MailHost.h"
#include "notify/NewMailAlert.h"
#include "platform/TTimer.h"
#include "pop/Credentials.h"
#include "settings/TKelEncryption.h"

#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class Dialogs;
class MediaPlayer;
class NotifyArea;
class POPControl;
class ProgramStarter;
class TAppEvents;
class TAppExecute;
class TTrayIcon;
class TAboutbox;
class QMenu;
class RandomSource;
class SecretCommand;
class SecretStore;
class RegistryStore;
class TApplication;
class TFrmCheck;
class TfrmNetDialog;
class TJustOne32;
class TopLevelWindows;
class TPreviousInstance;
struct OpenFileRequest;

namespace Ui {
class TMainForm;
}
namespace mail {
class SleepAndNetworkChecks;
}
namespace notify {
class NewMailBubble;
}

// Everything the configuration window uses of the platform, owned elsewhere
// and alive for as long as the window.
struct MainFormServices {
    TApplication& app;
    RegistryStore& registry;
    Dialogs& dialogs;
    RandomSource& random;
    MediaPlayer& sound;
    POPControl& pop;
    ProgramStarter& starter;
    NotifyArea& notifyArea;
    const TPreviousInstance& previousInstance;
    TopLevelWindows& windows;
    SecretCommand& secretCommand;
    SecretStore& secretStore;
};

// Texts the configuration window shows or asks.
namespace MainTexts {
inline const QString ClosePingbox = QStringLiteral("Close Pingbox?");
inline const QString SettingsUnreadable =
    QStringLiteral("Some stored settings could not be read; Pingbox uses their defaults instead.");
// %1 the reason, %2 the interval used instead.
inline const QString IntervalReplaced =
    QStringLiteral("The check interval cannot be used: %1. Pingbox checks every %2 minutes.");
// %1 the minutes given, %2 the most the timer can hold.
inline const QString IntervalOutOfRange =
    QStringLiteral("'%1' minutes is not a check interval from 0 to %2");
} // namespace MainTexts

// The configuration window: its fields are the program's working settings,
// it owns every component and is the target of every event.
class TMainForm : public QWidget, public MailHost, public AlertHost {
    Q_OBJECT
public:
    explicit TMainForm(MainFormServices services);
    ~TMainForm() override;

    // Creation event: load settings, set the check period, then either stay
    // hidden and check at once (a user name is stored) or show this window.
    void FormCreate();
    // Raises EConvertError for a field that is not a whole number of minutes
    // from 0 to the longest period the timer holds, leaving the period as it was.
    void ApplyCheckInterval();
    // Returns what could not be read; those fields hold their defaults.
    QStringList LoadSettings();
    void SaveSettings();
    void StartCheck();

    // Handlers of the window's own controls and menu.
    void ePOPServerChange();
    void POPConnectBtnClick();
    void Button1Click();
    void Button4Click();
    void Button5Click();
    void PlaySoundFile();
    void StartViewer();
    void ReadEmail1Click();
    void Configure1Click();
    void ClosePingbox1Click();
    void Timer1Timer();
    void CheckEmail1Click();
    void TrayIcon1DblClick();

    // Brings this window back from the minimised state, on top and active;
    // for a second start of the program and for "C&onfigure".
    void BringBack();

    // Events of the POP client control.
    void POP1StateChanged(std::int16_t State);
    void POP1ProtocolStateChanged(std::int16_t ProtocolState);
    void POP1Error(std::int16_t Number, QString& Description, bool& CancelDisplay);
    void POP1RefreshMessageCount(std::int32_t Number);

    // The program's other windows, created after this one.
    void SetWindows(TFrmCheck* frmCheck, TfrmNetDialog* netDialog, TAboutbox* aboutbox = nullptr);
    // The checks after waking and after the network's return; they also
    // hold back timer ticks and the connection-error window meanwhile.
    void SetSleepAndNetworkChecks(mail::SleepAndNetworkChecks* checks);
    // The notification that stands in for the new-mail question, if chosen.
    void SetNewMailBubble(notify::NewMailBubble* bubble);
    void Button2Click();
    void AboutPingbox1Click();

    // MailHost
    QString ServerText() const override;
    QString UserNameText() const override;
    QString PasswordText() const override;
    QString ShowNetErrorText() const override;
    LoginSettings Login() const override { return login_; }
    mail::Credentials& CheckCredentials() override { return *credentials_; }
    void ReportCheckError(int number, const QString& detail) override;
    void SetStatus(const QString& text) override;
    void SetOKCaption(const QString& caption) override;
    void SetConnectionFieldsEnabled(bool enabled) override;
    void ShowConfiguration() override;
    void SetTrayAnimated(bool animated) override;
    void ShowProgressModal() override;
    void ShowNetDialogModal() override;

    // AlertHost
    QString SoundFileText() const override;
    QString ViewerText() const override;
    void HideConfiguration() override;
    void SetMessageCount(const QString& text) override;
    void SetTrayHint(const QString& hint) override;
    void SetCheckTimerEnabled(bool enabled) override;
    void QuitConnection() override;
    void Sleep(int milliseconds) override;

    // Told of every status line, message count, tray hint and animation
    // switch (what, text); the end-to-end tests read the program this way.
    std::function<void(const QString&, const QString&)> Observer;

    // The blocking wait of the alert; tests replace it.
    std::function<void(int)> SleepFn;

    TAppExecute& ViewerApp() { return *viewerApp_; }
    TAppEvents& AppEvents1() { return *appEvents1_; }
    TTrayIcon& TrayIcon1() { return *trayIcon1_; }
    QString TrayHint() const;
    bool TrayAnimated() const;

    // Close event: beep, "Close Pingbox?"; Yes ends the program.
    enum class TCloseAction { caNone, caHide, caFree };
    void FormClose(TCloseAction& action);

    // Dialog settings of the two browse buttons.
    static OpenFileRequest OpenDialog1();
    static OpenFileRequest OpenDialog2();

    TTimer& Timer1() { return timer1_; }
    QMenu& PopupMenu1() { return *popupMenu1_; }
    Ui::TMainForm& ui() { return *ui_; }
    bool Freed() const { return freed_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildPopupMenu();
    void createTrayIcon();
    void bindControls();
    void drawPlayButton();
    void bindPOP();
    void showCentred();
    // The connection-error window's box: the store first, then the field.
    void SaveNetErrorsOff();
    AlertServices alertServices();

    MainFormServices services_;
    std::unique_ptr<Ui::TMainForm> ui_;
    std::unique_ptr<TJustOne32> justOne321_;
    TTimer timer1_;
    TKelEncryption kel1_;
    std::unique_ptr<QMenu> popupMenu1_;
    std::unique_ptr<TAppExecute> viewerApp_;
    std::unique_ptr<TTrayIcon> trayIcon1_; // after the menu it shows: destroyed before it
    std::unique_ptr<TAppEvents> appEvents1_;
    TFrmCheck* frmCheck_ = nullptr;
    TAboutbox* aboutbox_ = nullptr;
    TfrmNetDialog* netDialog_ = nullptr;
    LoginSettings login_; // as loaded with the settings
    std::unique_ptr<mail::Credentials> credentials_;
    mail::SleepAndNetworkChecks* sleepAndNetwork_ = nullptr;
    notify::NewMailBubble* newMailBubble_ = nullptr;
    bool freed_ = false;
    bool measured_ = false;
};
