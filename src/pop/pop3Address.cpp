#include "pop3Address.h"

#include <QtNetwork/QHostAddress>

namespace {

// The text never quotes the field: it may hold a password, typed there by
// mistake or as the user-info of a URL.
Pop3Address failed(const QString&, const char* why) {
    Pop3Address a;
    a.error = QStringLiteral("the server field does not name a server: %1").arg(QLatin1String(why));
    return a;
}

bool parsePort(const QString& text, std::uint16_t& port) {
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    const int value = text.toInt();
    if (value < 1 || value > 65535)
        return false;
    port = std::uint16_t(value);
    return true;
}

bool plausibleHostName(const QString& host) {
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (QChar c : host) {
        if (c.unicode() < 0x80) {
            if (!(c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_'))
                return false;
        } else if (!c.isLetterOrNumber() && !c.isMark()) {
            return false;
        }
    }
    return !host.startsWith(u'.') && !host.contains(QLatin1String(".."));
}

} // namespace

Pop3Address parsePop3Address(const QString& field, std::uint16_t defaultPort) {
    QString rest = field.trimmed();
    const QString shown = rest;
    Pop3Address a;
    a.port = defaultPort;

    const qsizetype scheme = rest.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        const QString name = rest.left(scheme).toLower();
        if (name == QLatin1String("pop3s")) {
            a.implicitTls = true;
            a.port = pop3sPort;
        } else if (name == QLatin1String("pop3+plain")) {
            a.plainAllowed = true;
        } else if (name != QLatin1String("pop3")) {
            return failed(shown, "only pop3://, pop3s:// and pop3+plain:// are understood");
        }
        rest = rest.mid(scheme + 3);
        if (rest.endsWith(u'/'))
            rest.chop(1);
    }
    if (rest.contains(u'@'))
        return failed(shown, "a user name or password belongs in its own field, not before an @");
    if (rest.contains(u'/'))
        return failed(shown, "a path is not allowed");

    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return failed(shown, "missing ]");
        a.host = rest.mid(1, close - 1);
        QHostAddress v6;
        if (!v6.setAddress(a.host) || v6.protocol() != QAbstractSocket::IPv6Protocol)
            return failed(shown, "not an IPv6 address between [ ]");
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':') || !parsePort(after.mid(1), a.port))
                return failed(shown, "the port must be a number from 1 to 65535");
        }
    } else if (rest.count(u':') > 1) {
        QHostAddress v6;
        if (!v6.setAddress(rest) || v6.protocol() != QAbstractSocket::IPv6Protocol)
            return failed(shown, "not an IPv6 address; write [address]:port");
        a.host = rest;
    } else {
        const qsizetype colon = rest.indexOf(u':');
        a.host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0) {
            if (!parsePort(rest.mid(colon + 1), a.port))
                return failed(shown, "the port must be a number from 1 to 65535");
        }
        if (!plausibleHostName(a.host))
            return failed(shown, a.host.isEmpty() ? "the name is empty" : "not a host name");
    }
    if (a.port == pop3sPort && !a.plainAllowed)
        a.implicitTls = true;
    return a;
}
