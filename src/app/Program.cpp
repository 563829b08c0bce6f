#include "Program.h"

#include "Just1_32.h"
#include "Resources.h"
#include "TMainForm.h"
#include "components/About.h"
#include "gui/Fonts.h"
#include "gui/TApplication.h"
#include "mail/SleepAndNetworkChecks.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "notify/NewMailBubble.h"
#include "platform/Dialogs.h"
#include "platform/RandomSource.h"
#include "platform/RegIniFile.h"
#include "platform/keyring/QtKeychainStore.h"
#include "platform/linux/FlockInstanceMarker.h"
#include "platform/linux/IniFileStore.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/ShellSecretCommand.h"
#include "platform/linux/XdgClassesRoot.h"
#include "platform/qt/CanberraEventSounds.h"
#include "platform/qt/DBusNotifications.h"
#include "platform/qt/LocalSocketWindows.h"
#include "platform/qt/LogindSleepWatch.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtMediaPlayer.h"
#include "platform/qt/QtNetworkWatch.h"
#include "platform/qt/QtNotifyArea.h"
#include "pop/popclient.h"
#include "settings/StoredSettings.h"

#include <QtGui/QIcon>

#include <exception>
#include <optional>

namespace {

// What the windows and the tray need before the first of them is built.
TApplication& prepared(TApplication& app) {
    initPingboxResources();
    substituteWindowsFonts();
    TApplication::setWindowIcon(QIcon(QStringLiteral(":/pingbox/icons/tray.ico")));
    TApplication::setDesktopFileName(QStringLiteral("pingbox"));
    return app;
}

// Whether the user chose a notification over the new-mail question. A store
// that cannot be read keeps the question; the load says what is wrong.
bool notificationChosen(RegistryStore& registry) {
    try {
        return registry.Open(StoredSettings::StoreName)
                   ->ReadString(notify::NotifySetting::Section, notify::NotifySetting::Ident, {})
                   .trimmed()
                   .compare(notify::NotifySetting::Bubble, Qt::CaseInsensitive) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

struct Program::Backends {
    Backends(TApplication& app, Dialogs* replacement)
        : previous(marker, TPreviousInstance::markerNameFor(app.applicationFilePath())),
          windows(marker.Folder(), previous.Name()),
          dialogs(replacement ? *replacement : realDialogs.emplace(&eventSounds)) {}

    // First: the marker's name comes from the program file, so every start
    // of the same file finds the same marker.
    FlockInstanceMarker marker;
    const TPreviousInstance previous;
    LocalSocketWindows windows;
    CanberraEventSounds eventSounds;
    std::optional<QtDialogs> realDialogs;
    Dialogs& dialogs;
    IniFileStore registry{IniFileStore::defaultFolder()};
    SystemRandom random;
    QtMediaPlayer sound1;
    TPOP pop1;
    QtNotifyArea notifyArea;
    LinuxProgramStarter starter;
    ShellSecretCommand secretCommand;
    QtKeychainStore keyring;
    XdgClassesRoot classesRoot;
    std::optional<TAboutbox> aboutbox;
    std::optional<TFrmCheck> frmCheck;
    std::optional<TfrmNetDialog> frmNetDialog;
    // Made only for the copy that runs on, like the windows above.
    std::optional<LogindSleepWatch> sleepWatch;
    std::optional<QtNetworkWatch> networkWatch;
    std::optional<mail::SleepAndNetworkChecks> sleepAndNetwork;
    std::optional<DBusNotifications> notifications;
    std::optional<notify::NewMailBubble> newMailBubble;
};

Program::Program(TApplication& app, Dialogs* dialogs)
    : app_(app), backends_(std::make_unique<Backends>(prepared(app), dialogs)) {
    Backends& b = *backends_;
    app.SetTitle(QStringLiteral("Pingbox"));
    app.SetDialogs(&b.dialogs);
    if (!b.marker.Problem().isEmpty()) {
        b.dialogs.MessageBeep(MB_OK_SOUND);
        b.dialogs.MessageDlg(b.marker.Problem(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    }
    mainForm_ = std::make_unique<TMainForm>(
        MainFormServices{app, b.registry, b.dialogs, b.random, b.sound1, b.pop1, b.starter,
                         b.notifyArea, b.previous, b.windows, b.secretCommand, b.keyring});
    app.SetMainForm(mainForm_.get());
}

Program::~Program() = default;

TMainForm& Program::MainForm() {
    return *mainForm_;
}

POPControl& Program::Pop() {
    return backends_->pop1;
}

void Program::Start() {
    Backends& b = *backends_;
    TMainForm& form = *mainForm_;
    b.windows.Publish(app_.Title(), {[&form] { return form.isMinimized(); },
                                     [&form] {
                                         if (form.isMinimized())
                                             form.BringBack();
                                     },
                                     [&form] {
                                         if (form.isVisible())
                                             form.BringBack();
                                     }});
    if (notificationChosen(b.registry)) {
        b.newMailBubble.emplace(b.notifications.emplace());
        b.newMailBubble->OnStartViewer = [this, &form] {
            app_.Guarded(&form, [&form] { form.StartViewer(); });
        };
        form.SetNewMailBubble(&*b.newMailBubble);
    }
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        app_.HandleException(e);
    }
    b.aboutbox.emplace(b.classesRoot, b.starter);
    b.frmCheck.emplace();
    b.frmNetDialog.emplace(b.dialogs);
    form.SetWindows(&*b.frmCheck, &*b.frmNetDialog, &*b.aboutbox);
    b.sleepAndNetwork.emplace(b.sleepWatch.emplace(), b.networkWatch.emplace());
    b.sleepAndNetwork->StartCheck = [this, &form] {
        app_.Guarded(&form, [&form] { form.StartCheck(); });
    };
    b.sleepAndNetwork->TimedChecksOn = [&form] { return form.Timer1().IsRunning(); };
    form.SetSleepAndNetworkChecks(&*b.sleepAndNetwork);
}

int Program::Run() {
    app_.SetShowMainForm(false);
    return app_.Run();
}
