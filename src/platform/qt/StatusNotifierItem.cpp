#include "StatusNotifierItem.h"

#include "DBusMenuExporter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
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
    : QObject(parent), id_(id), connectionName_(freshConnectionName()),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)) {
    registerDBusTrayTypes();
    auto* adaptor = new StatusNotifierItemAdaptor(this);
    connect(this, &StatusNotifierItem::NewIcon, adaptor, &StatusNotifierItemAdaptor::NewIcon);
    connect(this, &StatusNotifierItem::NewToolTip, adaptor, &StatusNotifierItemAdaptor::NewToolTip);
    // The menu has its own object, so that its adaptor sits at its own path.
    menuObject_ = new QObject(this);
    menuExporter_ = new DBusMenuExporter(menuObject_, nullptr);
    valid_ = connection_.isConnected() &&
             connection_.registerObject(QLatin1String(ItemPath), this,
                                        QDBusConnection::ExportAdaptors) &&
             connection_.registerObject(QLatin1String(MenuPath), menuObject_,
                                        QDBusConnection::ExportAdaptors);
}

StatusNotifierItem::~StatusNotifierItem() {
    connection_.unregisterObject(QLatin1String(MenuPath));
    connection_.unregisterObject(QLatin1String(ItemPath));
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

void StatusNotifierItem::SetIcon(const DBusTrayPixmaps& pixmaps) {
    if (pixmaps == pixmaps_)
        return;
    pixmaps_ = pixmaps;
    emit NewIcon();
}

void StatusNotifierItem::SetToolTip(const QString& text) {
    if (text == toolTip_)
        return;
    toolTip_ = text;
    emit NewToolTip();
}

void StatusNotifierItem::SetMenu(QMenu* menu) {
    hasMenu_ = menu != nullptr;
    menuExporter_->SetMenu(menu);
}

void StatusNotifierItem::later(const std::function<void(int, int)>& callback, int x, int y) {
    if (!callback)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, x, y, which = &callback] {
            if (*which)
                (*which)(x, y);
        },
        Qt::QueuedConnection);
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), item_(item) {
    setAutoRelaySignals(false);
}

QString StatusNotifierItemAdaptor::Title() const {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? item_->id() : name;
}

QDBusObjectPath StatusNotifierItemAdaptor::Menu() const {
    // Hosts show the exported menu on a right click themselves.
    return QDBusObjectPath(item_->hasMenu() ? QLatin1String(StatusNotifierItem::MenuPath)
                                            : QLatin1String("/NO_DBUSMENU"));
}

DBusTrayToolTip StatusNotifierItemAdaptor::ToolTip() const {
    return DBusTrayToolTip{{}, {}, item_->toolTip(), {}};
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    item_->later(item_->OnActivate, x, y);
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y) {
    item_->later(item_->OnSecondaryActivate, x, y);
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
    item_->later(item_->OnContextMenu, x, y);
}

void StatusNotifierItemAdaptor::Scroll(int, const QString&) {}

void StatusNotifierItemAdaptor::ProvideXdgActivationToken(const QString&) {}
