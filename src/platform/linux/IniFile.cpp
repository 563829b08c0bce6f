#include "IniFile.h"

#include "platform/Errors.h"

#include <QtCore/QList>
#include <QtCore/QStringDecoder>

namespace {

QByteArray escape(const QString& value) {
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            // A raw NUL would make the whole file unreadable.
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Qt drops a leading U+FEFF by default; inside a value it is text.
QStringDecoder utf8Decoder() {
    return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
}

// Windows-1252's characters for 0x80-0x9F; the five bytes it leaves
// undefined stand for the C1 controls of the same number, as on Windows.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Text written by the Windows version of the program is in the ANSI code
// page, where every byte is a character: bytes that are not UTF-8 are read
// as Windows-1252, and the next save writes them as UTF-8.
QString decodeText(const QByteArray& bytes) {
    auto decoder = utf8Decoder();
    QString text = decoder(bytes);
    if (!decoder.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

// What Windows editors put at the start of a UTF-8 file.
constexpr char utf8Bom[] = "\xEF\xBB\xBF";

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniDocument IniDocument::parse(const QByteArray& bytes, const QString& fileName) {
    IniDocument doc;
    doc.fileName_ = fileName;
    doc.bom_ = bytes.startsWith(utf8Bom);
    QString section;
    int number = 0;
    for (QByteArray text : bytes.mid(doc.bom_ ? 3 : 0).split('\n')) {
        ++number;
        const bool crlf = text.endsWith('\r');
        if (crlf)
            text.chop(1);
        if (number == 1)
            doc.crlf_ = crlf;
        Line line{text, section, {}, {}, crlf};
        const QByteArray trimmed = text.trimmed();
        auto broken = [&](const char* why) {
            throw ERegistryException(
                QStringLiteral("The settings file %1 is damaged at line %2 (%3); "
                               "it was left untouched.")
                    .arg(fileName)
                    .arg(number)
                    .arg(QLatin1String(why)));
        };
        // Earlier versions wrote a NUL in a value raw; it is read back as text.
        const qsizetype nul = text.indexOf('\0');
        if (nul >= 0 && !text.left(nul).contains('='))
            broken("a NUL byte");
        if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#')) {
            // blank or comment
        } else if (trimmed.startsWith('[')) {
            if (!trimmed.endsWith(']') || trimmed.size() < 3)
                broken("an unfinished section header");
            section = decodeText(trimmed.mid(1, trimmed.size() - 2));
            line.section = section;
        } else {
            const qsizetype eq = text.indexOf('=');
            if (eq <= 0)
                broken("a line that is neither a section, an ident=value pair nor a comment");
            if (section.isEmpty())
                broken("a value before the first section");
            line.ident = text.left(eq).trimmed();
            line.rawValue = text.mid(eq + 1);
        }
        doc.lines_.push_back(std::move(line));
    }
    // A file ending in a line break yields one empty line too many.
    if (!doc.lines_.empty() && doc.lines_.back().text.isEmpty())
        doc.lines_.pop_back();
    return doc;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& ident) const {
    const QByteArray wanted = ident.toUtf8();
    for (const Line& line : lines_) {
        if (line.ident.isEmpty() || !sameName(line.section, section) ||
            !sameName(decodeText(line.ident), ident))
            continue;
        auto unreadable = [&](const char* why) {
            throw ERegistryException(QStringLiteral("The setting %1/%2 in %3 cannot be read (%4).")
                                         .arg(section, ident, fileName_, QLatin1String(why)));
        };
        QByteArray raw;
        for (qsizetype i = 0; i < line.rawValue.size(); ++i) {
            const char c = line.rawValue[i];
            if (c != '\\') {
                raw += c;
                continue;
            }
            if (++i >= line.rawValue.size())
                unreadable("a lone backslash at its end");
            switch (line.rawValue[i]) {
            case '\\':
                raw += '\\';
                break;
            case 'n':
                raw += '\n';
                break;
            case 'r':
                raw += '\r';
                break;
            case '0':
                raw += '\0';
                break;
            default:
                unreadable("an unknown escape");
            }
        }
        return decodeText(raw);
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString& section, const QString& ident, const QString& value) {
    const QByteArray identBytes = ident.toUtf8();
    qsizetype lastOfSection = -1;
    for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
        Line& line = lines_[i];
        if (!sameName(line.section, section))
            continue;
        lastOfSection = i;
        if (!line.ident.isEmpty() && sameName(decodeText(line.ident), ident)) {
            line.rawValue = escape(value);
            line.text = line.ident + '=' + line.rawValue;
            return;
        }
    }
    Line entry{identBytes + '=' + escape(value), section, identBytes, escape(value), crlf_};
    if (lastOfSection >= 0) {
        // Keep the new ident with its section, before any trailing blank lines.
        while (lastOfSection > 0 && lines_[lastOfSection].text.trimmed().isEmpty() &&
               lines_[lastOfSection].ident.isEmpty() &&
               !lines_[lastOfSection].text.trimmed().startsWith('['))
            --lastOfSection;
        lines_.insert(lines_.begin() + lastOfSection + 1, entry);
        return;
    }
    if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty())
        lines_.push_back(Line{{}, lines_.back().section, {}, {}, crlf_});
    lines_.push_back(Line{'[' + section.toUtf8() + ']', section, {}, {}, crlf_});
    lines_.push_back(entry);
}

QByteArray IniDocument::serialize() const {
    QByteArray out = bom_ ? QByteArray(utf8Bom) : QByteArray();
    for (const Line& line : lines_) {
        out += line.text;
        out += line.crlf ? "\r\n" : "\n";
    }
    return out;
}
