#include "TKelEncryption.h"

#include "platform/Errors.h"
#include "platform/RandomSource.h"

namespace {

// The key is used cyclically from its first byte, one byte per text byte.
class KeyCycle {
public:
    explicit KeyCycle(const QByteArray& key)
        : key_(key.isEmpty() ? TKelEncryption::DefaultKey : key) {}
    unsigned next() {
        position_ = position_ < key_.size() ? position_ + 1 : 1;
        return static_cast<unsigned char>(key_[position_ - 1]);
    }

private:
    QByteArray key_;
    qsizetype position_ = 0;
};

void appendHex(QString& out, unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    out += QLatin1Char(digits[(value >> 4) & 0xF]);
    out += QLatin1Char(digits[value & 0xF]);
}

unsigned hexPair(const QString& text, qsizetype at) {
    bool ok = false;
    const QString pair = text.mid(at, 2);
    const unsigned value = pair.toUInt(&ok, 16);
    // toUInt accepts signs, blanks and "0x"; a pair must be hex digits only (the
    // seed of a one-character text is a single digit).
    const auto isHex = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (!ok || pair.isEmpty() || !isHex(pair[0]) || (pair.size() > 1 && !isHex(pair[1])))
        throw EConvertError(QStringLiteral("'$%1' is not a valid integer value").arg(pair));
    return value;
}

} // namespace

TKelEncryption::TKelEncryption(RandomSource& random) : random_(random) {}

void TKelEncryption::SetInput(const QString& value) {
    if (value != input_)
        input_ = value;
}

void TKelEncryption::SetOutput(const QString& value) {
    if (value != output_)
        output_ = value;
}

void TKelEncryption::SetKey(const QString& value) {
    if (value != key_)
        key_ = value;
}

void TKelEncryption::Apply() {
    if (input_.isEmpty()) {
        output_.clear();
        return;
    }
    const QByteArray key = key_.toUtf8();
    if (action_ == TActionType::atEncryption)
        output_ = Scramble(input_.toUtf8(), key, random_.Random(256));
    else
        output_ = QString::fromUtf8(Unscramble(input_, key));
}

QString TKelEncryption::Scramble(const QByteArray& clear, const QByteArray& key, unsigned seed) {
    QString out;
    out.reserve(2 + 2 * clear.size());
    appendHex(out, seed);
    KeyCycle cycle(key);
    unsigned running = seed;
    for (char c : clear) {
        const unsigned v = ((static_cast<unsigned char>(c) + running) % 255) ^ cycle.next();
        appendHex(out, v);
        running = v;
    }
    return out;
}

QByteArray TKelEncryption::Unscramble(const QString& scrambled, const QByteArray& key) {
    unsigned running = hexPair(scrambled, 0);
    KeyCycle cycle(key);
    QByteArray clear;
    for (qsizetype at = 2; at + 2 <= scrambled.size(); at += 2) {
        const unsigned e = hexPair(scrambled, at);
        const unsigned f = e ^ cycle.next();
        const unsigned code = running < f ? f - running : f + 255 - running;
        clear += static_cast<char>(code & 0xFF);
        running = e;
    }
    return clear;
}
