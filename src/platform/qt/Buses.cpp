#include "Buses.h"

#include <QtCore/QFileInfo>

namespace {

std::optional<QDBusConnection> connected(QDBusConnection bus) {
    if (!bus.isConnected())
        return std::nullopt;
    return bus;
}

} // namespace

std::optional<QDBusConnection> systemBusIfThere() {
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) &&
        !QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket")))
        return std::nullopt;
    return connected(QDBusConnection::systemBus());
}

std::optional<QDBusConnection> sessionBusIfThere() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return std::nullopt;
    return connected(QDBusConnection::sessionBus());
}
