#include "TrayShell.h"

#include "gui/TApplication.h"

#include <QtCore/QMetaObject>
#include <QtCore/QVariant>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <chrono>

namespace {

constexpr std::uint32_t NotifyDataSize = 88;
constexpr qsizetype MaxTipLength = 63;

} // namespace

// ---- TTimerThread ----

TTimerThread::TTimerThread(TTrayIcon* Owner, bool CreateSuspended)
    : OwnerTray(Owner), suspended_(CreateSuspended) {
    thread_ = std::thread([this] { Execute(); });
}

TTimerThread::~TTimerThread() {
    if (thread_.joinable())
        thread_.join();
}

void TTimerThread::setAndWake(bool& flag, bool value) {
    std::lock_guard guard(lock_);
    flag = value;
    wake_.notify_all();
}

bool TTimerThread::read(const bool& flag) const {
    std::lock_guard guard(lock_);
    return flag;
}

void TTimerThread::Suspend() {
    setAndWake(suspended_, true);
}

void TTimerThread::Resume() {
    setAndWake(suspended_, false);
}

bool TTimerThread::Suspended() const {
    return read(suspended_);
}

void TTimerThread::Terminate() {
    setAndWake(terminated_, true);
}

bool TTimerThread::Terminated() const {
    return read(terminated_);
}

void TTimerThread::Execute() {
    for (;;) {
        {
            // A thread asked to end is never held by a pause.
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return !suspended_ || terminated_; });
        }
        TTrayIcon* tray = OwnerTray;
        if (tray && !tray->BeingDestroyed()) {
            const auto interval = std::chrono::milliseconds(tray->Interval());
            bool advance;
            {
                // The sleep ends early on a pause or an end request; then no
                // frame is advanced.
                std::unique_lock guard(lock_);
                wake_.wait_for(guard, interval, [this] { return suspended_ || terminated_; });
                advance = !suspended_ && !terminated_;
            }
            if (advance)
                tray->AdvanceFrame();
            if (interval.count() == 0)
                std::this_thread::yield();
        }
        if (Terminated())
            break;
    }
    {
        std::lock_guard guard(lock_);
        ended_ = true;
    }
    // The tray frees this thread on the GUI thread. Should the tray be gone
    // first, Qt drops the call together with the tray's pending events. (The
    // call carries no data: what crosses threads goes through our own locks.)
    QMetaObject::invokeMethod(OwnerTray, "collectEndedThreads", Qt::QueuedConnection);
}

bool TTimerThread::Ended() const {
    return read(ended_);
}

// ---- TTrayIcon ----

TTrayIcon::TTrayIcon(QObject* Owner, NotifyArea& Area) : QObject(Owner), Area_(Area) {
    WindowHandle_ = Area_.AllocateHWnd([this](TMessage& m) { TrayWindowProc(m); });
    Icon_ = std::make_unique<TIcon>();
    Icon_->OnChange = [this](TPersistent* sender) { IconChanged(sender); };
    Icons_ = std::make_unique<TIconList>();
    Icons_->OnChange = [this](TPersistent* sender) { IconChanged(sender); };
}

TTrayIcon::~TTrayIcon() {
    Destroying_ = true;
    {
        std::lock_guard guard(lock_);
        Icons_->OnChange = nullptr;
        Icon_->OnChange = nullptr;
        SetAnimated(false);
        RemoveFromTray();
    }
    Area_.DeallocateHWnd(WindowHandle_);
    // Every thread has been asked to end; wait for them without the lock,
    // which one of them may still need for its last step.
    std::vector<std::unique_ptr<TTimerThread>> threads;
    {
        std::lock_guard guard(lock_);
        threads.swap(threads_);
        AnimationThread_ = nullptr;
    }
    threads.clear();
}

bool TTrayIcon::Active() const {
    std::lock_guard guard(lock_);
    return Active_;
}

void TTrayIcon::SetActive(bool Value) {
    std::lock_guard guard(lock_);
    if (Value == Active_)
        return;
    Active_ = Value;
    if (designMode_)
        return;
    if (Value)
        ShowInTray();
    else
        RemoveFromTray();
}

QString TTrayIcon::Hint() const {
    std::lock_guard guard(lock_);
    return Hint_;
}

void TTrayIcon::SetHint(const QString& Value) {
    std::lock_guard guard(lock_);
    if (Value == Hint_)
        return;
    Hint_ = Value;
    Refresh();
}

void TTrayIcon::SetIcon(const TIcon* Value) {
    std::lock_guard guard(lock_);
    Icon_->Assign(Value);
}

void TTrayIcon::SetIcons(const TIconList* Value) {
    std::lock_guard guard(lock_);
    Icons_->Assign(Value);
}

bool TTrayIcon::Animated() const {
    std::lock_guard guard(lock_);
    return AnimationThread_ && Animating_;
}

void TTrayIcon::SetAnimated(bool Value) {
    std::lock_guard guard(lock_);
    const bool effective = Value && Icons_ && Icons_->Count() > 0;
    if (effective == Animated())
        return;
    if (effective) {
        threads_.push_back(std::make_unique<TTimerThread>(this, !Shown_));
        AnimationThread_ = threads_.back().get();
        Animating_ = true;
    } else {
        Animating_ = false;
        if (AnimationThread_->Suspended())
            AnimationThread_->Resume();
        AnimationThread_->Terminate();
    }
    FrameIndex_ = 0;
    Refresh();
}

void TTrayIcon::SetInterval(std::uint16_t Value) {
    Interval_ = Value;
}

void TTrayIcon::SetPopupMenu(QMenu* Value) {
    PopupMenu_ = Value;
    const QVariant autoPopup = Value ? Value->property(AutoPopupProperty) : QVariant();
    Area_.SetWindowMenu(WindowHandle_,
                        autoPopup.isValid() && !autoPopup.toBool() ? nullptr : Value);
}

void TTrayIcon::SetShowDesign(bool Value) {
    if (!designMode_)
        return;
    std::lock_guard guard(lock_);
    if (Value)
        ShowInTray();
    else
        RemoveFromTray();
    ShowDesign_ = Shown_;
}

void TTrayIcon::Loaded() {
    std::lock_guard guard(lock_);
    if (Active_ && !designMode_)
        ShowInTray();
}

bool TTrayIcon::Shown() const {
    std::lock_guard guard(lock_);
    return Shown_;
}

int TTrayIcon::FrameIndex() const {
    std::lock_guard guard(lock_);
    return FrameIndex_;
}

NOTIFYICONDATAA TTrayIcon::NotifyData() const {
    std::lock_guard guard(lock_);
    return NotifyData_;
}

const TTimerThread* TTrayIcon::AnimationThread() const {
    std::lock_guard guard(lock_);
    return AnimationThread_;
}

int TTrayIcon::ThreadCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(threads_.size());
}

TIcon* TTrayIcon::CurrentIcon() {
    if (Icons_->Count() > 0 && Animated()) {
        // The list may have shrunk under a running animation.
        if (FrameIndex_ >= Icons_->Count())
            FrameIndex_ = 0;
        return Icons_->Items(std::max(FrameIndex_, 0));
    }
    return Icon_.get();
}

void TTrayIcon::FillNotifyData() {
    NotifyData_.cbSize = NotifyDataSize;
    NotifyData_.hWnd = WindowHandle_;
    NotifyData_.uID = 0;
    NotifyData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    NotifyData_.uCallbackMessage = TrayCallbackMessage;
    const TIcon* current = CurrentIcon();
    NotifyData_.hIcon = current ? current->Handle() : NoIconHandle;
    QString tip = Hint_.section(QLatin1Char('|'), 0, 0);
    if (tip.size() > MaxTipLength) {
        tip.truncate(MaxTipLength);
        if (tip.back().isHighSurrogate())
            tip.chop(1);
    }
    NotifyData_.szTip = tip;
}

void TTrayIcon::ShowInTray() {
    std::lock_guard guard(lock_);
    RemoveFromTray();
    const TIcon* current = CurrentIcon();
    if (!current || current->Empty())
        return;
    FillNotifyData();
    Shown_ = Area_.Shell_NotifyIconA(NIM_ADD, NotifyData_);
    if (AnimationThread_ && AnimationThread_->Suspended())
        AnimationThread_->Resume();
}

void TTrayIcon::RemoveFromTray() {
    std::lock_guard guard(lock_);
    Area_.Shell_NotifyIconA(NIM_DELETE, NotifyData_);
    Shown_ = false;
    if (AnimationThread_ && !AnimationThread_->Suspended())
        AnimationThread_->Suspend();
}

void TTrayIcon::Refresh() {
    std::lock_guard guard(lock_);
    if (!Icons_ || Icons_->Count() == 0)
        SetAnimated(false);
    if (Shown_) {
        const TIcon* current = CurrentIcon();
        if (current && !current->Empty()) {
            FillNotifyData();
            Area_.Shell_NotifyIconA(NIM_MODIFY, NotifyData_);
        } else {
            RemoveFromTray();
        }
    } else if ((designMode_ && ShowDesign_) || (!designMode_ && Active_)) {
        ShowInTray();
    }
}

void TTrayIcon::IconChanged(TPersistent*) {
    Refresh();
}

void TTrayIcon::AdvanceFrame() {
    std::lock_guard guard(lock_);
    if (Destroying_ || !Animating_)
        return;
    ++FrameIndex_;
    if (!Icons_ || FrameIndex_ >= Icons_->Count())
        FrameIndex_ = 0;
    Refresh();
}

void TTrayIcon::collectEndedThreads() {
    std::vector<TTimerThread*> ended;
    {
        std::lock_guard guard(lock_);
        for (const auto& thread : threads_)
            if (thread->Ended())
                ended.push_back(thread.get());
    }
    for (TTimerThread* thread : ended)
        ThreadEnded(thread);
}

void TTrayIcon::ThreadEnded(TTimerThread* Sender) {
    std::unique_ptr<TTimerThread> ended;
    {
        std::lock_guard guard(lock_);
        if (AnimationThread_ == Sender)
            AnimationThread_ = nullptr;
        const auto it = std::find_if(threads_.begin(), threads_.end(),
                                     [Sender](const auto& t) { return t.get() == Sender; });
        if (it != threads_.end()) {
            ended = std::move(*it);
            threads_.erase(it);
        }
    }
    // Its loop is over; this only collects the thread.
    ended.reset();
}

void TTrayIcon::TrayWindowProc(TMessage& Message) {
    try {
        if (Message.Msg == TrayCallbackMessage) {
            switch (Message.LParam) {
            case WM_LBUTTONUP:
                HandleClick(mbLeft);
                break;
            case WM_LBUTTONDBLCLK:
                HandleDblClick();
                break;
            case WM_RBUTTONUP:
                HandleClick(mbRight);
                break;
            default:
                break;
            }
        } else if (Message.Msg == WM_TASKBARCREATED) {
            // A new tray host knows nothing of icons added before it came up:
            // add ours again, as on start.
            std::lock_guard guard(lock_);
            if (Active_ && !designMode_)
                ShowInTray();
        }
    } catch (const std::exception& e) {
        if (TApplication* app = TApplication::Instance())
            app->HandleException(e);
    }
}

void TTrayIcon::HandleClick(TMouseButton Button) {
    const QPoint at = Area_.GetCursorPos();
    if (Button == mbRight && PopupAtCursor(at.x(), at.y()))
        return;
    if (OnClick)
        OnClick(this, Button, TShiftState(0), at.x(), at.y());
}

void TTrayIcon::HandleDblClick() {
    if (RunDefaultItem())
        return;
    if (OnDblClick)
        OnDblClick(this);
}

bool TTrayIcon::PopupAtCursor(int X, int Y) {
    QMenu* menu = PopupMenu_;
    const QVariant autoPopup = menu ? menu->property(AutoPopupProperty) : QVariant();
    if (designMode_ || !Active() || !menu || (autoPopup.isValid() && !autoPopup.toBool()))
        return false;
    menu->setProperty("PopupComponent", QVariant::fromValue<QObject*>(this));
    CancelFormModes();
    // The menu runs its own loop until it closes; a handler run from it may
    // destroy this component, which is then not touched again.
    menu->exec(QPoint(X, Y));
    return true;
}

bool TTrayIcon::RunDefaultItem() {
    QMenu* menu = PopupMenu_;
    if (designMode_ || !Active() || !menu || menu->actions().isEmpty())
        return false;
    for (QAction* item : menu->actions()) {
        if (item == menu->defaultAction()) {
            item->trigger();
            return true;
        }
    }
    return false;
}

void TTrayIcon::CancelFormModes() {
    if (Destroying_)
        return;
    QWidget* form = QApplication::activeWindow();
    if (!form && TApplication::Instance())
        form = TApplication::Instance()->MainForm();
    if (!form)
        return;
    // Cancels a mouse capture held inside that window.
    if (QWidget* grabber = QWidget::mouseGrabber(); grabber && grabber->window() == form)
        grabber->releaseMouse();
}
