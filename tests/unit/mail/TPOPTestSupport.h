#pragma once

// A scripted POP3 server on loopback and a recorder that drives TPOP the way
// the program does: Authenticate on protocol state 1, Quit after the count
// and after an error.
#include "pop/POPErrors.h"
#include "pop/popclient.h"

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslKey>
#include <QtNetwork/QSslSocket>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QTest>

#include <memory>
#include <vector>

struct ScriptStep {
    enum Kind { Send, Expect, Close, Drip, Discard, Pause } kind;
    QByteArray data;
    int ms = 0;
};

inline ScriptStep send(const QByteArray& bytes) {
    return {ScriptStep::Send, bytes};
}
inline ScriptStep expect(const QByteArray& prefix) {
    return {ScriptStep::Expect, prefix};
}
inline ScriptStep closeConnection() {
    return {ScriptStep::Close, {}};
}
// Sends the bytes one per write, a millisecond apart.
inline ScriptStep drip(const QByteArray& bytes) {
    return {ScriptStep::Drip, bytes};
}

// Forgets every line received and not yet expected, as a server does whose
// login process hands the connection to a mail process.
inline ScriptStep discardPending() {
    return {ScriptStep::Discard, {}};
}
// Waits before the next step.
inline ScriptStep pause(int ms) {
    return {ScriptStep::Pause, {}, ms};
}

using Script = std::vector<ScriptStep>;

// A key and a certificate for "localhost", made once per test run with the
// openssl command; the certificate is its own authority.
struct TestTlsIdentity {
    QTemporaryDir dir;
    QString certFile = dir.filePath(QStringLiteral("cert.pem"));
    QString keyFile = dir.filePath(QStringLiteral("key.pem"));
    bool ok = false;

    static const TestTlsIdentity& instance() {
        static TestTlsIdentity identity;
        return identity;
    }

private:
    TestTlsIdentity() {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                       "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                       "subjectAltName=DNS:localhost", "-keyout", keyFile, "-out", certFile});
        ok = openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    }
};

// Hands out TLS sockets that start their handshake at once, as on port 995.
class TlsListener : public QTcpServer {
public:
    explicit TlsListener(const TestTlsIdentity* tls) : tls_(tls) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        if (!tls_) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        QFile cert(tls_->certFile), key(tls_->keyFile);
        cert.open(QIODevice::ReadOnly);
        key.open(QIODevice::ReadOnly);
        socket->setLocalCertificate(QSslCertificate(&cert));
        socket->setPrivateKey(QSslKey(&key, QSsl::Ec));
        socket->startServerEncryption();
        addPendingConnection(socket);
    }

private:
    const TestTlsIdentity* tls_;
};

// Plays one script per accepted connection (the last one again for any
// further connection) and records every line the client sent.
class ScriptedServer : public QObject {
public:
    // With tls, every connection is TLS from its first byte: reach it as
    // pop3s://localhost:port with tls->certFile trusted.
    explicit ScriptedServer(std::vector<Script> scripts, const TestTlsIdentity* tls = nullptr)
        : server_(tls), scripts_(std::move(scripts)) {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                sessions_.push_back(std::make_unique<Session>(
                    socket, scripts_[std::min(sessions_.size(), scripts_.size() - 1)], received,
                    dropped));
        });
    }

    quint16 port() const { return server_.serverPort(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    int connections() const { return int(sessions_.size()); }

    QByteArrayList received;
    QByteArrayList dropped; // lines a discardPending step forgot

private:
    struct Session : QObject {
        Session(QTcpSocket* socket, Script script, QByteArrayList& received,
                QByteArrayList& dropped)
            : socket_(socket), script_(std::move(script)), received_(received), dropped_(dropped) {
            connect(socket_, &QTcpSocket::readyRead, this, [this] {
                buffer_ += socket_->readAll();
                qsizetype end;
                while ((end = buffer_.indexOf('\n')) >= 0) {
                    QByteArray line = buffer_.left(end);
                    if (line.endsWith('\r'))
                        line.chop(1);
                    buffer_.remove(0, end + 1);
                    lines_ << line;
                    received_ << line;
                }
                run();
            });
            run();
        }
        ~Session() override { delete socket_; }

        void run() {
            while (next_ < script_.size()) {
                const ScriptStep& step = script_[next_];
                switch (step.kind) {
                case ScriptStep::Send:
                    socket_->write(step.data);
                    socket_->flush();
                    break;
                case ScriptStep::Expect:
                    if (lines_.isEmpty())
                        return;
                    if (!lines_.takeFirst().startsWith(step.data)) {
                        socket_->abort();
                        next_ = script_.size();
                        return;
                    }
                    break;
                case ScriptStep::Close:
                    socket_->disconnectFromHost();
                    break;
                case ScriptStep::Discard:
                    dropped_ += lines_;
                    lines_.clear();
                    break;
                case ScriptStep::Pause:
                    if (pause_ == PauseState::None) {
                        pause_ = PauseState::Waiting;
                        QTimer::singleShot(step.ms, this, [this] {
                            pause_ = PauseState::Over;
                            run();
                        });
                    }
                    if (pause_ == PauseState::Waiting)
                        return;
                    pause_ = PauseState::None;
                    break;
                case ScriptStep::Drip:
                    if (dripped_ < step.data.size()) {
                        socket_->write(step.data.mid(dripped_++, 1));
                        socket_->flush();
                        QTimer::singleShot(1, this, [this] { run(); });
                        return;
                    }
                    dripped_ = 0;
                    break;
                }
                ++next_;
            }
        }

        QTcpSocket* socket_;
        Script script_;
        QByteArrayList& received_;
        QByteArrayList& dropped_;
        enum class PauseState { None, Waiting, Over } pause_ = PauseState::None;
        QByteArray buffer_;
        QByteArrayList lines_;
        size_t next_ = 0;
        qsizetype dripped_ = 0;
    };

    TlsListener server_;
    std::vector<Script> scripts_;
    std::vector<std::unique_ptr<Session>> sessions_;
};

// Records TPOP's events as short words: "S1" state, "P1" protocol state,
// "C3" count, "E1014" error, and "X" for an Authenticate that raised: the
// control asked for a login it could not take.
class PopRecorder {
public:
    explicit PopRecorder(TPOP& pop, QString user = QStringLiteral("alice"),
                         QString password = QStringLiteral("secret"))
        : pop_(pop) {
        pop.SetUserId(user);
        pop.SetPassword(password);
        pop.OnStateChanged = [this](std::int16_t s) { events << QStringLiteral("S%1").arg(s); };
        pop.OnProtocolStateChanged = [this](std::int16_t s) {
            events << QStringLiteral("P%1").arg(s);
            if (s == popAwaitingLogin) {
                try {
                    pop_.Authenticate(pop_.UserId(), pop_.Password());
                } catch (const EPOPError&) {
                    events << QStringLiteral("X");
                }
            }
        };
        pop.OnRefreshMessageCount = [this](std::int32_t n) {
            events << QStringLiteral("C%1").arg(n);
            pop_.Quit();
        };
        pop.OnError = [this](std::int16_t number, QString& description, std::int32_t,
                             const QString&, const QString&, std::int32_t, bool& cancel) {
            events << QStringLiteral("E%1").arg(number);
            lastDescription = description;
            lastDetail = pop_.Errors().Count() ? pop_.Errors().Description(pop_.Errors().Count())
                                               : QString();
            cancel = true;
            pop_.Quit();
        };
    }

    // Runs one check to its end (state 6 reported); false on a hang.
    bool check(const QString& server, int waitMs = 20000) {
        pop_.SetRemoteHost(server);
        const qsizetype start = events.size();
        pop_.Connect();
        return QTest::qWaitFor(
            [&] { return events.size() > start && events.back() == QLatin1String("S6"); }, waitMs);
    }

    QString joined() const { return events.join(QLatin1Char(' ')); }

    QStringList events;
    QString lastDescription;
    QString lastDetail;

private:
    TPOP& pop_;
};

// Short enough to keep the tests of silent servers quick, long enough for a
// loaded machine to answer in time.
inline TPOP::Timeouts shortTimeouts() {
    TPOP::Timeouts t;
    t.lookupMs = t.connectMs = t.tlsMs = t.replyMs = 1500;
    t.quitMs = 500;
    return t;
}

inline TPOP::Timeouts generousTimeouts() {
    TPOP::Timeouts t;
    t.lookupMs = t.connectMs = t.tlsMs = t.replyMs = 8000;
    return t;
}
