#include "platform/Convert.h"
#include "platform/Errors.h"
#include "platform/TTimer.h"

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

TEST(StrToInt, AcceptsDecimalAndHexWithinThirtyTwoBits) {
    EXPECT_EQ(StrToInt("15"), 15);
    EXPECT_EQ(StrToInt("  -7"), -7);
    EXPECT_EQ(StrToInt("+0"), 0);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElseWithTheValueInTheMessage) {
    for (const char* bad : {"", " ", "abc", "15 ", "1.5", "2147483648", "--1", "$", "12a", "٣"}) {
        try {
            StrToInt(QString::fromUtf8(bad));
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(
                e.Message(),
                QStringLiteral("'%1' is not a valid integer value").arg(QString::fromUtf8(bad)));
        }
    }
}

TEST(TTimer, TicksWhileEnabledNeverWithPeriodZeroAndHandlesHugePeriods) {
    TTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    timer.SetInterval(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 2000));

    timer.SetInterval(0);
    const int before = ticks;
    QTest::qWait(60);
    EXPECT_EQ(ticks, before);
    EXPECT_FALSE(timer.IsRunning());

    timer.SetInterval(4294907296u); // beyond a signed 32-bit period: still armed
    EXPECT_TRUE(timer.IsRunning());
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(timer.Interval(), 4294907296u);
}
