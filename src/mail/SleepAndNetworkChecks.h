#pragma once

#include "platform/NetworkWatch.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>

#include <functional>

class SleepWatch;

namespace mail {

// How long the checks after waking and after a network change wait.
struct SleepAndNetworkTimes {
    // From the network being usable to the check; several signals inside it
    // give one check.
    int settleMs = 300;
    // After waking, where the system cannot say whether the network is up.
    int unknownNetworkWakeMs = 5000;
    // After waking, the longest wait for the network before checking anyway.
    int wakeLimitMs = 60000;
};

// Keeps the count current across sleep and network outages: checks as soon
// as the network is usable after waking and whenever it comes back. Every
// check goes through StartCheck, whose state test keeps a second connection
// from opening while one is under way. Checks start only while the check
// timer runs, as a timed check would.
class SleepAndNetworkChecks {
public:
    SleepAndNetworkChecks(SleepWatch& sleep, NetworkWatch& network,
                          SleepAndNetworkTimes times = {});
    ~SleepAndNetworkChecks();
    SleepAndNetworkChecks(const SleepAndNetworkChecks&) = delete;
    SleepAndNetworkChecks& operator=(const SleepAndNetworkChecks&) = delete;

    std::function<void()> StartCheck;
    std::function<bool()> TimedChecksOn;

    // Whether a tick of the check timer may start a check: not while the
    // computer goes to sleep, nor while the check after waking is pending.
    bool TimerMayCheck() const;
    // Whether a server that cannot be reached may open the connection-error
    // window: not while going to sleep, nor while the network is still coming
    // up after waking.
    bool NetErrorWindowAllowed() const;

private:
    void prepareForSleep(bool sleeping);
    void reachChanged(NetworkReach reach);
    void check();

    SleepWatch& sleepWatch_;
    NetworkWatch& networkWatch_;
    const SleepAndNetworkTimes times_;
    NetworkReach reach_;
    bool sleeping_ = false;
    bool wakeCheckPending_ = false;
    QElapsedTimer sinceWake_;
    QTimer settle_;   // network usable -> check
    QTimer wakeWait_; // woken, network not known to be up -> check anyway
};

} // namespace mail
