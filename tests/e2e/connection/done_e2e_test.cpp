// Done end to end: the tear-down after every kind of Init, and two instances at once (the cycles of whole
// instance lives are in tests/e2e/connection_cycles).

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/wait.h"

namespace {

constexpr char kClassName[] = "Orvex OPC client driver window class";

class Done : public ConnectionTest {
protected:
    std::size_t Logged(const char* prefix) { return SimLogLines(sim, prefix).size(); }
};

struct PathCase {
    const char* name;
    const char* behaviours;
    const char* serverLines;
    bool connects;
    std::size_t shutdownUnadvises; // the server connection released, by Done or by the worker
    std::size_t dataUnadvises;     // the asynchronous group released by Done
};

TEST_F(Done, ReleasesWhatEachKindOfInitAcquired)
{
    const PathCase cases[] = {
        {"asynchronous, connected", "", "", true, 1, 1},
        {"synchronous, connected", "", "sync = yes\n", true, 1, 0},
        {"asynchronous, server failed", "behaviour status FAILED\n", "", false, 1, 0},
        {"synchronous, server failed", "behaviour status FAILED\n", "sync = yes\n", false, 1, 0},
        {"asynchronous, group failed", "behaviour lacks group IOPCDataCallback\n", "", false, 1, 0},
        {"synchronous, group failed", "behaviour lacks group IOPCSyncIO\n", "sync = yes\n", false, 1, 0},
    };
    for (const PathCase& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(Serve(row.behaviours));
        E2eHost host;
        std::string text;
        EXPECT_EQ(Connect(host, row.serverLines, Width::Ansi, &text), row.connects) << text;
        host.Stop();
        EXPECT_TRUE(DriverWindows().empty());
        EXPECT_EQ(Logged("call ShutdownUnadvise"), row.shutdownUnadvises);
        EXPECT_EQ(Logged("call DataUnadvise"), row.dataUnadvises);
    }
}

TEST_F(Done, AfterAParameterFileFailureOnlyTheWindowGoes)
{
    OpcDriver* instance = api.ansi.MakeDriver();
    char err[128] = {};
    EXPECT_FALSE(api.ansi.Init(instance, 259, "Z:\\no\\such\\file.par", 127, err, 0, 0, 0, nullptr));
    EXPECT_STREQ(err, "Cannot open specified parameter file");
    EXPECT_EQ(DriverWindows().size(), 1u);
    api.ansi.Done(instance);
    api.ansi.DisposeDriver(instance);
    EXPECT_TRUE(DriverWindows().empty());
}

TEST_F(Done, TwoInstancesShareTheWindowClassUntilTheLibraryIsUnloaded)
{
    ASSERT_TRUE(Serve());
    E2eHost first;
    E2eHost second;
    ASSERT_TRUE(Connect(first, ""));
    ASSERT_TRUE(Connect(second, "sync = yes\n", Width::Wide));
    std::vector<HWND> windows = DriverWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(GetClassLongA(windows[0], GCW_ATOM), GetClassLongA(windows[1], GCW_ATOM));
    for (E2eHost* host : {&first, &second}) {
        host->FireRead({kPump});
        EXPECT_TRUE(WaitUntil([&] { return host->ReadStatus(kPump) == 0; }, kWaitMs, "each instance reads"));
    }
    first.Stop();
    EXPECT_EQ(DriverWindows().size(), 1u);
    second.Stop();
    EXPECT_TRUE(DriverWindows().empty());

    WNDCLASSA found{};
    EXPECT_TRUE(GetClassInfoA(api.module, kClassName, &found)) << "registered by the first Init";
    HMODULE module = api.module;
    UnloadDriverApi(api);
    EXPECT_FALSE(GetClassInfoA(module, kClassName, &found)) << "unregistered at process detach";
    ASSERT_TRUE(LoadDriverApi(api));
}

} // namespace
