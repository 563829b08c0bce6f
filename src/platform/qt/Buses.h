#pragma once

#include <QtDBus/QDBusConnection>

#include <optional>

// The system and session buses, when there is one to reach. Without one
// QtDBus is not even started, so that a computer without it costs nothing,
// and libdbus never launches a session bus of its own for this process.
std::optional<QDBusConnection> systemBusIfThere();
std::optional<QDBusConnection> sessionBusIfThere();
