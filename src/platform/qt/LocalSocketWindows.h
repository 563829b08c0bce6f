#pragma once

#include "platform/InstanceMarker.h"

#include <QtCore/QObject>

#include <memory>

class QLocalServer;

// Reaches another copy's application window through a local socket in the
// user's private runtime folder: works under X11 and Wayland alike and needs
// no window-system tricks. Only the owner of the folder can connect.
class LocalSocketWindows : public QObject, public TopLevelWindows {
    Q_OBJECT
public:
    // prefix is the instance marker's name, so that copies of different
    // program files never reach each other.
    LocalSocketWindows(QString folder, QString prefix);
    ~LocalSocketWindows() override;

    std::unique_ptr<ForeignWindow> FindWindow(const QString& title) override;
    void Publish(const QString& title, ApplicationWindowActions actions) override;

    QString socketPath(const QString& title) const;

private:
    void serve();

    QString folder_;
    QString prefix_;
    ApplicationWindowActions actions_;
    std::unique_ptr<QLocalServer> server_;
};
