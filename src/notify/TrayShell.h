#pragma once

#include "IcoList.h"
#include "TIcon.h"
#include "gui/NotifyArea.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QMenu>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// Keyboard and mouse-button state of a mouse event; the tray always passes none.
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16 };
using TShiftState = unsigned;

// The callback message of the tray's icon.
inline constexpr std::uint32_t TrayCallbackMessage = 0xB03F;

class TTrayIcon;

// The animation thread: sleeps the tray's Interval, then advances its frame,
// until asked to end. While suspended it waits at the top of its loop, so a
// pause never cuts a refresh in half. When its loop has ended it reports to
// the tray on the GUI thread (ThreadEnded), and the tray frees it.
class TTimerThread {
public:
    TTimerThread(TTrayIcon* Owner, bool CreateSuspended);
    // Waits for the loop to end: call Terminate first.
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    void Suspend();
    void Resume();
    bool Suspended() const;
    void Terminate();
    bool Terminated() const;
    // The loop is over; only the end event is left.
    bool Ended() const;

private:
    void Execute();
    // Sets FLAG under the lock and wakes the loop to look at it.
    void setAndWake(bool& flag, bool value);
    bool read(const bool& flag) const;

    TTrayIcon* const OwnerTray;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool suspended_;
    bool terminated_ = false;
    bool ended_ = false;
    std::thread thread_;
};

// Keeps one icon in the notification area in step with its properties,
// animates it through the frames of Icons on its own thread, and turns mouse
// actions on the icon into events. Create and use it on the GUI thread; only
// the animation thread's frame changes run elsewhere.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    TTrayIcon(QObject* Owner, NotifyArea& Area);
    ~TTrayIcon() override;

    bool Active() const;
    void SetActive(bool Value);
    QString Hint() const;
    void SetHint(const QString& Value);
    // The still icon and the animation frames, owned. Change them through
    // SetIcon/SetIcons (or in place while not animating).
    TIcon* Icon() const { return Icon_.get(); }
    void SetIcon(const TIcon* Value);
    TIconList* Icons() const { return Icons_.get(); }
    void SetIcons(const TIconList* Value);
    bool Animated() const;
    void SetAnimated(bool Value);
    std::uint16_t Interval() const { return Interval_; }
    void SetInterval(std::uint16_t Value);
    // Not owned; reads null once the menu is destroyed. A menu with the
    // dynamic property "AutoPopup" set to false does not open on a right click.
    QMenu* PopupMenu() const { return PopupMenu_; }
    void SetPopupMenu(QMenu* Value);
    bool ShowDesign() const { return ShowDesign_; }
    void SetShowDesign(bool Value);

    std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>
        OnClick;
    std::function<void(QObject* Sender)> OnDblClick;

    // End of setting the properties up: puts the icon into the tray.
    void Loaded();

    // State as the shell sees it.
    bool Shown() const;
    int FrameIndex() const;
    NOTIFYICONDATAA NotifyData() const;
    HWND WindowHandle() const { return WindowHandle_; }
    const TTimerThread* AnimationThread() const;
    // Animation threads not yet freed, the current one included.
    int ThreadCount() const;

    static constexpr const char* AutoPopupProperty = "AutoPopup";

protected:
    virtual void HandleClick(TMouseButton Button);
    virtual void HandleDblClick();
    bool PopupAtCursor(int X, int Y);
    bool RunDefaultItem();
    void CancelFormModes();
    void TrayWindowProc(TMessage& Message);

private:
    friend class TTimerThread;

    TIcon* CurrentIcon();
    void FillNotifyData();
    void ShowInTray();
    void RemoveFromTray();
    void Refresh();
    void IconChanged(TPersistent* Sender);
    void AdvanceFrame();
    // The end event of every thread whose loop is over.
    Q_INVOKABLE void collectEndedThreads();
    void ThreadEnded(TTimerThread* Sender);
    bool BeingDestroyed() const { return Destroying_; }

    NotifyArea& Area_;
    // Held by every step that reads or changes what both threads share
    // (FrameIndex, NotifyData, Shown, the icons, the thread reference), so a
    // frame change and a change made on the GUI thread never overlap.
    mutable std::recursive_mutex lock_;

    HWND WindowHandle_ = 0;
    bool Active_ = true;
    bool Shown_ = false;
    std::atomic<bool> Animating_ = false;
    int FrameIndex_ = -1;
    std::atomic<std::uint16_t> Interval_ = 150;
    NOTIFYICONDATAA NotifyData_;
    std::unique_ptr<TIcon> Icon_;
    std::unique_ptr<TIconList> Icons_;
    TTimerThread* AnimationThread_ = nullptr;
    std::vector<std::unique_ptr<TTimerThread>> threads_;
    std::atomic<bool> Destroying_ = false;
    QString Hint_;
    bool ShowDesign_ = false;
    QPointer<QMenu> PopupMenu_;
    // Run time only; the designer-related branches stay for completeness.
    const bool designMode_ = false;
};
