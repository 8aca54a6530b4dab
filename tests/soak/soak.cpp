// The accounting soak: an asynchronous and a synchronous instance exchange channels with the simulation
// server side by side, each firing its next read and write batch from inside its notification, until a
// number of channel operations (one channel requested, exchanged, finalized and, when read, collected
// with GetInput3) or a time limit is reached. It prints the driver's live blocks and bytes, COM's task
// memory (blocks and bytes, counted by a malloc spy), the process's private bytes, open handles and
// threads after the first batches and at the end; the exit code is 0 when the counters came back to
// their start values and every operation succeeded. It needs OANOCACHE=1 (scripts/soak sets it).
// Usage: soak [channel operations] [seconds]

#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include "hostrt/core.h"
#include "tests/support/e2e_host.h"
#include "tests/support/process_census.h"
#include "tests/support/task_memory.h"
#include "tests/support/wait.h"

namespace {

constexpr std::uint64_t kDefaultOperations = 1000000;
constexpr std::uint32_t kDefaultSeconds = 480;
// Handles and threads of COM's own that end a little after the last call settle within this.
constexpr std::uint32_t kSettleMs = 10000;

// Every channel of the test parameter file that both reads and writes, and the read-only ones.
constexpr std::uint32_t kReadChannels[] = {
    kI1,   kI2,   kI4, kUI1,  kUI2,      kUI4,        kInt,       kUInt,    kR4,          kR8,
    kBool, kText, kCy, kDate, kReadOnly, kBadQuality, kUncertain, kR8Array, kR8Array + 4, kTextArray};
constexpr std::uint32_t kWriteChannels[] = {kI1, kI2, kI4, kUI1, kUI2, kInt, kR4, kR8, kBool, kWriteOnly};

struct Figures {
    std::uint32_t blocks;
    std::uint64_t bytes;
    TaskMemory taskMemory;
    std::uint64_t privateBytes;
    std::uint32_t handles;
    std::uint32_t threads;
};

// Committed private memory of the process, summed over its address space (Wine reports no PrivateUsage).
std::uint64_t PrivateBytes()
{
    std::uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

Figures Measure()
{
    return Figures{LiveBlockCount(), LiveBlockBytes(),  LiveTaskMemory(),
                   PrivateBytes(),   OpenHandleCount(), ThreadCount()};
}

void Print(const char* when, const Figures& f)
{
    std::printf(
        "%-6s live blocks %u (%llu bytes), COM task memory %lld blocks (%lld bytes), private bytes %llu, "
        "handles %u, threads %u\n",
        when, f.blocks, static_cast<unsigned long long>(f.bytes), static_cast<long long>(f.taskMemory.blocks),
        static_cast<long long>(f.taskMemory.bytes), static_cast<unsigned long long>(f.privateBytes),
        f.handles, f.threads);
}

// One instance that fires its next batch of a direction from inside the notification of the last one.
struct Runner {
    E2eHost host;
    std::uint64_t operations = 0;
    std::uint64_t failures = 0;
    std::uint32_t round = 0;
    bool firing = false;

    void FireRead()
    {
        for (std::uint32_t channel : kReadChannels)
            host.RequestRead({channel});
        host.FireRead();
    }
    void FireWrite()
    {
        ++round;
        for (std::uint32_t channel : kWriteChannels)
            host.RequestWrite(channel, Value(TypeI32, static_cast<std::int32_t>(round % 100)));
        host.FireWrite();
    }
    void Collect(std::uint32_t kind)
    {
        if (kind == 0) {
            for (std::uint32_t channel : kReadChannels) {
                failures += host.ReadStatus(channel) != StatusOk;
                host.Get(channel, channel == kText ? TypeF64 : TypeI32);
            }
            operations += std::size(kReadChannels);
        } else {
            for (std::uint32_t channel : kWriteChannels)
                failures += host.WriteStatus(channel) != StatusOk;
            operations += std::size(kWriteChannels);
        }
    }
    // Keeps both directions going while firing is set; each batch's channels are counted at its end.
    void Start()
    {
        firing = true;
        host.onNotify = [this](std::uint32_t kind) {
            host.notes.clear(); // the record of notifications would grow with the run
            Collect(kind);
            if (!firing) return;
            if (kind == 0) {
                FireRead();
            } else {
                FireWrite();
            }
        };
        FireRead();
        FireWrite();
    }
    // No batch of either direction is outstanding (their first channels are finished).
    bool Idle()
    {
        return host.ReadStatus(kReadChannels[0]) != kPending &&
               host.WriteStatus(kWriteChannels[0]) != kPending;
    }
};

// Runs both instances until the operations are done or the time is up, then lets the last batches end.
bool Run(Runner& async, Runner& sync, std::uint64_t operations, std::uint32_t seconds)
{
    async.Start();
    sync.Start();
    std::uint32_t limitMs = seconds * 1000;
    WaitUntil([&] { return async.operations + sync.operations >= operations; }, limitMs, "the operations");
    async.firing = sync.firing = false;
    return WaitUntil([&] { return async.Idle() && sync.Idle(); }, kSettleMs, "the last batches");
}

} // namespace

int main(int argc, char** argv)
{
    std::uint64_t operations = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultOperations;
    std::uint32_t seconds =
        argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : kDefaultSeconds;
    // The driver is part of this program (to see its allocator); its module entry's part is called by hand.
    if (!BstrCacheIsOff() || !CountTaskMemory()) {
        std::printf("COM task memory cannot be counted: run with OANOCACHE=1\n");
        return 2;
    }
    DriverApi api;
    if (!AttachLinkedInDriver(api)) {
        std::printf("cannot resolve the driver's exports\n");
        return 2;
    }
    Runner async, sync;
    if (!async.host.Start(api, Mode::Async) || !sync.host.Start(api, Mode::Sync)) {
        std::printf("cannot start the instances\n");
        return 2;
    }
    // What COM and the driver set up once, at the first batches, is not growth.
    if (!Run(async, sync, 1, seconds)) return 2;
    async.operations = sync.operations = 0;
    Figures start = Measure();
    Print("start", start);
    ULONGLONG began = GetTickCount64();
    bool settled = Run(async, sync, operations, seconds);
    double took = (GetTickCount64() - began) / 1000.0;
    WaitUntil(
        [&] {
            return OpenHandleCount() <= start.handles && ThreadCount() <= start.threads &&
                   LiveTaskMemory() == start.taskMemory;
        },
        kSettleMs, "the handles, threads and task memory of the start");
    Figures end = Measure();
    Print("end", end);
    std::uint64_t done = async.operations + sync.operations;
    std::printf("channel operations %llu (asynchronous %llu, synchronous %llu) in %.1f s, failed %llu\n",
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(async.operations),
                static_cast<unsigned long long>(sync.operations), took,
                static_cast<unsigned long long>(async.failures + sync.failures));
    TaskMemory leftovers = WineStubLeftovers();
    std::printf("not counted: %lld blocks (%lld bytes) that Wine's stubs left behind after incoming calls\n",
                static_cast<long long>(leftovers.blocks), static_cast<long long>(leftovers.bytes));
    std::printf("private bytes changed by %lld\n",
                static_cast<long long>(end.privateBytes) - static_cast<long long>(start.privateBytes));
    // COM's helper threads may have ended meanwhile: fewer handles or threads are no leak.
    bool same = end.blocks == start.blocks && end.bytes == start.bytes &&
                end.taskMemory == start.taskMemory && end.handles <= start.handles &&
                end.threads <= start.threads;
    bool ok = settled && same && async.failures + sync.failures == 0;
    std::printf("%s\n",
                ok ? "accounting: back to the start values" : "accounting: NOT back to the start values");
    return ok ? 0 : 1;
}
