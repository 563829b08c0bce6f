#include "popclient.h"

#include "POPErrors.h"
#include "pop3CapabilityCache.h"

#include <QtCore/QCryptographicHash>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslCipher>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslSocket>

#include <algorithm>

namespace {

bool transientCode(const QByteArray& code) {
    return code == "IN-USE" || code == "LOGIN-DELAY" || code == "SYS/TEMP";
}

bool holdsLineBreakOrNul(const QString& s) {
    return s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0));
}

const char* commandName(int kind) {
    static const char* const names[] = {"CAPA", "STLS", "USER", "PASS", "AUTH",
                                        "APOP", "AUTH", "STAT", "QUIT"};
    return names[kind];
}

} // namespace

TPOP::TPOP(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TPOP::timedOut);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &TPOP::deadlinePassed);
}

TPOP::~TPOP() {
    resolver_.cancel();
    dropSocket();
}

void TPOP::ClearCapabilityCache() {
    Pop3CapabilityCache::instance().clear();
}

int TPOP::checkLimitMs() const {
    if (timeouts_.checkMs > 0)
        return timeouts_.checkMs;
    return 2 *
           std::max({timeouts_.lookupMs, timeouts_.connectMs, timeouts_.tlsMs, timeouts_.replyMs});
}

bool TPOP::Busy() const {
    switch (phase_) {
    case Phase::Idle:
    case Phase::AwaitLogin:
    case Phase::LoggedIn:
        return false;
    default:
        return true;
    }
}

// ---- methods ---------------------------------------------------------------

void TPOP::Connect() {
    if (state_ != popClosed)
        throw EPOPError(QStringLiteral("Connect: the connection is already open"));
    resetSession();
    ++generation_;
    address_ = parsePop3Address(remoteHost_, std::uint16_t(remotePort_));
    setState(popConnecting);
    if (!address_.ok()) {
        phase_ = Phase::Lookup;
        fail(popErrUnreachable, {address_.error});
        return;
    }
    cacheKey_ = Pop3CapabilityCache::keyOf(address_.host, address_.port, address_.implicitTls);
    deadline_.start(checkLimitMs());
    startLookup();
}

void TPOP::Authenticate(const QString& user, const QString& password) {
    if (phase_ != Phase::AwaitLogin)
        throw EPOPError(QStringLiteral("Authenticate: the server is not awaiting a login"));
    if (holdsLineBreakOrNul(user) || holdsLineBreakOrNul(password)) {
        fail(popErrUnsendableLogin, {holdsLineBreakOrNul(user) ? QStringLiteral("user name")
                                                               : QStringLiteral("password")});
        return;
    }
    const QByteArray u = user.toUtf8();
    const QByteArray p = password.toUtf8();
    // Nothing goes behind the login command: see the class comment.
    switch (methodFor()) {
    case LoginMethod::Auto:
    case LoginMethod::User:
        phase_ = Phase::LoggingIn;
        send({{Cmd::User, "USER " + u, QStringLiteral("USER ") + user},
              {Cmd::Pass, "PASS " + p, QStringLiteral("PASS ****")}},
             capabilities_.has("PIPELINING"));
        return;
    case LoginMethod::Plain:
        phase_ = Phase::LoggingIn;
        authResponse_ = (QByteArray(1, '\0') + u + QByteArray(1, '\0') + p).toBase64();
        send({{Cmd::AuthPlain, "AUTH PLAIN " + authResponse_, QStringLiteral("AUTH PLAIN ****")}},
             true);
        return;
    case LoginMethod::Apop:
        if (std::any_of(user.begin(), user.end(), [](QChar c) {
                return c == u' ' || c.category() == QChar::Other_Control;
            })) {
            // The name ends at the first blank of an APOP command, and no
            // server reads a control character in it as the user meant.
            fail(popErrApopUserName, {QStringLiteral("APOP is the only login method offered")});
            return;
        }
        phase_ = Phase::LoggingIn;
        send({{Cmd::Apop,
               "APOP " + u + ' ' +
                   QCryptographicHash::hash(apopStamp_ + p, QCryptographicHash::Md5).toHex(),
               QStringLiteral("APOP ") + user + " ****"}},
             true);
        return;
    case LoginMethod::XOAuth2:
    case LoginMethod::OAuthBearer:
        sendToken(u, p);
        return;
    }
}

// The method Authenticate uses: the one asked for, or for Auto the first of
// USER, SASL PLAIN and APOP the server offers.
LoginMethod TPOP::methodFor() const {
    if (method_ != LoginMethod::Auto)
        return method_;
    if (!capabilities_.listed || capabilities_.has("USER"))
        return LoginMethod::User;
    if (capabilities_.sasl.contains("PLAIN"))
        return LoginMethod::Plain;
    return LoginMethod::Apop;
}

// Whether the server offers the method asked for; a server that does not
// answer CAPA is tried with it all the same, except APOP without a time stamp.
bool TPOP::methodOffered(QString& missing) const {
    const auto& c = capabilities_;
    const bool apop = !apopStamp_.isEmpty();
    switch (method_) {
    case LoginMethod::Auto:
        missing = QStringLiteral("the server offers: %1").arg(c.summary());
        return !c.listed || c.has("USER") || c.sasl.contains("PLAIN") || apop;
    case LoginMethod::User:
        missing = QStringLiteral("USER");
        return !c.listed || c.has("USER");
    case LoginMethod::Plain:
        missing = QStringLiteral("SASL PLAIN");
        return !c.listed || c.sasl.contains("PLAIN");
    case LoginMethod::Apop:
        missing = QStringLiteral("APOP (no time stamp in the greeting)");
        return apop;
    case LoginMethod::XOAuth2:
        missing = QStringLiteral("SASL XOAUTH2");
        return !c.listed || c.sasl.contains("XOAUTH2");
    case LoginMethod::OAuthBearer:
        missing = QStringLiteral("SASL OAUTHBEARER");
        return !c.listed || c.sasl.contains("OAUTHBEARER");
    }
    return false;
}

// The token is far longer than the 255 octets a command line may hold, so it
// goes on a line of its own after the server's "+".
void TPOP::sendToken(const QByteArray& user, const QByteArray& token) {
    if (!secured_) {
        fail(popErrTokenNeedsTls, {QStringLiteral("the connection is not encrypted")});
        return;
    }
    phase_ = Phase::LoggingIn;
    const bool bearer = method_ == LoginMethod::OAuthBearer;
    authResponse_ = bearer ? oauthBearerResponse(user, address_.host.toUtf8(), address_.port, token)
                           : xoauth2Response(user, token);
    const QByteArray command = bearer ? "AUTH OAUTHBEARER" : "AUTH XOAUTH2";
    send({{Cmd::AuthToken, command, QString::fromLatin1(command)}}, true);
}

// A "+" to the token command: the first asks for the token, a second one is
// the server's reason for refusing it, which the client must answer before
// the server says -ERR (RFC 7628: a line holding "AQ==", a lone 0x01; XOAUTH2
// takes an empty line).
bool TPOP::answerTokenChallenge(const Command& command, const Pop3Reply& reply) {
    if (reply.kind != Pop3Reply::Continue || command.kind != Cmd::AuthToken || tokenRefusal_)
        return false;
    if (!continuationAnswered_) {
        continuationAnswered_ = true;
        trace(QStringLiteral("C: ****"));
        socket_->write(authResponse_ + "\r\n");
        authResponse_.fill('\0');
        authResponse_.clear();
    } else {
        tokenRefusal_ = reply.text.trimmed().isEmpty() ? QStringLiteral("no reason given")
                                                       : describeTokenChallenge(reply.text);
        const QByteArray answer = method_ == LoginMethod::OAuthBearer ? "AQ==" : "";
        trace(QStringLiteral("C: ") + QString::fromLatin1(answer));
        socket_->write(answer + "\r\n");
    }
    armTimer(timeouts_.replyMs, phase_);
    return true;
}

void TPOP::RefreshMessageCount() {
    if (phase_ != Phase::LoggedIn)
        throw EPOPError(QStringLiteral("RefreshMessageCount: not logged in, or busy"));
    phase_ = Phase::Counting;
    send({{Cmd::Stat, "STAT", QStringLiteral("STAT")}}, true);
}

void TPOP::Quit() {
    if (state_ == popClosed || state_ == popDisconnecting)
        return;
    if (socket_ && (phase_ == Phase::AwaitLogin || phase_ == Phase::LoggedIn) &&
        awaiting_.empty()) {
        phase_ = Phase::Quitting;
        setState(popDisconnecting);
        unsent_.clear();
        send({{Cmd::Quit, "QUIT", QStringLiteral("QUIT")}}, true);
        armTimer(timeouts_.quitMs, Phase::Quitting);
        return;
    }
    closeNow();
}

// ---- events ----------------------------------------------------------------

void TPOP::post(Event event) {
    events_.push_back(std::move(event));
    scheduleDelivery();
}

void TPOP::scheduleDelivery() {
    if (deliveryScheduled_)
        return;
    deliveryScheduled_ = true;
    QMetaObject::invokeMethod(
        this, [this] { deliverOne(); }, Qt::QueuedConnection);
}

// One event per turn of the event loop, like window messages: a handler that
// opens a modal window still lets the following events through, in order.
// Nothing of this object is touched after a handler returns unless it is
// known to be alive.
void TPOP::deliverOne() {
    deliveryScheduled_ = false;
    if (events_.empty())
        return;
    Event e = std::move(events_.front());
    events_.pop_front();
    if (!events_.empty())
        scheduleDelivery();

    switch (e.kind) {
    case Event::StateChange:
        if (auto handler = OnStateChanged)
            handler(std::int16_t(e.value));
        return;
    case Event::ProtocolChange:
        // A login asked for on a connection that has ended meanwhile (the
        // program quit it) would only be refused.
        if (e.value == popAwaitingLogin &&
            (e.generation != generation_ || phase_ != Phase::AwaitLogin))
            return;
        if (auto handler = OnProtocolStateChanged)
            handler(std::int16_t(e.value));
        return;
    case Event::Count:
        if (auto handler = OnRefreshMessageCount)
            handler(e.value);
        return;
    case Event::Error: {
        errors_.Clear();
        for (const QString& detail : e.details)
            errors_.Add(detail);
        QPointer<TPOP> self(this);
        bool cancelDisplay = false;
        QString description = e.description;
        if (auto handler = OnError)
            handler(std::int16_t(e.value), description,
                    static_cast<std::int32_t>(0x800A0000u | unsigned(e.value)),
                    QStringLiteral("TPOP"), QString(), 0, cancelDisplay);
        if (!self)
            return;
        if (!cancelDisplay)
            qWarning("POP error %d: %s %s", int(e.value), qUtf8Printable(description),
                     qUtf8Printable(e.details.join(QLatin1Char(' '))));
        // A caller that did not end the connection in its handler still gets
        // state 6.
        if (e.generation == generation_ && phase_ == Phase::Failed)
            closeNow();
        return;
    }
    }
}

void TPOP::setState(std::int16_t state) {
    state_ = state;
    trace(QStringLiteral("state %1").arg(state));
    post({Event::StateChange, state, {}, {}, generation_});
}

void TPOP::setProtocolState(std::int16_t state) {
    protocolState_ = state;
    trace(QStringLiteral("protocol state %1").arg(state));
    post({Event::ProtocolChange, state, {}, {}, generation_});
}

void TPOP::trace(const QString& line) {
    if (auto handler = OnTrace)
        handler(line);
}

// ---- connection ------------------------------------------------------------

void TPOP::startLookup() {
    phase_ = Phase::Lookup;
    setState(popResolvingHost);
    armTimer(timeouts_.lookupMs, Phase::Lookup);
    proxy_ = mailProxyFor(address_.host, address_.implicitTls);
    if (!proxy_.error.isEmpty()) {
        fail(popErrUnreachable, {proxy_.error});
        return;
    }
    if (proxy_.kind == MailProxy::Kind::None) {
        resolve(address_.host,
                [this](const auto& found, const QString& error) { lookedUp(found, error); });
        return;
    }
    trace(QStringLiteral("through the proxy named in %1").arg(proxy_.variable));
    resolve(proxy_.host,
            [this](const auto& found, const QString& error) { proxyLookedUp(found, error); });
}

// An address literal needs no lookup; the answer still comes from its own
// turn of the event loop, as every lookup's does.
void TPOP::resolve(const QString& host, HostResolver::Done done) {
    QHostAddress literal;
    if (literal.setAddress(host)) {
        const quint64 generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation, literal, done = std::move(done)] {
                if (generation == generation_ && phase_ == Phase::Lookup)
                    done({literal}, {});
            },
            Qt::QueuedConnection);
        return;
    }
    resolver_.lookup(host, std::move(done));
}

void TPOP::proxyLookedUp(const QList<QHostAddress>& addresses, const QString& error) {
    if (addresses.isEmpty()) {
        fail(popErrUnreachable,
             {QStringLiteral("the proxy's name lookup failed: %1")
                  .arg(error.isEmpty() ? QStringLiteral("no address found") : error)});
        return;
    }
    proxyAddress_ = addresses.first();
    if (proxy_.resolvesName()) {
        lookedUp({}, {});
        return;
    }
    resolve(address_.host,
            [this](const auto& found, const QString& error) { lookedUp(found, error); });
}

void TPOP::lookedUp(const QList<QHostAddress>& addresses, const QString& error) {
    timer_.stop();
    // Texts never name the server as typed: the field may hold what was
    // meant for another one, a password put in the wrong place.
    if (addresses.isEmpty() && !proxy_.resolvesName()) {
        fail(popErrUnreachable,
             {QStringLiteral("the server's name lookup failed: %1")
                  .arg(error.isEmpty() ? QStringLiteral("no address found") : error)});
        return;
    }
    setState(popHostResolved);
    addresses_ = addresses;
    nextAddress_ = 0;
    connectNext();
}

// The address being tried, or the proxy when it resolves the name.
QString TPOP::currentTarget() const {
    if (proxy_.resolvesName())
        return QStringLiteral("proxy %1 port %2").arg(proxyAddress_.toString()).arg(proxy_.port);
    QString target = QStringLiteral("%1 port %2")
                         .arg(addresses_.value(nextAddress_ - 1).toString())
                         .arg(address_.port);
    if (proxy_.kind != MailProxy::Kind::None)
        target += QStringLiteral(" through proxy %1 port %2")
                      .arg(proxyAddress_.toString())
                      .arg(proxy_.port);
    return target;
}

void TPOP::connectNext() {
    dropSocket();
    const bool byName = proxy_.resolvesName();
    if (byName ? nextAddress_ > 0 : nextAddress_ >= addresses_.size()) {
        fail(popErrUnreachable, connectErrors_);
        return;
    }
    ++nextAddress_;
    phase_ = Phase::Connecting;
    QSslSocket* socket = makeSocket();
    armTimer(timeouts_.connectMs, Phase::Connecting);
    trace(QStringLiteral("connecting to %1").arg(currentTarget()));
    if (byName)
        socket->connectToHost(address_.host, address_.port);
    else
        socket->connectToHost(addresses_[nextAddress_ - 1], address_.port);
}

QSslSocket* TPOP::makeSocket() {
    auto* socket = new QSslSocket(this); // a child: dropSocket or the destructor frees it
    socket->setReadBufferSize(64 * 1024);
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    const QString caFile = caFileSet_ ? caFile_ : qEnvironmentVariable("PINGBOX_CA_FILE");
    if (!caFile.isEmpty() && !conf.addCaCertificates(caFile))
        trace(QStringLiteral("no certificates read from %1").arg(caFile));
    socket->setSslConfiguration(conf);
    socket->setPeerVerifyName(address_.host);
    // Set always, so that Qt's own choice (from http_proxy) never applies.
    if (proxy_.kind == MailProxy::Kind::None) {
        socket->setProxy(QNetworkProxy::NoProxy);
    } else {
        QNetworkProxy proxy(proxy_.kind == MailProxy::Kind::HttpConnect
                                ? QNetworkProxy::HttpProxy
                                : QNetworkProxy::Socks5Proxy,
                            proxyAddress_.toString(), proxy_.port, proxy_.user, proxy_.password);
        proxy.setCapabilities(proxy.capabilities().setFlag(QNetworkProxy::HostNameLookupCapability,
                                                           proxy_.resolvesName()));
        socket->setProxy(proxy);
    }

    const quint64 generation = generation_;
    auto guarded = [this, generation, socket](void (TPOP::*member)()) {
        return [this, generation, socket, member] {
            if (generation == generation_ && socket == socket_)
                (this->*member)();
        };
    };
    connect(socket, &QAbstractSocket::connected, this, guarded(&TPOP::socketConnected));
    connect(socket, &QAbstractSocket::errorOccurred, this, guarded(&TPOP::socketError));
    connect(socket, &QAbstractSocket::disconnected, this, guarded(&TPOP::socketError));
    connect(socket, &QIODevice::readyRead, this, guarded(&TPOP::readSocket));
    connect(socket, &QSslSocket::encrypted, this, guarded(&TPOP::socketEncrypted));
    connect(socket, &QSslSocket::sslErrors, this,
            [this, generation, socket](const QList<QSslError>& errors) {
                if (generation != generation_ || socket != socket_)
                    return;
                for (const QSslError& error : errors)
                    tlsErrors_ << error.errorString();
            });
    socket_ = socket;
    return socket;
}

void TPOP::socketConnected() {
    timer_.stop();
    connectErrors_.clear();
    trace(QStringLiteral("connected"));
    setState(popConnected);
    if (address_.implicitTls) {
        startTls();
        return;
    }
    phase_ = Phase::Greeting;
    armTimer(timeouts_.replyMs, Phase::Greeting);
}

void TPOP::socketError() {
    QSslSocket* socket = socket_;
    if (!socket)
        return;
    // What the server said before it went away counts first.
    if (socket->bytesAvailable() > 0 && phase_ != Phase::Handshake) {
        readSocket();
        if (socket_ != socket)
            return;
    }
    const QString text = socket->errorString();
    switch (phase_) {
    case Phase::Connecting:
        connectErrors_ << QStringLiteral("%1: %2").arg(currentTarget(), text);
        connectNext();
        return;
    case Phase::Handshake:
        if (!tlsErrors_.isEmpty())
            fail(popErrTlsCertificate, tlsErrors_);
        else
            fail(popErrTlsHandshake, {text});
        return;
    case Phase::Quitting:
        finishClose();
        return;
    default:
        fail(popErrSessionEnded, {text});
        return;
    }
}

void TPOP::startTls() {
    if (!QSslSocket::supportsSsl()) {
        fail(popErrTlsUnavailable, {QSslSocket::sslLibraryBuildVersionString()});
        return;
    }
    phase_ = Phase::Handshake;
    tlsErrors_.clear();
    armTimer(timeouts_.tlsMs, Phase::Handshake);
    socket_->startClientEncryption();
}

void TPOP::socketEncrypted() {
    timer_.stop();
    secured_ = true;
    const QSslCipher cipher = socket_->sessionCipher();
    trace(QStringLiteral("TLS established: %1 %2").arg(cipher.protocolString(), cipher.name()));
    if (address_.implicitTls) {
        phase_ = Phase::Greeting;
        armTimer(timeouts_.replyMs, Phase::Greeting);
        return;
    }
    // What the server said it could do before TLS no longer counts.
    capabilities_ = {};
    const auto& known = Pop3CapabilityCache::instance().entry(cacheKey_).secure;
    if (known) {
        capabilities_ = *known;
        readyForLogin();
        return;
    }
    phase_ = Phase::Dialogue;
    send({{Cmd::Capa, "CAPA", QStringLiteral("CAPA")}}, true);
}

void TPOP::readSocket() {
    QSslSocket* socket = socket_;
    while (socket_ == socket && socket->bytesAvailable() > 0) {
        reader_.append(socket->read(4096));
        for (;;) {
            if (socket_ != socket || phase_ == Phase::Handshake)
                return;
            QByteArray line;
            const auto result = reader_.next(line);
            if (result == Pop3LineReader::Result::NeedMore)
                break;
            if (result == Pop3LineReader::Result::TooLong) {
                fail(popErrLineTooLong, {QStringLiteral("a reply line of more than %1 octets")
                                             .arg(Pop3LineReader::maxLine)});
                return;
            }
            if (result == Pop3LineReader::Result::Nul) {
                fail(popErrProtocol, {QStringLiteral("a reply holds a NUL byte")});
                return;
            }
            handleLine(line);
        }
    }
}

// ---- dialogue --------------------------------------------------------------

void TPOP::handleLine(const QByteArray& line) {
    trace(QStringLiteral("S: ") + printableServerText(line));
    if (inCapaList_) {
        if (line == ".") {
            inCapaList_ = false;
            awaiting_.pop_front();
            capabilities_.listed = true;
            capabilitiesKnown();
        } else if (++capaLines_ > 200) {
            fail(popErrProtocol, {QStringLiteral("a capability list without end")});
        } else {
            capabilities_.addLine(line.startsWith('.') ? line.mid(1) : line);
        }
        return;
    }

    const Pop3Reply reply = parsePop3Reply(line);
    if (phase_ == Phase::Greeting) {
        timer_.stop();
        if (reply.kind == Pop3Reply::Ok) {
            apopStamp_ = apopTimestamp(reply.text);
            const auto& entry = Pop3CapabilityCache::instance().entry(cacheKey_);
            const auto& known = secured_ ? entry.secure : entry.plain;
            if (known) {
                capabilities_ = *known;
                trace(QStringLiteral("capabilities remembered from an earlier session"));
                capabilitiesKnown();
            } else {
                phase_ = Phase::Dialogue;
                send({{Cmd::Capa, "CAPA", QStringLiteral("CAPA")}}, true);
            }
        } else if (reply.kind == Pop3Reply::Err) {
            fail(transientCode(reply.code) ? popErrSessionEnded : popErrCommandRefused,
                 {printableServerText(line)});
        } else {
            fail(popErrProtocol, {QStringLiteral("greeting: ") + printableServerText(line)});
        }
        return;
    }

    if (awaiting_.empty()) {
        fail(popErrProtocol, {QStringLiteral("unasked for: ") + printableServerText(line)});
        return;
    }
    const Command command = awaiting_.front();
    if (reply.kind == Pop3Reply::Continue && command.kind == Cmd::AuthPlain &&
        !continuationAnswered_) {
        // The server wants the credentials on a line of their own.
        continuationAnswered_ = true;
        trace(QStringLiteral("C: ****"));
        socket_->write(authResponse_ + "\r\n");
        armTimer(timeouts_.replyMs, phase_);
        return;
    }
    if (answerTokenChallenge(command, reply))
        return;
    if (reply.kind == Pop3Reply::Invalid || reply.kind == Pop3Reply::Continue) {
        fail(popErrProtocol,
             {QStringLiteral("reply to %1: %2")
                  .arg(QLatin1String(commandName(int(command.kind))), printableServerText(line))});
        return;
    }
    if (command.kind == Cmd::Capa && reply.kind == Pop3Reply::Ok) {
        inCapaList_ = true;
        capaLines_ = 0;
        capabilities_ = {};
        return;
    }
    awaiting_.pop_front();
    handleReply(command, reply);
    if (!socket_ || phase_ == Phase::Failed || phase_ == Phase::Handshake || phase_ == Phase::Idle)
        return;
    if (!awaiting_.empty())
        armTimer(phase_ == Phase::Quitting ? timeouts_.quitMs : timeouts_.replyMs, phase_);
    else if (!unsent_.empty())
        sendNext();
    else if (phase_ != Phase::Quitting)
        timer_.stop();
}

void TPOP::handleReply(const Command& command, const Pop3Reply& reply) {
    const bool ok = reply.kind == Pop3Reply::Ok;
    switch (command.kind) {
    case Cmd::Capa: // a server without CAPA
        capabilities_ = {};
        capabilitiesKnown();
        return;
    case Cmd::Stls:
        if (!ok) {
            Pop3CapabilityCache::instance().forget(cacheKey_);
            fail(popErrTlsRefused, {printableServerText(reply.text)});
            return;
        }
        // Anything the server sent after its "+OK" came before the handshake
        // and would be taken as if it were protected by it.
        if (reader_.buffered() > 0 || socket_->bytesAvailable() > 0) {
            fail(popErrTlsInjection, {QStringLiteral("%1 bytes after the reply to STLS")
                                          .arg(reader_.buffered() + socket_->bytesAvailable())});
            return;
        }
        startTls();
        return;
    case Cmd::User:
        if (!ok)
            loginRefused(reply);
        return;
    case Cmd::Pass:
    case Cmd::AuthPlain:
    case Cmd::Apop:
    case Cmd::AuthToken:
        if (!ok) {
            loginRefused(reply);
            return;
        }
        if (tokenRefusal_) {
            fail(popErrProtocol,
                 {QStringLiteral("+OK after refusing the token: ") + *tokenRefusal_});
            return;
        }
        loggedIn();
        return;
    case Cmd::Stat: {
        if (!ok) {
            fail(transientCode(reply.code) ? popErrSessionEnded : popErrCommandRefused,
                 {QStringLiteral("STAT: ") + printableServerText(reply.text)});
            return;
        }
        const auto count = parseStatCount(reply.text);
        if (!count) {
            fail(popErrProtocol,
                 {QStringLiteral("reply to STAT: +OK ") + printableServerText(reply.text)});
            return;
        }
        counted(*count);
        return;
    }
    case Cmd::Quit:
        finishClose();
        return;
    }
}

void TPOP::capabilitiesKnown() {
    auto& cache = Pop3CapabilityCache::instance();
    auto& entry = cache.entry(cacheKey_);
    (secured_ ? entry.secure : entry.plain) = capabilities_;
    if (!secured_) {
        if (capabilities_.has("STLS")) {
            cache.markSecured(cacheKey_);
            phase_ = Phase::Dialogue;
            send({{Cmd::Stls, "STLS", QStringLiteral("STLS")}}, true);
            return;
        }
        if (cache.wasSecured(cacheKey_)) {
            cache.forget(cacheKey_);
            fail(popErrTlsRefused, {QStringLiteral("STLS is no longer offered")});
            return;
        }
        if (sendsToken(method_)) {
            fail(popErrTokenNeedsTls,
                 {capabilities_.listed
                      ? QStringLiteral("the server offers: %1").arg(capabilities_.summary())
                      : QStringLiteral("the server does not answer CAPA")});
            return;
        }
        if (!loginMayGoPlain()) {
            fail(popErrTlsNotOffered,
                 {capabilities_.listed
                      ? QStringLiteral("the server offers: %1").arg(capabilities_.summary())
                      : QStringLiteral("the server does not answer CAPA")});
            return;
        }
    }
    readyForLogin();
}

bool TPOP::loginMayGoPlain() const {
    if (address_.plainAllowed)
        return true;
    if (!plainOnLoopback_ || !socket_)
        return false;
    // Through a proxy the socket's peer is the proxy, which may well be on
    // this computer while the server is not; where the proxy looks the name
    // up, the server's address is never known here.
    if (proxy_.kind == MailProxy::Kind::None)
        return socket_->peerAddress().isLoopback();
    return !proxy_.resolvesName() && addresses_.value(nextAddress_ - 1).isLoopback();
}

void TPOP::readyForLogin() {
    // A server that lists its capabilities without a login Authenticate can
    // use gets nothing at all.
    QString missing;
    if (!methodOffered(missing)) {
        if (method_ != LoginMethod::Auto)
            missing = QStringLiteral("Auth=%1 asks for %2; the server offers: %3")
                          .arg(loginMethodName(method_), missing, capabilities_.summary());
        fail(popErrNoLoginMethod, {missing});
        return;
    }
    phase_ = Phase::AwaitLogin;
    timer_.stop();
    setProtocolState(popAwaitingLogin);
}

void TPOP::loggedIn() {
    authResponse_.fill('\0');
    authResponse_.clear();
    phase_ = Phase::Counting;
    setProtocolState(popLoggedIn);
    const Command stat{Cmd::Stat, "STAT", QStringLiteral("STAT")};
    if (quitAfterCount_ && capabilities_.has("PIPELINING"))
        send({stat, {Cmd::Quit, "QUIT", QStringLiteral("QUIT")}}, true);
    else
        send({stat}, true);
}

void TPOP::counted(std::int32_t count) {
    deadline_.stop();
    post({Event::Count, count, {}, {}, generation_});
    if (!quitAfterCount_) {
        phase_ = Phase::LoggedIn;
        return;
    }
    phase_ = Phase::Quitting;
    setState(popDisconnecting);
    if (awaiting_.empty() || awaiting_.back().kind != Cmd::Quit)
        send({{Cmd::Quit, "QUIT", QStringLiteral("QUIT")}}, true);
    armTimer(timeouts_.quitMs, Phase::Quitting);
}

void TPOP::deadlinePassed() {
    switch (phase_) {
    case Phase::Idle:
    case Phase::LoggedIn:
    case Phase::Quitting:
    case Phase::Failed:
        return;
    default:
        fail(popErrNoAnswer, {QStringLiteral("the check took longer than %1 s in all")
                                  .arg(deadline_.interval() / 1000.0)});
        return;
    }
}

void TPOP::loginRefused(const Pop3Reply& reply) {
    QString text = printableServerText(reply.text);
    if (tokenRefusal_)
        text += QStringLiteral(" (the server's reason: %1)").arg(*tokenRefusal_);
    if (transientCode(reply.code)) {
        fail(popErrSessionEnded, {text});
    } else if (reply.code == "SYS/PERM") {
        fail(popErrCommandRefused, {text});
    } else {
        const QString hint = passwordLoginsOffHint(text);
        fail(popErrLoginRefused, {hint.isEmpty() ? text : text + QStringLiteral(" - ") + hint});
    }
}

void TPOP::send(std::initializer_list<Command> commands, bool together) {
    if (!together) {
        unsent_.insert(unsent_.end(), commands.begin(), commands.end());
        if (awaiting_.empty())
            sendNext();
        return;
    }
    QByteArray bytes;
    for (const Command& command : commands) {
        trace(QStringLiteral("C: ") + command.shown);
        bytes += command.line + "\r\n";
        awaiting_.push_back(command);
    }
    socket_->write(bytes);
    armTimer(timeouts_.replyMs, phase_);
}

void TPOP::sendNext() {
    Command command = unsent_.front();
    unsent_.pop_front();
    trace(QStringLiteral("C: ") + command.shown);
    socket_->write(command.line + "\r\n");
    awaiting_.push_back(std::move(command));
    armTimer(timeouts_.replyMs, phase_);
}

void TPOP::armTimer(int ms, Phase phase) {
    timerPhase_ = phase;
    timer_.start(ms);
}

void TPOP::timedOut() {
    if (timerPhase_ != phase_)
        return;
    switch (phase_) {
    case Phase::Lookup:
        resolver_.cancel();
        fail(popErrUnreachable, {QStringLiteral("the name lookup timed out")});
        return;
    case Phase::Connecting:
        connectErrors_ << QStringLiteral("%1: the connection timed out").arg(currentTarget());
        connectNext();
        return;
    case Phase::Handshake:
        fail(popErrNoAnswer, {QStringLiteral("no answer during the TLS handshake")});
        return;
    case Phase::Quitting:
        finishClose();
        return;
    case Phase::Greeting:
        fail(popErrNoAnswer,
             {QStringLiteral("no greeting within %1 s").arg(timer_.interval() / 1000.0)});
        return;
    default:
        fail(popErrNoAnswer,
             {QStringLiteral("no reply to %1 within %2 s")
                  .arg(QLatin1String(awaiting_.empty() ? "?"
                                                       : commandName(int(awaiting_.front().kind))))
                  .arg(timer_.interval() / 1000.0)});
        return;
    }
}

// ---- endings ---------------------------------------------------------------

void TPOP::fail(int number, QStringList details) {
    if (phase_ == Phase::Failed || phase_ == Phase::Idle)
        return;
    if (phase_ == Phase::Quitting) {
        finishClose();
        return;
    }
    timer_.stop();
    deadline_.stop();
    resolver_.cancel();
    dropSocket();
    // What this connection reported and the program has not yet seen no
    // longer holds: a handler must not act on a session that is gone.
    const quint64 generation = generation_;
    std::erase_if(events_, [generation](const Event& e) {
        return e.generation == generation &&
               (e.kind == Event::ProtocolChange || e.kind == Event::Count);
    });
    awaiting_.clear();
    unsent_.clear();
    reader_.clear();
    inCapaList_ = false;
    phase_ = Phase::Failed;
    if (number == popErrProtocol || number == popErrLineTooLong || number == popErrCommandRefused)
        Pop3CapabilityCache::instance().forget(cacheKey_);
    trace(QStringLiteral("error %1: %2").arg(number).arg(details.join(QStringLiteral("; "))));
    post({Event::Error, number, popErrorDescription(number), std::move(details), generation_});
}

void TPOP::closeNow() {
    timer_.stop();
    resolver_.cancel();
    dropSocket();
    if (state_ != popDisconnecting)
        setState(popDisconnecting);
    finishClose();
}

void TPOP::finishClose() {
    timer_.stop();
    deadline_.stop();
    if (QSslSocket* socket = socket_) {
        // Let the goodbye (and TLS close notice) go out before the socket goes.
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket_ = nullptr;
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
        } else {
            connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(timeouts_.quitMs, socket, [socket] { socket->abort(); });
        }
    }
    resetSession();
    setState(popClosed);
}

void TPOP::dropSocket() {
    if (QSslSocket* socket = socket_) {
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket_ = nullptr;
        socket->abort();
        socket->deleteLater();
    }
}

void TPOP::resetSession() {
    phase_ = Phase::Idle;
    proxy_ = {};
    proxyAddress_.clear();
    protocolState_ = 0;
    addresses_.clear();
    nextAddress_ = 0;
    connectErrors_.clear();
    secured_ = false;
    tlsErrors_.clear();
    reader_.clear();
    awaiting_.clear();
    unsent_.clear();
    inCapaList_ = false;
    capaLines_ = 0;
    capabilities_ = {};
    apopStamp_.clear();
    continuationAnswered_ = false;
    authResponse_.fill('\0');
    authResponse_.clear();
    tokenRefusal_.reset();
}
