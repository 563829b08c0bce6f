// The animation thread. These tests also run under ThreadSanitizer.
#include "TrayShellTestSupport.h"

#include <QtTest/QTest>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST_F(TrayTest, FramesAdvanceInOrderAtTheIntervalWithoutTheEventLoop) {
    load(20);
    const auto start = Clock::now();
    tray->SetAnimated(true);
    ASSERT_TRUE(area.WaitForCalls(11, 5s));
    const auto elapsed = Clock::now() - start;
    const auto calls = area.Calls();
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(calls[i].message, NIM_MODIFY);
        EXPECT_EQ(calls[i].data.hIcon, frameHandle(i % 5)) << i;
    }
    // Ten sleeps of 20 ms lie between the first and the eleventh frame.
    EXPECT_GE(elapsed, 190ms);
}

TEST_F(TrayTest, IntervalZeroAdvancesAsFastAsScheduled) {
    load(0);
    tray->SetAnimated(true);
    EXPECT_TRUE(area.WaitForCalls(200, 10s));
}

TEST_F(TrayTest, SwitchingOffAndOnQuicklyKeepsTheNewThread) {
    load(30);
    for (int round = 0; round < 5; ++round) {
        tray->SetAnimated(true);
        tray->SetAnimated(false);
        tray->SetAnimated(true);
        const TTimerThread* current = tray->AnimationThread();
        ASSERT_NE(current, nullptr);
        // The old threads' end events arrive; they must not clear the new one.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tray->ThreadCount() == 1; }, 5000));
        EXPECT_EQ(tray->AnimationThread(), current);
        EXPECT_TRUE(tray->Animated());
        area.Reset();
        EXPECT_TRUE(area.WaitForCalls(2, 5s)); // and it animates
        tray->SetAnimated(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return tray->ThreadCount() == 0; }, 5000));
    }
}

TEST_F(TrayTest, OutOfTheTrayTheAnimationPausesAndLaterGoesOnFromItsFrame) {
    load(5);
    tray->SetAnimated(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->FrameIndex() >= 2; }, 5000));
    tray->SetActive(false);
    const int frame = tray->FrameIndex();
    area.Reset();
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(area.Calls().isEmpty());
    EXPECT_EQ(tray->FrameIndex(), frame);
    // Switching on again does not restart the cycle.
    tray->SetAnimated(true);
    EXPECT_EQ(tray->FrameIndex(), frame);
    tray->SetActive(true);
    ASSERT_TRUE(area.WaitForCalls(4, 5s));
    const auto calls = area.Calls();
    EXPECT_EQ(calls[0].message, NIM_DELETE);
    EXPECT_EQ(calls[1].message, NIM_ADD);
    EXPECT_EQ(calls[1].data.hIcon, frameHandle(frame));
    EXPECT_EQ(calls[2].message, NIM_MODIFY);
    EXPECT_EQ(calls[2].data.hIcon, frameHandle((frame + 1) % 5));
}

TEST_F(TrayTest, GuiThreadChangesWhileFramesAdvanceNeverMixRecords) {
    load(0);
    tray->SetAnimated(true);
    ASSERT_TRUE(area.WaitForCalls(20, 5s)); // the thread is at work
    for (int i = 0; i < 300; ++i)
        tray->SetHint(QStringLiteral("hint %1").arg(i));
    const auto calls = area.Calls();
    int lastHint = -1;
    for (const auto& call : calls) {
        ASSERT_EQ(call.message, NIM_MODIFY);
        const int hint = call.data.szTip.isEmpty() ? -1 : call.data.szTip.mid(5).toInt();
        EXPECT_GE(hint, lastHint); // a frame never shows an older hint
        lastHint = hint;
    }
    EXPECT_EQ(lastHint, 299);
}

TEST_F(TrayTest, FramesShrinkingUnderTheAnimationWrapTheIndex) {
    load(2);
    tray->SetAnimated(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->FrameIndex() >= 3; }, 5000));
    TIconList two;
    two.Add(frames.Items(0));
    two.Add(frames.Items(2));
    tray->SetIcons(&two);
    area.Reset();
    ASSERT_TRUE(area.WaitForCalls(6, 5s));
    for (const auto& call : area.Calls())
        EXPECT_TRUE(call.data.hIcon == frameHandle(0) || call.data.hIcon == frameHandle(1));
    EXPECT_LT(tray->FrameIndex(), 2);
}

TEST(TrayDestruction, WhileAnimatingNeverTouchesTheTrayAfterwards) {
    TIcon still;
    still.LoadFromBytes(icontest::stillIcon());
    TIconList frames;
    QBuffer in;
    in.setData(icontest::shippedFrames());
    in.open(QIODevice::ReadOnly);
    frames.ReadData(in);
    FakeNotifyArea area;
    for (int round = 0; round < 30; ++round) {
        auto tray = std::make_unique<TTrayIcon>(nullptr, area);
        tray->SetInterval(static_cast<std::uint16_t>(round % 3));
        tray->SetIcon(&still);
        tray->SetIcons(&frames);
        tray->Loaded();
        tray->SetAnimated(true);
        if (round % 2) { // one thread ending, one running
            tray->SetAnimated(false);
            tray->SetAnimated(true);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(round * 100));
        area.Reset();
        tray.reset();
        const auto calls = area.Messages();
        ASSERT_GE(calls.size(), 2);
        EXPECT_EQ(calls.back(), NIM_DELETE);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(area.Messages().size(), calls.size()) << "a call after destruction";
        QCoreApplication::processEvents(); // end events of freed trays are dropped
    }
}

} // namespace
