#include "HostResolver.h"

#include <QtCore/QSocketNotifier>
#include <QtCore/QUrl>

#include <ares.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>

struct HostResolver::Watch {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
};

namespace {

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

QList<QHostAddress> addressesOf(const ares_addrinfo* result) {
    QList<QHostAddress> addresses;
    for (const ares_addrinfo_node* node = result ? result->nodes : nullptr; node;
         node = node->ai_next) {
        QHostAddress address(node->ai_addr);
        if (!address.isNull() && !addresses.contains(address))
            addresses << address;
    }
    return addresses;
}

// The watch's notifiers are deleted later: one of them may be the sender
// whose signal is being handled.
void release(QSocketNotifier*& notifier) {
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
}

} // namespace

HostResolver::HostResolver(QObject* parent) : QObject(parent) {
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this,
            [this] { process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
}

HostResolver::~HostResolver() {
    cancel();
}

void HostResolver::lookup(const QString& host, Done done) {
    cancel();
    initLibrary();
    const quint64 id = ++lookupId_;
    const QByteArray name = QUrl::toAce(host);
    auto failNow = [this, id](const QString& error) {
        QMetaObject::invokeMethod(
            this,
            [this, id, error] {
                if (id == lookupId_ && done_)
                    std::exchange(done_, nullptr)({}, error);
            },
            Qt::QueuedConnection);
    };
    done_ = std::move(done);
    if (name.isEmpty()) {
        failNow(QStringLiteral("the name is not a valid host name"));
        return;
    }
    ares_options options{};
    options.sock_state_cb = [](void* data, ares_socket_t fd, int readable, int writable) {
        socketStateChanged(data, fd, readable, writable);
    };
    options.sock_state_cb_data = this;
    ares_channel channel = nullptr;
    const int status = ares_init_options(&channel, &options, ARES_OPT_SOCK_STATE_CB);
    if (status != ARES_SUCCESS) {
        failNow(QStringLiteral("the resolver cannot be set up: %1")
                    .arg(QString::fromUtf8(ares_strerror(status))));
        return;
    }
    channel_ = channel;
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ares_getaddrinfo(channel, name.constData(), nullptr, &hints, &HostResolver::answered, this);
    scheduleTimeout();
}

void HostResolver::cancel() {
    ++lookupId_;
    done_ = nullptr;
    timeout_.stop();
    if (ares_channel channel = std::exchange(channel_, nullptr))
        ares_destroy(channel); // its callback sees channel_ gone and does nothing
    for (auto& [fd, watch] : watches_) {
        release(watch->read);
        release(watch->write);
    }
    watches_.clear();
}

void HostResolver::socketStateChanged(void* data, int fd, int readable, int writable) {
    auto* self = static_cast<HostResolver*>(data);
    std::unique_ptr<Watch>& watch = self->watches_[fd];
    if (!watch)
        watch = std::make_unique<Watch>();
    auto want = [self, fd](QSocketNotifier*& notifier, QSocketNotifier::Type type, bool on) {
        if (!on) {
            release(notifier);
            return;
        }
        if (notifier)
            return;
        notifier = new QSocketNotifier(fd, type, self);
        connect(notifier, &QSocketNotifier::activated, self, [self, fd, type] {
            if (type == QSocketNotifier::Read)
                self->process(fd, ARES_SOCKET_BAD);
            else
                self->process(ARES_SOCKET_BAD, fd);
        });
    };
    want(watch->read, QSocketNotifier::Read, readable != 0);
    want(watch->write, QSocketNotifier::Write, writable != 0);
    if (!watch->read && !watch->write)
        self->watches_.erase(fd);
}

void HostResolver::answered(void* arg, int status, int, ares_addrinfo* result) {
    auto* self = static_cast<HostResolver*>(arg);
    QList<QHostAddress> addresses = addressesOf(result);
    if (result)
        ares_freeaddrinfo(result);
    if (!self->channel_)
        return; // cancelled: the channel is being destroyed
    QString error;
    if (status != ARES_SUCCESS || addresses.isEmpty())
        error = status == ARES_SUCCESS ? QStringLiteral("no address found")
                                       : QString::fromUtf8(ares_strerror(status));
    // Called from inside c-ares, which must not be torn down from here.
    const quint64 id = self->lookupId_;
    QMetaObject::invokeMethod(
        self,
        [self, id, addresses = std::move(addresses), error] {
            if (id == self->lookupId_)
                self->finish(addresses, error);
        },
        Qt::QueuedConnection);
}

void HostResolver::process(int readFd, int writeFd) {
    if (!channel_)
        return;
    ares_process_fd(channel_, readFd, writeFd);
    scheduleTimeout();
}

void HostResolver::scheduleTimeout() {
    if (!channel_)
        return;
    timeval next{};
    if (!ares_timeout(channel_, nullptr, &next)) {
        timeout_.stop();
        return;
    }
    timeout_.start(int(next.tv_sec * 1000 + (next.tv_usec + 999) / 1000));
}

void HostResolver::finish(QList<QHostAddress> addresses, QString error) {
    Done done = std::move(done_);
    cancel();
    if (done)
        done(addresses, error);
}
