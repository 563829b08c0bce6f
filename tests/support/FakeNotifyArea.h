#pragma once

#include "gui/NotifyArea.h"

#include <QtCore/QList>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

// Records every Shell_NotifyIconA call with its record; adds succeed unless
// told otherwise. Safe to call from any thread, like the real one.
class FakeNotifyArea : public NotifyArea {
public:
    struct Call {
        std::uint32_t message;
        NOTIFYICONDATAA data;
    };

    HWND AllocateHWnd(WindowProc proc) override;
    void DeallocateHWnd(HWND window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) override;
    QPoint GetCursorPos() override;

    QList<Call> Calls() const;
    // The messages of the calls since the last Reset, e.g. {NIM_DELETE, NIM_ADD}.
    QList<std::uint32_t> Messages() const;
    void Reset();
    // Waits until at least `count` calls are recorded; false on time-out.
    bool WaitForCalls(int count, std::chrono::milliseconds timeout) const;

    void SetAddSucceeds(bool value);
    void SetCursorPos(QPoint pos);
    // Hands a message to a live window's procedure, as the shell does.
    void Send(HWND window, TMessage& message);
    void SendMouse(HWND window, std::uint32_t mouseMessage);
    int LiveWindows() const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable recorded_;
    QList<Call> calls_;
    std::map<HWND, WindowProc> windows_;
    HWND nextWindow_ = 0x100;
    bool addSucceeds_ = true;
    QPoint cursor_;
};
