#include "StatusNotifierItem.h"

#include "DBusMenuExporter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCall>

#include <atomic>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");

QString freshConnectionName() {
    static std::atomic<int> counter = 0;
    return QStringLiteral("pingbox-tray-item-%1").arg(++counter);
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QString& id, QObject* parent)
    : QObject(parent), connectionName_(freshConnectionName()),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)),
      state_(std::make_shared<StatusNotifierItemState>()) {
    registerDBusTrayTypes();
    const QString name = QCoreApplication::applicationName();
    state_->id_ = id;
    state_->title_ = name.isEmpty() ? id : name;
    state_->item_ = this;
    // Hosts read properties after every change of the icon, many times a
    // second while it animates. QtDBus answers a call on the thread of the
    // object called, and the connection's bus interface lives on the bus's
    // own thread: the item's object goes there, and answering a host wakes
    // no other thread.
    onBus_ = new QObject;
    state_->adaptor_ = new StatusNotifierItemAdaptor(onBus_, state_);
    if (QDBusConnectionInterface* bus =
            connection_.isConnected() ? connection_.interface() : nullptr)
        onBus_->moveToThread(bus->thread());
    // The menu has its own object, so that its adaptor sits at its own path.
    menuObject_ = new QObject(this);
    menuExporter_ = new DBusMenuExporter(menuObject_, nullptr);
    valid_ = connection_.isConnected() &&
             connection_.registerObject(QLatin1String(ItemPath), onBus_,
                                        QDBusConnection::ExportAdaptors) &&
             connection_.registerObject(QLatin1String(MenuPath), menuObject_,
                                        QDBusConnection::ExportAdaptors);
}

StatusNotifierItem::~StatusNotifierItem() {
    {
        std::lock_guard guard(state_->lock_);
        state_->item_ = nullptr;
        state_->adaptor_ = nullptr;
    }
    connection_.unregisterObject(QLatin1String(MenuPath));
    connection_.unregisterObject(QLatin1String(ItemPath));
    // QtDBus hears of a registered object's end by waiting on the bus's
    // thread, so the object may not end there: it comes back here first.
    QMetaObject::invokeMethod(
        onBus_,
        [onBus = onBus_, home = thread()] {
            onBus->moveToThread(home);
            QMetaObject::invokeMethod(
                onBus, [onBus] { delete onBus; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    // Our name leaves the bus: the watcher drops the item.
    QDBusConnection::disconnectFromBus(connectionName_);
}

QString StatusNotifierItem::Service() const {
    return connection_.baseService();
}

void StatusNotifierItem::Register() {
    if (!valid_)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, WatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << Service();
    // A watcher that knows the item already may answer with an error; nothing
    // waits for the answer.
    connection_.asyncCall(call);
}

void StatusNotifierItem::SetMenu(QMenu* menu) {
    {
        std::lock_guard guard(state_->lock_);
        state_->hasMenu_ = menu != nullptr;
    }
    menuExporter_->SetMenu(menu);
}

void StatusNotifierItemState::SetIcon(const DBusTrayPixmaps& pixmaps) {
    {
        std::lock_guard guard(lock_);
        if (pixmaps == pixmaps_)
            return;
        pixmaps_ = pixmaps;
    }
    announce(&StatusNotifierItemAdaptor::NewIcon);
}

void StatusNotifierItemState::SetToolTip(const QString& text) {
    {
        std::lock_guard guard(lock_);
        if (text == toolTip_)
            return;
        toolTip_ = text;
    }
    announce(&StatusNotifierItemAdaptor::NewToolTip);
}

DBusTrayPixmaps StatusNotifierItemState::Pixmaps() const {
    std::lock_guard guard(lock_);
    return pixmaps_;
}

QString StatusNotifierItemState::ToolTip() const {
    std::lock_guard guard(lock_);
    return toolTip_;
}

bool StatusNotifierItemState::HasMenu() const {
    std::lock_guard guard(lock_);
    return hasMenu_;
}

void StatusNotifierItemState::announce(void (StatusNotifierItemAdaptor::*signal)()) {
    std::lock_guard guard(lock_);
    if (adaptor_)
        QMetaObject::invokeMethod(
            adaptor_, [adaptor = adaptor_, signal] { emit(adaptor->*signal)(); },
            Qt::QueuedConnection);
}

void StatusNotifierItemState::later(std::function<void(int, int)> StatusNotifierItem::*callback,
                                    int x, int y) {
    // The item acts on the GUI thread, once the bus's thread has answered.
    std::lock_guard guard(lock_);
    if (item_)
        QMetaObject::invokeMethod(
            item_,
            [item = item_, callback, x, y] {
                if (item->*callback)
                    (item->*callback)(x, y);
            },
            Qt::QueuedConnection);
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(QObject* parent,
                                                     std::shared_ptr<StatusNotifierItemState> state)
    : QDBusAbstractAdaptor(parent), state_(std::move(state)) {
    setAutoRelaySignals(false);
}

QDBusObjectPath StatusNotifierItemAdaptor::Menu() const {
    // Hosts show the exported menu on a right click themselves.
    return QDBusObjectPath(state_->HasMenu() ? QLatin1String(StatusNotifierItem::MenuPath)
                                             : QLatin1String("/NO_DBUSMENU"));
}

DBusTrayToolTip StatusNotifierItemAdaptor::ToolTip() const {
    return DBusTrayToolTip{{}, {}, state_->ToolTip(), {}};
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    state_->later(&StatusNotifierItem::OnActivate, x, y);
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y) {
    state_->later(&StatusNotifierItem::OnSecondaryActivate, x, y);
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
    state_->later(&StatusNotifierItem::OnContextMenu, x, y);
}

void StatusNotifierItemAdaptor::Scroll(int, const QString&) {}

void StatusNotifierItemAdaptor::ProvideXdgActivationToken(const QString&) {}
