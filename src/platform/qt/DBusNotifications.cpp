#include "DBusNotifications.h"

#include "Buses.h"

#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr int AnswerTimeoutMs = 1000;

} // namespace

DBusNotifications::DBusNotifications(QObject* parent) : QObject(parent), bus_(sessionBusIfThere()) {
    if (!bus_)
        return;
    bus_->connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    bus_->connect(Service, Path, Service, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

QDBusMessage DBusNotifications::call(const QString& interface, const QString& method,
                                     const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, interface, method);
    message.setArguments(args);
    return bus_->call(message, QDBus::Block, AnswerTimeoutMs);
}

bool DBusNotifications::OffersActions() {
    if (!bus_)
        return false;
    const QDBusMessage reply = call(Service, QStringLiteral("GetCapabilities"), {});
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toStringList().contains(QStringLiteral("actions"));
}

bool DBusNotifications::Inhibited() {
    // KDE's do-not-disturb switch; other servers have no such property and
    // apply their own rules to what they are sent.
    if (!bus_)
        return false;
    const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {Service, QStringLiteral("Inhibited")});
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

std::uint32_t DBusNotifications::Notify(std::uint32_t replacesId, const QString& summary,
                                        const QString& actionKey, const QString& actionLabel) {
    if (!bus_)
        return 0;
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("pingbox")}};
    const QDBusMessage reply =
        call(Service, QStringLiteral("Notify"),
             {QStringLiteral("Pingbox"), uint(replacesId), QStringLiteral("pingbox"), summary,
              QString(), QStringList{actionKey, actionLabel}, hints, -1});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().first().toUInt();
}

void DBusNotifications::Close(std::uint32_t id) {
    if (bus_)
        call(Service, QStringLiteral("CloseNotification"), {uint(id)});
}

void DBusNotifications::actionInvoked(uint id, const QString& actionKey) {
    if (OnActionInvoked)
        OnActionInvoked(id, actionKey);
}

void DBusNotifications::notificationClosed(uint id, uint) {
    if (OnClosed)
        OnClosed(id);
}
