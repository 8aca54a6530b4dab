#pragma once
// The fixture of the Init and Done tests end to end: tagport.dll loaded per test as the host loads it,
// simulation servers with the plant items below registered per scenario (each removed at the end of the
// test), and instances (E2eHost) made on parameter files naming the latest of them.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/e2e_host.h"

// Channels bound to the items of every scenario here (a range 10-12 follows them).
constexpr std::uint32_t kLevel = 1;
constexpr std::uint32_t kPump = 2;

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadDriverApi(api)); }
    void TearDown() override
    {
        UnloadDriverApi(api);
        for (SimServer& server : servers)
            UnregisterSimScenario(server);
    }

    // Registers the plant items plus behaviour lines (scenario syntax) under a fresh CLSID in sim.
    ::testing::AssertionResult Serve(const std::string& behaviours = "")
    {
        sim = SimServer{};
        ::testing::AssertionResult registered = RegisterSimScenario(kPlantItems + behaviours, sim);
        servers.push_back(sim);
        return registered;
    }
    // Init of host (ANSI or W) on a parameter file naming sim's CLSID, then serverLines, then the channels.
    bool Connect(E2eHost& host, const std::string& serverLines, Width width = Width::Ansi,
                 std::string* text = nullptr, std::uint32_t errMax = 127)
    {
        return host.Init(api, ParameterText(sim, serverLines, kPlantChannels), width, text, errMax);
    }

    DriverApi api;
    SimServer sim;

private:
    static constexpr char kPlantItems[] = "item Plant.Level R8 rw 1.5\n"
                                          "item Plant.Pump BOOL rw true\n"
                                          "item Plant.Profile R8[3] rw {1 2 3}\n";
    static constexpr char kPlantChannels[] =
        "[channels]\n1 = Plant.Level\n2 = Plant.Pump\n10-12 = Plant.Profile\n";
    std::vector<SimServer> servers;
};
