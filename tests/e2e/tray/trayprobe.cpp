// trayprobe: a tray icon on the real notification area, for the end-to-end
// script. It shows the still icon and the frames as the program does, reports
// what happens on stdout and takes commands on stdin:
//   animate on | animate off | hint TEXT | quit
#include "Resources.h"
#include "gui/TApplication.h"
#include "notify/TrayShell.h"
#include "platform/qt/QtNotifyArea.h"

#include <QtCore/QFile>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>

#include <cstdio>
#include <unistd.h>

namespace {

void report(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    initPingboxResources();
    app.SetTitle(QStringLiteral("trayprobe"));

    QtNotifyArea area;
    QObject::connect(&area, &QtNotifyArea::trayHostChanged, [](bool present) {
        report(present ? QStringLiteral("host present") : QStringLiteral("host gone"));
    });
    report(area.TrayHostPresent() ? QStringLiteral("host present at start")
                                  : QStringLiteral("no host at start"));

    QMenu menu;
    menu.addAction(QStringLiteral("&Check Email"));
    QObject::connect(menu.addAction(QStringLiteral("Clos&e")), &QAction::triggered, &app,
                     &TApplication::Terminate);
    QObject::connect(&menu, &QMenu::aboutToShow, [&menu] {
        // The window the menu opens in, for keys sent straight to it.
        report(QStringLiteral("menu shown %1").arg(menu.winId()));
    });
    QObject::connect(&menu, &QMenu::aboutToHide, [] { report(QStringLiteral("menu closed")); });

    QLabel progress(QStringLiteral("Checking for mail..."));
    progress.setWindowTitle(QStringLiteral("trayprobe check"));
    progress.resize(220, 60);

    auto tray = std::make_unique<TTrayIcon>(nullptr, area);
    tray->SetInterval(195);
    tray->Icon()->LoadFromFile(QStringLiteral(":/pingbox/icons/tray.ico"));
    QFile frames(QStringLiteral(":/pingbox/icons/frames.icons"));
    frames.open(QIODevice::ReadOnly);
    tray->Icons()->ReadData(frames);
    tray->SetPopupMenu(&menu);
    tray->SetHint(QStringLiteral("Pingbox"));
    tray->OnDblClick = [&](QObject*) {
        report(QStringLiteral("double click"));
        progress.show();
    };
    tray->OnClick = [](QObject*, TMouseButton button, TShiftState, int x, int y) {
        report(QStringLiteral("click %1 at %2 %3")
                   .arg(button == mbLeft ? "left" : "other")
                   .arg(x)
                   .arg(y));
    };
    tray->Loaded();

    QRect last;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QRect r = area.IconGeometry(tray->WindowHandle(), 0);
        if (r == last)
            return;
        last = r;
        report(QStringLiteral("geometry %1 %2 %3 %4")
                   .arg(r.x())
                   .arg(r.y())
                   .arg(r.width())
                   .arg(r.height()));
    });
    watch.start(100);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        for (const QString& line : QString::fromLocal8Bit(buffer, n).split(QLatin1Char('\n'))) {
            if (line == QLatin1String("animate on"))
                tray->SetAnimated(true);
            else if (line == QLatin1String("animate off"))
                tray->SetAnimated(false);
            else if (line.startsWith(QLatin1String("hint ")))
                tray->SetHint(line.mid(5));
            else if (line == QLatin1String("quit"))
                app.Terminate();
            else
                continue;
            report(QStringLiteral("done ") + line);
        }
    });

    app.SetShowMainForm(false);
    const int code = app.Run();
    tray.reset();
    report(QStringLiteral("ended"));
    return code;
}
