#include "FakeNotifyArea.h"

HWND FakeNotifyArea::AllocateHWnd(WindowProc proc) {
    std::lock_guard guard(lock_);
    const HWND window = nextWindow_++;
    windows_.emplace(window, std::move(proc));
    return window;
}

void FakeNotifyArea::DeallocateHWnd(HWND window) {
    std::lock_guard guard(lock_);
    windows_.erase(window);
}

bool FakeNotifyArea::Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) {
    std::lock_guard guard(lock_);
    calls_.append({message, data});
    recorded_.notify_all();
    return message != NIM_ADD || addSucceeds_;
}

QPoint FakeNotifyArea::GetCursorPos() {
    std::lock_guard guard(lock_);
    return cursor_;
}

QList<FakeNotifyArea::Call> FakeNotifyArea::Calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

QList<std::uint32_t> FakeNotifyArea::Messages() const {
    QList<std::uint32_t> result;
    for (const Call& call : Calls())
        result.append(call.message);
    return result;
}

void FakeNotifyArea::Reset() {
    std::lock_guard guard(lock_);
    calls_.clear();
}

bool FakeNotifyArea::WaitForCalls(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return recorded_.wait_for(guard, timeout, [&] { return calls_.size() >= count; });
}

void FakeNotifyArea::SetAddSucceeds(bool value) {
    std::lock_guard guard(lock_);
    addSucceeds_ = value;
}

void FakeNotifyArea::SetCursorPos(QPoint pos) {
    std::lock_guard guard(lock_);
    cursor_ = pos;
}

void FakeNotifyArea::Send(HWND window, TMessage& message) {
    WindowProc proc;
    {
        std::lock_guard guard(lock_);
        const auto it = windows_.find(window);
        if (it == windows_.end())
            return;
        proc = it->second;
    }
    proc(message);
}

void FakeNotifyArea::SendMouse(HWND window, std::uint32_t mouseMessage) {
    TMessage message{nullptr, 0xB03F, 0, static_cast<std::intptr_t>(mouseMessage), 0};
    Send(window, message);
}

int FakeNotifyArea::LiveWindows() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(windows_.size());
}
