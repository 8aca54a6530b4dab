#include "bench/exchange/own_time_table.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/par_items.h"
#include "bench/common/trace_clock.h"
#include "bench/exchange/bench_plan.h"
#include "bench/exchange/driver_host.h"

namespace {

// Fewer rounds than the batch table: the own time varies much less than the server's.
constexpr int kRoundsDivisor = 4;
constexpr int kMinRounds = 5;

struct OwnSeries {
    std::vector<double> totalMs{};
    std::vector<double> callMs{};
    std::vector<double> ownMs{};
    std::vector<double> ratios{}; // batch over server window, per round
};

bool Record(OwnSeries& s, const BatchTimes& times, bool counted)
{
    CallWindow window = TakeCallWindow();
    if (!window.complete) return false;
    if (counted) {
        double call = window.endMs - window.startMs;
        s.totalMs.push_back(times.Total());
        s.callMs.push_back(call);
        s.ownMs.push_back(times.Total() - call);
        s.ratios.push_back(times.Total() / call);
    }
    return true;
}

void PrintRow(std::uint32_t channels, Mode mode, const char* direction, const OwnSeries& s)
{
    double total = Summarise(s.totalMs).median;
    Spread own = Summarise(s.ownMs);
    std::printf("| %u | %s | %s | %s | %s | %s | %s | %s |\n", channels, ModeName(mode), direction,
                Figure(total).c_str(), Figure(Summarise(s.callMs).median).c_str(),
                MedianAndRange(own).c_str(), Figure(own.median * 1000 / channels).c_str(),
                MedianAndRange(Summarise(s.ratios)).c_str());
}

bool MeasureSize(const DriverApi& api, const std::string& folder, const Size& size, Mode mode)
{
    std::string par = ParPath(folder, "trace_", mode, size.channels);
    std::fprintf(stderr, "bench_exchange: own time, %u channels, %s\n", size.channels, ModeName(mode));
    ParItems items;
    std::string error;
    DriverHost host;
    bool ok = ReadParItems(par, items, error) && StartDriverHost(host, api, par, error);
    if (!ok) std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
    OwnSeries read, write;
    int rounds = std::max(kMinRounds, size.rounds / kRoundsDivisor);
    for (int round = 0; ok && round < kWarmUps + rounds; ++round) {
        BatchTimes times;
        ArmTraceClock();
        ok = DriverRead(host, items.channels, times) && Record(read, times, round >= kWarmUps);
        ArmTraceClock();
        ok = ok && DriverWrite(host, items.channels, round, times) && Record(write, times, round >= kWarmUps);
    }
    StopDriverHost(host);
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: a traced batch failed (%u channels, %s)\n", size.channels,
                     ModeName(mode));
        return false;
    }
    PrintRow(size.channels, mode, "read", read);
    PrintRow(size.channels, mode, "write", write);
    std::fflush(stdout);
    return true;
}

} // namespace

bool RunOwnTimeTable(const DriverApi& api, const std::string& folder)
{
    if (!InstallTraceClock()) {
        std::fprintf(stderr, "bench_exchange: cannot watch the debug trace\n");
        return false;
    }
    std::printf(
        "## The driver's own time\n\n"
        "An instance with the trace on (\"debug = yes\") runs the same batches; its trace lines before "
        "the server call and at the completion (async) or the call's return (sync) mark the server's "
        "window: the server call, the server's work and COM's transport, as the bare client also pays "
        "them. The driver's own time is the batch less that window: requests, issue, the completion's "
        "work per item, the posted notification, finalize and GetInput3; in sync mode also the hand-off "
        "to the worker thread and back (two thread wake-ups), in async mode also COM's freeing of the "
        "completion's arrays after the callback returned. Medians of a quarter of the batch table's "
        "rounds (at least %d) after %d warm-up rounds, ms; own time also [min, max]. Batch over window: "
        "per round, median [min, max]; the ratio to the bare client that the driver's own work alone "
        "would give, whatever the server's speed at the moment.\n\n",
        kMinRounds, kWarmUps);
    std::printf("| channels | mode | batch | driver ms | server window ms | driver's own ms | own us/channel "
                "| batch over window |\n");
    std::printf("|---:|---|---|---:|---:|---:|---:|---:|\n");
    for (const Size& size : kSizes) {
        for (Mode mode : {Mode::Async, Mode::Sync}) {
            if (!MeasureSize(api, folder, size, mode)) return false;
        }
    }
    std::printf("\n");
    return true;
}
