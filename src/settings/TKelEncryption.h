#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

class RandomSource;

enum class TActionType { atEncryption, atDecryption };

// Turns a text into a printable scrambled form under a key, and back: a keyed
// running sum over the text's bytes (UTF-8) with a random seed. The stored
// password format depends on every detail of the arithmetic.
class TKelEncryption {
public:
    static inline const QByteArray DefaultKey = QByteArrayLiteral("Rix Dal");

    explicit TKelEncryption(RandomSource& random);

    const QString& Input() const { return input_; }
    void SetInput(const QString& value);
    const QString& Output() const { return output_; }
    void SetOutput(const QString& value);
    const QString& Key() const { return key_; }
    void SetKey(const QString& value);
    TActionType Action() const { return action_; }
    void SetAction(TActionType value) { action_ = value; }

    // Output becomes Input scrambled or unscrambled by Action. Unscrambling a
    // pair that is not hexadecimal raises EConvertError and leaves Output.
    void Apply();

    static QString Scramble(const QByteArray& clear, const QByteArray& key, unsigned seed);
    static QByteArray Unscramble(const QString& scrambled, const QByteArray& key);

private:
    RandomSource& random_;
    QString input_;
    QString output_;
    QString key_;
    TActionType action_ = TActionType::atEncryption;
};
