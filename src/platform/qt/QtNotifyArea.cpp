#include "QtNotifyArea.h"

#include "DBusTrayHostWatch.h"
#include "StatusNotifierItem.h"
#include "XTrayWatch.h"
#include "XcbLibrary.h"

#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QStyleHints>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <optional>

void QtNotifyArea::DeleteLater::operator()(QSystemTrayIcon* icon) const {
    // It may be inside its own activated() signal right now.
    icon->hide();
    icon->deleteLater();
}

void QtNotifyArea::DeleteItemLater::operator()(StatusNotifierItem* item) const {
    // It may be answering a host's call right now.
    item->deleteLater();
}

QtNotifyArea::QtNotifyArea(QObject* parent) : QObject(parent) {
    tipTimer_.setSingleShot(true);
    connect(&tipTimer_, &QTimer::timeout, this, [this] { showTip(); });
    dbusWatch_ = std::make_unique<DBusTrayHostWatch>();
    connect(dbusWatch_.get(), &DBusTrayHostWatch::hostChanged, this, &QtNotifyArea::hostsChanged);
    connect(dbusWatch_.get(), &DBusTrayHostWatch::hostRenewed, this, [this] {
        for (auto& [key, shown] : shown_)
            if (shown.item)
                shown.item->Register();
    });
#ifdef PINGBOX_X_TRAY_WATCH
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        xWatch_ = XTrayWatch::Start([this](std::uint32_t before, std::uint32_t now) {
            // Another host in its place: the icons went with the old one.
            if (before != XCB_NONE && now != XCB_NONE && before != now &&
                !dbusWatch_->HostPresent()) {
                xHost_ = false;
                hostsChanged();
            }
            xHost_ = now != XCB_NONE;
            hostsChanged();
        });
    if (xWatch_) {
        xHost_ = xWatch_->OwnerPresent();
        xPictures_ = std::make_unique<XWindowPictures>(*XcbLibrary::get());
    }
#endif
    // Qt 6 decides on its first question, for good, whether QSystemTrayIcon
    // goes to the bus or to XEmbed. Ask it now, while no bus host is there, so
    // that it keeps to XEmbed: the bus is ours. With a bus host there, Qt is
    // first asked when that host has gone and XEmbed is to be used.
    if (!dbusWatch_->HostPresent() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const bool available = QSystemTrayIcon::isSystemTrayAvailable();
        if (!xWatch_)
            xHost_ = available;
    }
    hostsChanged();
}

QtNotifyArea::~QtNotifyArea() {
    // An icon still shown hides as it goes, and hiding it frees what the X
    // tray watch keeps for its window: the watch must still be there.
    shown_.clear();
}

HWND QtNotifyArea::AllocateHWnd(WindowProc proc) {
    const HWND window = nextWindow_++;
    windows_.emplace(window, std::move(proc));
    return window;
}

void QtNotifyArea::DeallocateHWnd(HWND window) {
    windows_.erase(window);
    menus_.erase(window);
}

void QtNotifyArea::SetWindowMenu(HWND window, QMenu* menu) {
    menus_[window] = menu;
    for (auto& [key, shown] : shown_)
        if (key.first == window && shown.item)
            shown.item->SetMenu(menu);
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
        if (message == NIM_MODIFY && inFlight_ == 0 &&
            (showSeen(key, data, op.image) || showOnBus(key, data, op.image)))
            return true;
        // Posting under the lock keeps the GUI thread's order the call order.
        ++inFlight_;
        QMetaObject::invokeMethod(
            this, [this, op] { apply(op); }, Qt::QueuedConnection);
    }
    return true;
}

bool QtNotifyArea::showSeen(const Key& key, const NOTIFYICONDATAA& data, const QByteArray& image) {
#ifdef PINGBOX_X_TRAY_WATCH
    const auto it = seen_.find(key);
    if (it == seen_.end() || !(data.uFlags & NIF_ICON) ||
        ((data.uFlags & NIF_TIP) && data.szTip != it->second.tip) ||
        ((data.uFlags & NIF_MESSAGE) && data.uCallbackMessage != it->second.callbackMessage))
        return false;
    Seen& seen = it->second;
    const auto picture = seen.gc ? seen.pictures.find(image) : seen.pictures.end();
    if (picture == seen.pictures.end())
        return false;
    xPictures_->Show(static_cast<xcb_window_t>(seen.window), seen.gc, picture->second);
    seen.current = image;
    seen.qtBehind = true;
    return true;
#else
    (void)key;
    (void)data;
    (void)image;
    return false;
#endif
}

bool QtNotifyArea::showOnBus(const Key& key, const NOTIFYICONDATAA& data, const QByteArray& image) {
    const auto it = onBus_.find(key);
    if (it == onBus_.end() || !(data.uFlags & NIF_ICON) ||
        ((data.uFlags & NIF_MESSAGE) && data.uCallbackMessage != it->second.callbackMessage))
        return false;
    OnBus& bus = it->second;
    const auto picture = bus.pictures.find(image);
    if (picture == bus.pictures.end() ||
        ((data.uFlags & NIF_TIP) && data.szTip != bus.state->ToolTip()))
        return false;
    bus.state->SetIcon(picture->second);
    bus.behind = true;
    return true;
}

void QtNotifyArea::rememberOnBus(const Key& key, const Op& op) {
    const auto it = shown_.find(key);
    std::lock_guard guard(lock_);
    if (it == shown_.end() || !it->second.item) {
        onBus_.erase(key);
        return;
    }
    OnBus& bus = onBus_[key];
    bus.state = it->second.item->State();
    bus.callbackMessage = it->second.callbackMessage;
    if (!(op.data.uFlags & NIF_ICON) || op.image.isEmpty() || bus.pictures.count(op.image))
        return;
    constexpr std::size_t kept = 16;
    if (bus.pictures.size() == kept)
        bus.pictures.clear();
    bus.pictures.emplace(op.image, bus.state->Pixmaps());
}

QPoint QtNotifyArea::GetCursorPos() {
    if (menuAt_) {
        const QPoint at = *menuAt_;
        menuAt_.reset();
        return at;
    }
    return QCursor::pos();
}

QRect QtNotifyArea::IconGeometry(HWND window, std::uint32_t id) const {
    const auto it = shown_.find({window, id});
    if (it == shown_.end() || !it->second.icon || !it->second.icon->isVisible())
        return QRect();
#ifdef PINGBOX_X_TRAY_WATCH
    if (xWatch_) {
        const QWidget* widget = iconWidget(*it->second.icon);
        return widget
                   ? xWatch_->EmbeddedGeometry(static_cast<xcb_window_t>(widget->internalWinId()))
                   : QRect();
    }
#endif
    return it->second.icon->geometry();
}

QString QtNotifyArea::ItemService(HWND window, std::uint32_t id) const {
    const auto it = shown_.find({window, id});
    return it == shown_.end() || !it->second.item ? QString() : it->second.item->Service();
}

QWidget* QtNotifyArea::iconWidget(const QSystemTrayIcon& icon) {
    // Qt shows the icon in a window of its own, which it makes anew whenever
    // it sees the tray change; find it by where Qt has it.
    const QRect atQt = icon.geometry();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QSystemTrayIconSys") && widget->internalWinId() &&
            QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()) == atQt)
            return widget;
    return nullptr;
}

void QtNotifyArea::apply(const Op& op) {
    struct Done {
        QtNotifyArea* area;
        ~Done() {
            std::lock_guard guard(area->lock_);
            --area->inFlight_;
        }
    } done{this};
    const Key key{op.data.hWnd, op.data.uID};
    auto it = shown_.find(key);
    {
        // Frames handed to the item by the calling thread went past the
        // record here: whatever it last had may not be what the item shows.
        std::lock_guard guard(lock_);
        if (const auto bus = onBus_.find(key); bus != onBus_.end() && bus->second.behind) {
            bus->second.behind = false;
            if (it != shown_.end())
                it->second.hIcon = 0;
        }
    }
    switch (op.message) {
    case NIM_ADD: {
        if (protocol_ == Protocol::DBus) {
            showOnDBus(key, shown_[key], op);
            break;
        }
        if (protocol_ != Protocol::XEmbed)
            break;
        if (it != shown_.end())
            shown_.erase(it);
        forget(key, false);
        Shown& shown = shown_[key];
        shown.icon.reset(new QSystemTrayIcon());
        connect(shown.icon.get(), &QSystemTrayIcon::activated, this,
                [this, key](QSystemTrayIcon::ActivationReason reason) { activated(key, reason); });
        shown.callbackMessage = op.data.uCallbackMessage;
        setIcon(shown, op);
        shown.icon->setToolTip(op.data.szTip);
        shown.icon->show();
        if (QWidget* widget = iconWidget(*shown.icon))
            answerDuringModal(*widget);
        break;
    }
    case NIM_MODIFY:
        if (it == shown_.end())
            break;
        if (op.data.uFlags & NIF_MESSAGE)
            it->second.callbackMessage = op.data.uCallbackMessage;
        {
            // Frames put in by the calling thread went past Qt: whatever it
            // last had may not be what the window shows.
            std::lock_guard guard(lock_);
            if (const auto seen = seen_.find(key); seen != seen_.end() && seen->second.qtBehind)
                it->second.hIcon = 0;
        }
        setIcon(it->second, op);
        if (op.data.uFlags & NIF_TIP) {
            if (it->second.item)
                it->second.item->SetToolTip(op.data.szTip);
            else if (it->second.icon && it->second.icon->toolTip() != op.data.szTip)
                it->second.icon->setToolTip(op.data.szTip);
        }
        break;
    case NIM_DELETE:
        if (it == shown_.end())
            break;
        if (it->second.item) {
            // A delete and an add often come as a pair (the tray shows its
            // icon anew); the item then stays on the bus as it is, so that the
            // host sees no item go and come. Only one not added back goes.
            QMetaObject::invokeMethod(
                this,
                [this, key] {
                    const std::lock_guard guard(lock_);
                    if (!records_.count(key)) {
                        shown_.erase(key);
                        onBus_.erase(key);
                    }
                },
                Qt::QueuedConnection);
            break;
        }
        shown_.erase(it);
        break;
    }
    // Only XEmbed icons have windows whose pictures can be put back.
    if (const auto now = shown_.find(key); now != shown_.end() && now->second.icon)
        learn(key, now->second, op);
    else
        forget(key);
    rememberOnBus(key, op);
}

void QtNotifyArea::learn(const Key& key, Shown& shown, const Op& op) {
#ifdef PINGBOX_X_TRAY_WATCH
    if (!xWatch_)
        return;
    QWidget* widget = iconWidget(*shown.icon);
    if (!widget) {
        forget(key);
        return;
    }
    const auto window = static_cast<xcb_window_t>(widget->internalWinId());
    bool fresh;
    {
        std::lock_guard guard(lock_);
        const auto it = seen_.find(key);
        fresh = it == seen_.end() || it->second.widget != widget || it->second.window != window;
    }
    if (fresh) {
        // Qt's icon already is the one this call brings.
        forget(key, false);
        // Only what a window the tray host holds shows stays as it is. A
        // window that is not there yet is tried again once Qt sees it move.
        const bool embedded = !xWatch_->EmbeddedGeometry(window).isEmpty();
        answerDuringModal(*widget);
        widget->installEventFilter(this);
        const QMetaObject::Connection destroyed =
            connect(widget, &QObject::destroyed, this, [this, key] { forget(key); });
        const std::uint32_t gc = embedded ? xPictures_->NewContext(window) : 0;
        std::lock_guard guard(lock_);
        Seen& seen = seen_[key];
        seen.widget = widget;
        seen.window = window;
        seen.gc = gc;
        seen.destroyed = destroyed;
    }
    bool known;
    {
        std::lock_guard guard(lock_);
        Seen& seen = seen_[key];
        if (!seen.gc)
            return;
        seen.tip = shown.icon->toolTip();
        seen.callbackMessage = shown.callbackMessage;
        seen.qtBehind = false;
        known = op.image.isEmpty() || seen.pictures.count(op.image);
        if (!op.image.isEmpty())
            seen.current = op.image;
    }
    if (known)
        return;
    // A picture not seen before: let Qt draw it now and keep what the window
    // then shows.
    widget->repaint();
    XPicture picture = xPictures_->Read(window);
    std::lock_guard guard(lock_);
    const auto it = seen_.find(key);
    if (it == seen_.end() || it->second.window != window)
        return;
    Seen& seen = it->second;
    if (picture.pixels.isEmpty()) {
        // Not readable as drawn (another depth?): Qt goes on drawing alone.
        xPictures_->FreeContext(seen.gc);
        seen.gc = 0;
        seen.pictures.clear();
        return;
    }
    constexpr std::size_t kept = 16;
    if (seen.pictures.size() == kept)
        seen.pictures.clear();
    seen.pictures.emplace(op.image, std::move(picture));
#else
    (void)key;
    (void)shown;
    (void)op;
#endif
}

void QtNotifyArea::answerDuringModal(QWidget& widget) {
    // While a modal window runs, Qt drops the input of every other window of
    // the program, and the icon would open no menu, start no check and show
    // no tooltip. But the tray is the desktop's, not a window of the
    // program's. Qt lets input through to a tooltip's window, so the icon's
    // window is typed as one (its X window stays as it is, in the tray host's
    // hands); what reaches it is then handed on to the icon past the modal
    // check of Qt's widget layer.
    QWindow* window = widget.windowHandle();
    if (!window)
        return;
    if (window->type() != Qt::ToolTip)
        window->setFlags((window->flags() & ~Qt::WindowType_Mask) | Qt::ToolTip);
    window->installEventFilter(this);
}

bool QtNotifyArea::forwardDuringModal(QWindow& window, QEvent& event) {
    if (!QGuiApplication::modalWindow())
        return false;
    QWidget* widget = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowHandle() == &window)
            widget = top;
    if (!widget)
        return false;
    switch (event.type()) {
    case QEvent::MouseButtonDblClick:
        return true; // Qt's widget layer would make it; made below instead
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        const auto& mouse = static_cast<const QMouseEvent&>(event);
        const auto send = [&](QEvent::Type type) {
            QMouseEvent copy(type, mouse.position(), mouse.scenePosition(), mouse.globalPosition(),
                             mouse.button(), mouse.buttons(), mouse.modifiers(),
                             mouse.pointingDevice());
            QCoreApplication::sendEvent(widget, &copy);
        };
        tipTimer_.stop();
        QToolTip::hideText();
        send(mouse.type());
        if (mouse.type() == QEvent::MouseButtonPress && mouse.button() == Qt::LeftButton) {
            if (lastPress_.isValid() &&
                lastPress_.elapsed() <= QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
                lastPress_.invalidate();
                send(QEvent::MouseButtonDblClick);
            } else {
                lastPress_.start();
            }
        }
        return true;
    }
    case QEvent::Enter:
    case QEvent::MouseMove:
        // The tooltip, as Qt's widget layer would show it.
        if ((event.type() == QEvent::Enter ||
             static_cast<const QMouseEvent&>(event).buttons() == Qt::NoButton) &&
            !tipTimer_.isActive() && !QToolTip::isVisible()) {
            tipWidget_ = widget;
            tipTimer_.start(
                widget->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, widget));
        }
        return event.type() == QEvent::MouseMove;
    case QEvent::Leave:
        tipTimer_.stop();
        QToolTip::hideText();
        return false;
    default:
        return false;
    }
}

void QtNotifyArea::showTip() {
    if (!tipWidget_ || !tipWidget_->rect().contains(tipWidget_->mapFromGlobal(QCursor::pos())))
        return;
    QHelpEvent help(QEvent::ToolTip, tipWidget_->mapFromGlobal(QCursor::pos()), QCursor::pos());
    QCoreApplication::sendEvent(tipWidget_, &help);
}

void QtNotifyArea::forget(const Key& key, bool qtToCatchUp) {
    QByteArray current;
    {
        std::lock_guard guard(lock_);
        const auto it = seen_.find(key);
        if (it == seen_.end())
            return;
#ifdef PINGBOX_X_TRAY_WATCH
        if (it->second.gc)
            xPictures_->FreeContext(it->second.gc);
#endif
        QObject::disconnect(it->second.destroyed);
        if (it->second.qtBehind && qtToCatchUp)
            current = it->second.current;
        seen_.erase(it);
    }
    qtCatchUp(key, current);
}

void QtNotifyArea::qtCatchUp(const Key& key, const QByteArray& image) {
    // Frames put straight into the window went past Qt; its own icon is to
    // show what the window shows when Qt next draws it.
    const auto it = shown_.find(key);
    if (image.isEmpty() || it == shown_.end() || !it->second.icon)
        return;
    it->second.hIcon = 0;
    it->second.icon->setIcon(iconFor(image).icon);
}

bool QtNotifyArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched->isWindowType())
        return forwardDuringModal(*static_cast<QWindow*>(watched), *event);
    const QEvent::Type type = event->type();
    if (type != QEvent::Paint && type != QEvent::Resize && type != QEvent::Move &&
        type != QEvent::Show && type != QEvent::Hide && type != QEvent::WinIdChange)
        return false;
    std::optional<Key> key;
    QByteArray behind;
    {
        std::lock_guard guard(lock_);
        for (auto& [k, seen] : seen_) {
            if (seen.widget != watched)
                continue;
            key = k;
            if (type == QEvent::Paint && seen.qtBehind) {
                behind = seen.current;
                seen.qtBehind = false;
            }
        }
    }
    if (!key)
        return false;
    if (type == QEvent::Show || type == QEvent::WinIdChange)
        answerDuringModal(*static_cast<QWidget*>(watched));
    if (type == QEvent::Paint)
        qtCatchUp(*key, behind);
    else
        forget(*key); // what the window showed is no longer what it would show
    return false;
}

void QtNotifyArea::showOnDBus(Key key, Shown& shown, const Op& op) {
    shown.icon.reset();
    shown.callbackMessage = op.data.uCallbackMessage;
    if (!shown.item) {
        shown.item.reset(new StatusNotifierItem(QStringLiteral("pingbox")));
        StatusNotifierItem* item = shown.item.get();
        item->OnActivate = [this, key](int, int) {
            // Hosts send Activate on a left click and know no double click: it
            // stands for the double click that opens the icon.
            sendMouse(key, MouseMessages(QSystemTrayIcon::DoubleClick, false));
        };
        item->OnSecondaryActivate = [this, key](int, int) { sendMouse(key, {WM_MBUTTONUP}); };
        item->OnContextMenu = [this, key](int x, int y) {
            sendMouse(key, {WM_RBUTTONUP}, QPoint(x, y));
        };
        const auto menu = menus_.find(key.first);
        item->SetMenu(menu == menus_.end() ? nullptr : menu->second.data());
        setIcon(shown, op);
        item->SetToolTip(op.data.szTip);
        item->Register();
        return;
    }
    // The item of a delete just before: it stays, with what the add brings.
    setIcon(shown, op);
    if (op.data.uFlags & NIF_TIP)
        shown.item->SetToolTip(op.data.szTip);
}

void QtNotifyArea::setIcon(Shown& shown, const Op& op) {
    if (!(op.data.uFlags & NIF_ICON))
        return;
    if (shown.item) {
        if (op.data.hIcon == shown.hIcon && !shown.item->pixmaps().isEmpty())
            return;
        shown.hIcon = op.data.hIcon;
        CachedIcon& cached = iconFor(op.image);
        if (!cached.pixmaps)
            cached.pixmaps = dbusTrayPixmaps(cached.icon);
        shown.item->SetIcon(*cached.pixmaps);
        return;
    }
    if (!shown.icon || (op.data.hIcon == shown.hIcon && !shown.icon->icon().isNull()))
        return;
    shown.hIcon = op.data.hIcon;
    shown.icon->setIcon(iconFor(op.image).icon);
}

QtNotifyArea::CachedIcon& QtNotifyArea::iconFor(const QByteArray& image) {
    constexpr std::size_t kept = 16;
    for (auto it = icons_.begin(); it != icons_.end(); ++it) {
        if (it->image == image) {
            auto entry = std::move(*it);
            icons_.erase(it);
            icons_.push_back(std::move(entry));
            return icons_.back();
        }
    }
    if (icons_.size() == kept)
        icons_.pop_front();
    icons_.push_back(CachedIcon{image, iconFromIconFile(image), std::nullopt});
    return icons_.back();
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
    sendMouse(key, MouseMessages(reason, triggerJustBefore));
}

void QtNotifyArea::sendMouse(Key key, const QList<std::uint32_t>& messages,
                             std::optional<QPoint> menuAt) {
    const auto it = shown_.find(key);
    if (it == shown_.end())
        return;
    // Posted, as the shell posts them: a handler may run a loop of its own
    // (the tray menu) and may remove the icon meanwhile, or the tray host may
    // go; Qt's window for the icon must not be destroyed under its own mouse
    // event, nor an item under the call that reached it.
    QMetaObject::invokeMethod(
        this,
        [this, key, callbackMessage = it->second.callbackMessage, messages, menuAt] {
            deliver(key, callbackMessage, messages, menuAt);
        },
        Qt::QueuedConnection);
}

void QtNotifyArea::deliver(Key key, std::uint32_t callbackMessage,
                           const QList<std::uint32_t>& messages, std::optional<QPoint> menuAt) {
    QPointer<QMenu> popup;
    if (menuAt) {
        menuAt_ = menuAt;
        // Wayland makes a popup without a parent window of ours an ordinary
        // window, which a tiling compositor stretches across the screen; one
        // of a fixed size it leaves floating at its own size.
        const auto menu = menus_.find(key.first);
        if (menu != menus_.end() && menu->second &&
            QGuiApplication::platformName() == QLatin1String("wayland")) {
            popup = menu->second;
            popup->setFixedSize(popup->sizeHint());
        }
    }
    for (const std::uint32_t button : messages) {
        // A handler may have freed the window meanwhile.
        const auto window = windows_.find(key.first);
        if (window == windows_.end())
            break;
        const WindowProc proc = window->second;
        TMessage message{nullptr, callbackMessage, key.second, static_cast<std::intptr_t>(button),
                         0};
        proc(message);
    }
    if (popup) {
        popup->setMinimumSize(0, 0);
        popup->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    if (menuAt)
        menuAt_.reset();
}

void QtNotifyArea::hostsChanged() {
    // Where both are there, as in KDE's X11 session, the bus is preferred. A
    // desktop may bring up its X tray a moment before its bus host: before
    // XEmbed is chosen the bus is asked at once, not only told later.
    bool dbus = dbusWatch_->HostPresent();
    if (!dbus && xHost_ && protocol_ != Protocol::XEmbed)
        dbus = dbusWatch_->AskNow();
    setProtocol(dbus ? Protocol::DBus : xHost_ ? Protocol::XEmbed : Protocol::None);
}

void QtNotifyArea::setProtocol(Protocol protocol) {
    if (protocol == protocol_)
        return;
    const bool wasPresent = hostPresent_;
    protocol_ = protocol;
    {
        std::lock_guard guard(lock_);
        hostPresent_ = protocol != Protocol::None;
        // The old host takes its icons with it; a new one knows none.
        records_.clear();
    }
    // What the old host's windows showed is gone with them.
    std::vector<Key> seen;
    {
        std::lock_guard guard(lock_);
        for (const auto& entry : seen_)
            seen.push_back(entry.first);
    }
    for (const Key& key : seen)
        forget(key, false);
    {
        std::lock_guard guard(lock_);
        onBus_.clear();
    }
    shown_.clear();
    if (protocol != Protocol::None) {
        std::map<HWND, WindowProc> windows = windows_;
        for (auto& [window, proc] : windows) {
            if (!windows_.count(window))
                continue;
            TMessage message{nullptr, WM_TASKBARCREATED, 0, 0, 0};
            proc(message);
        }
    }
    if (wasPresent != hostPresent_ || protocol != Protocol::None)
        emit trayHostChanged(hostPresent_);
}
