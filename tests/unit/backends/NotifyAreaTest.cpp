#include "IconTestData.h"
#include "platform/qt/QtNotifyArea.h"

#include <QtCore/QCoreApplication>
#include <gtest/gtest.h>

namespace {

using Messages = QList<std::uint32_t>;

struct Activation {
    QSystemTrayIcon::ActivationReason reason;
    bool triggerJustBefore;
    Messages expected;
};

class QtNotifyAreaMouse : public ::testing::TestWithParam<Activation> {};

TEST_P(QtNotifyAreaMouse, ActivationsBecomeTheShellsMouseMessages) {
    EXPECT_EQ(QtNotifyArea::MouseMessages(GetParam().reason, GetParam().triggerJustBefore),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, QtNotifyAreaMouse,
    ::testing::Values(
        Activation{QSystemTrayIcon::Trigger, false, {WM_LBUTTONUP}},
        Activation{QSystemTrayIcon::Trigger, true, {WM_LBUTTONUP}},
        // The first click of a double click was reported already.
        Activation{QSystemTrayIcon::DoubleClick, true, {WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        Activation{
            QSystemTrayIcon::DoubleClick, false, {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        Activation{QSystemTrayIcon::Context, false, {WM_RBUTTONUP}},
        Activation{QSystemTrayIcon::Unknown, false, {}}));

TEST(QtNotifyArea, WithoutATrayHostAddsFailAndUnknownIconsCannotChange) {
    QtNotifyArea area; // the offscreen platform has no tray
    ASSERT_FALSE(area.TrayHostPresent());
    int messages = 0;
    const HWND window = area.AllocateHWnd([&](TMessage&) { ++messages; });
    NOTIFYICONDATAA data;
    data.cbSize = 88;
    data.hWnd = window;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = 0xB03F;
    data.hIcon = CreateIconHandle(icontest::stillIcon());
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_ADD, data));
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_MODIFY, data));
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_DELETE, data));
    EXPECT_FALSE(area.Shell_NotifyIconA(7, data));
    QCoreApplication::processEvents();
    EXPECT_TRUE(area.IconGeometry(window, 0).isEmpty());
    EXPECT_EQ(messages, 0);
    area.DeallocateHWnd(window);
    DestroyIconHandle(data.hIcon);
}

TEST(IconFromIconFile, DecodesEveryImageAndNothingFromBadData) {
    const QIcon icon = iconFromIconFile(icontest::stillIcon());
    EXPECT_EQ(icon.availableSizes().size(), 2);
    EXPECT_TRUE(iconFromIconFile(QByteArray("not an icon")).isNull());
}

} // namespace
