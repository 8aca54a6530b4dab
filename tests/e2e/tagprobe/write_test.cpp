// tagprobe write: one batch, the statuses, and what the server then holds. The suite has its own
// server, so that what it writes is seen by no other test.
#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tests/e2e/tagprobe/sim_fixture.h"

namespace {

using Row = std::vector<std::string>;

class WriteAgainstSim : public SimSuite {
protected:
    static ProbeResult Probe(const char* serverLines, std::vector<std::wstring> args)
    {
        auto file = StandardParFile(sim.server.clsidText, serverLines);
        args.insert(args.begin() + 1, file->Path());
        ProbeResult result;
        EXPECT_TRUE(RunProbe(args, result));
        return result;
    }
};

TEST_F(WriteAgainstSim, ValuesGoOutInTheSuggestedTypesAndReadBack)
{
    ProbeResult result = Probe("", {L"write", L"2=7.5", L"3=bye now", L"4=off", L"--readback"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<Row> written = {{"2", "7.5", "f64", "ok", "Sim.R8"},
                                {"3", "\"bye now\"", "text", "ok", "Sim.BSTR"},
                                {"4", "false", "bool", "ok", "Sim.BOOL"}};
    EXPECT_EQ(TableRows(result.out, "channel"), written);
    std::string readBack = result.out.substr(result.out.find("read back:"));
    std::vector<Row> read = {{"2", "ok", "7.5", "f64", "750 good", kFixedTime, "Sim.R8"},
                             {"3", "ok", "\"bye now\"", "text", "750 good", kFixedTime, "Sim.BSTR"},
                             {"4", "ok", "false", "bool", "750 good", kFixedTime, "Sim.BOOL"}};
    EXPECT_EQ(TableRows(readBack, "channel"), read);
    EXPECT_EQ(SimLogLines(sim.server, "write Sim.R8 vt=5 value=7.5").size(), 1u);
}

TEST_F(WriteAgainstSim, SynchronousWideWriteOfANamedType)
{
    ProbeResult result = Probe("sync = true\r\n", {L"write", L"1:i16=-300", L"--wide"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRows(result.out, "channel"), (std::vector<Row>{{"1", "-300", "i16", "ok", "Sim.I4"}}));
    // The driver sends a 16-bit host value as VT_I2.
    EXPECT_EQ(SimLogLines(sim.server, "write Sim.I4 vt=2 value=-300").size(), 1u);
}

TEST_F(WriteAgainstSim, OneArrayElementIsWrittenWithTheOthersAsTheServerHoldsThem)
{
    ProbeResult result = Probe("", {L"write", L"12=30", L"--readback"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    result = Probe("", {L"read", L"10-14"});
    std::vector<std::string> values;
    for (const auto& row : TableRows(result.out, "channel"))
        values.push_back(row[2]);
    EXPECT_EQ(values, (std::vector<std::string>{"1", "2", "30", "4", "5"}));
}

TEST_F(WriteAgainstSim, ARefusedValueStopsBeforeAnythingIsWritten)
{
    std::size_t writesBefore = SimLogLines(sim.server, "write ").size();
    ProbeResult result = Probe("", {L"write", L"5=1", L"6:u8=300"});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(Lines(result.err),
              std::vector<std::string>{"tagprobe: channel 6: \"300\" is out of range for u8 (0 to 255)"});
    EXPECT_EQ(result.out, "");

    result = Probe("", {L"write", L"2=twelve"});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(Lines(result.err).back(), "tagprobe: channel 2: \"twelve\" is not a number");
    EXPECT_EQ(SimLogLines(sim.server, "write ").size(), writesBefore);
}

TEST_F(WriteAgainstSim, AReadOnlyChannelIsTheWrongDirection)
{
    ProbeResult result = Probe("", {L"write", L"6=5", L"99=1"});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::vector<Row> expected = {{"6", "5", "i32", "wrong direction", "Sim.ReadOnly"},
                                 {"99", "1", "i32", "no channel", "-"}};
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
}

TEST_F(WriteAgainstSim, AChannelGivenTwiceIsAUsageError)
{
    ProbeResult result = Probe("", {L"write", L"2=1", L"2=2"});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(Lines(result.err)[0], "tagprobe: channel 2 is given twice");
}

} // namespace

namespace {

// The range Sim.R8Array (channels 10-14) cannot be read on the other server.
class WriteGuard : public SimSuite {
protected:
    static void SetUpTestSuite() { StartSuite("behaviour item-error AsyncRead Sim.R8Array 0x80004005\n"); }
};

TEST_F(WriteGuard, AnElementOfARangeThatCannotBeReadIsNotWritten)
{
    auto file = StandardParFile(other.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"write", file->Path(), L"11=9", L"2=1.5"}, result));
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::vector<Row> expected = {{"11", "9", "f64", "not written", "Sim.R8Array[1]"},
                                 {"2", "1.5", "f64", "ok", "Sim.R8"}};
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
    EXPECT_EQ(Lines(result.err), std::vector<std::string>{"tagprobe: channel 11 not written: element 10 of "
                                                          "Sim.R8Array could not be read first (failed)"});
    EXPECT_TRUE(SimLogLines(other.server, "write Sim.R8Array").empty());
}

TEST_F(WriteGuard, ARangeAssignedWholeIsWrittenWithoutReadingIt)
{
    auto file = StandardParFile(other.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"write", file->Path(), L"14=5", L"10=1", L"12=3", L"11=2", L"13=4"}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(SimLogLines(other.server, "write Sim.R8Array vt=8197 dims=5 value={1 2 3 4 5}").size(), 1u);
}

} // namespace
