#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QTimer>
#include <QtNetwork/QHostAddress>

#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;
struct ares_addrinfo;
struct ares_channeldata;

// Name lookup that never blocks and can always be called off: c-ares runs
// in this thread's event loop (its sockets watched by socket notifiers, its
// retries driven by a timer), so cancelling frees everything at once and no
// thread is left waiting for a resolver that never answers. /etc/hosts is
// read first, then DNS, as the system's own resolver does.
class HostResolver : public QObject {
public:
    // The addresses in the order to try them, or an empty list and why.
    using Done = std::function<void(const QList<QHostAddress>& addresses, const QString& error)>;

    explicit HostResolver(QObject* parent = nullptr);
    ~HostResolver() override;

    // Looks up IPv4 and IPv6 addresses of host; done is called once, from
    // its own turn of the event loop, unless the lookup is cancelled first.
    // A lookup still running is cancelled.
    void lookup(const QString& host, Done done);
    // Ends the running lookup, if any; its done is never called.
    void cancel();
    bool busy() const { return channel_ != nullptr; }

private:
    struct Watch;
    static void socketStateChanged(void* data, int fd, int readable, int writable);
    static void answered(void* arg, int status, int timeouts, ares_addrinfo* result);
    void process(int readFd, int writeFd);
    void scheduleTimeout();
    void finish(QList<QHostAddress> addresses, QString error);

    ares_channeldata* channel_ = nullptr;
    quint64 lookupId_ = 0;
    Done done_;
    std::map<int, std::unique_ptr<Watch>> watches_;
    QTimer timeout_;
};
