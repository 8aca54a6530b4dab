// A second Init on one instance, as a host that retries after a failure would call it: refused with a
// text of its own, and the instance's end leaves no window behind, so the library unloads and loads
// again cleanly, in both modes.

#include <cstring>
#include <memory>
#include <string>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/e2e_host.h"
#include "tests/e2e/protocol/driver_windows.h"
#include "tests/support/driver_api.h"
#include "tests/support/sim_control.h"
#include "tests/support/sim_items.h"
#include "tests/support/temp_file.h"

namespace {

void __cdecl IgnoreNotification(std::uint32_t, std::uint32_t, std::uint32_t) {}

class InitTwiceE2E : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterSimScenario(kSimStandardItems, sim));
        std::wstring clsid = sim.clsidText;
        good = std::make_unique<TempFile>("[server]\nCLSID = " + std::string(clsid.begin(), clsid.end()) +
                                          "\nsync = " + (GetParam() == Mode::Sync ? "yes" : "no") +
                                          "\n[channels]\n1 = Sim.I4\n");
        ASSERT_TRUE(good->IsWritten());
        ASSERT_TRUE(LoadDriverApi(api));
    }
    void TearDown() override
    {
        UnloadDriverApi(api);
        UnregisterSimScenario(sim);
    }
    bool Init(OpcDriver* instance, const std::wstring& name)
    {
        std::string ansi(name.begin(), name.end()); // temporary paths here are ASCII
        err = std::string(128, 'x');
        BOOL ok = api.ansi.Init(instance, static_cast<std::uint32_t>(ansi.size()), ansi.c_str(), 127, &err[0],
                                0, 0, 1, IgnoreNotification);
        err.resize(std::strlen(err.c_str()));
        return ok != FALSE;
    }

    DriverApi api;
    SimServer sim;
    std::unique_ptr<TempFile> good;
    std::string err;
};

INSTANTIATE_TEST_SUITE_P(BothModes, InitTwiceE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(InitTwiceE2E, ASecondInitIsRefusedAndTheInstanceEndsWithoutAWindowLeft)
{
    OpcDriver* instance = api.ansi.MakeDriver();
    ASSERT_NE(instance, nullptr);
    EXPECT_FALSE(Init(instance, good->Path() + L".missing"));
    EXPECT_EQ(err, "Cannot open specified parameter file");
    EXPECT_FALSE(Init(instance, good->Path()));
    EXPECT_EQ(err, "Init was already called for this driver instance");
    EXPECT_EQ(DriverWindowsOfThisThread().size(), 1u);
    api.ansi.Done(instance);
    api.ansi.DisposeDriver(instance);
    EXPECT_TRUE(DriverWindowsOfThisThread().empty()) << "a window still points at the freed instance";

    // The class goes with the library; a fresh load registers it again and serves a new instance.
    UnloadDriverApi(api);
    ASSERT_TRUE(LoadDriverApi(api));
    instance = api.ansi.MakeDriver();
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(Init(instance, good->Path())) << err;
    EXPECT_EQ(err, "");
    api.ansi.Done(instance);
    api.ansi.DisposeDriver(instance);
    EXPECT_TRUE(DriverWindowsOfThisThread().empty());
}

} // namespace
