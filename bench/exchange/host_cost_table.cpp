#include "bench/exchange/host_cost_table.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/par_items.h"
#include "bench/exchange/builds.h"
#include "bench/exchange/driver_host.h"

namespace {

constexpr std::uint32_t kTableSizes[] = {1000, 10000, 50000, 100000};
constexpr std::uint32_t kBatchChannels = 1000;
constexpr int kRepetitions = 30;
constexpr int kWarmUps = 3;

// The same number of channels in two patterns: every (n / k)-th channel of the table, so that the
// lookups land all over it, and k neighbours from its middle, as a host that reads a block does.
struct Pattern {
    const char* name;
    std::vector<std::uint32_t> channels;
};

std::vector<Pattern> Patterns(const std::vector<std::uint32_t>& all)
{
    Pattern spread{"spread", {}};
    Pattern block{"block", {}};
    std::size_t middle = all.size() / 2 - kBatchChannels / 2;
    for (std::uint32_t i = 0; i < kBatchChannels; ++i) {
        spread.channels.push_back(all[i * all.size() / kBatchChannels]);
        block.channels.push_back(all[middle + i]);
    }
    return {spread, block};
}

struct Segments {
    std::vector<double> readRequest{}, readFinalize{}, readGet{}, writeRequest{}, writeFinalize{}, all{};
};

void Record(Segments& s, const BatchTimes& read, const BatchTimes& write)
{
    s.readRequest.push_back(read.request);
    s.readFinalize.push_back(read.finalize);
    s.readGet.push_back(read.get);
    s.writeRequest.push_back(write.request);
    s.writeFinalize.push_back(write.finalize);
    s.all.push_back(read.request + read.finalize + read.get + write.request + write.finalize);
}

// Nanoseconds per channel of the median batch.
std::string PerChannel(const std::vector<double>& ms)
{
    return Figure(Summarise(ms).median * 1e6 / kBatchChannels);
}

// One build's instance on the table, and its figures per pattern.
struct Measured {
    DriverHost host{};
    std::vector<Segments> segments{};
};

bool PatternRound(Measured& m, const std::vector<Pattern>& patterns, int round)
{
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        BatchTimes read, write;
        if (!DriverRead(m.host, patterns[p].channels, read) ||
            !DriverWrite(m.host, patterns[p].channels, round, write))
            return false;
        if (round >= kWarmUps) Record(m.segments[p], read, write);
    }
    return true;
}

void PrintRow(std::uint32_t tableSize, const Pattern& pattern, const Segments& s)
{
    std::printf("| %u | %s | %s | %s | %s | %s | %s | %s |\n", tableSize, pattern.name,
                PerChannel(s.readRequest).c_str(), PerChannel(s.readFinalize).c_str(),
                PerChannel(s.readGet).c_str(), PerChannel(s.writeRequest).c_str(),
                PerChannel(s.writeFinalize).c_str(), PerChannel(s.all).c_str());
}

// This build's five exports over the baseline's within each round.
std::string BaselineRow(std::uint32_t tableSize, const Pattern& pattern, const Segments& current,
                        const Segments& baseline)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < current.all.size() && i < baseline.all.size(); ++i)
        ratios.push_back(current.all[i] / baseline.all[i]);
    return "| " + std::to_string(tableSize) + " | " + pattern.name + " | " + PerChannel(current.all) + " | " +
           PerChannel(baseline.all) + " | " + MedianAndRange(Summarise(ratios)) + " |\n";
}

bool MeasureTable(const Builds& builds, const std::string& folder, std::uint32_t tableSize,
                  std::string& baselineRows)
{
    std::string par = folder + "/async_" + std::to_string(tableSize) + ".par";
    std::fprintf(stderr, "bench_exchange: host-side cost, %u configured channels\n", tableSize);
    ParItems items;
    std::string error;
    Measured current, baseline;
    bool withBaseline = builds.baseline != nullptr;
    bool ok = ReadParItems(par, items, error) && StartDriverHost(current.host, *builds.current, par, error) &&
              (!withBaseline || StartDriverHost(baseline.host, *builds.baseline, par, error));
    if (!ok) std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
    std::vector<Pattern> patterns = ok ? Patterns(items.channels) : std::vector<Pattern>{};
    current.segments.resize(patterns.size());
    baseline.segments.resize(patterns.size());
    for (int round = 0; ok && round < kWarmUps + kRepetitions; ++round) {
        // The builds take turns, the order alternating each round.
        bool currentFirst = TurnOf(0, round, 2) == 0;
        ok = PatternRound(currentFirst || !withBaseline ? current : baseline, patterns, round) &&
             (!withBaseline || PatternRound(currentFirst ? baseline : current, patterns, round));
    }
    StopDriverHost(current.host);
    StopDriverHost(baseline.host);
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: a batch failed (%u configured channels)\n", tableSize);
        return false;
    }
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        PrintRow(tableSize, patterns[p], current.segments[p]);
        if (withBaseline)
            baselineRows += BaselineRow(tableSize, patterns[p], current.segments[p], baseline.segments[p]);
    }
    std::fflush(stdout);
    return true;
}

} // namespace

bool RunHostCostTable(const Builds& builds, const std::string& folder)
{
    std::printf(
        "## Host-side cost of the exports\n\n"
        "The time the host's thread spends inside the exports, in ns per channel and call: an "
        "asynchronous instance with the given number of configured channels reads and writes a batch of "
        "%u channels in two patterns, spread (every n/%u-th channel of the table) and block (%u neighbours "
        "from its middle). Median of %d rounds after %d warm-up rounds.\n\n",
        kBatchChannels, kBatchChannels, kBatchChannels, kRepetitions, kWarmUps);
    std::printf("| configured channels | batch of 1000 | InputRequest ns | InputFinalized ns | GetInput3 ns "
                "| OutputRequest ns | OutputFinalized ns | all five ns |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|\n");
    std::string baselineRows;
    for (std::uint32_t tableSize : kTableSizes) {
        if (!MeasureTable(builds, folder, tableSize, baselineRows)) return false;
    }
    std::printf("\n");
    if (baselineRows.empty()) return true;
    std::printf("## This build against the baseline: host-side cost\n\n"
                "Instances of both builds on the same table take turns within each round, the order "
                "alternating; all five exports in ns per channel (medians), and this build over the "
                "baseline within each round, median [min, max].\n\n"
                "| configured channels | batch of 1000 | this build ns | baseline ns | this over baseline |\n"
                "|---:|---|---:|---:|---:|\n%s\n",
                baselineRows.c_str());
    return true;
}
