#pragma once

#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QThread>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <memory>
#include <mutex>

// A StatusNotifierWatcher as a tray host would run it, on a connection and a
// thread of its own so that the program's blocking questions get answers.
class FakeWatcherState : public QObject {
    Q_OBJECT
public:
    QStringList Items() const {
        std::lock_guard guard(lock);
        return items;
    }
    int Registrations() const {
        std::lock_guard guard(lock);
        return registrations;
    }

    mutable std::mutex lock;
    QStringList items;
    int registrations = 0;
    bool host = false;

public slots:
    void announceHost(bool host) {
        if (host)
            emit StatusNotifierHostRegistered();
        else
            emit StatusNotifierHostUnregistered();
    }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();
};

class FakeWatcherAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
public:
    explicit FakeWatcherAdaptor(FakeWatcherState* state) : QDBusAbstractAdaptor(state), s(state) {
        connect(state, &FakeWatcherState::StatusNotifierHostRegistered, this,
                &FakeWatcherAdaptor::StatusNotifierHostRegistered);
        connect(state, &FakeWatcherState::StatusNotifierHostUnregistered, this,
                &FakeWatcherAdaptor::StatusNotifierHostUnregistered);
    }
    QStringList RegisteredStatusNotifierItems() const { return s->Items(); }
    bool IsStatusNotifierHostRegistered() const {
        std::lock_guard guard(s->lock);
        return s->host;
    }
    int ProtocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        {
            std::lock_guard guard(s->lock);
            ++s->registrations;
            if (!s->items.contains(service))
                s->items.append(service);
        }
        emit StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    FakeWatcherState* s;
};

class FakeStatusNotifierWatcher {
public:
    // Takes the watcher's name on the bus, with or without a host.
    explicit FakeStatusNotifierWatcher(bool host) {
        state_->host = host;
        new FakeWatcherAdaptor(state_.get());
        state_->moveToThread(&thread_);
        thread_.start();
        connection_.registerObject(QStringLiteral("/StatusNotifierWatcher"), state_.get(),
                                   QDBusConnection::ExportAdaptors);
        connection_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~FakeStatusNotifierWatcher() {
        connection_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        connection_.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        // Its signals may only go out from its own thread, its last one too.
        FakeWatcherState* state = state_.release();
        QMetaObject::invokeMethod(
            state, [state] { delete state; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
        QDBusConnection::disconnectFromBus(name_);
    }
    void SetHost(bool host) {
        {
            std::lock_guard guard(state_->lock);
            state_->host = host;
        }
        QMetaObject::invokeMethod(state_.get(), "announceHost", Qt::QueuedConnection,
                                  Q_ARG(bool, host));
    }
    QStringList Items() const { return state_->Items(); }
    int Registrations() const { return state_->Registrations(); }

private:
    QString name_ = QStringLiteral("fake-watcher");
    QDBusConnection connection_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_);
    std::unique_ptr<FakeWatcherState> state_ = std::make_unique<FakeWatcherState>();
    QThread thread_;
};
