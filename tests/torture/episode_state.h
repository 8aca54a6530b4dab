#pragma once
// The records of one running episode: what was drawn, the instances of its host and what each has
// seen, the writes it asked for, and the driver's trace.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/e2e_host.h"
#include "tests/support/sim_control.h"
#include "tests/support/trace_capture.h"
#include "tests/torture/batch_ledger.h"
#include "tests/torture/export_bounds.h"
#include "tests/torture/fault_scenario.h"
#include "tests/torture/findings.h"
#include "tests/torture/host_plan.h"

constexpr std::uint32_t kMaxInstances = 2;

struct Instance {
    std::unique_ptr<E2eHost> host;
    BatchLedger ledger;
    bool live = false; // made, and Done not yet called
    bool lost = false; // as last seen through the probe channel
    bool readHasRamp = false;
    bool readHasTarget = false;
    bool doneInNextNotification = false;
    std::int32_t pendingWrite = -1; // index into Episode::writes of the open write batch
    std::uint32_t made = 0;
    std::uint32_t losses = 0;
    std::uint32_t returns = 0;
    ULONGLONG lastGoodReadTick = 0;
    // subscribe: the server's stamp of the latest good ramp value; the ramp's stamps never go back, not
    // even over a recovery, so an older one is a value from before (of an earlier connection).
    std::uint64_t lastRampStampMs = 0;
};

struct WriteRecord {
    std::int32_t value = 0;
    bool whileLost = false;
    bool notifiedOk = false;
};

struct Episode {
    const DriverApi* api = nullptr;
    Mode mode = Mode::Async;
    HostPlan plan;
    FaultScenario faults;
    ExportBounds bounds;
    Findings findings;
    SimServer sim;
    Instance instances[kMaxInstances];
    std::vector<WriteRecord> writes;
    TraceCapture traces;
    std::deque<std::string> recentTrace; // the last lines, printed with a failure
    std::uint32_t tracedLosses = 0;
    std::uint32_t tracedLimitLosses = 0; // losses by an expired batch limit
    std::uint32_t faultyProcesses = 0;   // server processes started before the faults ended
    bool killedFaulty = false;           // a faulty process had to be killed with connections to it
};
