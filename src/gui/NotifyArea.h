#pragma once

#include "TMessage.h"

#include <QtCore/QByteArray>
#include <QtCore/QPoint>
#include <QtCore/QString>
#include <QtGui/QIcon>

class QMenu;

#include <cstdint>
#include <functional>

// The shell's notification area as the tray icon component sees it: one
// record per icon, added, modified and deleted; mouse actions on an icon come
// back as callback messages to a hidden window's procedure.

using HWND = std::uintptr_t; // a hidden window of AllocateHWnd; 0 is none
using HICON = std::intptr_t; // an entry of the icon handle table; 0 is none
inline constexpr HICON NoIconHandle = -1;

// Shell_NotifyIconA messages.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;

// Which record fields are valid.
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

// Mouse messages carried in a callback message's LParam.
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;

// Sent to every hidden window when a tray host appears (at login it may come
// up after the program, or it restarts): icons added before are gone.
inline constexpr std::uint32_t WM_TASKBARCREATED = 0xC0DE;

// The record of every call. The tip holds at most 63 characters.
struct NOTIFYICONDATAA {
    std::uint32_t cbSize = 0;
    HWND hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    HICON hIcon = 0;
    QString szTip;

    bool operator==(const NOTIFYICONDATAA&) const = default;
};

class NotifyArea {
public:
    using WindowProc = std::function<void(TMessage&)>;

    virtual ~NotifyArea() = default;

    // A hidden window whose procedure receives the callback messages of the
    // icons added with its handle; called on the GUI thread.
    virtual HWND AllocateHWnd(WindowProc proc) = 0;
    // After this the procedure is never called again.
    virtual void DeallocateHWnd(HWND window) = 0;

    // Adds, modifies or deletes the icon (hWnd, uID); true on success. Safe to
    // call from any thread; messages are delivered on the GUI thread.
    virtual bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) = 0;

    // The mouse position in screen coordinates.
    virtual QPoint GetCursorPos() = 0;

    // The menu the icons of a window open on a right click, for a tray host
    // that draws menus itself; null for none. GUI thread.
    virtual void SetWindowMenu(HWND window, QMenu* menu) {
        (void)window;
        (void)menu;
    }
};

// The process's icon handle table: an icon handle stands for an icon-file
// image until it is destroyed. Safe to use from any thread.
HICON CreateIconHandle(const QByteArray& iconFile);
void DestroyIconHandle(HICON icon);
// The image behind a live handle; empty for 0, -1 or a destroyed handle.
QByteArray IconHandleImage(HICON icon);

// Every image of an icon file, for display (GUI thread); null for bad data.
QIcon iconFromIconFile(const QByteArray& iconFile);
