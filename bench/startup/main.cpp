// Start-up and memory of one driver instance: Init time for the channels of a parameter file (the file
// plus AddItems on the simulation server), Done time, live bytes of the host runtime allocator per
// channel, and the process's private bytes before and after Init; beside it the time a bare OPC client
// takes to connect and add the same items. The driver is linked into this program, so that its
// allocator's counts are readable; Init is the operation behind the InitW export.
// Usage: bench_startup <parameter file>   prints one markdown row
//        bench_startup --header           prints the table's head
// Run one process per parameter file: the private bytes then show this Init alone, not a heap that
// earlier instances already grew.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include "bench/common/bare_client.h"
#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/par_items.h"
#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

// Enough rounds for a median, few enough for a large file's Init of some seconds.
constexpr int kRoundsBelow10000 = 11;
constexpr int kRoundsBelow50000 = 5;
constexpr int kRoundsFrom50000 = 3;

int Repetitions(std::size_t channels)
{
    return channels >= 50000 ? kRoundsFrom50000 : channels >= 10000 ? kRoundsBelow50000 : kRoundsBelow10000;
}

// The process's private bytes in MB, and the counter they come from: Wine leaves PrivateUsage at 0 and
// fills PagefileUsage, the commit charge, which Windows reports equal to PrivateUsage. 0 when neither is.
double PrivateMegabytes(const char** source)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    *source = "none";
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    SIZE_T bytes = counters.PrivateUsage;
    *source = "PrivateUsage";
    if (bytes == 0) {
        bytes = counters.PagefileUsage;
        *source = bytes == 0 ? "none" : "PagefileUsage (PrivateUsage is 0)";
    }
    return static_cast<double>(bytes) / (1024 * 1024);
}

void __cdecl IgnoreNotification(std::uint32_t, std::uint32_t, std::uint32_t) {}

struct InitFigures {
    std::vector<double> initMs{};
    std::vector<double> doneMs{};
    std::uint64_t liveBytes = 0; // added by the first Init
    std::uint32_t liveBlocks = 0;
    double privateBeforeMb = 0;
    double privateAfterMb = 0;
    const char* privateSource = "none";
};

// One instance from MakeDriverRecord to FreeDriverRecord; the first one also takes the memory figures.
bool MeasureInit(const std::wstring& par, InitFigures& f)
{
    OpcDriver* drv = MakeDriverRecord();
    if (drv == nullptr) return false;
    bool first = f.initMs.empty();
    const char* source = nullptr;
    double privateBefore = PrivateMegabytes(&source);
    std::uint64_t bytesBefore = LiveBlockBytes();
    std::uint32_t blocksBefore = LiveBlockCount();
    wchar_t err[kLastErrorMax + 1] = {};
    double t0 = NowMs();
    bool ok = Init(*drv, kHostNameMax, par.c_str(), kLastErrorMax, err, 0, IgnoreNotification);
    double t1 = NowMs();
    if (first) {
        f.privateBeforeMb = privateBefore;
        f.privateAfterMb = PrivateMegabytes(&f.privateSource);
        f.liveBytes = LiveBlockBytes() - bytesBefore;
        f.liveBlocks = LiveBlockCount() - blocksBefore;
    }
    Done(*drv);
    double t2 = NowMs();
    FreeDriverRecord(drv);
    if (!ok) {
        std::fwprintf(stderr, L"bench_startup: Init failed: %ls\n", err);
        return false;
    }
    f.initMs.push_back(t1 - t0);
    f.doneMs.push_back(t2 - t1);
    return true;
}

// The bare client's connection; the first one also starts the server if needed and loads COM's proxies,
// so that the driver's first Init measures its own work.
bool MeasureBareConnect(const ParItems& items, std::vector<double>& connectMs)
{
    BareClient bare;
    std::string step;
    double t0 = NowMs();
    HRESULT hr = ConnectBareClient(bare, items, step);
    double t1 = NowMs();
    ReleaseBareClient(bare);
    if (FAILED(hr)) {
        std::fprintf(stderr, "bench_startup: bare client: %s failed, 0x%08lX\n", step.c_str(), hr);
        return false;
    }
    connectMs.push_back(t1 - t0);
    return true;
}

void PrintHeader()
{
    std::printf(
        "## Start-up and memory\n\n"
        "One process per row, with the driver linked in. Init: the operation behind InitW (parameter "
        "file, server object, group, AddItems, advise); Done: the tear-down. Both median [min, max] of "
        "%d rounds below 10000 channels, %d below 50000, %d from 50000, after a bare client connected once "
        "(which "
        "starts the server and loads COM's proxies). Bare client connect: CoCreateInstance, AddGroup, "
        "AddItems, QueryInterface and Advise for the same items, once per round. Allocator: bytes (as "
        "requested, without the allocator's own headers) and blocks that the host runtime allocator holds "
        "after the first Init, per channel. Private bytes: the process's, right before and after that "
        "first Init.\n\n",
        kRoundsBelow10000, kRoundsBelow50000, kRoundsFrom50000);
    std::printf("| channels | mode | Init ms | Done ms | bare client connect ms | allocator bytes/channel "
                "| allocator blocks/channel | private MB before Init | private MB after Init "
                "| private bytes/channel | private bytes from |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
}

void PrintRow(const ParItems& items, const InitFigures& f, const std::vector<double>& connectMs)
{
    double n = static_cast<double>(items.channels.size());
    std::string privateBefore = f.privateAfterMb > 0 ? Figure(f.privateBeforeMb) : "n/a";
    std::string privateAfter = f.privateAfterMb > 0 ? Figure(f.privateAfterMb) : "n/a";
    std::string privatePerChannel =
        f.privateAfterMb > 0 ? Figure((f.privateAfterMb - f.privateBeforeMb) * 1024 * 1024 / n) : "n/a";
    std::printf("| %u | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                static_cast<unsigned>(items.channels.size()), items.sync ? "sync" : "async",
                MedianAndRange(Summarise(f.initMs)).c_str(), MedianAndRange(Summarise(f.doneMs)).c_str(),
                MedianAndRange(Summarise(connectMs)).c_str(),
                Figure(static_cast<double>(f.liveBytes) / n).c_str(), Figure(f.liveBlocks / n).c_str(),
                privateBefore.c_str(), privateAfter.c_str(), privatePerChannel.c_str(), f.privateSource);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--header") == 0) {
        PrintHeader();
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_startup <parameter file> | --header\n");
        return 2;
    }
    ParItems items;
    std::string error;
    if (!ReadParItems(argv[1], items, error)) {
        std::fprintf(stderr, "bench_startup: %s\n", error.c_str());
        return 1;
    }
    std::string path = argv[1];
    std::wstring par(path.begin(), path.end()); // the generated files' paths are ASCII
    std::fprintf(stderr, "bench_startup: %u channels, %s\n", static_cast<unsigned>(items.channels.size()),
                 items.sync ? "sync" : "async");
    if (FAILED(CoInitialize(nullptr))) return 1;
    RecordModuleInstance(GetModuleHandleW(nullptr)); // what the DLL's entry point does at attach
    std::vector<double> connectMs;
    InitFigures figures;
    bool ok = MeasureBareConnect(items, connectMs);
    // The first round is the warm-up of COM and the server; it is not counted.
    connectMs.clear();
    for (int round = 0; ok && round < Repetitions(items.channels.size()); ++round)
        ok = MeasureInit(par, figures) && MeasureBareConnect(items, connectMs);
    if (ok) PrintRow(items, figures, connectMs);
    UnregisterWindowClass();
    CoUninitialize();
    return ok ? 0 : 1;
}
