#pragma once

#include "platform/DesktopNotifications.h"

#include <QtCore/QObject>
#include <QtDBus/QDBusConnection>

#include <optional>

// org.freedesktop.Notifications on the session bus. Each question to the
// service waits at most a second for its answer.
class DBusNotifications : public QObject, public DesktopNotifications {
    Q_OBJECT
public:
    explicit DBusNotifications(QObject* parent = nullptr);

    bool OffersActions() override;
    bool Inhibited() override;
    std::uint32_t Notify(std::uint32_t replacesId, const QString& summary, const QString& actionKey,
                         const QString& actionLabel) override;
    void Close(std::uint32_t id) override;

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args);

    std::optional<QDBusConnection> bus_;
};
