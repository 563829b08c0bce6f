#include "TTimer.h"

#include <algorithm>
#include <climits>

TTimer::TTimer(QObject* owner) : QObject(owner) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { elapsed(); });
    restart();
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    restart();
}

void TTimer::SetInterval(std::uint32_t value) {
    if (value == interval_)
        return;
    interval_ = value;
    restart();
}

void TTimer::restart() {
    timer_.stop();
    if (!enabled_ || interval_ == 0)
        return;
    remaining_ = interval_;
    const auto step = std::min<std::uint64_t>(remaining_, INT_MAX);
    remaining_ -= step;
    timer_.start(int(step));
}

void TTimer::elapsed() {
    if (remaining_ > 0) {
        const auto step = std::min<std::uint64_t>(remaining_, INT_MAX);
        remaining_ -= step;
        timer_.start(int(step));
        return;
    }
    restart(); // the next period starts before the handler runs, as a periodic timer would
    if (OnTimer)
        OnTimer();
}
