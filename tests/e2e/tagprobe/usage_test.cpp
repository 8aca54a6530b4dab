// Command lines tagprobe refuses: exit code 3, the reason on standard error, nothing tried.
#include <gtest/gtest.h>

#include "tests/e2e/tagprobe/probe_process.h"

namespace {

TEST(ProbeUsage, RefusedCommandLinesExitThreeWithTheReasonFirst)
{
    struct Case {
        std::vector<std::wstring> args;
        const char* firstLine;
    };
    const Case cases[] = {
        {{}, "tagprobe: no command given"},
        {{L"raed", L"x.par"}, "tagprobe: unknown command raed"},
        {{L"watch", L"x.par", L"1"}, "tagprobe: watch needs --interval MS"},
        {{L"read", L"x.par", L"1-x"}, "tagprobe: 1-x: not a channel number or a range like 10-19"},
        {{L"write", L"x.par", L"5"}, "tagprobe: 5: expected CH=VALUE or CH:TYPE=VALUE"},
        {{L"write", L"x.par", L"5:i8=-129"},
         "tagprobe: channel 5: \"-129\" is out of range for i8 (-128 to 127)"},
    };
    for (const auto& c : cases) {
        ProbeResult result;
        ASSERT_TRUE(RunProbe(c.args, result));
        EXPECT_EQ(result.exitCode, 3u) << c.firstLine;
        ASSERT_FALSE(Lines(result.err).empty());
        EXPECT_EQ(Lines(result.err)[0], c.firstLine);
        EXPECT_EQ(result.out, "") << "a refused command line printed output";
    }
}

TEST(ProbeUsage, HelpPrintsTheUsageAndSucceeds)
{
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"help"}, result));
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(Lines(result.out)[0], "usage: tagprobe COMMAND ...");
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{
                  "exit codes: 0 all good, 1 some channel failed, 2 Init failed, 3 usage error",
                  "            check: 0 the file is sound, 1 a finding would make Init or a channel fail, 3 "
                  "usage error"}));
}

TEST(ProbeUsage, VersionNamesTheDriverLoadedBesideIt)
{
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"version"}, result));
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(Lines(result.out),
              std::vector<std::string>{"driver:  Orvex OPC Client Driver 3.1 (version word 0x30001)"});
}

} // namespace
