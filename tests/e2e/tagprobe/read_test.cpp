// tagprobe read: one batch through either export family and either mode, then the table.
#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tools/tagprobe/text_convert.h"
#include "tests/e2e/tagprobe/sim_fixture.h"

namespace {

using Row = std::vector<std::string>;

struct ReadWay {
    const char* name;
    const char* serverLines; // the mode, chosen by the file
    const wchar_t* family;   // --ansi or --wide
};

class ReadAgainstSim : public SimSuite, public ::testing::WithParamInterface<ReadWay> {
protected:
    ProbeResult Read(std::vector<std::wstring> args)
    {
        auto file = StandardParFile(sim.server.clsidText, GetParam().serverLines);
        args.insert(args.begin(), {L"read", file->Path(), GetParam().family});
        ProbeResult result;
        EXPECT_TRUE(RunProbe(args, result));
        return result;
    }
};

TEST_P(ReadAgainstSim, EveryGoodChannelWithValueTypeQualityAndTime)
{
    ProbeResult result = Read({L"1-6", L"8-14"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<Row> expected = {
        {"1", "ok", "123456", "i32", "750 good", kFixedTime, "Sim.I4"},
        {"2", "ok", "2.25", "f64", "750 good", kFixedTime, "Sim.R8"},
        {"3", "ok", "\"hello plant\"", "text", "750 good", kFixedTime, "Sim.BSTR"},
        {"4", "ok", "true", "bool", "750 good", kFixedTime, "Sim.BOOL"},
        {"5", "ok", "4000000000", "u32", "750 good", kFixedTime, "Sim.UI4"},
        {"6", "ok", "41", "i32", "750 good", kFixedTime, "Sim.ReadOnly"},
        {"8", "ok", "0", "f64", "0 bad", kFixedTime, "Sim.BadQuality"},
        {"9", "ok", "3.5", "f64", "500 uncertain", kFixedTime, "Sim.Uncertain"},
        {"10", "ok", "1", "f64", "750 good", kFixedTime, "Sim.R8Array[0]"},
        {"11", "ok", "2", "f64", "750 good", kFixedTime, "Sim.R8Array[1]"},
        {"12", "ok", "3", "f64", "750 good", kFixedTime, "Sim.R8Array[2]"},
        {"13", "ok", "4", "f64", "750 good", kFixedTime, "Sim.R8Array[3]"},
        {"14", "ok", "5", "f64", "750 good", kFixedTime, "Sim.R8Array[4]"},
    };
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
}

TEST_P(ReadAgainstSim, EachFailureByNameAndExitOne)
{
    ProbeResult result = Read({L"7", L"16", L"99"});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::vector<Row> expected = {
        {"7", "wrong direction", "-", "-", "-", "-", "Sim.WriteOnly"},
        {"16", "failed", "-", "-", "-", "-", "Sim.I8"},
        {"99", "no channel", "-", "-", "-", "-", "-"},
    };
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
}

TEST_P(ReadAgainstSim, AskedTypesAreConvertedOrRefused)
{
    ProbeResult result = Read({L"2", L"--as", L"i16"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "channel", "2"),
              (Row{"2", "ok", "2", "i16", "750 good", kFixedTime, "Sim.R8"}));

    result = Read({L"3", L"--as", L"textbuf"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "channel", "3"),
              (Row{"3", "ok", "\"hello plant\"", "textbuf", "750 good", kFixedTime, "Sim.BSTR"}));

    // Text is delivered only in the caller's width (text, textbuf), never as wtext, nor as a number.
    for (const wchar_t* type : {L"wtext", L"f64"}) {
        result = Read({L"3", L"--as", type});
        EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
        std::string name = Utf8FromWide(type);
        EXPECT_EQ(TableRow(result.out, "channel", "3"),
                  (Row{"3", "ok", "(not deliverable as " + name + ")", name, "-", kFixedTime, "Sim.BSTR"}));
    }
}

const ReadWay kWays[] = {
    {"AsyncAnsi", "", L"--ansi"},
    {"AsyncWide", "", L"--wide"},
    {"SyncAnsi", "sync = true\r\n", L"--ansi"},
    {"SyncWide", "sync = true\r\n", L"--wide"},
};

INSTANTIATE_TEST_SUITE_P(Ways, ReadAgainstSim, ::testing::ValuesIn(kWays),
                         [](const ::testing::TestParamInfo<ReadWay>& info) {
                             return std::string(info.param.name);
                         });

class ReadDetails : public SimSuite {
protected:
    static void SetUpTestSuite() { StartSuite("behaviour delay OnReadComplete 3000\n"); }
};

TEST_F(ReadDetails, TraceShowsTheDriversLinesAsTheyAreEmitted)
{
    auto async = StandardParFile(sim.server.clsidText, "debug = true\r\n");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"read", async->Path(), L"1", L"16", L"--trace"}, result));
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "trace  IOPCAsyncIO2->Read(...)");
    EXPECT_EQ(lines[2], "trace  IOPCDataCallback->OnReadComplete(...)");
    EXPECT_EQ(lines[3], "trace  ItemReadComplete: VariantToValue failed (ItemId = Sim.I8)");

    auto sync = StandardParFile(sim.server.clsidText, "debug = true\r\nsync = true\r\n");
    ASSERT_TRUE(RunProbe({L"read", sync->Path(), L"1", L"--trace"}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_TRUE(HasLine(result.out, "trace  IOPCSyncIO->Read( OPC_DS_DEVICE, ...)")) << result.out;
    EXPECT_TRUE(HasLine(result.out, "trace  IOPCSyncIO->Read() returned")) << result.out;
}

TEST_F(ReadDetails, TraceWithoutDebugInTheFileSaysWhyItIsSilent)
{
    auto file = StandardParFile(sim.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"read", file->Path(), L"1", L"--trace"}, result));
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(Lines(result.out)[0],
              "note: the parameter file does not set debug = true in [server], so the driver "
              "writes no trace lines");
    EXPECT_EQ(result.out.find("trace  "), std::string::npos);
}

TEST_F(ReadDetails, ABatchWithoutAnswerWithinTheTimeoutIsMarked)
{
    auto file = StandardParFile(other.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"read", file->Path(), L"1", L"2", L"--timeout", L"200"}, result));
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::vector<Row> expected = {{"1", "no answer", "-", "-", "-", "-", "Sim.I4"},
                                 {"2", "no answer", "-", "-", "-", "-", "Sim.R8"}};
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
    EXPECT_EQ(Lines(result.err),
              std::vector<std::string>{"tagprobe: the driver did not finish the read batch within "
                                       "200 ms (--timeout); channels without an answer are marked"});
}

TEST_F(ReadDetails, NoChannelsNamedReadsEveryNumberOfTheFile)
{
    auto file = StandardParFile(sim.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"read", file->Path()}, result));
    std::vector<std::string> channels;
    for (const auto& row : TableRows(result.out, "channel"))
        channels.push_back(row[0]);
    EXPECT_EQ(channels, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                                                  "12", "13", "14", "15", "16"}));
    EXPECT_EQ(result.exitCode, 1u) << "channels 7 and 16 fail";
}

} // namespace
