#include "XTrayWatch.h"

#include "XcbLibrary.h"

#include <QtCore/QSocketNotifier>

#ifdef PINGBOX_X_TRAY_WATCH
#include <cstdlib>

std::unique_ptr<XTrayWatch> XTrayWatch::Start(Changed changed) {
    const XcbLibrary* x = XcbLibrary::get();
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

XTrayWatch::~XTrayWatch() {
    x_.disconnect(connection_);
}

QRect XTrayWatch::EmbeddedGeometry(std::uint32_t window) {
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

XTrayWatch::XTrayWatch(const XcbLibrary& x, xcb_connection_t* connection, int screenNumber,
                       Changed changed)
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

std::uint32_t XTrayWatch::atom(const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = x_.intern_atom_reply(
        connection_,
        x_.intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return result;
}

void XTrayWatch::findOwner() {
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

void XTrayWatch::readEvents() {
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
                changed = changed ||
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
#else
XTrayWatch::~XTrayWatch() = default;
#endif
