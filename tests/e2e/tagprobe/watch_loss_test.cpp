// tagprobe watch on a server that sends its shutdown notice: the line when the instance loses the
// server, and the statuses of the batches while it is away.
#include <gtest/gtest.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tests/e2e/tagprobe/sim_fixture.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class WatchLoss : public SimSuite {
protected:
    static void SetUpTestSuite() { StartSuite("behaviour shutdown after=2:AsyncRead reason=\"update\"\n"); }
};

TEST_F(WatchLoss, ALostServerIsReportedOnceAndEachBatchWithoutItGivesTheStatuses)
{
    auto file = StandardParFile(other.server.clsidText, "");
    // Batches enough that the notice, sent after the second read, arrives among them on a loaded machine.
    ProbeResult result;
    ASSERT_TRUE(
        RunProbe({L"watch", file->Path(), L"1", L"2", L"--interval", L"100", L"--count", L"30"}, result));
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err; // channels in server down have failed
    std::vector<std::string> lines = Lines(result.out);
    std::size_t lost = 0;
    std::size_t lostLines = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (StartsWith(lines[i], "watch: the server is lost at batch ") &&
            EndsWith(lines[i], ": every channel reports server down")) {
            lost = i;
            ++lostLines;
        }
    }
    ASSERT_EQ(lostLines, 1u) << result.out;
    // The notice comes after the second read: at least the first two batches had the server.
    EXPECT_FALSE(StartsWith(lines[lost], "watch: the server is lost at batch 1 ") ||
                 StartsWith(lines[lost], "watch: the server is lost at batch 2 "))
        << lines[lost];
    ASSERT_GT(lines.size(), lost + 1);
    std::size_t away = 0;
    for (std::size_t i = lost + 1; i < lines.size(); ++i)
        if (StartsWith(lines[i], "batch ") && EndsWith(lines[i], " ms: 2 server down")) ++away;
    EXPECT_GE(away, 1u) << result.out;
    EXPECT_EQ(lines.back(), "watch: 30 batches, 2 changes");
    // The server never came back (the driver of this build has no reconnection).
    for (const auto& line : lines)
        EXPECT_FALSE(StartsWith(line, "watch: the server is back")) << line;
}

} // namespace
