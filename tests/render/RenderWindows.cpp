// Renders each window of the program to a PNG file, for the README and for
// reviewing layouts: render-windows <output folder>. Runs on any Qt platform
// (offscreen by default); the windows are built with in-memory services.
#include "FakeDesktop.h"
#include "FakePOPControl.h"
#include "Resources.h"
#include "gui/Fonts.h"
#include "gui/TApplication.h"
#include "mail/TFrmCheck.h"
#include "mail/TfrmNetDialog.h"
#include "ui_TFrmCheck.h"
#include "ui_TMainForm.h"

#include <QtCore/QDir>
#include <QtWidgets/QWidget>

#include <cstdio>

namespace {

bool save(QWidget& window, const QString& folder, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    window.hide();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    initPingboxResources();
    substituteWindowsFonts();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    FakeDesktop desktop;
    desktop.registry.values[MemoryRegistry::key("Server", "Host")] =
        QStringLiteral("pop.example.net");
    desktop.registry.values[MemoryRegistry::key("Server", "User")] = QStringLiteral("alice");
    FakePOPControl pop;
    TMainForm mainForm(desktop.services(pop));
    mainForm.LoadSettings();
    mainForm.ui().ePassword->setText(QStringLiteral("secret"));
    mainForm.ui().Viewer->setText(QStringLiteral("/usr/bin/thunderbird"));
    mainForm.SetStatus(QStringLiteral("Waiting to check email on: pop.example.net"));
    mainForm.ui().lMessageCount->setText(QStringLiteral("3"));
    TFrmCheck frmCheck;
    frmCheck.ui().ProgressBar1->setValue(1200);
    TfrmNetDialog netDialog(desktop.dialogs);

    bool ok = save(mainForm, folder, QStringLiteral("configuration-window"));
    ok = save(frmCheck, folder, QStringLiteral("progress-window")) && ok;
    ok = save(netDialog, folder, QStringLiteral("connection-error-window")) && ok;
    return ok ? 0 : 1;
}
