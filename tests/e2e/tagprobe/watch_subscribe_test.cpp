// tagprobe watch --subscribe: the instance runs with subscribe = true (a copy of a file that does not set
// it), and each change after the first batch comes with its delay from the server's timestamp. The
// driver may answer a read from the latest data changes or with a call to the server: either way the
// ramp brings a change with a new timestamp after the first batch, and the fixed item none.
#include <gtest/gtest.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tests/e2e/tagprobe/sim_fixture.h"
#include "tools/tagprobe/text_convert.h"

namespace {

using Row = std::vector<std::string>;

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether text is a whole number of milliseconds, without sign: server and tagprobe share this
// machine's clock, so a change cannot reach tagprobe before its timestamp.
bool IsDelay(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The copies tagprobe writes, in the temporary folder.
std::size_t CopiesInTempFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"tpb*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    std::size_t count = 0;
    do {
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

using WatchSubscribe = SimSuite;

TEST_F(WatchSubscribe, EachChangeAfterTheFirstBatchHasItsDelayAndTheCopyIsGoneAfterwards)
{
    // A quick rate, so that the ramp changes between batches wherever the driver takes its values from.
    auto file = StandardParFile(sim.server.clsidText, "update_rate = 0.2\r\n");
    std::size_t copies = CopiesInTempFolder();
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"watch", file->Path(), L"2", L"15", L"--subscribe", L"--count", L"20"}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_GE(lines.size(), 3u) << result.out;
    EXPECT_EQ(lines[0],
              "note: " + Utf8FromWide(file->Path()) +
                  " does not set subscribe in [server]; the driver loads a copy of it with subscribe = "
                  "true");
    EXPECT_EQ(lines[2],
              "watch: subscribed, the group at 200 ms; a read batch every 100 ms; delay ms: from the "
              "value's timestamp to tagprobe");
    EXPECT_EQ(CopiesInTempFolder(), copies) << "the copy was left behind";

    std::vector<Row> first = TableRows(result.out, "channel");
    ASSERT_EQ(first.size(), 2u) << result.out;
    EXPECT_EQ(first[0], (Row{"2", "ok", "2.25", "f64", "750 good", kFixedTime, "-", "Sim.R8"}));
    EXPECT_EQ(first[1][6], "-") << "a first value may be of any age";

    std::vector<Row> later;
    std::string out = result.out;
    std::size_t second = out.find("\nbatch ", out.find("batch 1 at"));
    for (std::size_t at = second; at != std::string::npos; at = out.find("\nbatch ", at + 1))
        for (const auto& row : TableRows(out.substr(at + 1), "channel"))
            later.push_back(row);
    ASSERT_FALSE(later.empty()) << result.out;
    for (const auto& row : later) {
        SCOPED_TRACE(row[0] + " " + row[5]);
        ASSERT_EQ(row.size(), 8u);
        EXPECT_EQ(row[0], "15") << "the fixed item's timestamp never changes";
        EXPECT_EQ(row[1], "ok");
        EXPECT_TRUE(IsDelay(row[6])) << row[6];
        EXPECT_EQ(row[7], "Sim.Ramp");
    }
    std::string summary = "watch: 20 batches, " + std::to_string(later.size()) + " changes, delay ";
    EXPECT_TRUE(StartsWith(lines.back(), summary)) << lines.back();
}

TEST_F(WatchSubscribe, AFileThatSubscribesRunsAsItIsAndCheckExplainsTheKey)
{
    auto file = StandardParFile(sim.server.clsidText, "subscribe = true\r\n");
    ProbeResult result;
    ASSERT_TRUE(RunProbe(
        {L"watch", file->Path(), L"2", L"--subscribe", L"--count", L"2", L"--interval", L"50"}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_GE(lines.size(), 2u) << result.out;
    EXPECT_TRUE(StartsWith(lines[0], "Init succeeded: ")) << lines[0];
    EXPECT_EQ(lines[1],
              "watch: subscribed, the group at 1000 ms; a read batch every 50 ms; delay ms: from the "
              "value's timestamp to tagprobe");
    EXPECT_TRUE(StartsWith(lines.back(), "watch: 2 batches, ")) << lines.back();

    ASSERT_TRUE(RunProbe({L"check", file->Path()}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    Row note = TableRow(result.out, "line", "3");
    ASSERT_EQ(note.size(), 3u) << result.out;
    EXPECT_EQ(note[1], "note");
    EXPECT_TRUE(StartsWith(note[2],
                           "subscribe = true: read batches are answered from the server's data changes, "
                           "without a call to the server; the group is active at 1000 ms"))
        << note[2];
}

} // namespace
