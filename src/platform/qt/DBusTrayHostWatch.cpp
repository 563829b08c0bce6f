#include "DBusTrayHostWatch.h"

#include <QtCore/QFileInfo>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtDBus/QDBusVariant>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int AskTimeoutMs = 2000;

QDBusMessage hostQuestion() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

// A session bus we know the address of. Without one libdbus would launch a
// bus of its own for this process (X11 autolaunch), and no tray host is on
// that; the XEmbed tray is then the only one.
bool sessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool hostAnswer(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

} // namespace

DBusTrayHostWatch::DBusTrayHostWatch(QObject* parent) : QObject(parent) {
    if (!sessionBusKnown())
        return;
    bus_ = QDBusConnection::sessionBus();
    if (!bus_->isConnected())
        return;
    serviceWatcher_ = std::make_unique<QDBusServiceWatcher>(
        WatcherService, *bus_, QDBusServiceWatcher::WatchForOwnerChange);
    connect(serviceWatcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                if (!oldOwner.isEmpty())
                    watcherGone();
                if (!newOwner.isEmpty())
                    watcherAppeared();
            });
    // The signals of whichever watcher owns the name, now or later.
    bus_->connect(WatcherService, WatcherPath, WatcherService,
                  QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(hostRegistered()));
    bus_->connect(WatcherService, WatcherPath, WatcherService,
                  QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(hostUnregistered()));
    if (bus_->interface()->isServiceRegistered(WatcherService))
        present_ = hostAnswer(bus_->call(hostQuestion(), QDBus::Block, AskTimeoutMs));
}

bool DBusTrayHostWatch::AskNow() {
    if (!serviceWatcher_)
        return false;
    ++generation_; // older questions have older answers
    present_ = bus_->interface()->isServiceRegistered(WatcherService) &&
               hostAnswer(bus_->call(hostQuestion(), QDBus::Block, AskTimeoutMs));
    return present_;
}

void DBusTrayHostWatch::watcherAppeared() {
    // A new watcher knows no items, even if it finds a host at once.
    askWatcher(true);
}

void DBusTrayHostWatch::watcherGone() {
    ++generation_;
    setPresent(false, false);
}

void DBusTrayHostWatch::hostRegistered() {
    // A restarted host reads the watcher's list; registering again costs little
    // and covers watchers that forget.
    ++generation_;
    setPresent(true, true);
}

void DBusTrayHostWatch::hostUnregistered() {
    // Other hosts may remain: only the watcher knows.
    askWatcher(false);
}

void DBusTrayHostWatch::askWatcher(bool renew) {
    const unsigned generation = ++generation_;
    auto* pending =
        new QDBusPendingCallWatcher(bus_->asyncCall(hostQuestion(), AskTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, generation, renew] {
        pending->deleteLater();
        if (generation == generation_)
            setPresent(hostAnswer(pending->reply()), renew);
    });
}

void DBusTrayHostWatch::setPresent(bool present, bool renew) {
    if (present != present_) {
        present_ = present;
        emit hostChanged(present);
    } else if (present && renew) {
        emit hostRenewed();
    }
}
