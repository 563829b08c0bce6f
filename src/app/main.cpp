// Program entry: one copy per program file, the four windows created once,
// then the message loop. The command line is ignored.
#include "Just1_32.h"
#include "Resources.h"
#include "TMainForm.h"
#include "components/About.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "mail/popclient.h"
#include "platform/RandomSource.h"
#include "platform/TApplication.h"
#include "platform/linux/CanberraEventSounds.h"
#include "platform/linux/FlockInstanceMarker.h"
#include "platform/linux/IniFileStore.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/ProcessHardening.h"
#include "platform/linux/XdgClassesRoot.h"
#include "platform/qt/Fonts.h"
#include "platform/qt/LocalSocketWindows.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtMediaPlayer.h"
#include "platform/qt/QtNotifyArea.h"

#include <QtCore/QFile>
#include <QtGui/QIcon>

int main(int argc, char** argv) {
    keepSecretsOutOfDumps();
    TApplication app(argc, argv);
    initPingboxResources();
    substituteWindowsFonts();
    TApplication::setWindowIcon(QIcon(QStringLiteral(":/pingbox/icons/tray.ico")));
    TApplication::setDesktopFileName(QStringLiteral("pingbox"));

    // Before the program names itself: the marker's name comes from the
    // program file, so every start of the same file finds the same marker.
    FlockInstanceMarker marker;
    const QString runtime = marker.Folder();
    const TPreviousInstance previous(marker,
                                     TPreviousInstance::markerNameFor(app.applicationFilePath()));
    LocalSocketWindows windows(runtime, previous.Name());

    app.SetTitle(QStringLiteral("Pingbox"));

    CanberraEventSounds eventSounds;
    QtDialogs dialogs(&eventSounds);
    app.SetDialogs(&dialogs);
    if (!marker.Problem().isEmpty()) {
        dialogs.MessageBeep(MB_OK_SOUND);
        dialogs.MessageDlg(marker.Problem(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    }
    IniFileStore registry(IniFileStore::defaultFolder());
    SystemRandom random;
    QtMediaPlayer sound1;
    TPOP pop1;
    QtNotifyArea notifyArea;
    LinuxProgramStarter starter;

    auto mainForm = std::make_unique<TMainForm>(MainFormServices{
        app, registry, dialogs, random, sound1, pop1, starter, notifyArea, previous, windows});
    app.SetMainForm(mainForm.get());
    // For the end-to-end tests only: what the window and the tray show, one a line.
    QFile stateLog(qEnvironmentVariable("PINGBOX_STATE_LOG"));
    if (!stateLog.fileName().isEmpty() && stateLog.open(QIODevice::Append | QIODevice::Text)) {
        mainForm->Observer = [&stateLog](const QString& what, const QString& text) {
            stateLog.write((what + QLatin1Char(' ') + text + QLatin1Char('\n')).toUtf8());
            stateLog.flush();
        };
    }
    if (app.Terminated())
        return 0; // another copy runs and has been brought forward

    windows.Publish(app.Title(), {[&] { return mainForm->isMinimized(); },
                                  [&] {
                                      if (mainForm->isMinimized())
                                          mainForm->showNormal();
                                  },
                                  [&] {
                                      if (mainForm->isVisible())
                                          mainForm->raise();
                                  }});
    try {
        mainForm->FormCreate();
    } catch (const std::exception& e) {
        app.HandleException(e);
    }
    XdgClassesRoot classesRoot;
    TAboutbox aboutbox(classesRoot, starter);
    TFrmCheck frmCheck;
    TfrmNetDialog frmNetDialog(dialogs);
    mainForm->SetWindows(&frmCheck, &frmNetDialog, &aboutbox);

    app.SetShowMainForm(false);
    const int code = app.Run();
    mainForm.reset();
    return code;
}
