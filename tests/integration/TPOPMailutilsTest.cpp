// TPOP against a second real server, GNU Mailutils pop3d: plain text on
// loopback, STLS, TLS from the first byte, pingbox-check's single check, a
// refused login, and the plain-text rule for a server that is not local.
#include "MailutilsServer.h"
#include "TPOPTestSupport.h"

#include "pop/POPErrors.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class TPOPMailutils : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (geteuid() != 0)
            return; // each test skips
        server_ = new MailutilsServer;
        if (!server_->start({"empty:pw0:0", "many:pw25:25"}))
            FAIL() << "pop3d: " << server_->error().toStdString();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!server_)
            GTEST_SKIP() << "GNU pop3d starts only as root: it switches to the mail group";
        ASSERT_GT(server_->stlsPort(), 0);
        TPOP::ClearCapabilityCache();
        pop.SetCaCertificatesFile(server_->caFile());
        pop.SetTimeouts(generousTimeouts());
        pop.OnTrace = [this](const QString& line) { trace << line; };
    }
    static QString user(const char* name) {
        return QString::fromLatin1(name) + u'@' + server_->domain();
    }

    static MailutilsServer* server_;
    TPOP pop;
    QStringList trace;
};
MailutilsServer* TPOPMailutils::server_ = nullptr;

enum class Road { PlainLoopback, Stls, Implicit };

struct RoadCase {
    const char* name;
    Road road;
    bool quitAfterCount;
};

class TPOPMailutilsRoads : public TPOPMailutils, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(TPOPMailutilsRoads, CountArrivesAndConnectionCloses) {
    const RoadCase& c = GetParam();
    QString where;
    switch (c.road) {
    case Road::PlainLoopback:
        where = QStringLiteral("127.0.0.1:%1").arg(server_->plainPort());
        break;
    case Road::Stls:
        where = QStringLiteral("%1:%2").arg(server_->host()).arg(server_->stlsPort());
        break;
    case Road::Implicit:
        where = QStringLiteral("pop3s://%1:%2").arg(server_->host()).arg(server_->implicitPort());
        break;
    }
    pop.SetQuitAfterCount(c.quitAfterCount);
    PopRecorder rec(pop, user("many"), QStringLiteral("pw25"));
    ASSERT_TRUE(rec.check(where)) << trace.join(u'\n').toStdString();
    EXPECT_EQ(rec.joined(), "S1 S2 S3 S4 P1 P2 C25 S5 S6") << trace.join(u'\n').toStdString();

    const qsizetype tls = trace.indexOf(QRegularExpression("TLS established.*"));
    const qsizetype pass = trace.indexOf(QStringLiteral("C: PASS ****"));
    const qsizetype stat = trace.indexOf(QStringLiteral("C: STAT"));
    ASSERT_GE(pass, 0);
    EXPECT_EQ(tls >= 0 && tls < pass, c.road != Road::PlainLoopback);
    // STAT only after the reply to PASS.
    EXPECT_GT(stat, trace.indexOf(QRegularExpression("S: \\+OK.*"), pass));
    if (c.quitAfterCount) {
        EXPECT_EQ(trace.value(stat + 1), QStringLiteral("C: QUIT"));
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, TPOPMailutilsRoads,
                         ::testing::Values(RoadCase{"PlainOnLoopback", Road::PlainLoopback, false},
                                           RoadCase{"Stls", Road::Stls, false},
                                           RoadCase{"StlsSingleCheck", Road::Stls, true},
                                           RoadCase{"Implicit", Road::Implicit, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Played as a distant server: no STLS means no login, unless the field says
// pop3+plain; an empty mailbox and a wrong password on the way.
TEST_F(TPOPMailutils, PlainTextOnlyWhenAskedForAndRefusedLogin) {
    pop.SetPlainLoginOnLoopback(false);
    const QString plain = QStringLiteral("127.0.0.1:%1").arg(server_->plainPort());
    PopRecorder rec(pop, user("empty"), QStringLiteral("pw0"));
    ASSERT_TRUE(rec.check(plain));
    EXPECT_EQ(rec.events.filter(QRegularExpression("^[EPC]")),
              QStringList{QStringLiteral("E%1").arg(popErrTlsNotOffered)});
    EXPECT_FALSE(trace.contains(QStringLiteral("C: USER ") + user("empty")));

    ASSERT_TRUE(rec.check(QStringLiteral("pop3+plain://") + plain));
    EXPECT_TRUE(rec.joined().endsWith("P1 P2 C0 S5 S6")) << rec.joined().toStdString();

    PopRecorder wrong(pop, user("empty"), QStringLiteral("nope"));
    ASSERT_TRUE(wrong.check(QStringLiteral("%1:%2").arg(server_->host()).arg(server_->stlsPort())));
    EXPECT_EQ(wrong.events.filter(QRegularExpression("^E")), QStringList{"E1014"});
}

} // namespace
