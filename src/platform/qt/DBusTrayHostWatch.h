#pragma once

#include <QtCore/QObject>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusServiceWatcher>

#include <memory>
#include <optional>

// Whether a StatusNotifierItem host is on the session bus: a
// org.kde.StatusNotifierWatcher that says a host has registered with it.
// Follows the bus's own signals (the watcher's name coming and going, its
// host registered and unregistered signals); nothing is asked on a timer.
class DBusTrayHostWatch : public QObject {
    Q_OBJECT
public:
    // Asks the bus once, and waits for that answer, so that the first state is
    // known before the program shows its icon.
    explicit DBusTrayHostWatch(QObject* parent = nullptr);

    bool HostPresent() const { return present_; }
    // Asks the bus now and waits for the answer; no signal. For a caller about
    // to choose another tray, which a host on its way would make the wrong one.
    bool AskNow();

signals:
    // The host is there or gone.
    void hostChanged(bool present);
    // A host (re)registered, or a new watcher came up, while one was present:
    // items must register again.
    void hostRenewed();

private slots:
    void hostRegistered();
    void hostUnregistered();

private:
    void watcherAppeared();
    void watcherGone();
    void askWatcher(bool renew);
    void setPresent(bool present, bool renew);

    // Both none without a session bus: QtDBus is then not even started.
    std::optional<QDBusConnection> bus_;
    std::unique_ptr<QDBusServiceWatcher> serviceWatcher_;
    bool present_ = false;
    unsigned generation_ = 0; // answers to older questions are dropped
};
