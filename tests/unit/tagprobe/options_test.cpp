// The command line: what each valid line sets, and the exact reason for each refused one.
#include <gtest/gtest.h>

#include "convert/value_record.h"
#include "tools/tagprobe/options.h"

namespace {

ProbeOptions Parsed(const std::vector<std::wstring>& args)
{
    ProbeOptions options;
    std::wstring error;
    EXPECT_TRUE(ParseOptions(args, options, error)) << "refused: " << std::string(error.begin(), error.end());
    return options;
}

TEST(ParseOptions, ReadTakesTheFileThenChannelsAndOptionsAnywhere)
{
    ProbeOptions o =
        Parsed({L"read", L"--wide", L"plant.par", L"1", L"--as", L"F32", L"10-19", L"--timeout", L"250"});
    EXPECT_EQ(o.command, Command::Read);
    EXPECT_EQ(o.file, L"plant.par");
    EXPECT_EQ(o.operands, (std::vector<std::wstring>{L"1", L"10-19"}));
    EXPECT_TRUE(o.wide);
    EXPECT_TRUE(o.hasAs);
    EXPECT_EQ(o.asType, static_cast<std::uint32_t>(TypeF32));
    EXPECT_EQ(o.timeoutMs, 250u);
}

TEST(ParseOptions, DefaultsAreAnsiNoTypeAndTenSeconds)
{
    ProbeOptions o = Parsed({L"check", L"plant.par"});
    EXPECT_EQ(o.command, Command::Check);
    EXPECT_FALSE(o.wide);
    EXPECT_FALSE(o.hasAs);
    EXPECT_FALSE(o.trace);
    EXPECT_EQ(o.timeoutMs, 10000u);
    EXPECT_TRUE(o.operands.empty());
}

TEST(ParseOptions, TheLastFamilyOptionWins)
{
    EXPECT_FALSE(Parsed({L"read", L"a.par", L"--wide", L"--ansi"}).wide);
    EXPECT_TRUE(Parsed({L"read", L"a.par", L"--ansi", L"--wide"}).wide);
}

TEST(ParseOptions, WatchTakesIntervalAndCount)
{
    ProbeOptions o = Parsed({L"watch", L"a.par", L"--interval", L"500", L"--count", L"3", L"--trace"});
    EXPECT_EQ(o.command, Command::Watch);
    EXPECT_EQ(o.intervalMs, 500u);
    EXPECT_EQ(o.count, 3u);
    EXPECT_TRUE(o.trace);
}

TEST(ParseOptions, WatchSubscribeNeedsNoIntervalButKeepsAGivenOne)
{
    ProbeOptions o = Parsed({L"watch", L"a.par", L"--subscribe"});
    EXPECT_TRUE(o.subscribe);
    EXPECT_EQ(o.intervalMs, kSubscribedIntervalMs);
    EXPECT_EQ(Parsed({L"watch", L"a.par", L"--interval", L"40", L"--subscribe"}).intervalMs, 40u);
    EXPECT_EQ(Parsed({L"watch", L"a.par", L"--subscribe", L"--interval", L"2500"}).intervalMs, 2500u);
    EXPECT_FALSE(Parsed({L"watch", L"a.par", L"--interval", L"40"}).subscribe);
}

TEST(ParseOptions, WriteKeepsAssignmentsAndReadback)
{
    ProbeOptions o = Parsed({L"write", L"a.par", L"5=-1.5", L"6:text=a b", L"--readback"});
    EXPECT_EQ(o.operands, (std::vector<std::wstring>{L"5=-1.5", L"6:text=a b"}));
    EXPECT_TRUE(o.readBack);
}

TEST(ParseOptions, BrowseTakesClsidHostAndStarterFile)
{
    ProbeOptions o = Parsed({L"browse", L"{0}", L"plant-pc", L"--par", L"new.par"});
    EXPECT_EQ(o.command, Command::Browse);
    EXPECT_TRUE(o.file.empty());
    EXPECT_EQ(o.operands, (std::vector<std::wstring>{L"{0}", L"plant-pc"}));
    EXPECT_EQ(o.starterFile, L"new.par");
}

TEST(ParseOptions, ServersTakesAnOptionalHostAndCheckTakesQuiet)
{
    ProbeOptions local = Parsed({L"servers"});
    EXPECT_EQ(local.command, Command::Servers);
    EXPECT_TRUE(local.operands.empty());
    EXPECT_EQ(Parsed({L"servers", L"plant-pc"}).operands, std::vector<std::wstring>{L"plant-pc"});
    ProbeOptions quiet = Parsed({L"check", L"a.par", L"--quiet"});
    EXPECT_TRUE(quiet.quiet);
    EXPECT_FALSE(Parsed({L"check", L"a.par"}).quiet);
}

TEST(ParseOptions, VersionAndHelpNeedNothing)
{
    EXPECT_EQ(Parsed({L"version"}).command, Command::Version);
    EXPECT_EQ(Parsed({L"help"}).command, Command::Help);
}

struct Refusal {
    std::vector<std::wstring> args;
    const wchar_t* error;
};

TEST(ParseOptions, RefusesWithTheReason)
{
    const Refusal refusals[] = {
        {{}, L"no command given"},
        {{L"raed", L"a.par"}, L"unknown command raed"},
        {{L"read"}, L"read needs a parameter file"},
        {{L"check", L"a.par", L"1"}, L"unexpected argument 1"},
        {{L"write", L"a.par"}, L"write needs at least one CH=VALUE"},
        {{L"watch", L"a.par", L"1"}, L"watch needs --interval MS"},
        {{L"browse"}, L"browse needs the server's CLSID or ProgID"},
        {{L"browse", L"{0}", L"pc", L"more"}, L"browse takes a CLSID or ProgID and at most one host name"},
        {{L"servers", L"pc", L"more"}, L"servers takes at most one host name"},
        {{L"servers", L"--quiet"}, L"--quiet is not an option of servers"},
        {{L"read", L"a.par", L"--quiet"}, L"--quiet is not an option of read"},
        {{L"read", L"a.par", L"--interval", L"5"}, L"--interval is not an option of read"},
        {{L"read", L"a.par", L"--subscribe"}, L"--subscribe is not an option of read"},
        {{L"watch", L"a.par", L"--subscribe", L"--interval", L"0"},
         L"--interval 0: expected a number from 1 to 2147483647"},
        {{L"check", L"a.par", L"--as", L"f64"}, L"--as is not an option of check"},
        {{L"check", L"a.par", L"--timeout", L"5"}, L"--timeout is not an option of check"},
        {{L"browse", L"{0}", L"--wide"}, L"--wide is not an option of browse"},
        {{L"read", L"a.par", L"--bogus"}, L"--bogus is not an option of read"},
        {{L"read", L"a.par", L"--timeout"}, L"--timeout needs a value"},
        {{L"read", L"a.par", L"--timeout", L"0"}, L"--timeout 0: expected a number from 1 to 2147483647"},
        {{L"read", L"a.par", L"--timeout", L"2147483648"},
         L"--timeout 2147483648: expected a number from 1 to 2147483647"},
        {{L"read", L"a.par", L"--timeout", L"-5"}, L"--timeout -5: expected a number from 1 to 2147483647"},
        {{L"read", L"a.par", L"--as", L"f16"},
         L"--as f16: unknown host type (one of bool, u8, u16, u32, i8, i16, i32, f32, f64, text, textbuf, "
         L"wtext, "
         L"wtextbuf)"},
        {{L"browse", L"{0}", L"--par", L""}, L"--par needs a file name"},
    };
    for (const auto& refusal : refusals) {
        ProbeOptions options;
        std::wstring error;
        EXPECT_FALSE(ParseOptions(refusal.args, options, error)) << std::string(error.begin(), error.end());
        EXPECT_EQ(error, refusal.error);
    }
}

} // namespace
