#include "bench/exchange/own_time_table.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/par_items.h"
#include "bench/common/trace_clock.h"
#include "bench/exchange/bench_plan.h"
#include "bench/exchange/builds.h"
#include "bench/exchange/driver_host.h"

namespace {

// Fewer rounds than the batch table: the own time varies much less than the server's. At least 9, so
// that a thread wake-up delayed by the shared machine's scheduler (milliseconds, the own time of a whole
// large batch) does not decide the median.
constexpr int kRoundsDivisor = 4;
constexpr int kMinRounds = 9;

struct OwnSeries {
    std::vector<double> totalMs{};
    std::vector<double> callMs{};
    std::vector<double> ownMs{};
    std::vector<double> loopsMs{}; // the host's loops: requests, finalize, GetInput3
    std::vector<double> ratios{};  // batch over server window, per round
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
        s.loopsMs.push_back(times.request + times.finalize + times.get);
        s.ratios.push_back(times.Total() / call);
    }
    return true;
}

void PrintRow(std::uint32_t channels, Mode mode, const char* direction, const OwnSeries& s)
{
    double total = Summarise(s.totalMs).median;
    Spread own = Summarise(s.ownMs);
    double loops = Summarise(s.loopsMs).median;
    std::printf(
        "| %u | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", channels, ModeName(mode), direction,
        Figure(total).c_str(), Figure(Summarise(s.callMs).median).c_str(), MedianAndRange(own).c_str(),
        Figure(own.median * 1000 / channels).c_str(), Figure(loops * 1000 / channels).c_str(),
        Figure((own.median - loops) * 1000 / channels).c_str(), MedianAndRange(Summarise(s.ratios)).c_str());
}

// One build's traced instance, and what its batches gave.
struct Traced {
    DriverHost host{};
    OwnSeries read{};
    OwnSeries write{};
};

bool TracedRound(Traced& t, const ParItems& items, int round)
{
    BatchTimes times;
    bool counted = round >= kWarmUps;
    ArmTraceClock();
    bool ok = DriverRead(t.host, items.channels, times) && Record(t.read, times, counted);
    ArmTraceClock();
    return ok && DriverWrite(t.host, items.channels, round, times) && Record(t.write, times, counted);
}

void PrintBaselineRow(std::uint32_t channels, Mode mode, const char* direction, const OwnSeries& current,
                      const OwnSeries& baseline)
{
    std::printf("| %u | %s | %s | %s | %s | %s |\n", channels, ModeName(mode), direction,
                Figure(Summarise(current.ownMs).median * 1000 / channels).c_str(),
                Figure(Summarise(baseline.ownMs).median * 1000 / channels).c_str(),
                MedianAndRange(RoundRatios(current.ownMs, baseline.ownMs)).c_str());
}

// What the baseline comparison prints after the main table.
struct Compared {
    std::uint32_t channels;
    Mode mode;
    OwnSeries currentRead, currentWrite, baselineRead, baselineWrite;
};

bool MeasureSize(const Builds& builds, const std::string& folder, const Size& size, Mode mode,
                 std::vector<Compared>& compared)
{
    std::string par = ParPath(folder, "trace_", mode, size.channels);
    std::fprintf(stderr, "bench_exchange: own time, %u channels, %s\n", size.channels, ModeName(mode));
    ParItems items;
    std::string error;
    Traced current, baseline;
    bool withBaseline = builds.baseline != nullptr;
    bool ok = ReadParItems(par, items, error) && StartDriverHost(current.host, *builds.current, par, error) &&
              (!withBaseline || StartDriverHost(baseline.host, *builds.baseline, par, error));
    if (!ok) std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
    int rounds = std::max(kMinRounds, size.rounds / kRoundsDivisor);
    for (int round = 0; ok && round < kWarmUps + rounds; ++round) {
        // The builds take turns, the order alternating each round.
        bool currentFirst = TurnOf(0, round, 2) == 0;
        ok = TracedRound(currentFirst || !withBaseline ? current : baseline, items, round) &&
             (!withBaseline || TracedRound(currentFirst ? baseline : current, items, round));
    }
    StopDriverHost(current.host);
    StopDriverHost(baseline.host);
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: a traced batch failed (%u channels, %s)\n", size.channels,
                     ModeName(mode));
        return false;
    }
    PrintRow(size.channels, mode, "read", current.read);
    PrintRow(size.channels, mode, "write", current.write);
    std::fflush(stdout);
    if (withBaseline)
        compared.push_back({size.channels, mode, current.read, current.write, baseline.read, baseline.write});
    return true;
}

// The own time per channel of a large batch against a smaller one, taken in the same rounds: the
// sizes' own times move by a factor of two between runs on the shared machine, which would decide a
// ratio of figures taken minutes apart.
constexpr std::uint32_t kGrowthSizes[] = {10000, 100000};

std::vector<double> PerChannelUs(const OwnSeries& s, std::uint32_t channels)
{
    std::vector<double> us;
    for (double ms : s.ownMs)
        us.push_back(ms * 1000 / channels);
    return us;
}

struct GrowthSide {
    ParItems items[2]{};
    Traced traced[2]{};
};

bool StartGrowthSide(const DriverApi& api, const std::string& folder, Mode mode, GrowthSide& side)
{
    for (int i = 0; i < 2; ++i) {
        std::string par = ParPath(folder, "trace_", mode, kGrowthSizes[i]);
        std::string error;
        if (!ReadParItems(par, side.items[i], error) ||
            !StartDriverHost(side.traced[i].host, api, par, error)) {
            std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

std::string GrowthCells(const GrowthSide& side, OwnSeries Traced::*direction)
{
    std::vector<double> small = PerChannelUs(side.traced[0].*direction, kGrowthSizes[0]);
    std::vector<double> large = PerChannelUs(side.traced[1].*direction, kGrowthSizes[1]);
    return Figure(Summarise(small).median) + " | " + Figure(Summarise(large).median) + " | " +
           MedianAndRange(RoundRatios(large, small));
}

bool MeasureGrowth(const Builds& builds, const std::string& folder, Mode mode, std::string& rows)
{
    std::fprintf(stderr, "bench_exchange: own time, %u against %u channels, %s\n", kGrowthSizes[1],
                 kGrowthSizes[0], ModeName(mode));
    bool withBaseline = builds.baseline != nullptr;
    GrowthSide current, baseline;
    bool ok = StartGrowthSide(*builds.current, folder, mode, current) &&
              (!withBaseline || StartGrowthSide(*builds.baseline, folder, mode, baseline));
    // Sizes and builds take turns, each order turning from round to round.
    for (int round = 0; ok && round < kWarmUps + kMinRounds; ++round) {
        for (int turn = 0; ok && turn < 2; ++turn) {
            int size = TurnOf(turn, round, 2);
            bool currentFirst = TurnOf(0, round / 2, 2) == 0;
            GrowthSide& first = currentFirst || !withBaseline ? current : baseline;
            GrowthSide& second = currentFirst ? baseline : current;
            ok = TracedRound(first.traced[size], first.items[size], round) &&
                 (!withBaseline || TracedRound(second.traced[size], second.items[size], round));
        }
    }
    for (GrowthSide* side : {&current, &baseline}) {
        for (Traced& t : side->traced)
            StopDriverHost(t.host);
    }
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: a traced batch failed (%s)\n", ModeName(mode));
        return false;
    }
    for (OwnSeries Traced::*direction : {&Traced::read, &Traced::write}) {
        rows += std::string("| ") + ModeName(mode) + " | " + (direction == &Traced::read ? "read" : "write") +
                " | " + GrowthCells(current, direction) + " |";
        if (withBaseline) rows += " " + GrowthCells(baseline, direction) + " |";
        rows += "\n";
    }
    return true;
}

void PrintGrowthTable(const std::string& rows, bool withBaseline)
{
    std::printf("## The driver's own time against the batch's size\n\n"
                "Traced instances of %u and %u channels take turns within each round (and, with a "
                "baseline, both builds' instances), each order turning from round to round; %d rounds "
                "after %d warm-up rounds. Own time as above in us per channel (medians), and the larger "
                "batch's over the smaller's within each round, median [min, max].\n\n",
                kGrowthSizes[0], kGrowthSizes[1], kMinRounds, kWarmUps);
    std::string baselineHead = withBaseline
                                   ? " baseline at " + std::to_string(kGrowthSizes[0]) + " | baseline at " +
                                         std::to_string(kGrowthSizes[1]) + " | baseline over |"
                                   : "";
    std::printf("| mode | batch | own us/channel at %u | at %u | %u over %u |%s\n", kGrowthSizes[0],
                kGrowthSizes[1], kGrowthSizes[1], kGrowthSizes[0], baselineHead.c_str());
    std::printf("|---|---|---:|---:|---:|%s\n%s\n", withBaseline ? "---:|---:|---:|" : "", rows.c_str());
}

} // namespace

bool RunOwnTimeTable(const Builds& builds, const std::string& folder)
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
        "would give, whatever the server's speed at the moment. Own time split per channel: the host's "
        "loops (InputRequest or OutputRequest, InputFinalized or OutputFinalized, GetInput3 for every "
        "channel) and the rest (taking the batch, its arrays and VARIANTs, the completion's work per "
        "item, the notification, and in sync mode the hand-off).\n\n",
        kMinRounds, kWarmUps);
    std::printf("| channels | mode | batch | driver ms | server window ms | driver's own ms | own us/channel "
                "| loops us/channel | rest us/channel | batch over window |\n");
    std::printf("|---:|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<Compared> compared;
    for (const Size& size : kSizes) {
        for (Mode mode : {Mode::Async, Mode::Sync}) {
            if (!MeasureSize(builds, folder, size, mode, compared)) return false;
        }
    }
    std::printf("\n");
    std::string growthRows;
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        if (!MeasureGrowth(builds, folder, mode, growthRows)) return false;
    }
    PrintGrowthTable(growthRows, builds.baseline != nullptr);
    if (compared.empty()) return true;
    std::printf("## This build against the baseline: the driver's own time\n\n"
                "Traced instances of both builds on the same file take turns within each round, the order "
                "alternating; own time as above, us per channel (medians), and this build's own time over "
                "the baseline's within each round, median [min, max].\n\n"
                "| channels | mode | batch | this build own us/channel | baseline own us/channel "
                "| this over baseline |\n|---:|---|---|---:|---:|---:|\n");
    for (const Compared& c : compared) {
        PrintBaselineRow(c.channels, c.mode, "read", c.currentRead, c.baselineRead);
        PrintBaselineRow(c.channels, c.mode, "write", c.currentWrite, c.baselineWrite);
    }
    std::printf("\n");
    return true;
}
