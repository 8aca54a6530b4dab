#include "tests/e2e/tagprobe/sim_fixture.h"

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tools/tagprobe/text_convert.h"
#include "tests/support/sim_items.h"

::testing::AssertionResult StartSim(const std::string& behaviourLines, RunningSim& sim)
{
    ::testing::AssertionResult registered =
        RegisterSimScenario(std::string(kSimStandardItems) + behaviourLines, sim.server);
    if (!registered) return registered;
    HRESULT hr = CoCreateInstance(sim.server.clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&sim.held));
    if (FAILED(hr))
        return ::testing::AssertionFailure() << "cannot start the simulation server: 0x" << std::hex << hr;
    return ::testing::AssertionSuccess();
}

void StopSim(RunningSim& sim)
{
    if (sim.held != nullptr) sim.held->Release();
    sim.held = nullptr;
    UnregisterSimScenario(sim.server);
}

std::unique_ptr<TempFile> StandardParFile(const std::wstring& clsidText, const std::string& serverLines)
{
    std::string text = "[server]\r\nCLSID = " + Utf8FromWide(clsidText) + "\r\n" + serverLines +
                       "[channels]\r\n"
                       "1 = " +
                       kSimItemI4 + "\r\n2 = " + kSimItemR8 + "\r\n3 = " + kSimItemText +
                       "\r\n4 = " + kSimItemBool + "\r\n5 = " + kSimItemUI4 + "\r\n6 = " + kSimItemReadOnly +
                       "\r\n7 = " + kSimItemWriteOnly + "\r\n8 = " + kSimItemBadQuality +
                       "\r\n9 = " + kSimItemUncertain + "\r\n10-14 = " + kSimItemR8Array +
                       "\r\n15 = " + kSimItemRamp + "\r\n16 = " + kSimItemI8 + "\r\n";
    return std::make_unique<TempFile>(text);
}

RunningSim SimSuite::sim;
RunningSim SimSuite::other;

void SimSuite::StartSuite(const std::string& otherBehaviourLines)
{
    CoInitialize(nullptr);
    ASSERT_TRUE(StartSim("", sim));
    if (!otherBehaviourLines.empty()) {
        ASSERT_TRUE(StartSim(otherBehaviourLines, other));
    }
}

void SimSuite::TearDownTestSuite()
{
    StopSim(sim);
    StopSim(other);
    CoUninitialize();
}
