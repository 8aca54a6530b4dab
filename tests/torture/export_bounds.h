#pragma once
// How long each export may keep the host's thread, as docs/connection.md and docs/robustness.md state
// it, and a runner that times one export call against its bound.

#include <cstdint>
#include <functional>

#include "tests/support/e2e_host.h"
#include "tests/torture/fault_scenario.h"
#include "tests/torture/findings.h"

struct ExportBounds {
    std::uint32_t quickMs = 0; // requests, finalizes, GetInput3, DisposeDriver after Done
    std::uint32_t fireMs = 0;  // InputRequestCompleted, OutputRequestCompleted
    std::uint32_t initMs = 0;
    std::uint32_t doneMs = 0;
};

ExportBounds BoundsFor(Mode mode, const FaultScenario& faults);
// Runs the call and reports it when it kept the host's thread longer than boundMs.
void TimedExport(Findings& findings, const char* name, std::uint32_t boundMs,
                 const std::function<void()>& call);
