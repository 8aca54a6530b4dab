#include "tests/torture/host_loop.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/wait.h"
#include "tests/torture/instance_ops.h"

namespace {

constexpr std::size_t kKeptTraceLines = 80;
constexpr char kLossTracePrefix[] = "Reconnect: ";
constexpr char kLimitLossTrace[] = "Reconnect: batch time limit expired, server lost";
// The longest the loop sleeps when nothing arrives: the poll of the instances' states.
constexpr DWORD kPollMs = 10;

// TORTURE_TRACE=1 prints every trace line as it comes, among the episode's own lines (for a replay).
bool TraceWanted()
{
    static const bool wanted = std::getenv("TORTURE_TRACE") != nullptr;
    return wanted;
}

void KeepTrace(Episode& episode)
{
    for (const std::wstring& text : episode.traces.Take()) {
        std::string line = Narrow(text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.rfind(kLossTracePrefix, 0) == 0 && line.find("server lost") != std::string::npos)
            ++episode.tracedLosses;
        if (line == kLimitLossTrace) ++episode.tracedLimitLosses;
        if (TraceWanted()) Tell(episode.findings, "trace: " + line);
        episode.recentTrace.push_back(line);
        if (episode.recentTrace.size() > kKeptTraceLines) episode.recentTrace.pop_front();
    }
}

void Round(Episode& episode)
{
    PumpMessages();
    for (Instance& instance : episode.instances) {
        // Ended from inside a notification, or never made: disposed of here, in the host's loop.
        if (instance.host && !instance.live) EndInstance(episode, instance);
        if (!instance.live) continue;
        ObserveState(episode, instance);
        ReportOverdue(instance.ledger, episode.findings);
    }
    KeepTrace(episode);
}

} // namespace

bool RunUntil(Episode& episode, const std::function<bool()>& done, std::uint32_t timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        Round(episode);
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
}

void PrintRecentTrace(const Episode& episode)
{
    std::printf("    last lines of the driver's trace:\n");
    for (const std::string& line : episode.recentTrace)
        std::printf("      %s\n", line.c_str());
}
