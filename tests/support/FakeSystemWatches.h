#pragma once

#include "platform/NetworkWatch.h"
#include "platform/SleepWatch.h"

// The system's sleep and network signals, raised by the test.
class FakeSleepWatch : public SleepWatch {
public:
    void Announce(bool sleeping) {
        if (OnPrepareForSleep)
            OnPrepareForSleep(sleeping);
    }
};

class FakeNetworkWatch : public NetworkWatch {
public:
    NetworkReach Reach() const override { return reach; }
    void Change(NetworkReach to) {
        reach = to;
        if (OnReachChanged)
            OnReachChanged(to);
    }
    NetworkReach reach = NetworkReach::Online;
};
