// Program entry: one copy per program file, the four windows created once,
// then the message loop. The command line is ignored.
#include "Just1_32.h"
#include "Resources.h"
#include "TMainForm.h"
#include "components/About.h"
#include "mail/POPControl.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "platform/RandomSource.h"
#include "platform/TApplication.h"
#include "platform/linux/FlockInstanceMarker.h"
#include "platform/linux/IniFileStore.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/XdgClassesRoot.h"
#include "platform/qt/Fonts.h"
#include "platform/qt/LocalSocketWindows.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtMediaPlayer.h"

#include <QtCore/QTimer>

namespace {

// Stands in for the POP client until it is part of the program: always
// closed, starts nothing.
class IdlePOP : public POPControl {
public:
    QString RemoteHost() const override { return host_; }
    void SetRemoteHost(const QString& v) override { host_ = v; }
    int RemotePort() const override { return 110; }
    QString UserId() const override { return user_; }
    void SetUserId(const QString& v) override { user_ = v; }
    QString Password() const override { return pass_; }
    void SetPassword(const QString& v) override { pass_ = v; }
    std::int16_t State() const override { return popClosed; }
    std::int16_t ProtocolState() const override { return 0; }
    bool Busy() const override { return false; }
    const TPOPErrors& Errors() const override { return errors_; }
    void Connect() override {}
    void Authenticate(const QString&, const QString&) override {}
    void RefreshMessageCount() override {}
    void Quit() override {}

private:
    QString host_, user_, pass_;
    TPOPErrors errors_;
};

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    initPingboxResources();
    substituteWindowsFonts();

    // Before the program names itself: the marker's name comes from the
    // program file, so every start of the same file finds the same marker.
    const QString runtime = FlockInstanceMarker::runtimeFolder();
    FlockInstanceMarker marker(runtime);
    const TPreviousInstance previous(marker,
                                     TPreviousInstance::markerNameFor(app.applicationFilePath()));
    LocalSocketWindows windows(runtime, previous.Name());

    app.SetTitle(QStringLiteral("Pingbox"));

    QtDialogs dialogs;
    app.SetDialogs(&dialogs);
    IniFileStore registry(IniFileStore::defaultFolder());
    SystemRandom random;
    QtMediaPlayer sound1;
    IdlePOP pop1;
    LinuxProgramStarter starter;

    auto mainForm = std::make_unique<TMainForm>(
        MainFormServices{app, registry, dialogs, random, sound1, pop1, starter, previous, windows});
    app.SetMainForm(mainForm.get());
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
    TfrmNetDialog frmNetDialog(registry, dialogs);
    mainForm->SetWindows(&frmCheck, &frmNetDialog, &aboutbox);

    app.SetShowMainForm(false);
    const int code = app.Run();
    mainForm.reset();
    return code;
}
