#include "QtNotifyArea.h"

#include <QtGui/QCursor>
#include <QtWidgets/QApplication>

void QtNotifyArea::DeleteLater::operator()(QSystemTrayIcon* icon) const {
    // It may be inside its own activated() signal right now.
    icon->hide();
    icon->deleteLater();
}

QtNotifyArea::QtNotifyArea(QObject* parent, int hostPollMs) : QObject(parent) {
    hostPresent_ = QSystemTrayIcon::isSystemTrayAvailable();
    // Qt has no signal for a tray host coming or going; asking is cheap.
    connect(&hostPoll_, &QTimer::timeout, this, &QtNotifyArea::checkTrayHost);
    hostPoll_.start(hostPollMs);
}

QtNotifyArea::~QtNotifyArea() = default;

HWND QtNotifyArea::AllocateHWnd(WindowProc proc) {
    const HWND window = nextWindow_++;
    windows_.emplace(window, std::move(proc));
    return window;
}

void QtNotifyArea::DeallocateHWnd(HWND window) {
    windows_.erase(window);
}

bool QtNotifyArea::Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) {
    const Key key{data.hWnd, data.uID};
    Op op{message, data, {}};
    {
        std::lock_guard guard(lock_);
        switch (message) {
        case NIM_ADD:
            if (!hostPresent_ || !records_.insert(key).second)
                return false;
            break;
        case NIM_MODIFY:
            if (!records_.count(key))
                return false;
            break;
        case NIM_DELETE:
            if (!records_.erase(key))
                return false;
            break;
        default:
            return false;
        }
        // The caller's icon may change or go once we return; take its image now.
        if (message != NIM_DELETE && (data.uFlags & NIF_ICON))
            op.image = IconHandleImage(data.hIcon);
        // Posting under the lock keeps the GUI thread's order the call order.
        QMetaObject::invokeMethod(
            this, [this, op] { apply(op); }, Qt::QueuedConnection);
    }
    return true;
}

QPoint QtNotifyArea::GetCursorPos() {
    return QCursor::pos();
}

QRect QtNotifyArea::IconGeometry(HWND window, std::uint32_t id) const {
    const auto it = shown_.find({window, id});
    return it == shown_.end() || !it->second.icon->isVisible() ? QRect()
                                                               : it->second.icon->geometry();
}

void QtNotifyArea::applyPending() {
    for (;;) {
        Op op;
        {
            std::lock_guard guard(lock_);
            if (pending_.empty())
                return;
            op = std::move(pending_.front());
            pending_.pop_front();
        }
        apply(op);
    }
}

void QtNotifyArea::apply(const Op& op) {
    const Key key{op.data.hWnd, op.data.uID};
    auto it = shown_.find(key);
    switch (op.message) {
    case NIM_ADD: {
        if (it != shown_.end())
            shown_.erase(it);
        Shown& shown = shown_[key];
        shown.icon.reset(new QSystemTrayIcon());
        connect(shown.icon.get(), &QSystemTrayIcon::activated, this,
                [this, key](QSystemTrayIcon::ActivationReason reason) { activated(key, reason); });
        shown.callbackMessage = op.data.uCallbackMessage;
        setIcon(shown, op);
        shown.icon->setToolTip(op.data.szTip);
        shown.icon->show();
        break;
    }
    case NIM_MODIFY:
        if (it == shown_.end())
            break;
        if (op.data.uFlags & NIF_MESSAGE)
            it->second.callbackMessage = op.data.uCallbackMessage;
        setIcon(it->second, op);
        if ((op.data.uFlags & NIF_TIP) && it->second.icon->toolTip() != op.data.szTip)
            it->second.icon->setToolTip(op.data.szTip);
        break;
    case NIM_DELETE:
        if (it != shown_.end())
            shown_.erase(it);
        break;
    }
}

void QtNotifyArea::setIcon(Shown& shown, const Op& op) {
    if (!(op.data.uFlags & NIF_ICON) ||
        (op.data.hIcon == shown.hIcon && !shown.icon->icon().isNull()))
        return;
    shown.hIcon = op.data.hIcon;
    shown.icon->setIcon(iconFromIconFile(op.image));
}

QList<std::uint32_t> QtNotifyArea::MouseMessages(QSystemTrayIcon::ActivationReason reason,
                                                 bool triggerJustBefore) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return {WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
        if (triggerJustBefore)
            return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
        return {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    case QSystemTrayIcon::Context:
        return {WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
        return {WM_MBUTTONUP};
    default:
        return {};
    }
}

void QtNotifyArea::activated(Key key, QSystemTrayIcon::ActivationReason reason) {
    const auto it = shown_.find(key);
    if (it == shown_.end())
        return;
    Shown& shown = it->second;
    const bool triggerJustBefore =
        shown.lastTrigger.isValid() &&
        shown.lastTrigger.elapsed() <= QApplication::doubleClickInterval();
    if (reason == QSystemTrayIcon::Trigger)
        shown.lastTrigger.start();
    else
        shown.lastTrigger.invalidate();
    const std::uint32_t callbackMessage = shown.callbackMessage;
    for (const std::uint32_t mouse : MouseMessages(reason, triggerJustBefore)) {
        // A handler may have freed the window or removed the icon meanwhile.
        const auto window = windows_.find(key.first);
        if (window == windows_.end())
            return;
        const WindowProc proc = window->second;
        TMessage message{nullptr, callbackMessage, key.second, static_cast<std::intptr_t>(mouse), 0};
        proc(message);
    }
}

void QtNotifyArea::checkTrayHost() {
    const bool present = QSystemTrayIcon::isSystemTrayAvailable();
    if (present == hostPresent_)
        return;
    {
        std::lock_guard guard(lock_);
        hostPresent_ = present;
        // A host that goes takes its icons with it.
        if (!present)
            records_.clear();
    }
    if (!present) {
        shown_.clear();
    } else {
        std::map<HWND, WindowProc> windows = windows_;
        for (auto& [window, proc] : windows) {
            if (!windows_.count(window))
                continue;
            TMessage message{nullptr, WM_TASKBARCREATED, 0, 0, 0};
            proc(message);
        }
    }
    emit trayHostChanged(present);
}
