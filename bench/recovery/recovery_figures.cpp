// The figures of recovery, in both modes (scripts/recovery-figures): the time from the server's return
// to the first good batch over a number of restarts; a number of loss-and-recovery cycles with the
// driver's live blocks, handles, threads and COM task memory at the start and the end; and the longest
// time any export call, and any single message of the host's loop, took while it went on. The driver is
// linked into the program (as in the soak) so that its allocator's counts are readable.
// Usage: recovery_figures [restarts] [cycles]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "tests/support/task_memory.h"
#include "hostrt/core.h"
#include "tests/support/e2e_host.h"
#include "tests/e2e/recovery/sim_registration.h"
#include "tests/support/process_census.h"

namespace {

constexpr std::uint32_t kFigureWaitMs = 30000;
constexpr std::uint32_t kSettleMs = 10000;
// How long the server stays away in each restart before its class can be started again.
constexpr std::uint32_t kAwayMs = 700;
// The host's quality of a good OPC quality.
constexpr std::uint32_t kGoodQuality = 750;

struct Longest {
    ULONGLONG exportMs = 0;
    ULONGLONG messageMs = 0;
};

Longest longest;

// Runs one export call of the host and keeps the longest time any took.
void Export(const std::function<void()>& call)
{
    ULONGLONG start = GetTickCount64();
    call();
    longest.exportMs = std::max(longest.exportMs, GetTickCount64() - start);
}

// The host's message loop: every message is timed, since the window's handlers run the host's part of
// an attempt.
bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ULONGLONG start = GetTickCount64();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            longest.messageMs = std::max(longest.messageMs, GetTickCount64() - start);
        }
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

std::uint32_t ReadStatus(E2eHost& host)
{
    std::uint32_t status = 0;
    Export([&] { status = host.ReadStatus(kI4); });
    return status;
}

bool WaitLost(E2eHost& host)
{
    return PumpUntil([&] { return ReadStatus(host) == StatusServerDown; }, kFigureWaitMs);
}

bool WaitBack(E2eHost& host)
{
    return PumpUntil([&] { return ReadStatus(host) == StatusFailed; }, kFigureWaitMs);
}

// One read of Sim.I4; true when its notification came.
bool NotifiedRead(E2eHost& host)
{
    std::size_t before = host.notes.size();
    Export([&] { host.RequestRead({kI4}); });
    Export([&] { host.FireRead(); });
    return PumpUntil([&] { return host.notes.size() > before; }, kFigureWaitMs);
}

// One read of Sim.I4 and its notification; true when it came back good.
bool GoodRead(E2eHost& host)
{
    if (!NotifiedRead(host)) return false;
    Delivered got{};
    Export([&] { got = host.Get(kI4, TypeI32); });
    return ReadStatus(host) == StatusOk && got.quality == kGoodQuality;
}

// A read into a server that exits inside it: synchronous mode notifies the failed batch.
void FatalRead(E2eHost& host, Mode mode)
{
    std::size_t before = host.notes.size();
    Export([&] { host.RequestRead({kI4}); });
    Export([&] { host.FireRead(); });
    if (mode == Mode::Sync) PumpUntil([&] { return host.notes.size() > before; }, kFigureWaitMs);
}

const char* ReadCallOf(Mode mode)
{
    return mode == Mode::Async ? "AsyncRead" : "SyncRead";
}

// Each server process answers its first read and exits inside its second. The class is made impossible
// to start, the fatal read loses the server, and after kAwayMs the class can start again: that moment
// is the server's return.
bool ReturnTimes(const DriverApi& api, Mode mode, std::uint32_t restarts)
{
    E2eHost host;
    host.serverKeys = "reconnect = 0.5\nbatch_timeout = 5\n";
    if (!host.Start(api, mode, std::string("behaviour exit ") + ReadCallOf(mode) + " 2\n")) return false;
    if (!GoodRead(host)) return false;
    std::wstring command = SimCommand(host.Sim());
    std::vector<ULONGLONG> times;
    for (std::uint32_t i = 0; i < restarts; ++i) {
        if (!SetSimCommand(host.Sim(), kMissingSimProgram)) return false;
        FatalRead(host, mode);
        if (!WaitLost(host)) return false;
        PumpUntil([] { return false; }, kAwayMs);
        ULONGLONG back = GetTickCount64();
        if (!SetSimCommand(host.Sim(), command) || !WaitBack(host) || !GoodRead(host)) return false;
        times.push_back(GetTickCount64() - back);
    }
    std::sort(times.begin(), times.end());
    ULONGLONG median = times.size() % 2 == 1 ? times[times.size() / 2]
                                             : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf(
        "%s: server's return to the first good batch over %u restarts (reconnect 0.5 s): median %llu ms, "
        "range %llu to %llu ms\n",
        ModeName(mode), restarts, median, times.front(), times.back());
    host.Stop();
    return true;
}

struct Figures {
    std::uint32_t blocks;
    std::uint64_t bytes;
    std::uint32_t handles;
    std::uint32_t threads;
    TaskMemory taskMemory;
    TaskMemory wineStubLeftovers;
};

Figures Measure()
{
    return Figures{LiveBlockCount(), LiveBlockBytes(), OpenHandleCount(),
                   ThreadCount(),    LiveTaskMemory(), WineStubLeftovers()};
}

void Print(Mode mode, const char* when, const Figures& f)
{
    std::printf("%s: %-5s live blocks %u (%llu bytes), handles %u, threads %u, COM task memory %lld blocks "
                "(%lld bytes), left by Wine's stubs %lld blocks\n",
                ModeName(mode), when, f.blocks, static_cast<unsigned long long>(f.bytes), f.handles,
                f.threads, static_cast<long long>(f.taskMemory.blocks),
                static_cast<long long>(f.taskMemory.bytes),
                static_cast<long long>(f.wineStubLeftovers.blocks));
}

// Every server process sends its shutdown notice when its second read has returned and exits 100 ms
// later; the instance reads once (good), once more (whose answer races the notice), loses the server,
// and connects to the next one. Counted in calls, not in time: in asynchronous mode the first server
// object is the status probe's, and a loaded machine may take any time from there to the reads.
bool Cycles(const DriverApi& api, Mode mode, std::uint32_t cycles)
{
    E2eHost host;
    host.serverKeys = "reconnect = 0.2\nbatch_timeout = 5\n";
    std::string behaviours = std::string("behaviour shutdown after=2:") + ReadCallOf(mode) +
                             "\nbehaviour exit-after-shutdown 100\n";
    if (!host.Start(api, mode, behaviours)) return false;
    auto cycle = [&] { return GoodRead(host) && NotifiedRead(host) && WaitLost(host) && WaitBack(host); };
    // What COM and the driver set up once, in the first cycle, is not growth.
    if (!cycle()) return false;
    Figures start = Measure();
    Print(mode, "start", start);
    ULONGLONG began = GetTickCount64();
    for (std::uint32_t i = 0; i < cycles; ++i) {
        if (!cycle()) {
            std::printf("%s: cycle %u did not come back\n", ModeName(mode), i + 1);
            return false;
        }
    }
    double took = (GetTickCount64() - began) / 1000.0;
    PumpUntil([&] { return OpenHandleCount() <= start.handles && ThreadCount() <= start.threads; },
              kSettleMs);
    Figures end = Measure();
    Print(mode, "end", end);
    std::printf("%s: %u loss-and-recovery cycles in %.1f s\n", ModeName(mode), cycles, took);
    host.Stop();
    return end.blocks == start.blocks && end.bytes == start.bytes && end.handles <= start.handles &&
           end.threads <= start.threads && end.taskMemory.blocks <= start.taskMemory.blocks &&
           end.taskMemory.bytes <= start.taskMemory.bytes;
}

} // namespace

int main(int argc, char** argv)
{
    // The figures go to a file or a pipe as they come.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::uint32_t restarts = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 20;
    std::uint32_t cycles = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 200;
    DriverApi api;
    if (!AttachLinkedInDriver(api)) {
        std::printf("cannot resolve the driver's exports\n");
        return 2;
    }
    CoInitialize(nullptr);
    if (!BstrCacheIsOff() || !CountTaskMemory()) {
        std::printf("COM task memory cannot be counted: run with OANOCACHE=1\n");
        return 2;
    }
    bool ok = true;
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        longest = Longest{};
        bool returned = ReturnTimes(api, mode, restarts);
        bool cycled = returned && Cycles(api, mode, cycles);
        std::printf("%s: longest export call %llu ms, longest single message of the host's loop %llu ms\n",
                    ModeName(mode), longest.exportMs, longest.messageMs);
        if (!returned) std::printf("%s: a restart did not come back\n", ModeName(mode));
        if (returned && !cycled) std::printf("%s: accounting NOT back to the start values\n", ModeName(mode));
        ok = ok && returned && cycled;
    }
    std::printf("%s\n", ok ? "recovery figures: every cycle came back, accounting back to the start values"
                           : "recovery figures: FAILED");
    return ok ? 0 : 1;
}
