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
        if (text.endsWith('\r'))
            text.chop(1);
        Line line{text, section, {}, {}};
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
            auto decoder = utf8Decoder();
            section = decoder(trimmed.mid(1, trimmed.size() - 2));
            if (decoder.hasError())
                broken("a section name that is not UTF-8");
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
            !sameName(QString::fromUtf8(line.ident), ident))
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
        auto decoder = utf8Decoder();
        QString text = decoder(raw);
        if (decoder.hasError())
            unreadable("it is not UTF-8 text");
        return text;
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
        if (!line.ident.isEmpty() && sameName(QString::fromUtf8(line.ident), ident)) {
            line.rawValue = escape(value);
            line.text = line.ident + '=' + line.rawValue;
            return;
        }
    }
    Line entry{identBytes + '=' + escape(value), section, identBytes, escape(value)};
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
        lines_.push_back(Line{{}, lines_.back().section, {}, {}});
    lines_.push_back(Line{'[' + section.toUtf8() + ']', section, {}, {}});
    lines_.push_back(entry);
}

QByteArray IniDocument::serialize() const {
    QByteArray out = bom_ ? QByteArray(utf8Bom) : QByteArray();
    for (const Line& line : lines_) {
        out += line.text;
        out += '\n';
    }
    return out;
}
