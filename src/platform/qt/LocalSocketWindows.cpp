#include "LocalSocketWindows.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

namespace {

constexpr int kReplyTimeoutMs = 1000;
constexpr qint64 kMaxCommandLength = 64;

class SocketWindow : public ForeignWindow {
public:
    explicit SocketWindow(std::unique_ptr<QLocalSocket> socket) : socket_(std::move(socket)) {}

    bool IsIconic() override { return ask("ICONIC") == "1"; }
    void ShowWindow(int command) override { ask("SHOW " + QByteArray::number(command)); }
    void BringWindowToTop() override { ask("TOP"); }

private:
    // Each command is answered by one line; a copy that does not answer in
    // time counts as answering nothing.
    QByteArray ask(const QByteArray& command) {
        if (socket_->state() != QLocalSocket::ConnectedState)
            return {};
        socket_->write(command + '\n');
        socket_->flush();
        while (!socket_->canReadLine()) {
            if (!socket_->waitForReadyRead(kReplyTimeoutMs))
                return {};
        }
        return socket_->readLine().trimmed();
    }

    std::unique_ptr<QLocalSocket> socket_;
};

} // namespace

LocalSocketWindows::LocalSocketWindows(QString folder, QString prefix)
    : folder_(std::move(folder)), prefix_(std::move(prefix)) {}

LocalSocketWindows::~LocalSocketWindows() = default;

QString LocalSocketWindows::socketPath(const QString& title) const {
    // Titles may hold any character; the socket's file name must not.
    const QByteArray tag =
        QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return QDir(folder_).filePath(prefix_ + QLatin1Char('-') + QString::fromLatin1(tag) +
                                  QStringLiteral(".sock"));
}

std::unique_ptr<ForeignWindow> LocalSocketWindows::FindWindow(const QString& title) {
    if (folder_.isEmpty())
        return nullptr;
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(socketPath(title));
    if (!socket->waitForConnected(kReplyTimeoutMs))
        return nullptr;
    return std::make_unique<SocketWindow>(std::move(socket));
}

void LocalSocketWindows::Publish(const QString& title, ApplicationWindowActions actions) {
    if (folder_.isEmpty())
        return;
    actions_ = std::move(actions);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath(title);
    // A socket file left by a crashed copy: ours to replace, since this copy
    // holds the instance marker.
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) {
        server_.reset();
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] { serve(); });
}

void LocalSocketWindows::serve() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, client, [this, client] {
            while (client->canReadLine()) {
                const QByteArray line = client->readLine(kMaxCommandLength).trimmed();
                QByteArray reply = "0";
                if (line == "ICONIC") {
                    reply = actions_.isIconic && actions_.isIconic() ? "1" : "0";
                } else if (line == "SHOW " + QByteArray::number(SW_RESTORE)) {
                    if (actions_.restore)
                        actions_.restore();
                } else if (line == "TOP") {
                    if (actions_.bringToTop)
                        actions_.bringToTop();
                }
                client->write(reply + '\n');
            }
            // A peer that sends an endless line without a break is cut off.
            if (client->bytesAvailable() > kMaxCommandLength)
                client->abort();
        });
    }
}
