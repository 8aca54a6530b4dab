// Cycles of whole instance lives, in a test program of their own: the process-wide counts start from a
// fresh process, since under Wine a process keeps COM state from every worker thread it ever had.

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/process_census.h"

namespace {

class Cycles : public ConnectionTest {};

// Whole instance lives in a row leave no handle, thread or window behind (the allocator's blocks are
// counted by the unit test of the same cycles). Process-wide counts move with COM's own threads and
// caches, hence a margin far below one per cycle. Under Wine every worker thread that exports the
// shutdown sink leaves an RPC endpoint of two handles for good, and COM stops serving after about 64;
// the synchronous cycles therefore run against a server without shutdown notices.
TEST_F(Cycles, HundredInEachModeLeaveNoHandleThreadOrWindowBehind)
{
    constexpr int kCycles = 100;
    constexpr std::uint32_t kMargin = 10;
    struct ModeCase {
        const char* name;
        const char* behaviours;
        const char* serverLines;
    };
    const ModeCase modes[] = {
        {"asynchronous", "", ""},
        {"synchronous", "behaviour lacks server IOPCShutdown\n", "sync = yes\n"},
    };
    for (const ModeCase& mode : modes) {
        SCOPED_TRACE(mode.name);
        ASSERT_TRUE(Serve(mode.behaviours));
        auto cycle = [&] {
            E2eHost host;
            std::string text;
            bool connected = Connect(host, mode.serverLines, Width::Ansi, &text);
            host.Stop();
            EXPECT_TRUE(connected) << text;
        };
        cycle(); // the server's start and COM's first use in this mode create lasting state
        std::uint32_t handles = OpenHandleCount();
        std::uint32_t threads = ThreadCount();
        for (int i = 0; i < kCycles && !HasFailure(); ++i)
            cycle();
        EXPECT_LE(OpenHandleCount(), handles + kMargin);
        EXPECT_LE(ThreadCount(), threads + kMargin);
        EXPECT_TRUE(DriverWindows().empty());
        EXPECT_EQ(SimLogLines(sim, "call AddGroup").size(), static_cast<std::size_t>(kCycles + 1));
    }
}

} // namespace
