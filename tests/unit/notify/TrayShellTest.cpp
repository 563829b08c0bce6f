#include "TrayShellTestSupport.h"

#include "gui/TApplication.h"

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QMenu>

namespace {

TEST_F(TrayTest, FormLoadingAddsTheIconAndFillsTheRecord) {
    EXPECT_TRUE(area.Calls().isEmpty());
    tray->SetIcon(&still);
    tray->SetIcons(&frames);
    tray->Loaded();
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD}));
    EXPECT_TRUE(tray->Shown());
    const NOTIFYICONDATAA d = area.Calls().back().data;
    EXPECT_EQ(d.cbSize, 88u);
    EXPECT_EQ(d.hWnd, tray->WindowHandle());
    EXPECT_NE(d.hWnd, 0u);
    EXPECT_EQ(d.uID, 0u);
    EXPECT_EQ(d.uFlags, 7u);
    EXPECT_EQ(d.uCallbackMessage, 0xB03Fu);
    EXPECT_EQ(d.hIcon, stillHandle());
    EXPECT_EQ(IconHandleImage(d.hIcon), icontest::stillIcon());
    EXPECT_EQ(d.szTip, QString());
    EXPECT_EQ(tray->FrameIndex(), -1);
}

class TrayHint : public TrayTest,
                 public ::testing::WithParamInterface<std::pair<QString, QString>> {};

TEST_P(TrayHint, ShowsTheShortHintCutTo63CharactersAndIgnoresTheSameTextAgain) {
    load();
    tray->SetHint(GetParam().first);
    ASSERT_EQ(area.Messages(), Calls{NIM_MODIFY});
    EXPECT_EQ(area.Calls()[0].data.szTip, GetParam().second);
    tray->SetHint(GetParam().first);
    EXPECT_EQ(area.Messages(), Calls{NIM_MODIFY});
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TrayHint,
    ::testing::Values(std::pair{QStringLiteral("You have 3 new messages"),
                                QStringLiteral("You have 3 new messages")},
                      std::pair{QStringLiteral("Mail|Click for more"), QStringLiteral("Mail")},
                      std::pair{QStringLiteral("a|b|c"), QStringLiteral("a")},
                      std::pair{QStringLiteral("|after"), QString()},
                      std::pair{QString(70, QLatin1Char('x')), QString(63, QLatin1Char('x'))},
                      std::pair{QString(62, QLatin1Char('x')) +
                                    QString::fromUtf8("\xF0\x9F\x93\xAC"),
                                QString(62, QLatin1Char('x'))}));

TEST_F(TrayTest, HintCaseCountsAsADifferentText) {
    load();
    tray->SetHint(QStringLiteral("mail"));
    tray->SetHint(QStringLiteral("Mail"));
    EXPECT_EQ(area.Messages(), (Calls{NIM_MODIFY, NIM_MODIFY}));
}

TEST_F(TrayTest, AnimationCannotStartWithoutFrames) {
    tray->SetIcon(&still);
    tray->Loaded();
    area.Reset();
    tray->SetAnimated(true);
    EXPECT_FALSE(tray->Animated());
    EXPECT_EQ(tray->AnimationThread(), nullptr);
    EXPECT_TRUE(area.Calls().isEmpty());
}

TEST_F(TrayTest, AnimationOnShowsFrameZeroAndOffShowsTheStillIcon) {
    load();
    tray->SetAnimated(true);
    EXPECT_TRUE(tray->Animated());
    EXPECT_EQ(tray->FrameIndex(), 0);
    ASSERT_NE(tray->AnimationThread(), nullptr);
    EXPECT_FALSE(tray->AnimationThread()->Suspended());
    EXPECT_EQ(area.Messages(), Calls{NIM_MODIFY});
    EXPECT_EQ(handles(), QList<HICON>{frameHandle(0)});

    const TTimerThread* thread = tray->AnimationThread();
    tray->SetAnimated(true);
    EXPECT_EQ(tray->AnimationThread(), thread);
    EXPECT_EQ(area.Messages(), Calls{NIM_MODIFY});

    tray->SetAnimated(false);
    EXPECT_FALSE(tray->Animated());
    EXPECT_EQ(tray->FrameIndex(), 0);
    EXPECT_EQ(area.Messages(), (Calls{NIM_MODIFY, NIM_MODIFY}));
    EXPECT_EQ(handles().back(), stillHandle());
    // The ending thread is collected once the GUI thread gets its end event.
    EXPECT_TRUE(thread->Terminated());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray->ThreadCount() == 0; }, 5000));
    EXPECT_EQ(tray->AnimationThread(), nullptr);
}

TEST_F(TrayTest, ActiveOffPausesAndActiveOnShowsTheCurrentFrameAndResumes) {
    load();
    tray->SetAnimated(true);
    area.Reset();
    tray->SetActive(false);
    EXPECT_EQ(area.Messages(), Calls{NIM_DELETE});
    EXPECT_FALSE(tray->Shown());
    EXPECT_TRUE(tray->Animated());
    EXPECT_TRUE(tray->AnimationThread()->Suspended());
    // Changes while out of the tray and inactive make no shell call.
    tray->SetHint(QStringLiteral("x"));
    EXPECT_EQ(area.Messages(), Calls{NIM_DELETE});
    tray->SetActive(true);
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(handles().back(), frameHandle(0));
    EXPECT_EQ(area.Calls().back().data.szTip, QStringLiteral("x"));
    EXPECT_FALSE(tray->AnimationThread()->Suspended());
}

TEST_F(TrayTest, AnimationSwitchedOnWhileInactiveWaitsPausedForActive) {
    load();
    tray->SetActive(false);
    area.Reset();
    tray->SetAnimated(true);
    EXPECT_TRUE(tray->Animated());
    EXPECT_TRUE(tray->AnimationThread()->Suspended());
    EXPECT_TRUE(area.Calls().isEmpty());
    tray->SetActive(true);
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(handles().back(), frameHandle(0));
    EXPECT_FALSE(tray->AnimationThread()->Suspended());
}

TEST_F(TrayTest, EmptiedStillIconLeavesTheTrayAndARefilledOneComesBack) {
    load();
    tray->SetIcon(nullptr);
    EXPECT_EQ(area.Messages(), Calls{NIM_DELETE});
    EXPECT_FALSE(tray->Shown());
    tray->SetHint(QStringLiteral("still out")); // active, so it tries to add; nothing to show
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_DELETE}));
    tray->SetIcon(&still);
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_DELETE, NIM_DELETE, NIM_ADD}));
    EXPECT_TRUE(tray->Shown());
}

TEST_F(TrayTest, FramesEmptiedWhileAnimatingSwitchTheAnimationOff) {
    load();
    tray->SetAnimated(true);
    area.Reset();
    const TIconList none;
    tray->SetIcons(&none);
    EXPECT_FALSE(tray->Animated());
    EXPECT_EQ(area.Messages(), (Calls{NIM_MODIFY, NIM_MODIFY}));
    EXPECT_EQ(handles(), (QList<HICON>{stillHandle(), stillHandle()}));
}

TEST_F(TrayTest, FailedAddIsTriedAgainOnTheNextRefresh) {
    area.SetAddSucceeds(false);
    load();
    EXPECT_FALSE(tray->Shown());
    tray->SetHint(QStringLiteral("again"));
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_ADD}));
    area.SetAddSucceeds(true);
    tray->SetHint(QStringLiteral("and again"));
    EXPECT_TRUE(tray->Shown());
}

TEST_F(TrayTest, IntervalAndMenuChangesMakeNoShellCall) {
    load();
    QMenu menu;
    tray->SetInterval(0);
    tray->SetPopupMenu(&menu);
    tray->SetShowDesign(true); // only in a designer
    EXPECT_FALSE(tray->ShowDesign());
    EXPECT_TRUE(area.Calls().isEmpty());
}

TEST_F(TrayTest, DestructionWhileAnimatingShowsTheStillIconThenLeavesTheTray) {
    load();
    tray->SetAnimated(true);
    area.Reset();
    const HICON stillShown = stillHandle();
    tray.reset();
    EXPECT_EQ(area.Messages(), (Calls{NIM_MODIFY, NIM_DELETE}));
    EXPECT_EQ(area.Calls()[0].data.hIcon, stillShown);
    EXPECT_EQ(area.LiveWindows(), 0);
}

TEST_F(TrayTest, DestructionWhenStillOnlyLeavesTheTray) {
    load();
    tray.reset();
    EXPECT_EQ(area.Messages(), Calls{NIM_DELETE});
    EXPECT_EQ(area.LiveWindows(), 0);
}

TEST_F(TrayTest, ANewTrayHostGetsTheIconAgainWhenActive) {
    load();
    TMessage created{nullptr, WM_TASKBARCREATED, 0, 0, 0};
    area.Send(tray->WindowHandle(), created);
    EXPECT_EQ(area.Messages(), (Calls{NIM_DELETE, NIM_ADD}));
    EXPECT_TRUE(tray->Shown());
    tray->SetActive(false);
    area.Reset();
    area.Send(tray->WindowHandle(), created);
    EXPECT_TRUE(area.Calls().isEmpty());
}

// ---- mouse ----

struct Clicks {
    QStringList events;
    void bind(TTrayIcon& tray) {
        tray.OnClick = [this, &tray](QObject* sender, TMouseButton button, TShiftState shift, int x,
                                     int y) {
            EXPECT_EQ(sender, &tray);
            EXPECT_EQ(shift, 0u);
            events << QStringLiteral("click %1 %2,%3")
                          .arg(button == mbLeft    ? "left"
                               : button == mbRight ? "right"
                                                   : "middle")
                          .arg(x)
                          .arg(y);
        };
        tray.OnDblClick = [this, &tray](QObject* sender) {
            EXPECT_EQ(sender, &tray);
            events << QStringLiteral("double");
        };
    }
};

TEST_F(TrayTest, ClicksReportTheCursorReadWhenHandled) {
    load();
    Clicks clicks;
    clicks.bind(*tray);
    area.SetCursorPos({10, 20});
    area.SendMouse(tray->WindowHandle(), WM_LBUTTONUP);
    area.SetCursorPos({11, 21});
    area.SendMouse(tray->WindowHandle(), WM_RBUTTONUP); // no menu
    for (std::uint32_t ignored :
         {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONUP})
        area.SendMouse(tray->WindowHandle(), ignored);
    EXPECT_EQ(clicks.events, (QStringList{QStringLiteral("click left 10,20"),
                                          QStringLiteral("click right 11,21")}));
}

TEST_F(TrayTest, DoubleClickDeliversClickDoubleClick) {
    load();
    Clicks clicks;
    clicks.bind(*tray);
    for (std::uint32_t m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        area.SendMouse(tray->WindowHandle(), m);
    EXPECT_EQ(clicks.events,
              (QStringList{QStringLiteral("click left 0,0"), QStringLiteral("double"),
                           QStringLiteral("click left 0,0")}));
}

TEST_F(TrayTest, RightClickOpensTheMenuAtTheCursorInsteadOfOnClick) {
    load();
    Clicks clicks;
    clicks.bind(*tray);
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("&Check Email"));
    int opened = 0;
    QObject::connect(menu.get(), &QMenu::aboutToShow, [&] {
        ++opened;
        QTimer::singleShot(0, menu.get(), &QMenu::close);
    });
    tray->SetPopupMenu(menu.get());
    area.SetCursorPos({30, 40});
    area.SendMouse(tray->WindowHandle(), WM_RBUTTONUP);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(clicks.events.isEmpty());
    EXPECT_EQ(menu->property("PopupComponent").value<QObject*>(), tray.get());

    menu->setProperty(TTrayIcon::AutoPopupProperty, false);
    area.SendMouse(tray->WindowHandle(), WM_RBUTTONUP);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(clicks.events, QStringList{QStringLiteral("click right 30,40")});

    menu->setProperty(TTrayIcon::AutoPopupProperty, true);
    tray->SetActive(false);
    area.SendMouse(tray->WindowHandle(), WM_RBUTTONUP);
    EXPECT_EQ(opened, 1);
    tray->SetActive(true);

    menu.reset(); // the tray forgets a destroyed menu
    EXPECT_EQ(tray->PopupMenu(), nullptr);
    area.SendMouse(tray->WindowHandle(), WM_RBUTTONUP);
    EXPECT_EQ(clicks.events.size(), 3);
}

TEST_F(TrayTest, DoubleClickRunsTheMenusDefaultItemInsteadOfOnDblClick) {
    load();
    Clicks clicks;
    clicks.bind(*tray);
    QMenu menu;
    menu.addAction(QStringLiteral("&Check Email"));
    QAction* about = menu.addAction(QStringLiteral("&About"));
    int ran = 0;
    QObject::connect(about, &QAction::triggered, [&] { ++ran; });
    tray->SetPopupMenu(&menu);
    area.SendMouse(tray->WindowHandle(), WM_LBUTTONDBLCLK); // no default item
    EXPECT_EQ(clicks.events, QStringList{QStringLiteral("double")});
    menu.setDefaultAction(about);
    area.SendMouse(tray->WindowHandle(), WM_LBUTTONDBLCLK);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(clicks.events.size(), 1);
}

TEST_F(TrayTest, HandlerErrorsGoToTheApplicationAndTheProcedureReturns) {
    load();
    QStringList shown;
    TApplication::Instance()->OnException = [&](QObject*, const std::exception& e) {
        shown << QString::fromUtf8(e.what());
    };
    tray->OnDblClick = [](QObject*) { throw Exception(QStringLiteral("check failed")); };
    tray->OnClick = [](QObject*, TMouseButton, TShiftState, int, int) {
        throw std::runtime_error("click failed");
    };
    area.SendMouse(tray->WindowHandle(), WM_LBUTTONDBLCLK);
    area.SendMouse(tray->WindowHandle(), WM_LBUTTONUP);
    TApplication::Instance()->OnException = nullptr;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("check failed"), QStringLiteral("click failed")}));
}

} // namespace
