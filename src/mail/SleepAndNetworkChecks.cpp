#include "SleepAndNetworkChecks.h"

#include "platform/SleepWatch.h"

#include <algorithm>

namespace mail {

SleepAndNetworkChecks::SleepAndNetworkChecks(SleepWatch& sleep, NetworkWatch& network,
                                             SleepAndNetworkTimes times)
    : sleepWatch_(sleep), networkWatch_(network), times_(times), reach_(network.Reach()) {
    settle_.setSingleShot(true);
    settle_.setInterval(times_.settleMs);
    wakeWait_.setSingleShot(true);
    QObject::connect(&settle_, &QTimer::timeout, [this] {
        if (reach_ == NetworkReach::Offline) {
            // Gone again before the check: wait for its return, or for the
            // limit after waking.
            if (wakeCheckPending_)
                wakeWait_.start(times_.wakeLimitMs);
            return;
        }
        check();
    });
    QObject::connect(&wakeWait_, &QTimer::timeout, [this] { check(); });
    sleepWatch_.OnPrepareForSleep = [this](bool sleeping) { prepareForSleep(sleeping); };
    networkWatch_.OnReachChanged = [this](NetworkReach reach) { reachChanged(reach); };
}

SleepAndNetworkChecks::~SleepAndNetworkChecks() {
    sleepWatch_.OnPrepareForSleep = nullptr;
    networkWatch_.OnReachChanged = nullptr;
}

bool SleepAndNetworkChecks::TimerMayCheck() const {
    return !sleeping_ && !wakeCheckPending_;
}

bool SleepAndNetworkChecks::NetErrorWindowAllowed() const {
    if (sleeping_)
        return false;
    if (!sinceWake_.isValid() || reach_ == NetworkReach::Online)
        return true;
    return sinceWake_.elapsed() >= times_.wakeLimitMs;
}

void SleepAndNetworkChecks::prepareForSleep(bool sleeping) {
    settle_.stop();
    wakeWait_.stop();
    sleeping_ = sleeping;
    wakeCheckPending_ = !sleeping;
    if (sleeping)
        return;
    sinceWake_.start();
    // The state from before the sleep may be stale; a change told after
    // waking replaces it.
    reach_ = networkWatch_.Reach();
    switch (reach_) {
    case NetworkReach::Online:
        settle_.start();
        break;
    case NetworkReach::Unknown:
        wakeWait_.start(times_.unknownNetworkWakeMs);
        break;
    case NetworkReach::Offline:
        wakeWait_.start(times_.wakeLimitMs);
        break;
    }
}

void SleepAndNetworkChecks::reachChanged(NetworkReach reach) {
    const NetworkReach before = reach_;
    reach_ = reach;
    if (sleeping_)
        return;
    if (reach == NetworkReach::Offline && before == NetworkReach::Unknown && wakeCheckPending_ &&
        !settle_.isActive()) {
        // The system can tell after all (NetworkManager is "unknown" while
        // it wakes): wait for the network as long as the limit allows.
        wakeWait_.start(std::max<qint64>(0, times_.wakeLimitMs - sinceWake_.elapsed()));
        return;
    }
    if (reach != NetworkReach::Online || before == NetworkReach::Online)
        return;
    wakeWait_.stop();
    if (!settle_.isActive())
        settle_.start();
}

void SleepAndNetworkChecks::check() {
    settle_.stop();
    wakeWait_.stop();
    wakeCheckPending_ = false;
    if (TimedChecksOn && !TimedChecksOn())
        return;
    if (StartCheck)
        StartCheck();
}

} // namespace mail
