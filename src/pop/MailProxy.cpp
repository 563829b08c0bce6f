#include "MailProxy.h"

#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtNetwork/QHostAddress>

namespace {

QString firstSet(const EnvironmentLookup& environment, std::initializer_list<const char*> names,
                 QString& variable) {
    for (const char* name : names) {
        const QString value = environment(name).trimmed();
        if (!value.isEmpty()) {
            variable = QLatin1String(name);
            return value;
        }
    }
    return {};
}

QString withoutBrackets(QString host) {
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    return host;
}

} // namespace

bool bypassesProxy(const QString& host, const QString& noProxy) {
    const QString name = withoutBrackets(host).toLower();
    for (QString entry : noProxy.split(u',', Qt::SkipEmptyParts)) {
        entry = withoutBrackets(entry.trimmed().toLower());
        if (entry.isEmpty())
            continue;
        if (entry == QLatin1String("*"))
            return true;
        if (entry.endsWith(u'.'))
            entry.chop(1);
        if (entry.startsWith(u'.'))
            entry = entry.mid(1);
        if (name == entry || (QHostAddress(name).isNull() && name.endsWith(u'.' + entry)))
            return true;
    }
    return false;
}

MailProxy mailProxyFor(const QString& host, bool implicitTls,
                       const EnvironmentLookup& environment) {
    MailProxy proxy;
    QString ignored;
    if (bypassesProxy(host, firstSet(environment, {"no_proxy", "NO_PROXY"}, ignored)))
        return proxy;
    const QString value =
        implicitTls
            ? firstSet(environment, {"pop3s_proxy", "POP3S_PROXY", "all_proxy", "ALL_PROXY"},
                       proxy.variable)
            : firstSet(environment, {"pop3_proxy", "POP3_PROXY", "all_proxy", "ALL_PROXY"},
                       proxy.variable);
    if (value.isEmpty())
        return proxy;
    // A proxy without a scheme is an HTTP proxy, as curl takes it.
    const QUrl url(value.contains(QLatin1String("://")) ? value : QStringLiteral("http://") + value,
                   QUrl::StrictMode);
    // The texts name the variable, never its value: it may hold a password.
    auto refuse = [&](const QString& why) {
        proxy.kind = MailProxy::Kind::None;
        proxy.error = QStringLiteral("the proxy in %1 cannot be used: %2").arg(proxy.variable, why);
        return proxy;
    };
    if (!url.isValid() || url.host().isEmpty())
        return refuse(QStringLiteral("it is not a proxy address"));
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("socks5"))
        proxy.kind = MailProxy::Kind::Socks5;
    else if (scheme == QLatin1String("socks5h"))
        proxy.kind = MailProxy::Kind::Socks5Named;
    else if (scheme == QLatin1String("http"))
        proxy.kind = MailProxy::Kind::HttpConnect;
    else
        return refuse(QStringLiteral("only socks5://, socks5h:// and http:// proxies are "
                                     "supported, not %1://")
                          .arg(scheme.left(20)));
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return refuse(QStringLiteral("a proxy address has no path"));
    proxy.host = url.host();
    const int port = url.port(1080);
    if (port < 1 || port > 65535)
        return refuse(QStringLiteral("the port must be a number from 1 to 65535"));
    proxy.port = std::uint16_t(port);
    proxy.user = url.userName(QUrl::FullyDecoded);
    proxy.password = url.password(QUrl::FullyDecoded);
    return proxy;
}

MailProxy mailProxyFor(const QString& host, bool implicitTls) {
    return mailProxyFor(host, implicitTls,
                        [](const char* name) { return qEnvironmentVariable(name); });
}
