#include "components/AppEvent.h"
#include "FakeDialogs.h"
#include "platform/Errors.h"
#include "platform/TTimer.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtGui/QHelpEvent>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtTest/QTest>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

namespace {

class AppEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = TApplication::Instance();
        ASSERT_NE(app, nullptr);
        ASSERT_TRUE(GlobalAppEventList.Components().empty());
        app->SetDialogs(&dialogs);
    }
    void TearDown() override {
        app->SetDialogs(nullptr);
        app->SetMainForm(nullptr);
        app->SetHintHidePause(2500);
        app->SetHintShortPause(50);
        app->SetShowHint(true);
        QToolTip::hideText();
        EXPECT_TRUE(GlobalAppEventList.Components().empty());
    }
    TApplication* app = nullptr;
    FakeDialogs dialogs;
    QStringList calls;
};

TEST_F(AppEventsTest, NewestFirstThenSavedHandlerSharingTheDoneFlag) {
    app->OnIdle = [&](QObject*, bool& done) { calls << QStringLiteral("saved %1").arg(done); };
    {
        TAppEvents a, b;
        a.OnIdle = [&](QObject* sender, bool& done) {
            calls << QStringLiteral("A %1").arg(done);
            EXPECT_EQ(sender, app);
        };
        b.OnIdle = [&](QObject*, bool& done) {
            calls << QStringLiteral("B %1").arg(done);
            done = false;
        };
        bool done = true;
        app->OnIdle(app, done);
        EXPECT_EQ(calls, (QStringList{"B 1", "A 0", "saved 0"}));
        EXPECT_FALSE(done);
    }
    // The last one out clears the slots; the saved handler is not put back.
    EXPECT_FALSE(app->OnIdle);
}

TEST_F(AppEventsTest, UnchainedComponentEndsDispatchEvenWithoutHandler) {
    app->OnHint = [&](QObject*) { calls << "saved"; };
    TAppEvents a, b;
    a.OnHint = [&](QObject*) { calls << "A"; };
    b.Chained = false;
    app->OnHint(app);
    EXPECT_TRUE(calls.isEmpty());

    b.OnHint = [&](QObject*) { calls << "B"; };
    app->OnHint(app);
    EXPECT_EQ(calls, QStringList{"B"});
}

struct ExceptionCase {
    const char* name;
    bool newerChained;
    bool newerHandler;
    QStringList handlersRun;
    int shown;
};

class ExceptionDispatch : public AppEventsTest,
                          public ::testing::WithParamInterface<ExceptionCase> {};

TEST_P(ExceptionDispatch, FallsBackToShowExceptionOnlyWhenNoHandlerRan) {
    const auto& c = GetParam();
    TAppEvents a, b;
    a.OnException = [&](QObject*, const std::exception&) { calls << "A"; };
    b.Chained = c.newerChained;
    if (c.newerHandler)
        b.OnException = [&](QObject*, const std::exception& e) {
            calls << "B";
            EXPECT_STREQ(e.what(), "Broken");
        };
    app->HandleException(Exception(QStringLiteral("Broken")));
    EXPECT_EQ(calls, c.handlersRun);
    EXPECT_EQ(dialogs.exceptions.size(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExceptionDispatch,
    ::testing::Values(ExceptionCase{"UnchainedWithHandler", false, true, {"B"}, 0},
                      ExceptionCase{"UnchainedWithoutHandler", false, false, {}, 1},
                      ExceptionCase{"ChainedBoth", true, true, {"B", "A"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppEventsTest, NoHandlersShowEachExceptionOnce) {
    TAppEvents a;
    app->HandleException(Exception(QStringLiteral("Couldn't do it")));
    EXPECT_EQ(dialogs.exceptions, QStringList{"Couldn't do it."});
}

TEST_F(AppEventsTest, HelpReturnsTheLastHandlersResult) {
    TAppEvents a, b;
    bool callHelp = true;
    EXPECT_FALSE(app->OnHelp(1, 2, callHelp));
    a.OnHelp = [&](std::uint16_t, std::int32_t, bool& ch) {
        EXPECT_FALSE(ch); // written by B
        return true;
    };
    b.OnHelp = [&](std::uint16_t command, std::int32_t data, bool& ch) {
        EXPECT_EQ(command, 7);
        EXPECT_EQ(data, -3);
        ch = false;
        return false;
    };
    EXPECT_TRUE(app->OnHelp(7, -3, callHelp));
    EXPECT_FALSE(callHelp);
}

TEST_F(AppEventsTest, AttachTwiceAndDetachOfAStranger) {
    {
        TAppEvents a;
        GlobalAppEventList.Attach(&a);
        GlobalAppEventList.Attach(nullptr);
        EXPECT_EQ(GlobalAppEventList.Components().size(), 1u);

        TAppEvents stranger;
        GlobalAppEventList.Detach(&stranger);
        GlobalAppEventList.Detach(&stranger); // no longer in the list
        EXPECT_EQ(GlobalAppEventList.Components(), std::vector<TAppEvents*>{&a});
        EXPECT_TRUE(app->OnIdle); // still installed
    }
    app->OnIdle = [](QObject*, bool&) {};
    app->OnException = [](QObject*, const std::exception&) {};
    GlobalAppEventList.Detach(nullptr);
    EXPECT_FALSE(app->OnIdle);
    EXPECT_FALSE(app->OnException);
}

TEST_F(AppEventsTest, HandlerMayDestroyItsOwnComponent) {
    TAppEvents a;
    auto b = std::make_unique<TAppEvents>();
    b->Chained = false; // gone before its flag is read: counts as chained
    a.OnRestore = [&](QObject*) { calls << "A"; };
    b->OnRestore = [&](QObject*) {
        calls << "B";
        b.reset();
    };
    app->OnRestore(app);
    EXPECT_EQ(calls, (QStringList{"B", "A"}));
}

TEST_F(AppEventsTest, ExceptionInARealTimerReachesTheBoxAndTheLoopGoesOn) {
    TAppEvents a;
    TTimer timer;
    timer.SetInterval(10);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        throw Exception(QStringLiteral("Couldn't launch default browser"));
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialogs.exceptions.size() >= 2; }, 3000));
    EXPECT_EQ(dialogs.exceptions.first(), "Couldn't launch default browser.");
    EXPECT_GE(ticks, 2);
}

TEST_F(AppEventsTest, SettingsWriteThroughAndReadTheLiveValue) {
    TAppEvents a;
    a.SetHintColor(12320767);
    EXPECT_EQ(app->HintColor(), 12320767u);
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(255, 255, 187));

    a.SetHintPause(700);
    EXPECT_EQ(app->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 700);
    a.SetHintPause(500);

    a.Loaded();
    EXPECT_TRUE(app->ShowMainForm());
    app->SetShowMainForm(false); // start-up's later write wins
    EXPECT_FALSE(a.ShowMainForm());
    a.Loaded(); // the stored value was kept
    EXPECT_TRUE(app->ShowMainForm());
    app->SetShowMainForm(true);
}

TEST_F(AppEventsTest, TooltipsFollowTheHintSettings) {
    TAppEvents a;
    a.SetHintColor(12320767);
    a.SetHintHidePause(300);
    QStringList hints;
    a.OnHint = [&](QObject*) { hints << app->Hint(); };
    QWidget w;
    w.resize(200, 100);
    w.setToolTip(QStringLiteral("Check now"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    auto ask = [&] {
        QHelpEvent e(QEvent::ToolTip, QPoint(10, 10), w.mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(&w, &e);
    };
    ask();
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Check now");
    EXPECT_EQ(hints, QStringList{"Check now"});

    QWidget* tip = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("QTipLabel") && top->isVisible())
            tip = top;
    ASSERT_NE(tip, nullptr);
    const QImage shot = tip->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 3, shot.height() / 2)), QColor(255, 255, 187));

    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    EXPECT_GE(clock.elapsed(), 250);

    a.OnShowHint = [](QString& text, bool&, THintInfo& info) {
        text = QStringLiteral("Changed");
        info.HideTimeout = 5000;
    };
    ask();
    EXPECT_EQ(QToolTip::text(), "Changed");
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));

    a.OnShowHint = [](QString&, bool& canShow, THintInfo&) { canShow = false; };
    ask();
    EXPECT_FALSE(QToolTip::isVisible());

    a.OnShowHint = nullptr;
    a.SetShowHint(false);
    ask();
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(AppEventsTest, ShortPauseWhenMovingOnFromAVisibleHint) {
    TAppEvents a;
    a.SetHintShortPause(300);
    QWidget w;
    w.resize(200, 100);
    QWidget left(&w), right(&w);
    left.setGeometry(0, 0, 100, 100);
    right.setGeometry(100, 0, 100, 100);
    left.setToolTip(QStringLiteral("left"));
    right.setToolTip(QStringLiteral("right"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QHelpEvent first(QEvent::ToolTip, QPoint(5, 5), left.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&left, &first);
    ASSERT_EQ(QToolTip::text(), "left");
    QHelpEvent second(QEvent::ToolTip, QPoint(5, 5), right.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&right, &second);
    EXPECT_EQ(QToolTip::text(), "left");
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::text() == "right"; }, 2000));
}

TEST_F(AppEventsTest, MainWindowMinimiseAndRestoreRaiseTheEvents) {
    TAppEvents a;
    a.OnMinimize = [&](QObject* sender) {
        calls << "minimize";
        EXPECT_EQ(sender, app);
    };
    a.OnRestore = [&](QObject*) { calls << "restore"; };
    QWidget main;
    app->SetMainForm(&main);
    main.show();
    main.setWindowState(Qt::WindowMinimized);
    main.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(calls, (QStringList{"minimize", "restore"}));
}

TEST_F(AppEventsTest, IdleArrivesWhenTheLoopWaits) {
    TAppEvents a;
    int idles = 0;
    a.OnIdle = [&](QObject*, bool&) { ++idles; };
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GT(idles, 0);
}

TEST_F(AppEventsTest, PaintHookOnlyWhenMinimisedWithAHandler) {
    TAppEvents a;
    QWidget main;
    app->SetMainForm(&main);
    TMessage paint{nullptr, WM_PAINT};
    EXPECT_FALSE(app->SendToApplicationWindow(paint)); // no handler

    bool canvasActive = false;
    a.OnPaintIcon = [&](QObject* sender) {
        EXPECT_EQ(sender, &a);
        canvasActive = a.IconCanvas().isActive();
        EXPECT_TRUE(app->Painting());
        a.IconCanvas().fillRect(0, 0, 8, 8, Qt::red);
    };
    EXPECT_FALSE(app->SendToApplicationWindow(paint)); // not minimised

    main.show();
    main.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(app->SendToApplicationWindow(paint));
    EXPECT_TRUE(canvasActive);
    EXPECT_FALSE(app->Painting());
    const QImage icon = app->MinimizedIcon().toImage();
    EXPECT_EQ(QColor(icon.pixel(2, 2)), QColor(Qt::red));
    EXPECT_EQ(QColor(icon.pixel(20, 20)), QColor(0, 128, 128)); // erased with the desktop colour

    a.OnPaintIcon = [&](QObject*) { throw Exception(QStringLiteral("no paint")); };
    EXPECT_THROW(app->SendToApplicationWindow(paint), Exception);
    EXPECT_FALSE(app->Painting());
    EXPECT_FALSE(a.IconCanvas().isActive());

    TMessage other{nullptr, WM_PAINT + 1};
    EXPECT_FALSE(app->SendToApplicationWindow(other));
}

} // namespace
