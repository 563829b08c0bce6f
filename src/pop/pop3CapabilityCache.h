#pragma once

#include "pop3Protocol.h"

#include <QtCore/QString>

#include <optional>

// What each server said it can do, kept for the life of the process so that a
// repeat check skips the CAPA round trip. Capabilities seen before STLS and
// after it are kept apart, since a server may offer more once secured.
struct Pop3CachedServer {
    std::optional<Pop3Capabilities> plain;  // on the unsecured connection
    std::optional<Pop3Capabilities> secure; // after TLS, either way
};

class Pop3CapabilityCache {
public:
    static Pop3CapabilityCache& instance();

    static QString keyOf(const QString& host, int port, bool implicitTls);

    Pop3CachedServer& entry(const QString& key) { return servers_[key]; }
    // Forget what a server said (it misbehaved); its STLS promise stays.
    void forget(const QString& key) { servers_.remove(key); }
    // Once a server has offered STLS, it must go on offering it: a later plain
    // session without it may be an attacker stripping the offer.
    void markSecured(const QString& key) { secured_.insert(key); }
    bool wasSecured(const QString& key) const { return secured_.contains(key); }
    void clear();

private:
    QHash<QString, Pop3CachedServer> servers_;
    QSet<QString> secured_;
};
