// The baseline: the least a Qt 6 program needs to sit in the tray with an
// icon and a menu, and nothing else.
#include <QtGui/QIcon>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    // The icon file given on the command line (the same picture Pingbox
    // shows), or a plain drawn square.
    QIcon icon;
    if (argc > 1)
        icon = QIcon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull()) {
        QPixmap square(16, 16);
        square.fill(Qt::darkBlue);
        QPainter(&square).fillRect(4, 4, 8, 8, Qt::yellow);
        icon = QIcon(square);
    }

    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray(icon);
    tray.setToolTip(QStringLiteral("bare tray"));
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
