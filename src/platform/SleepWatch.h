#pragma once

#include <functional>

// Tells when the computer is about to sleep and when it has woken again.
// Where the system cannot say, nothing is ever told.
class SleepWatch {
public:
    virtual ~SleepWatch() = default;

    // True just before the computer sleeps, false once it has woken.
    std::function<void(bool sleeping)> OnPrepareForSleep;
};
