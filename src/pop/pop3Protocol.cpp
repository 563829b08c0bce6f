#include "pop3Protocol.h"

#include <QtCore/QString>

#include <algorithm>
#include <limits>

Pop3LineReader::Result Pop3LineReader::next(QByteArray& line) {
    const qsizetype end = buffer_.indexOf('\n');
    const qsizetype scanned = end < 0 ? buffer_.size() : end;
    if (buffer_.left(scanned).contains('\0'))
        return Result::Nul;
    if (scanned > maxLine)
        return Result::TooLong;
    if (end < 0)
        return Result::NeedMore;
    line = buffer_.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    buffer_.remove(0, end + 1);
    return Result::Line;
}

Pop3Reply parsePop3Reply(const QByteArray& line) {
    Pop3Reply reply;
    auto indicator = [&](const char* word) {
        const QByteArray w(word);
        return line == w || line.startsWith(w + ' ');
    };
    if (indicator("+OK")) {
        reply.kind = Pop3Reply::Ok;
        reply.text = line.mid(4);
    } else if (indicator("-ERR")) {
        reply.kind = Pop3Reply::Err;
        reply.text = line.mid(5);
        if (reply.text.startsWith('[')) {
            const qsizetype close = reply.text.indexOf(']');
            if (close > 1)
                reply.code = reply.text.mid(1, close - 1).toUpper();
        }
    } else if (indicator("+")) {
        reply.kind = Pop3Reply::Continue;
        reply.text = line.mid(2);
    }
    return reply;
}

std::optional<std::int32_t> parseStatCount(const QByteArray& text) {
    qsizetype digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || (digits < text.size() && text[digits] != ' '))
        return std::nullopt;
    std::int64_t value = 0;
    for (qsizetype i = 0; i < digits; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return std::int32_t(value);
}

void Pop3Capabilities::addLine(const QByteArray& line) {
    const QList<QByteArray> words = line.simplified().toUpper().split(' ');
    if (words.isEmpty() || words.front().isEmpty())
        return;
    names.insert(words.front());
    if (words.front() == "SASL")
        for (qsizetype i = 1; i < words.size(); ++i)
            sasl.insert(words[i]);
}

QString Pop3Capabilities::summary() const {
    QList<QByteArray> all(names.begin(), names.end());
    std::sort(all.begin(), all.end());
    QList<QByteArray> mechanisms(sasl.begin(), sasl.end());
    std::sort(mechanisms.begin(), mechanisms.end());
    QByteArray text = all.join(' ');
    if (!mechanisms.isEmpty())
        text += " (SASL " + mechanisms.join(' ') + ')';
    return printableServerText(text.isEmpty() ? QByteArray("nothing") : text);
}

QByteArray apopTimestamp(const QByteArray& greeting) {
    const qsizetype open = greeting.indexOf('<');
    const qsizetype close = open < 0 ? -1 : greeting.indexOf('>', open);
    if (close < 0)
        return {};
    const QByteArray stamp = greeting.mid(open, close - open + 1);
    if (!stamp.contains('@'))
        return {};
    for (char c : stamp)
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f)
            return {};
    return stamp;
}

QString printableServerText(const QByteArray& text) {
    QString s = QString::fromUtf8(text);
    // Controls and the marks that reorder text on a terminal: a server must
    // not be able to make its words read as something else.
    s.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return c.category() == QChar::Other_Control || (u >= 0x202A && u <= 0x202E) ||
               (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F || u == 0x061C;
    });
    constexpr qsizetype limit = 200;
    if (s.size() > limit)
        s = s.left(limit) + QStringLiteral("...");
    return s.trimmed();
}
