#pragma once
// The faults an episode's server shows: drawn from the behaviours of the simulation server, written as
// scenario lines that every server process of the fault phase reads. Each such process sends its
// shutdown notice and ends by itself after its life, so the faults stop as soon as the scenario file
// is rewritten without them and the last faulty process is gone.

#include <cstdint>
#include <string>

#include "tests/support/e2e_host.h"
#include "tests/torture/draw.h"

// What COM needs under Wine to launch a server process, generously.
constexpr std::uint32_t kServerLaunchMs = 3000;

struct FaultScenario {
    std::string behaviours;   // scenario lines, one behaviour each
    std::uint32_t lifeMs = 0; // from a process's first server object to its notice
    std::uint32_t exitAfterNoticeMs = 0;
    // The longest a call made in the host's own thread waits on purpose (asynchronous mode).
    std::uint32_t hostThreadDelayMs = 0;
    // Each server object reports NOCONFIG first, so the parameter file needs wait_running.
    bool notConfiguredFirst = false;
};

FaultScenario DrawFaultScenario(Draw& draw, Mode mode, std::uint32_t batchTimeoutMs);
// The scenario file's text: the torture items, then the behaviour lines.
std::string ScenarioText(const std::string& behaviours);
// The longest a faulty process lives, from its launch to its end.
std::uint32_t FaultyProcessLifeMs(const FaultScenario& faults);
