#pragma once

#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <cstdint>
#include <functional>

// A timer in the manner the program's handlers expect: it ticks every
// Interval milliseconds while Enabled, a period of 0 never ticks, and periods
// beyond a signed 32-bit number of milliseconds still work. Changing either
// property restarts the period.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* owner = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t value);

    std::function<void()> OnTimer;

    // Whether a tick is pending (enabled with a non-zero period).
    bool IsRunning() const { return timer_.isActive(); }

private:
    void restart();
    void elapsed();

    QTimer timer_;
    bool enabled_ = true;
    std::uint32_t interval_ = 1000;
    std::uint64_t remaining_ = 0; // of a period longer than one QTimer run
};
