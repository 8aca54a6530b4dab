#include "tests/torture/export_bounds.h"

#include <windows.h>

namespace {

// What a loaded machine adds to any call: two shared cores, the other developer's builds, Wine.
constexpr std::uint32_t kSlackMs = 1500;
// Done's wait for a worker stuck in a call, and the synchronous Init's wait_time + 15 s + 30 s.
constexpr std::uint32_t kWorkerWaitMs = 30000;
constexpr std::uint32_t kSyncInitMs = 45000;

} // namespace

ExportBounds BoundsFor(Mode mode, const FaultScenario& faults)
{
    ExportBounds bounds;
    bounds.quickMs = kSlackMs;
    if (mode == Mode::Sync) {
        // The host's thread only hands batches to the worker and waits for nothing of the server's.
        bounds.fireMs = kSlackMs;
        bounds.doneMs = kWorkerWaitMs + kSlackMs;
    } else {
        // The calls run in the host's thread: bounded by what the server makes them wait.
        bounds.fireMs = kSlackMs + faults.hostThreadDelayMs;
        bounds.doneMs = kSlackMs + faults.hostThreadDelayMs;
    }
    bounds.initMs = kSyncInitMs + kSlackMs;
    return bounds;
}

void TimedExport(Findings& findings, const char* name, std::uint32_t boundMs,
                 const std::function<void()>& call)
{
    ULONGLONG start = GetTickCount64();
    call();
    ULONGLONG took = GetTickCount64() - start;
    if (took > boundMs)
        Fail(findings, std::string(name) + " kept the host's thread " + std::to_string(took) + " ms (bound " +
                           std::to_string(boundMs) + " ms)");
}
