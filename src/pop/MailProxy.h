#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <functional>

// The proxy a POP3 connection goes through, named the way curl reads it for
// mail URLs: pop3s_proxy for TLS from the first byte, pop3_proxy otherwise,
// then all_proxy; each in lower case first, then in upper case. no_proxy (or
// NO_PROXY) lists the hosts that go direct. http_proxy is never read: it is
// meant for web traffic.
struct MailProxy {
    enum class Kind {
        None,
        Socks5,      // the name is resolved here, the proxy gets the address
        Socks5Named, // socks5h: the proxy resolves the name
        HttpConnect, // http: a CONNECT tunnel; the proxy resolves the name
    };
    Kind kind = Kind::None;
    QString host;
    std::uint16_t port = 1080;
    QString user;
    QString password;
    QString variable; // where it was named
    QString error;    // why the named proxy cannot be used; empty when it can

    bool resolvesName() const { return kind == Kind::Socks5Named || kind == Kind::HttpConnect; }
};

// The environment, one variable at a time; empty when unset.
using EnvironmentLookup = std::function<QString(const char* name)>;

MailProxy mailProxyFor(const QString& host, bool implicitTls, const EnvironmentLookup& environment);
// The same from this process's environment.
MailProxy mailProxyFor(const QString& host, bool implicitTls);

// Whether a no_proxy list (comma-separated names, ".domain" or "*") lets
// host go direct.
bool bypassesProxy(const QString& host, const QString& noProxy);
