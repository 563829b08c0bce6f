#pragma once

#include <QtCore/QString>

#include <cstdint>

// Where a server field leads: "host", "host:port", "[v6addr]:port", a bare
// IPv6 address, "pop3://host[:port]", "pop3s://host[:port]" or
// "pop3+plain://host[:port]". pop3s and port 995 mean TLS from the first byte.
// Otherwise the login waits for STLS, except to a loopback address; only
// pop3+plain lets it go in plain text where STLS is not offered.
struct Pop3Address {
    QString host; // without brackets; an IDN is kept as typed
    std::uint16_t port = 0;
    bool implicitTls = false;
    bool plainAllowed = false; // the user accepts a readable login
    QString error;             // why the field cannot be used; empty when it can

    bool ok() const { return error.isEmpty(); }
};

inline constexpr std::uint16_t pop3sPort = 995;

Pop3Address parsePop3Address(const QString& field, std::uint16_t defaultPort);
