#pragma once

#include "HostResolver.h"
#include "MailProxy.h"
#include "POPControl.h"
#include "pop3Address.h"
#include "pop3Login.h"
#include "pop3Protocol.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtNetwork/QHostAddress>

#include <deque>
#include <optional>

class QSslSocket;

// The POP client control: an asynchronous POP3 client on QSslSocket. Methods
// return at once; the dialogue runs in the Qt event loop and reports through
// the four events, each raised from its own turn of the loop (never from
// inside a method or a socket signal), so handlers may call back into the
// control, open modal windows or delete it.
//
// One connection: greeting; CAPA (skipped when this server's answer is
// known); STLS when offered; protocol state 1, and the program answers with
// Authenticate; USER and PASS (in one write when the server pipelines), AUTH
// PLAIN or APOP, or with an access token AUTH XOAUTH2 or OAUTHBEARER; after
// its +OK, and not before, protocol state 2 and STAT.
// Some servers hand the connection to another process once the login is
// accepted and lose whatever was sent behind it.
//
// The login goes only over TLS (pop3s, or STLS) or to a loopback address,
// unless the server field says pop3+plain; an access token goes only over
// TLS, whatever the address. Nothing is sent when that rule or the server's
// login methods do not allow it.
//
// Names are resolved with c-ares in the event loop: a lookup is called off
// when its limit or the check's passes, the connection is closed or the
// control destroyed. A proxy named as curl reads it for mail (see
// MailProxy.h) is used; none else, not even the one Qt would pick.
//
// Every step has a time limit, the whole check from Connect to the count one
// more, every reply line a length limit, and every ending passes through
// state 5 to 6. Once a connection has failed, none of its protocol-state or
// count events is delivered any more.
class TPOP : public QObject, public POPControl {
    Q_OBJECT
public:
    struct Timeouts {
        int lookupMs = 20000;
        int connectMs = 20000;
        int tlsMs = 20000;
        int replyMs = 30000;
        int quitMs = 5000;
        // From Connect to the count; 0: twice the longest step limit above.
        int checkMs = 0;
    };

    explicit TPOP(QObject* parent = nullptr);
    ~TPOP() override;

    QString RemoteHost() const override { return remoteHost_; }
    void SetRemoteHost(const QString& value) override { remoteHost_ = value; }
    int RemotePort() const override { return remotePort_; }
    QString UserId() const override { return userId_; }
    void SetUserId(const QString& value) override { userId_ = value; }
    QString Password() const override { return password_; }
    void SetPassword(const QString& value) override { password_ = value; }
    LoginMethod Method() const override { return method_; }
    void SetMethod(LoginMethod value) override { method_ = value; }

    std::int16_t State() const override { return state_; }
    std::int16_t ProtocolState() const override { return protocolState_; }
    bool Busy() const override;
    const TPOPErrors& Errors() const override { return errors_; }

    // Raises EPOPError when called in a state that does not allow the call;
    // every failure of the connection itself comes as OnError.
    void Connect() override;
    void Authenticate(const QString& user, const QString& password) override;
    void RefreshMessageCount() override;
    void Quit() override;

    void SetTimeouts(const Timeouts& value) { timeouts_ = value; }
    const Timeouts& timeouts() const { return timeouts_; }
    // The limit of a whole check that Timeouts resolves to.
    int checkLimitMs() const;

    // For a single check: QUIT follows STAT at once (in the same write when
    // the server pipelines), and a Quit after the count has nothing to do.
    void SetQuitAfterCount(bool value) { quitAfterCount_ = value; }

    // A login in plain text may go to a loopback address: nothing leaves the
    // machine. Tests turn this off to play a distant server on loopback.
    void SetPlainLoginOnLoopback(bool value) { plainOnLoopback_ = value; }

    // A PEM file of further certificate authorities to trust beside the
    // system's store. When never set, the PINGBOX_CA_FILE environment
    // variable names it.
    void SetCaCertificatesFile(const QString& path) {
        caFile_ = path;
        caFileSet_ = true;
    }

    // Each line sent ("C: ...", passwords masked) and received ("S: ..."), and
    // each internal step; for diagnostics.
    std::function<void(const QString& line)> OnTrace;

    // Forget every server's remembered capabilities.
    static void ClearCapabilityCache();

private:
    enum class Phase {
        Idle,
        Lookup,
        Connecting,
        Handshake, // TLS, from the first byte or after STLS
        Greeting,
        Dialogue, // commands in flight before login
        AwaitLogin,
        LoggingIn,
        Counting,
        LoggedIn,
        Quitting,
        Failed,
    };
    enum class Cmd { Capa, Stls, User, Pass, AuthPlain, Apop, AuthToken, Stat, Quit };
    struct Command {
        Cmd kind;
        QByteArray line; // without CRLF
        QString shown;   // for the trace
    };
    struct Event {
        enum Kind { StateChange, ProtocolChange, Count, Error } kind;
        std::int32_t value = 0;
        QString description;
        QStringList details;
        quint64 generation = 0;
    };

    void post(Event event);
    void scheduleDelivery();
    void deliverOne();
    void setState(std::int16_t state);
    void setProtocolState(std::int16_t state);
    void trace(const QString& line);

    void startLookup();
    void resolve(const QString& host, HostResolver::Done done);
    void proxyLookedUp(const QList<QHostAddress>& addresses, const QString& error);
    void lookedUp(const QList<QHostAddress>& addresses, const QString& error);
    QString currentTarget() const;
    void connectNext();
    QSslSocket* makeSocket();
    void socketConnected();
    void socketError();
    void socketEncrypted();
    void readSocket();
    void handleLine(const QByteArray& line);
    void handleReply(const Command& command, const Pop3Reply& reply);
    void capabilitiesKnown();
    void startTls();
    void readyForLogin();
    LoginMethod methodFor() const;
    bool methodOffered(QString& missing) const;
    void sendToken(const QByteArray& user, const QByteArray& token);
    bool answerTokenChallenge(const Command& command, const Pop3Reply& reply);
    bool loginMayGoPlain() const;
    void loggedIn();
    void counted(std::int32_t count);
    void loginRefused(const Pop3Reply& reply);
    void deadlinePassed();

    void send(std::initializer_list<Command> commands, bool together);
    void sendNext();
    void armTimer(int ms, Phase phase);
    void timedOut();

    void fail(int number, QStringList details);
    void closeNow();
    void finishClose();
    void dropSocket();
    void resetSession();

    QString remoteHost_;
    int remotePort_ = 110;
    QString userId_;
    QString password_;
    LoginMethod method_ = LoginMethod::Auto;
    std::int16_t state_ = popClosed;
    std::int16_t protocolState_ = 0;
    TPOPErrors errors_;
    Timeouts timeouts_;
    QString caFile_;
    bool caFileSet_ = false;

    // The current connection; generation tells its signals from older ones.
    quint64 generation_ = 0;
    Phase phase_ = Phase::Idle;
    Pop3Address address_;
    QString cacheKey_;
    QList<QHostAddress> addresses_;
    qsizetype nextAddress_ = 0;
    QStringList connectErrors_;
    HostResolver resolver_;
    MailProxy proxy_;
    QHostAddress proxyAddress_;
    QPointer<QSslSocket> socket_;
    bool secured_ = false;
    QStringList tlsErrors_;
    Pop3LineReader reader_;
    std::deque<Command> awaiting_; // sent, reply not yet complete
    std::deque<Command> unsent_;   // to go one by one after each reply
    bool inCapaList_ = false;
    int capaLines_ = 0;
    Pop3Capabilities capabilities_;
    QByteArray apopStamp_;
    bool continuationAnswered_ = false;
    QByteArray authResponse_;
    // What a token method's failure challenge said, once it has come.
    std::optional<QString> tokenRefusal_;
    QTimer timer_;
    Phase timerPhase_ = Phase::Idle;
    QTimer deadline_;
    bool quitAfterCount_ = false;
    bool plainOnLoopback_ = true;

    std::deque<Event> events_;
    bool deliveryScheduled_ = false;
};
