#include "tests/torture/census.h"

#include "tests/support/process_census.h"
#include "tests/torture/host_loop.h"

namespace {

// Orphaned workers end once their server's process is gone, and COM frees some blocks a little after
// the call that ended their use.
constexpr std::uint32_t kSettleMs = 15000;

std::string Compared(const char* what, long long start, long long end)
{
    return std::string(what) + " not back: " + std::to_string(start) + " at the start, " +
           std::to_string(end) + " at the end";
}

} // namespace

Census TakeCensus()
{
    return Census{static_cast<std::uint32_t>(DriverWindows().size()), ThreadCount(), OpenHandleCount(),
                  LiveTaskMemory()};
}

void CheckCameBack(Episode& episode, const Census& start, std::uint32_t handleAllowance)
{
    Census end;
    auto back = [&] {
        end = TakeCensus();
        return end.windows <= start.windows && end.threads <= start.threads &&
               end.handles <= start.handles + handleAllowance &&
               end.taskMemory.blocks <= start.taskMemory.blocks &&
               end.taskMemory.bytes <= start.taskMemory.bytes;
    };
    if (RunUntil(episode, back, kSettleMs)) return;
    if (end.windows > start.windows)
        Fail(episode.findings, Compared("driver windows", start.windows, end.windows));
    if (end.threads > start.threads) Fail(episode.findings, Compared("threads", start.threads, end.threads));
    if (end.handles > start.handles + handleAllowance)
        Fail(episode.findings, Compared("handles", start.handles, end.handles) + " (Wine's allowance " +
                                   std::to_string(handleAllowance) + ")");
    if (end.taskMemory.blocks > start.taskMemory.blocks || end.taskMemory.bytes > start.taskMemory.bytes)
        Fail(episode.findings,
             Compared("COM task memory blocks", start.taskMemory.blocks, end.taskMemory.blocks) + " (" +
                 std::to_string(start.taskMemory.bytes) + " and " + std::to_string(end.taskMemory.bytes) +
                 " bytes)");
}
