// The pieces under TPOP: server fields, reply lines, counts, capabilities.
#include "pop/pop3Protocol.h"
#include "pop/pop3Address.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase {
    const char* field;
    const char* host; // nullptr: the field is refused
    int port;
    bool tls;
    bool plain = false;
};

class Pop3AddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Pop3AddressTest, Parses) {
    const auto& c = GetParam();
    const Pop3Address a = parsePop3Address(QString::fromUtf8(c.field), 110);
    if (!c.host) {
        EXPECT_FALSE(a.ok()) << c.field;
        return;
    }
    ASSERT_TRUE(a.ok()) << a.error.toStdString();
    EXPECT_EQ(a.host, QString::fromUtf8(c.host));
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.implicitTls, c.tls);
    EXPECT_EQ(a.plainAllowed, c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Pop3AddressTest,
    ::testing::Values(
        AddressCase{"mail.example.org", "mail.example.org", 110, false},
        AddressCase{"  mail.example.org  ", "mail.example.org", 110, false},
        AddressCase{"127.0.0.1:2110", "127.0.0.1", 2110, false},
        AddressCase{"mail.example.org:995", "mail.example.org", 995, true},
        AddressCase{"[::1]:1100", "::1", 1100, false}, AddressCase{"[::1]", "::1", 110, false},
        AddressCase{"::1", "::1", 110, false},
        AddressCase{"pop3s://mail.example.org", "mail.example.org", 995, true},
        AddressCase{"POP3S://mail.example.org:9995/", "mail.example.org", 9995, true},
        AddressCase{"pop3://mail.example.org", "mail.example.org", 110, false},
        AddressCase{"pop3://[::1]:995", "::1", 995, true},
        AddressCase{"pop3+plain://mail.example.org", "mail.example.org", 110, false, true},
        AddressCase{"POP3+PLAIN://mail.example.org:995", "mail.example.org", 995, false, true},
        AddressCase{"bücher.example", "bücher.example", 110, false},
        AddressCase{"", nullptr, 0, false}, AddressCase{"mail example", nullptr, 0, false},
        AddressCase{"host:0", nullptr, 0, false}, AddressCase{"host:65536", nullptr, 0, false},
        AddressCase{"host:+110", nullptr, 0, false}, AddressCase{"host:", nullptr, 0, false},
        AddressCase{"[::1", nullptr, 0, false},
        AddressCase{"[mail.example.org]:110", nullptr, 0, false},
        AddressCase{"imap://host", nullptr, 0, false},
        AddressCase{"pop3://user@host", nullptr, 0, false},
        AddressCase{"host/path", nullptr, 0, false}, AddressCase{"1:2:3", nullptr, 0, false}));

TEST(Pop3Reply, OnlyExactIndicatorsCount) {
    EXPECT_EQ(parsePop3Reply("+OK").kind, Pop3Reply::Ok);
    EXPECT_EQ(parsePop3Reply("+OK 2 200").text, "2 200");
    EXPECT_EQ(parsePop3Reply("-ERR").kind, Pop3Reply::Err);
    EXPECT_EQ(parsePop3Reply("-ERR [sys/temp] later").code, "SYS/TEMP");
    EXPECT_EQ(parsePop3Reply("-ERR no code").code, "");
    EXPECT_EQ(parsePop3Reply("+ ").kind, Pop3Reply::Continue);
    EXPECT_EQ(parsePop3Reply("+").kind, Pop3Reply::Continue);
    for (const char* bad : {"+OKAY", "+ok", "+ERR x", "-ER", "-ERROR", "OK", "", " +OK"})
        EXPECT_EQ(parsePop3Reply(bad).kind, Pop3Reply::Invalid) << bad;
}

TEST(Pop3Stat, CountMustBeAnUnsignedThirtyOneBitNumber) {
    EXPECT_EQ(parseStatCount("0 0"), 0);
    EXPECT_EQ(parseStatCount("1000 123456"), 1000);
    EXPECT_EQ(parseStatCount("7"), 7);
    EXPECT_EQ(parseStatCount("2147483647 1"), 2147483647);
    for (const char* bad :
         {"", "abc", "-1 0", "2147483648 1", "99999999999999999999", "3x 1", " 3 1", "+3"})
        EXPECT_FALSE(parseStatCount(bad).has_value()) << bad;
}

TEST(Pop3LineReader, SplitsBoundsAndRejectsNul) {
    Pop3LineReader reader;
    QByteArray line;
    reader.append("+OK a\r\n+OK b\n+OK");
    ASSERT_EQ(reader.next(line), Pop3LineReader::Result::Line);
    EXPECT_EQ(line, "+OK a");
    ASSERT_EQ(reader.next(line), Pop3LineReader::Result::Line);
    EXPECT_EQ(line, "+OK b");
    EXPECT_EQ(reader.next(line), Pop3LineReader::Result::NeedMore);
    reader.append(" c\r\n");
    ASSERT_EQ(reader.next(line), Pop3LineReader::Result::Line);
    EXPECT_EQ(line, "+OK c");

    Pop3LineReader longOne;
    longOne.append(QByteArray(Pop3LineReader::maxLine + 1, 'x'));
    EXPECT_EQ(longOne.next(line), Pop3LineReader::Result::TooLong);

    Pop3LineReader atLimit;
    atLimit.append(QByteArray(Pop3LineReader::maxLine, 'x') + "\n");
    EXPECT_EQ(atLimit.next(line), Pop3LineReader::Result::Line);

    Pop3LineReader nul;
    nul.append(QByteArray("+OK \0\r\n", 7));
    EXPECT_EQ(nul.next(line), Pop3LineReader::Result::Nul);
}

TEST(Pop3Capabilities, NamesAndSaslMechanisms) {
    Pop3Capabilities caps;
    caps.addLine("user");
    caps.addLine("SASL  PLAIN login");
    caps.addLine("IMPLEMENTATION Some Server");
    EXPECT_TRUE(caps.has("USER"));
    EXPECT_TRUE(caps.sasl.contains("PLAIN"));
    EXPECT_TRUE(caps.sasl.contains("LOGIN"));
    EXPECT_FALSE(caps.has("PIPELINING"));
}

TEST(Pop3Apop, TimestampOnlyWhenWellFormed) {
    EXPECT_EQ(apopTimestamp("POP3 ready <1896.697170952@dbc.mtview.ca.us>"),
              "<1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(apopTimestamp("ready"), "");
    EXPECT_EQ(apopTimestamp("ready <no-at-sign>"), "");
    EXPECT_EQ(apopTimestamp("ready <a b@c>"), "");
}

} // namespace
