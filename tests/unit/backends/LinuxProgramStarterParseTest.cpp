#include "platform/linux/LinuxProgramStarter.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* line;
    QStringList args;
};

class ProgramStarterSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ProgramStarterSplitTest, SplitsArgumentsAsTheSystemDoes) {
    EXPECT_EQ(commandline::splitArguments(QString::fromUtf8(GetParam().line)), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProgramStarterSplitTest,
    ::testing::Values(SplitCase{R"("abc" d e)", {"abc", "d", "e"}},
                      SplitCase{R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
                      SplitCase{R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
                      SplitCase{R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
                      SplitCase{R"(a"b"" c d)", {R"(ab" c d)"}}, SplitCase{"", {}},
                      SplitCase{" \t ", {}}, SplitCase{R"("")", {""}},
                      SplitCase{"  x\t y  ", {"x", "y"}},
                      SplitCase{R"("open ended)", {"open ended"}},
                      SplitCase{R"(trail\)", {R"(trail\)"}},
                      SplitCase{R"(; $(rm -rf ~) | & 'q' `id`)",
                                {";", "$(rm", "-rf", "~)", "|", "&", "'q'", "`id`"}}));

TEST(ProgramStarterCandidatesTest, AnUnquotedPathIsTriedWordByWordShortestFirst) {
    const auto candidates = commandline::programCandidates(u"  /opt/My  Mail/mail -x ");
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0].program, "/opt/My");
    EXPECT_EQ(candidates[0].rest, "  Mail/mail -x ");
    EXPECT_EQ(candidates[1].program, "/opt/My  Mail/mail");
    EXPECT_EQ(candidates[1].rest, " -x ");
    EXPECT_EQ(candidates[2].program, "/opt/My  Mail/mail -x");
    EXPECT_EQ(candidates[2].rest, " ");
}

TEST(ProgramStarterCandidatesTest, AQuotedPathIsTheOnlyReading) {
    const auto quoted = commandline::programCandidates(uR"( "/opt/My Mail/mail"-a "b c")");
    ASSERT_EQ(quoted.size(), 1u);
    EXPECT_EQ(quoted[0].program, "/opt/My Mail/mail");
    EXPECT_EQ(quoted[0].rest, R"(-a "b c")");

    const auto open = commandline::programCandidates(u"\"/opt/My Mail/mail");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].program, "/opt/My Mail/mail");
    EXPECT_TRUE(open[0].rest.isEmpty());
}

TEST(ProgramStarterCandidatesTest, ABlankLineHasNoProgram) {
    EXPECT_TRUE(commandline::programCandidates(u"").empty());
    EXPECT_TRUE(commandline::programCandidates(u" \t ").empty());
    const auto one = commandline::programCandidates(u"mutt");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].program, "mutt");
}

} // namespace
