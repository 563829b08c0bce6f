#pragma once

#include <functional>

// Whether the computer reaches the Internet, as far as the system can tell.
enum class NetworkReach {
    Unknown, // nothing to ask, or the system does not know
    Offline, // no network, or only the local one
    Online,
};

// Follows the system's own view of the network; told of every change, never
// asked on a timer.
class NetworkWatch {
public:
    virtual ~NetworkWatch() = default;

    virtual NetworkReach Reach() const = 0;
    std::function<void(NetworkReach)> OnReachChanged;
};
