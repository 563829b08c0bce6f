#include "QtNotifyArea.h"

#include "DBusTrayHostWatch.h"
#include "StatusNotifierItem.h"

#include <QtCore/QSocketNotifier>
#include <QtGui/QCursor>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <functional>
#include <optional>
#include <type_traits>

#if defined(Q_OS_UNIX) && __has_include(<xcb/xcb.h>) && __has_include(<dlfcn.h>)
#define PINGBOX_X_TRAY_WATCH 1
#include <QtGui/qguiapplication_platform.h>

#include <dlfcn.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

#ifdef PINGBOX_X_TRAY_WATCH
namespace {

// libxcb, looked up when the program runs on X: Qt's X11 platform has loaded
// it already, and elsewhere it is neither a build nor a start dependency.
struct Xcb {
    decltype(&xcb_connect) connect = nullptr;
    decltype(&xcb_disconnect) disconnect = nullptr;
    decltype(&xcb_connection_has_error) has_error = nullptr;
    decltype(&xcb_get_file_descriptor) get_file_descriptor = nullptr;
    decltype(&xcb_get_setup) get_setup = nullptr;
    decltype(&xcb_setup_roots_iterator) setup_roots_iterator = nullptr;
    decltype(&xcb_screen_next) screen_next = nullptr;
    decltype(&xcb_intern_atom) intern_atom = nullptr;
    decltype(&xcb_intern_atom_reply) intern_atom_reply = nullptr;
    decltype(&xcb_get_selection_owner) get_selection_owner = nullptr;
    decltype(&xcb_get_selection_owner_reply) get_selection_owner_reply = nullptr;
    decltype(&xcb_change_window_attributes_checked) change_window_attributes_checked = nullptr;
    decltype(&xcb_request_check) request_check = nullptr;
    decltype(&xcb_poll_for_event) poll_for_event = nullptr;
    decltype(&xcb_flush) flush = nullptr;
    decltype(&xcb_query_tree) query_tree = nullptr;
    decltype(&xcb_query_tree_reply) query_tree_reply = nullptr;
    decltype(&xcb_get_window_attributes) get_window_attributes = nullptr;
    decltype(&xcb_get_window_attributes_reply) get_window_attributes_reply = nullptr;
    decltype(&xcb_get_geometry) get_geometry = nullptr;
    decltype(&xcb_get_geometry_reply) get_geometry_reply = nullptr;
    decltype(&xcb_translate_coordinates) translate_coordinates = nullptr;
    decltype(&xcb_translate_coordinates_reply) translate_coordinates_reply = nullptr;
    decltype(&xcb_generate_id) generate_id = nullptr;
    decltype(&xcb_create_gc) create_gc = nullptr;
    decltype(&xcb_free_gc) free_gc = nullptr;
    decltype(&xcb_put_image) put_image = nullptr;
    decltype(&xcb_get_image) get_image = nullptr;
    decltype(&xcb_get_image_reply) get_image_reply = nullptr;
    decltype(&xcb_get_image_data) get_image_data = nullptr;
    decltype(&xcb_get_image_data_length) get_image_data_length = nullptr;
    decltype(&xcb_get_input_focus) get_input_focus = nullptr;
    decltype(&xcb_get_input_focus_reply) get_input_focus_reply = nullptr;

    static const Xcb* get() {
        static const std::optional<Xcb> xcb = load();
        return xcb ? &*xcb : nullptr;
    }

private:
    static std::optional<Xcb> load() {
        // Never closed: the library stays for the life of the program anyway.
        void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return std::nullopt;
        Xcb x;
        bool complete = true;
        auto find = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            complete = complete && function;
        };
        find(x.connect, "xcb_connect");
        find(x.disconnect, "xcb_disconnect");
        find(x.has_error, "xcb_connection_has_error");
        find(x.get_file_descriptor, "xcb_get_file_descriptor");
        find(x.get_setup, "xcb_get_setup");
        find(x.setup_roots_iterator, "xcb_setup_roots_iterator");
        find(x.screen_next, "xcb_screen_next");
        find(x.intern_atom, "xcb_intern_atom");
        find(x.intern_atom_reply, "xcb_intern_atom_reply");
        find(x.get_selection_owner, "xcb_get_selection_owner");
        find(x.get_selection_owner_reply, "xcb_get_selection_owner_reply");
        find(x.change_window_attributes_checked, "xcb_change_window_attributes_checked");
        find(x.request_check, "xcb_request_check");
        find(x.poll_for_event, "xcb_poll_for_event");
        find(x.flush, "xcb_flush");
        find(x.query_tree, "xcb_query_tree");
        find(x.query_tree_reply, "xcb_query_tree_reply");
        find(x.get_window_attributes, "xcb_get_window_attributes");
        find(x.get_window_attributes_reply, "xcb_get_window_attributes_reply");
        find(x.get_geometry, "xcb_get_geometry");
        find(x.get_geometry_reply, "xcb_get_geometry_reply");
        find(x.translate_coordinates, "xcb_translate_coordinates");
        find(x.translate_coordinates_reply, "xcb_translate_coordinates_reply");
        find(x.generate_id, "xcb_generate_id");
        find(x.create_gc, "xcb_create_gc");
        find(x.free_gc, "xcb_free_gc");
        find(x.put_image, "xcb_put_image");
        find(x.get_image, "xcb_get_image");
        find(x.get_image_reply, "xcb_get_image_reply");
        find(x.get_image_data, "xcb_get_image_data");
        find(x.get_image_data_length, "xcb_get_image_data_length");
        find(x.get_input_focus, "xcb_get_input_focus");
        find(x.get_input_focus_reply, "xcb_get_input_focus_reply");
        if (!complete)
            return std::nullopt;
        return x;
    }
};

} // namespace

// The XEmbed tray host is whoever owns the selection _NET_SYSTEM_TRAY_S<n>. A
// new owner announces itself with a MANAGER message to the root window; the
// owner's window is destroyed when the host ends. Both arrive as events on a
// connection of our own, so nothing runs while the tray stays as it is.
class QtNotifyArea::XTrayWatch {
public:
    // Told (old owner, new owner) whenever the owner may have changed.
    using Changed = std::function<void(xcb_window_t, xcb_window_t)>;

    // Null when the display cannot be reached this way.
    static std::unique_ptr<XTrayWatch> Start(Changed changed) {
        const Xcb* x = Xcb::get();
        if (!x)
            return nullptr;
        int screenNumber = 0;
        xcb_connection_t* connection = x->connect(nullptr, &screenNumber);
        if (!connection || x->has_error(connection)) {
            if (connection)
                x->disconnect(connection);
            return nullptr;
        }
        return std::unique_ptr<XTrayWatch>(
            new XTrayWatch(*x, connection, screenNumber, std::move(changed)));
    }

    ~XTrayWatch() {
        if (painter_)
            x_.disconnect(painter_);
        x_.disconnect(connection_);
    }

    bool OwnerPresent() const { return owner_ != XCB_NONE; }

    // Where WINDOW is on screen once a tray host holds it and shows it; empty
    // before the host has reparented it (until then Qt has it as a top-level
    // window at the origin), and after the host has let go of it.
    QRect EmbeddedGeometry(xcb_window_t window) {
        const auto tree = x_.query_tree(connection_, window);
        const auto attributes = x_.get_window_attributes(connection_, window);
        const auto geometry = x_.get_geometry(connection_, window);
        const auto origin = x_.translate_coordinates(connection_, window, root_, 0, 0);
        xcb_query_tree_reply_t* t = x_.query_tree_reply(connection_, tree, nullptr);
        xcb_get_window_attributes_reply_t* a =
            x_.get_window_attributes_reply(connection_, attributes, nullptr);
        xcb_get_geometry_reply_t* g = x_.get_geometry_reply(connection_, geometry, nullptr);
        xcb_translate_coordinates_reply_t* o =
            x_.translate_coordinates_reply(connection_, origin, nullptr);
        QRect result;
        if (t && a && g && o && t->parent != root_ && a->map_state == XCB_MAP_STATE_VIEWABLE)
            result = QRect(o->dst_x, o->dst_y, g->width, g->height);
        std::free(t);
        std::free(a);
        std::free(g);
        std::free(o);
        // Events that came in with the replies wait in xcb's queue, where the
        // socket notifier cannot see them.
        QMetaObject::invokeMethod(
            notifier_.get(), [this] { readEvents(); }, Qt::QueuedConnection);
        return result;
    }

    // Pictures go over a connection of their own: the watch's connection is
    // read on the GUI thread alone, so that no event of the tray host's can
    // slip into xcb's queue unseen by the socket notifier.

    // A graphics context for showing pictures in WINDOW; 0 when there is no
    // connection for them (GUI thread).
    std::uint32_t NewContext(xcb_window_t window) {
        if (!painter_) {
            painter_ = x_.connect(nullptr, nullptr);
            if (x_.has_error(painter_)) {
                x_.disconnect(painter_);
                painter_ = nullptr;
            }
        }
        if (!painter_)
            return 0;
        const std::uint32_t gc = x_.generate_id(painter_);
        x_.create_gc(painter_, gc, window, 0, nullptr);
        return gc;
    }

    void FreeContext(std::uint32_t gc) {
        x_.free_gc(painter_, gc);
        x_.flush(painter_);
    }

    // What WINDOW shows now, as the X server has it (GUI thread). Qt's own
    // drawing is waited for first.
    Picture Read(xcb_window_t window) {
        if (auto* qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            std::free(x_.get_input_focus_reply(qt->connection(),
                                               x_.get_input_focus(qt->connection()), nullptr));
        Picture picture;
        xcb_get_geometry_reply_t* g =
            x_.get_geometry_reply(painter_, x_.get_geometry(painter_, window), nullptr);
        if (g) {
            xcb_get_image_reply_t* image =
                x_.get_image_reply(painter_,
                                   x_.get_image(painter_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                                g->width, g->height, ~0u),
                                   nullptr);
            if (image && image->depth == g->depth) {
                picture.depth = g->depth;
                picture.width = g->width;
                picture.height = g->height;
                picture.pixels = QByteArray(reinterpret_cast<const char*>(x_.get_image_data(image)),
                                            x_.get_image_data_length(image));
            }
            std::free(image);
        }
        std::free(g);
        dropErrors();
        return picture;
    }

    // Any thread; waits for nothing. A window that has gone meanwhile only
    // brings an error back, which is dropped.
    void Show(xcb_window_t window, std::uint32_t gc, const Picture& picture) {
        x_.put_image(painter_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, picture.width, picture.height,
                     0, 0, 0, picture.depth, static_cast<std::uint32_t>(picture.pixels.size()),
                     reinterpret_cast<const std::uint8_t*>(picture.pixels.constData()));
        x_.flush(painter_);
        dropErrors();
    }

private:
    XTrayWatch(const Xcb& x, xcb_connection_t* connection, int screenNumber, Changed changed)
        : x_(x), connection_(connection), changed_(std::move(changed)) {
        xcb_screen_iterator_t screens = x_.setup_roots_iterator(x_.get_setup(connection_));
        for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
            x_.screen_next(&screens);
        root_ = screens.data->root;
        selection_ = atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
        manager_ = atom("MANAGER");
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        std::free(x_.request_check(connection_, x_.change_window_attributes_checked(
                                                    connection_, root_, XCB_CW_EVENT_MASK, &mask)));
        findOwner();
        notifier_ = std::make_unique<QSocketNotifier>(x_.get_file_descriptor(connection_),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { readEvents(); });
        readEvents(); // events that came with the replies above
    }

    xcb_atom_t atom(const QByteArray& name) {
        xcb_intern_atom_reply_t* reply = x_.intern_atom_reply(
            connection_,
            x_.intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()),
                           name.constData()),
            nullptr);
        const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return result;
    }

    void findOwner() {
        owner_ = XCB_NONE;
        // The owner may end between the question and our interest in its
        // window; then ask again, a few times at most.
        for (int attempt = 0; attempt < 3; ++attempt) {
            xcb_get_selection_owner_reply_t* reply = x_.get_selection_owner_reply(
                connection_, x_.get_selection_owner(connection_, selection_), nullptr);
            const xcb_window_t owner = reply ? reply->owner : XCB_NONE;
            std::free(reply);
            if (owner == XCB_NONE)
                return;
            const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_generic_error_t* error = x_.request_check(
                connection_,
                x_.change_window_attributes_checked(connection_, owner, XCB_CW_EVENT_MASK, &mask));
            if (!error) {
                owner_ = owner;
                return;
            }
            std::free(error);
        }
    }

    void readEvents() {
        bool again = true;
        while (again) {
            again = false;
            bool changed = false;
            while (xcb_generic_event_t* event = x_.poll_for_event(connection_)) {
                switch (event->response_type & 0x7f) {
                case XCB_CLIENT_MESSAGE: {
                    const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                    changed = changed || (message->type == manager_ && message->format == 32 &&
                                          message->data.data32[1] == selection_);
                    break;
                }
                case XCB_DESTROY_NOTIFY:
                    changed =
                        changed ||
                        reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == owner_;
                    break;
                default:
                    break;
                }
                std::free(event);
            }
            if (x_.has_error(connection_)) {
                // The X server is gone; the program ends with it.
                notifier_->setEnabled(false);
                return;
            }
            if (changed) {
                const xcb_window_t before = owner_;
                findOwner();
                changed_(before, owner_);
                again = true; // the replies may have brought more events
            }
        }
    }

    void dropErrors() {
        while (xcb_generic_event_t* event = x_.poll_for_event(painter_))
            std::free(event);
    }

    const Xcb& x_;
    xcb_connection_t* connection_;
    xcb_connection_t* painter_ = nullptr;
    Changed changed_;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t selection_ = XCB_NONE;
    xcb_atom_t manager_ = XCB_NONE;
    xcb_window_t owner_ = XCB_NONE;
    std::unique_ptr<QSocketNotifier> notifier_;
};
#else
class QtNotifyArea::XTrayWatch {};
#endif

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
    dbusWatch_ = std::make_unique<DBusTrayHostWatch>();
    connect(dbusWatch_.get(), &DBusTrayHostWatch::hostChanged, this, &QtNotifyArea::hostsChanged);
    connect(dbusWatch_.get(), &DBusTrayHostWatch::hostRenewed, this, [this] {
        for (auto& [key, shown] : shown_)
            if (shown.item)
                shown.item->Register();
    });
#ifdef PINGBOX_X_TRAY_WATCH
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        xWatch_ = XTrayWatch::Start([this](xcb_window_t before, xcb_window_t now) {
            // Another host in its place: the icons went with the old one.
            if (before != XCB_NONE && now != XCB_NONE && before != now &&
                !dbusWatch_->HostPresent()) {
                xHost_ = false;
                hostsChanged();
            }
            xHost_ = now != XCB_NONE;
            hostsChanged();
        });
    if (xWatch_)
        xHost_ = xWatch_->OwnerPresent();
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
        if (message == NIM_MODIFY && inFlight_ == 0 && showSeen(key, data, op.image))
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
    xWatch_->Show(static_cast<xcb_window_t>(seen.window), seen.gc, picture->second);
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
                    if (!records_.count(key))
                        shown_.erase(key);
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
        widget->installEventFilter(this);
        const QMetaObject::Connection destroyed =
            connect(widget, &QObject::destroyed, this, [this, key] { forget(key); });
        const std::uint32_t gc = embedded ? xWatch_->NewContext(window) : 0;
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
    Picture picture = xWatch_->Read(window);
    std::lock_guard guard(lock_);
    const auto it = seen_.find(key);
    if (it == seen_.end() || it->second.window != window)
        return;
    Seen& seen = it->second;
    if (picture.pixels.isEmpty()) {
        // Not readable as drawn (another depth?): Qt goes on drawing alone.
        xWatch_->FreeContext(seen.gc);
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

void QtNotifyArea::forget(const Key& key, bool qtToCatchUp) {
    QByteArray current;
    {
        std::lock_guard guard(lock_);
        const auto it = seen_.find(key);
        if (it == seen_.end())
            return;
#ifdef PINGBOX_X_TRAY_WATCH
        if (it->second.gc)
            xWatch_->FreeContext(it->second.gc);
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
