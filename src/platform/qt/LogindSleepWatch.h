#pragma once

#include "platform/SleepWatch.h"

#include <QtCore/QObject>

// logind's PrepareForSleep signal on the system bus. Without a system bus or
// logind nothing is ever told; logind starting later is noticed by the bus.
class LogindSleepWatch : public QObject, public SleepWatch {
    Q_OBJECT
public:
    explicit LogindSleepWatch(QObject* parent = nullptr);

    // Whether the signal is subscribed to (a system bus is there).
    bool Listening() const { return listening_; }

private slots:
    void prepareForSleep(bool start);

private:
    bool listening_ = false;
};
