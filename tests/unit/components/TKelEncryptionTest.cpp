#include "settings/TKelEncryption.h"
#include "FixedRandom.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

namespace {

QString scramble(const QString& clear, const QString& key, std::uint32_t seed) {
    FixedRandom random{seed};
    TKelEncryption kel(random);
    kel.SetInput(clear);
    kel.SetKey(key);
    kel.SetAction(TActionType::atEncryption);
    kel.Apply();
    return kel.Output();
}

QString unscramble(const QString& text, const QString& key) {
    FixedRandom random;
    TKelEncryption kel(random);
    kel.SetInput(text);
    kel.SetKey(key);
    kel.SetAction(TActionType::atDecryption);
    kel.Apply();
    return kel.Output();
}

} // namespace

// Vectors worked out by hand from the running sum: v = ((t + r) mod 255) xor k.
struct KnownAnswer {
    const char* clear;
    const char* key;
    std::uint32_t seed;
    const char* scrambled;
};

class KnownAnswers : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswers, ScrambleAndUnscramble) {
    const KnownAnswer& v = GetParam();
    EXPECT_EQ(scramble(QString::fromLatin1(v.clear), QString::fromLatin1(v.key), v.seed),
              QString::fromLatin1(v.scrambled));
    EXPECT_EQ(unscramble(QString::fromLatin1(v.scrambled), QString::fromLatin1(v.key)),
              QString::fromLatin1(v.clear));
}

INSTANTIATE_TEST_SUITE_P(
    TKelEncryption, KnownAnswers,
    ::testing::Values(KnownAnswer{"a", "kestrel", 0x5A, "5AD0"},
                      // the running value is the previous scrambled byte; 97+90=187, 98+208=306
                      KnownAnswer{"ab", "kestrel", 0x5A, "5AD056"},
                      // an empty key means "Rix Dal": 97 xor 'R' = 0x33
                      KnownAnswer{"a", "", 0, "0033"},
                      // the key cycles back to its first byte on the third character
                      KnownAnswer{"\x01\x01\x01", "AB", 0, "00400345"}));

TEST(TKelEncryption, OutputIsUppercaseHexTwoPlusTwoPerByteAndRoundTrips) {
    FixedRandom random{200, 13};
    TKelEncryption kel(random);
    const QString password = QStringLiteral("p@ss wörd~");
    kel.SetInput(password);
    kel.SetKey(QStringLiteral("kestrel"));
    kel.Apply();
    const QString first = kel.Output();
    EXPECT_EQ(first.size(), 2 + 2 * password.toUtf8().size());
    EXPECT_EQ(first, first.toUpper());
    kel.Apply();
    EXPECT_NE(kel.Output(), first); // a fresh seed every time
    for (const QString& s : {first, kel.Output()}) {
        EXPECT_EQ(unscramble(s, QStringLiteral("kestrel")), password);
        EXPECT_EQ(unscramble(s.toLower(), QStringLiteral("kestrel")), password);
    }
}

TEST(TKelEncryption, EveryByteFrom1To254SurvivesEverySeed) {
    QByteArray all;
    for (int c = 1; c <= 254; ++c)
        all += char(c);
    for (unsigned seed = 0; seed < 256; seed += 17) {
        const QString s = TKelEncryption::Scramble(all, "key", seed);
        EXPECT_EQ(TKelEncryption::Unscramble(s, "key"), all) << seed;
    }
}

TEST(TKelEncryption, ModulusIs255Not256) {
    // byte 255 with running value 1: (255 + 1) mod 255 = 1, xor 1 = 0
    EXPECT_EQ(TKelEncryption::Scramble(QByteArray(1, '\xFF'), "\x01", 1), QStringLiteral("0100"));
    EXPECT_EQ(TKelEncryption::Unscramble(QStringLiteral("0100"), "\x01"), QByteArray(1, '\xFF'));
}

TEST(TKelEncryption, ZeroByteComesBackAs255) {
    const QString s = TKelEncryption::Scramble(QByteArray(1, '\0'), "k", 7);
    EXPECT_EQ(TKelEncryption::Unscramble(s, "k"), QByteArray(1, '\xFF'));
}

TEST(TKelEncryption, ShortOddAndForeignKeyInputs) {
    EXPECT_EQ(unscramble(QStringLiteral("A"), {}), QString());
    EXPECT_EQ(unscramble(QStringLiteral("5A0"), {}), QString());
    EXPECT_EQ(unscramble(QStringLiteral("5AD0F"), QStringLiteral("kestrel")), QStringLiteral("a"));
    // Another key gives a text of the same length, without an error.
    EXPECT_EQ(TKelEncryption::Unscramble(QStringLiteral("5AD056"), "other").size(), 2);
    EXPECT_EQ(scramble({}, {}, 5), QString());
}

TEST(TKelEncryption, NonHexPairRaisesAndKeepsOutput) {
    FixedRandom random;
    TKelEncryption kel(random);
    kel.SetOutput(QStringLiteral("before"));
    kel.SetAction(TActionType::atDecryption);
    for (const char* bad : {"5AZZ", "G0", "5A-1", "5A 1", "0x"}) {
        kel.SetInput(QString::fromLatin1(bad));
        EXPECT_THROW(kel.Apply(), EConvertError) << bad;
        EXPECT_EQ(kel.Output(), QStringLiteral("before"));
    }
}
