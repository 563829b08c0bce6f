// When the checks after waking and after the network's return start, driven
// by fake sleep and network signals and counted as connections opened
// through the check cycle on a fake POP client.
#include "mail/SleepAndNetworkChecks.h"
#include "FakeMailHost.h"
#include "FakePOPControl.h"
#include "FakeSystemWatches.h"
#include "mail/CheckCycle.h"

#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using mail::SleepAndNetworkTimes;

class SleepAndNetworkTest : public ::testing::Test {
protected:
    FakeSleepWatch sleep;
    FakeNetworkWatch network;
    FakePOPControl pop;
    FakeMailHost host;
    bool timerOn = true;
    std::unique_ptr<mail::SleepAndNetworkChecks> checks;

    // Waits that a test does not wait out are long, so that a loaded
    // machine cannot make them fire.
    void make(SleepAndNetworkTimes times = {20, 10000, 10000}) {
        checks = std::make_unique<mail::SleepAndNetworkChecks>(sleep, network, times);
        checks->StartCheck = [this] { mail::StartCheck(pop, host); };
        checks->TimedChecksOn = [this] { return timerOn; };
    }
    int connects() const { return int(pop.calls.count(QStringLiteral("Connect"))); }
    // The connections opened once the event loop has run for a while.
    int connectsAfter(int ms) {
        QTest::qWait(ms);
        return connects();
    }
    bool waitForConnects(int n) {
        return QTest::qWaitFor([&] { return connects() >= n; }, 5000) && connectsAfter(100) == n;
    }
    void sleepAndWake() {
        sleep.Announce(true);
        sleep.Announce(false);
    }
};

TEST_F(SleepAndNetworkTest, GoingToSleepHoldsBackTicksAndTheErrorWindowAndStartsNothing) {
    make();
    EXPECT_TRUE(checks->TimerMayCheck());
    EXPECT_TRUE(checks->NetErrorWindowAllowed());
    network.Change(NetworkReach::Offline);
    network.Change(NetworkReach::Online); // a check is on its way...
    sleep.Announce(true);                 // ...and the sleep takes it back
    EXPECT_FALSE(checks->TimerMayCheck());
    EXPECT_FALSE(checks->NetErrorWindowAllowed());
    network.Change(NetworkReach::Offline);
    network.Change(NetworkReach::Online);
    EXPECT_EQ(connectsAfter(150), 0);
}

TEST_F(SleepAndNetworkTest, WakingWithTheNetworkUpChecksOnce) {
    make();
    sleepAndWake();
    EXPECT_FALSE(checks->TimerMayCheck()); // the wake check stands for the tick
    ASSERT_TRUE(waitForConnects(1));
    EXPECT_TRUE(checks->TimerMayCheck());
    EXPECT_TRUE(checks->NetErrorWindowAllowed());
}

TEST_F(SleepAndNetworkTest, WakingWhileTheNetworkComesUpWaitsForItAndStaysQuiet) {
    network.reach = NetworkReach::Online;
    make({20, 100, 10000});
    sleep.Announce(true);
    network.reach = NetworkReach::Unknown; // NetworkManager asleep, as Qt reads it
    sleep.Announce(false);
    network.Change(NetworkReach::Offline); // it can tell after all: no check after 100 ms
    EXPECT_EQ(connectsAfter(300), 0);
    EXPECT_FALSE(checks->TimerMayCheck());
    EXPECT_FALSE(checks->NetErrorWindowAllowed());
    network.Change(NetworkReach::Online);
    ASSERT_TRUE(waitForConnects(1));
    EXPECT_TRUE(checks->TimerMayCheck());
    EXPECT_TRUE(checks->NetErrorWindowAllowed());
}

TEST_F(SleepAndNetworkTest, WakingWithoutWordOfTheNetworkChecksAfterADelayAndStaysQuiet) {
    network.reach = NetworkReach::Unknown;
    make({20, 100, 10000});
    sleepAndWake();
    EXPECT_EQ(connects(), 0);
    ASSERT_TRUE(waitForConnects(1));
    // A failure of that check may be the network still coming up.
    EXPECT_FALSE(checks->NetErrorWindowAllowed());
    EXPECT_TRUE(checks->TimerMayCheck());
}

TEST_F(SleepAndNetworkTest, WakingToNoNetworkChecksAtTheLimitAndMayThenShowTheWindow) {
    network.reach = NetworkReach::Offline;
    make({20, 10000, 200});
    sleepAndWake();
    EXPECT_EQ(connects(), 0);
    ASSERT_TRUE(waitForConnects(1));
    EXPECT_TRUE(checks->NetErrorWindowAllowed());
}

TEST_F(SleepAndNetworkTest, TheNetworksReturnChecksOnceForABurstAndLeavingDoesNothing) {
    make();
    pop.state = popConnected; // a going network stops nothing either
    network.Change(NetworkReach::Offline);
    EXPECT_EQ(connectsAfter(100), 0);
    EXPECT_TRUE(pop.calls.isEmpty());
    pop.state = popClosed;
    network.Change(NetworkReach::Online);
    network.Change(NetworkReach::Offline);
    network.Change(NetworkReach::Online);
    network.Change(NetworkReach::Online);
    ASSERT_TRUE(waitForConnects(1));
    // Still online: a repeated word of it is no return.
    network.Change(NetworkReach::Online);
    EXPECT_EQ(connectsAfter(100), 1);
}

TEST_F(SleepAndNetworkTest, NoChecksWhileTheCheckTimerIsOff) {
    timerOn = false;
    make();
    sleepAndWake();
    network.Change(NetworkReach::Offline);
    network.Change(NetworkReach::Online);
    EXPECT_EQ(connectsAfter(150), 0);
    EXPECT_TRUE(checks->TimerMayCheck());
}

} // namespace
