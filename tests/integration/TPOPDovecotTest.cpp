// TPOP against a real Dovecot: plain with STLS, TLS from the first byte,
// counts, refused logins, access tokens, certificates, repeat checks and a stopped server.
#include "DovecotServer.h"
#include "TPOPTestSupport.h"

#include "pop/POPErrors.h"

#include <gtest/gtest.h>

namespace {

class TPOPDovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new DovecotServer;
        if (!server_->start({{"empty:pw0:0", "one:pw1:1", "many:pw1000:1000"}, true, true}))
            FAIL() << "Dovecot: " << server_->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_GT(server_->pop3Port(), 0);
        TPOP::ClearCapabilityCache();
        pop.SetCaCertificatesFile(server_->caFile());
    }

    static QString plain() { return QStringLiteral("localhost:%1").arg(server_->pop3Port()); }
    static QString implicit() {
        return QStringLiteral("pop3s://localhost:%1").arg(server_->pop3sPort());
    }

    static DovecotServer* server_;
    TPOP pop;
};
DovecotServer* TPOPDovecot::server_ = nullptr;

struct CountCase {
    const char* user;
    const char* password;
    int count;
    bool implicitTls;
};

class TPOPDovecotCounts : public TPOPDovecot, public ::testing::WithParamInterface<CountCase> {};

TEST_P(TPOPDovecotCounts, CountArrivesAndConnectionCloses) {
    const CountCase& c = GetParam();
    QStringList trace;
    pop.OnTrace = [&](const QString& line) { trace << line; };
    PopRecorder rec(pop, c.user, c.password);
    ASSERT_TRUE(rec.check(c.implicitTls ? implicit() : plain()));
    EXPECT_EQ(rec.joined(), QStringLiteral("S1 S2 S3 S4 P1 P2 C%1 S5 S6").arg(c.count));
    // The password went over TLS either way: STLS was offered and taken.
    const qsizetype tls = trace.indexOf(QRegularExpression("TLS established.*"));
    const qsizetype pass = trace.indexOf(QStringLiteral("C: PASS ****"));
    ASSERT_GE(tls, 0);
    EXPECT_GT(pass, tls);
}

INSTANTIATE_TEST_SUITE_P(
    Mailboxes, TPOPDovecotCounts,
    ::testing::Values(CountCase{"empty", "pw0", 0, false}, CountCase{"one", "pw1", 1, false},
                      CountCase{"many", "pw1000", 1000, false}, CountCase{"empty", "pw0", 0, true},
                      CountCase{"one", "pw1", 1, true}, CountCase{"many", "pw1000", 1000, true}));

TEST_F(TPOPDovecot, UntrustedCertificateIsRefusedOnBothRoads) {
    pop.SetCaCertificatesFile(QString()); // only the system's store
    PopRecorder rec(pop, "one", "pw1");
    ASSERT_TRUE(rec.check(plain()));
    ASSERT_TRUE(rec.check(implicit()));
    EXPECT_EQ(rec.events.filter(QRegularExpression("^E")), QStringList({"E1031", "E1031"}));
    EXPECT_FALSE(rec.events.contains("P1"));
}

TEST_F(TPOPDovecot, CertificateForAnotherNameIsRefused) {
    PopRecorder rec(pop, "one", "pw1");
    // The certificate is made out to "localhost" only.
    ASSERT_TRUE(rec.check(QStringLiteral("127.0.0.1:%1").arg(server_->pop3Port())));
    EXPECT_EQ(rec.events.filter(QRegularExpression("^E")), QStringList{"E1031"});
    EXPECT_FALSE(rec.events.contains("P1"));
}

// The second check in a process asks no CAPA (before or after STLS) and sends
// USER and PASS in one write, STAT only after their replies.
TEST_F(TPOPDovecot, RepeatCheckUsesRememberedCapabilitiesAndPipelinesTheLogin) {
    QStringList trace;
    pop.OnTrace = [&](const QString& line) { trace << line; };
    PopRecorder rec(pop, "one", "pw1");
    ASSERT_TRUE(rec.check(plain()));
    const qsizetype second = trace.size();
    ASSERT_TRUE(rec.check(plain()));
    const QStringList repeat = trace.mid(second);
    EXPECT_FALSE(repeat.contains("C: CAPA"));
    EXPECT_TRUE(repeat.contains("C: STLS"));
    const qsizetype user = repeat.indexOf(QStringLiteral("C: USER one"));
    ASSERT_GE(user, 0);
    EXPECT_EQ(repeat.mid(user, 2), QStringList({"C: USER one", "C: PASS ****"}));
    // STAT waits for the replies to both: Dovecot's login process answers
    // PASS and hands the connection to a mail process.
    const qsizetype stat = repeat.indexOf(QStringLiteral("C: STAT"));
    ASSERT_GT(stat, user);
    EXPECT_EQ(repeat.mid(user + 2, stat - user - 2).filter(QRegularExpression("^S: \\+OK")).size(),
              2)
        << repeat.join(u'\n').toStdString();
    EXPECT_EQ(rec.events.count("C1"), 2);
}

TEST_F(TPOPDovecot, RefreshOnIdleLoggedInConnectionCountsAgain) {
    PopRecorder rec(pop, "many", "pw1000");
    int counts = 0;
    pop.OnRefreshMessageCount = [&](std::int32_t n) {
        rec.events << QStringLiteral("C%1").arg(n);
        if (++counts == 1)
            pop.RefreshMessageCount();
        else
            pop.Quit();
    };
    ASSERT_TRUE(rec.check(plain()));
    EXPECT_EQ(rec.joined(), "S1 S2 S3 S4 P1 P2 C1000 C1000 S5 S6");
}

// Its own server: Dovecot delays every login from an address after a refused
// one, which would slow the other tests.
TEST(TPOPDovecotAlone, WrongPasswordIsRefusedAndStoppedServerIsUnreachable) {
    DovecotServer server;
    ASSERT_TRUE(server.start({{"one:pw1:1"}, false})) << server.error().toStdString();
    const QString where = QStringLiteral("localhost:%1").arg(server.pop3Port());
    TPOP pop;
    PopRecorder rec(pop, "one", "wrong");
    ASSERT_TRUE(rec.check(where));
    EXPECT_EQ(rec.events.filter(QRegularExpression("^E")), QStringList{"E1014"});
    EXPECT_TRUE(rec.joined().endsWith("S5 S6"));
    server.stop();
    ASSERT_TRUE(rec.check(where));
    EXPECT_EQ(rec.events.filter(QRegularExpression("^E")), QStringList({"E1014", "E1003"}));
    EXPECT_TRUE(rec.lastDetail.contains(QString::number(server.pop3Port())));
    EXPECT_EQ(pop.State(), popClosed);
}

} // namespace

namespace {

// Dovecot checks the token of XOAUTH2 and OAUTHBEARER as it checks a password,
// so the real server takes the real exchange, or refuses it with its failure
// challenge, which must be answered before its -ERR.
TEST_F(TPOPDovecot, AccessTokenLoginsOnBothRoads) {
    for (LoginMethod method : {LoginMethod::XOAuth2, LoginMethod::OAuthBearer}) {
        for (const QString& where : {plain(), implicit()}) {
            for (const char* token : {"pw1", "expired"}) {
                SCOPED_TRACE((loginMethodName(method) + ' ' + where + ' ' + token).toStdString());
                TPOP::ClearCapabilityCache();
                QStringList trace;
                pop.OnTrace = [&](const QString& line) { trace << line; };
                pop.SetMethod(method);
                PopRecorder rec(pop, "one", token);
                ASSERT_TRUE(rec.check(where));
                if (QLatin1String(token) == QLatin1String("pw1")) {
                    EXPECT_EQ(rec.joined(), "S1 S2 S3 S4 P1 P2 C1 S5 S6");
                } else {
                    EXPECT_TRUE(rec.joined().endsWith("P1 E1014 S5 S6"))
                        << rec.joined().toStdString();
                    EXPECT_TRUE(rec.lastDetail.contains("the server's reason: status"))
                        << rec.lastDetail.toStdString();
                }
                EXPECT_EQ(trace.filter(QLatin1String(token)), QStringList{});
                EXPECT_LT(trace.indexOf(QRegularExpression("TLS established.*")),
                          trace.indexOf(QRegularExpression("C: AUTH .*")));
            }
        }
    }
}

} // namespace
