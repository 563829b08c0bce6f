#include "LogindSleepWatch.h"

#include "Buses.h"

LogindSleepWatch::LogindSleepWatch(QObject* parent) : QObject(parent) {
    if (auto bus = systemBusIfThere())
        listening_ = bus->connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(prepareForSleep(bool)));
}

void LogindSleepWatch::prepareForSleep(bool start) {
    if (OnPrepareForSleep)
        OnPrepareForSleep(start);
}
