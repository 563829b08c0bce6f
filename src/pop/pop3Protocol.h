#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QSet>

#include <cstdint>
#include <optional>

// Splits the server's byte stream into reply lines. A line ends in LF (a CR
// before it is dropped). No line may exceed maxLine octets, and none may hold
// a NUL: a server that sends either is broken or hostile, and the caller ends
// the session.
class Pop3LineReader {
public:
    // Twice the 512 octets the POP3 extensions allow a reply line.
    static constexpr qsizetype maxLine = 1024;

    enum class Result { Line, NeedMore, TooLong, Nul };

    void append(const QByteArray& bytes) { buffer_.append(bytes); }
    Result next(QByteArray& line);
    qsizetype buffered() const { return buffer_.size(); }
    void clear() { buffer_.clear(); }

private:
    QByteArray buffer_;
};

// One status line as the server sent it. Only "+OK" and "-ERR", alone or
// followed by a blank, are status indicators; "+" alone or followed by a blank
// is a SASL continuation; anything else is invalid.
struct Pop3Reply {
    enum Kind { Ok, Err, Continue, Invalid };
    Kind kind = Invalid;
    QByteArray text; // after the indicator and its blank
    QByteArray code; // the response code in [ ], upper case, when there is one
};

Pop3Reply parsePop3Reply(const QByteArray& line);

// The message count of a STAT reply's text ("nn mm"), or nothing when the
// text does not start with a count that fits a signed 32-bit number.
std::optional<std::int32_t> parseStatCount(const QByteArray& text);

// What a server says it can do, from the lines of its CAPA reply.
struct Pop3Capabilities {
    QSet<QByteArray> names; // upper case: "USER", "STLS", "PIPELINING", ...
    QSet<QByteArray> sasl;  // upper case mechanism names
    bool listed = false;    // the server answered CAPA; else nothing is known

    bool has(const char* name) const { return names.contains(QByteArray(name)); }
    void addLine(const QByteArray& line);
    // What the list offers, for an error text.
    QString summary() const;
};

// The APOP time stamp "<...>" of a greeting's text, or empty.
QByteArray apopTimestamp(const QByteArray& greeting);

// A server text fit to show: control bytes dropped, invalid UTF-8 replaced,
// cut to a length a message box can hold.
QString printableServerText(const QByteArray& text);
