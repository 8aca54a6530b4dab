#pragma once
// The simulation server for tagprobe's end-to-end tests: the standard items plus a suite's behaviour
// lines, registered under a fresh CLSID and started by the test program itself, so that every
// tagprobe run of the suite finds it running (no launch per run) and it outlives each run.

#include <memory>
#include <string>

#include <windows.h>
#include <unknwn.h>

#include <gtest/gtest.h>

#include "tests/support/sim_control.h"
#include "tests/support/temp_file.h"

struct RunningSim {
    SimServer server{};
    IUnknown* held = nullptr; // keeps the server process alive for the suite
};

::testing::AssertionResult StartSim(const std::string& behaviourLines, RunningSim& sim);
// Releases the server and its registration; safe to repeat.
void StopSim(RunningSim& sim);

// A suite with the standard items running (sim) and, when the suite starts it with behaviour lines,
// a second server of the standard items that behaves so (other). Suites run one after another, so
// each suite gets servers of its own under fresh CLSIDs.
class SimSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartSuite(""); }
    static void TearDownTestSuite();
    static void StartSuite(const std::string& otherBehaviourLines);

    static RunningSim sim;
    static RunningSim other;
};

// A parameter file for clsidText with serverLines in [server] and the standard channels:
//   1 Sim.I4, 2 Sim.R8, 3 Sim.BSTR, 4 Sim.BOOL, 5 Sim.UI4, 6 Sim.ReadOnly, 7 Sim.WriteOnly,
//   8 Sim.BadQuality, 9 Sim.Uncertain, 10-14 Sim.R8Array, 15 Sim.Ramp, 16 Sim.I8.
std::unique_ptr<TempFile> StandardParFile(const std::wstring& clsidText, const std::string& serverLines);

// The timestamp every fixed item of the standard scenario reports.
constexpr char kFixedTime[] = "2024-05-17T13:44:59.123Z";
