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
constexpr int kRepetitions = 100;
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

// One build's instance on one table, and its figures per pattern.
struct Measured {
    DriverHost host{};
    std::vector<Segments> segments{};
};

// One table size: its patterns and both builds' instances on it.
struct Table {
    std::uint32_t size = 0;
    std::vector<Pattern> patterns{};
    Measured current{};
    Measured baseline{};
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

bool StartTable(const Builds& builds, const std::string& folder, std::uint32_t size, Table& table)
{
    std::string par = folder + "/async_" + std::to_string(size) + ".par";
    std::fprintf(stderr, "bench_exchange: host-side cost, starting %u configured channels\n", size);
    table.size = size;
    ParItems items;
    std::string error;
    bool ok =
        ReadParItems(par, items, error) && StartDriverHost(table.current.host, *builds.current, par, error) &&
        (builds.baseline == nullptr || StartDriverHost(table.baseline.host, *builds.baseline, par, error));
    if (!ok) {
        std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
        return false;
    }
    table.patterns = Patterns(items.channels);
    table.current.segments.resize(table.patterns.size());
    table.baseline.segments.resize(table.patterns.size());
    return true;
}

// Every table's instances stay up for the whole run and take turns within each round: the tables in
// an order that turns each round, and on each table the builds, the order alternating. A table's figure
// and its ratio to the smallest table's are thus taken under the same load, and none of them is the
// first after the process started.
bool RunRounds(const Builds& builds, std::vector<Table>& tables)
{
    bool withBaseline = builds.baseline != nullptr;
    int count = static_cast<int>(tables.size());
    for (int round = 0; round < kWarmUps + kRepetitions; ++round) {
        for (int turn = 0; turn < count; ++turn) {
            Table& t = tables[static_cast<std::size_t>(TurnOf(turn, round, count))];
            bool currentFirst = TurnOf(0, round, 2) == 0;
            bool ok =
                PatternRound(currentFirst || !withBaseline ? t.current : t.baseline, t.patterns, round) &&
                (!withBaseline || PatternRound(currentFirst ? t.baseline : t.current, t.patterns, round));
            if (!ok) {
                std::fprintf(stderr, "bench_exchange: a batch failed (%u configured channels)\n", t.size);
                return false;
            }
        }
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

// The five exports on this table over the same pattern on the smallest table, within each round.
std::string GrowthCells(const Segments& table, const Segments& smallest)
{
    return PerChannel(table.all) + " | " + MedianAndRange(RoundRatios(table.all, smallest.all));
}

void PrintTables(const std::vector<Table>& tables, bool withBaseline)
{
    std::printf("| configured channels | batch of 1000 | InputRequest ns | InputFinalized ns | GetInput3 ns "
                "| OutputRequest ns | OutputFinalized ns | all five ns |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Table& t : tables) {
        for (std::size_t p = 0; p < t.patterns.size(); ++p)
            PrintRow(t.size, t.patterns[p], t.current.segments[p]);
    }
    const Table& smallest = tables.front();
    std::printf("\n## Host-side cost against the table's size\n\n"
                "All five exports in ns per channel (medians, as above) and over the same pattern on the "
                "table of %u configured channels within each round, median [min, max]; %s.\n\n",
                smallest.size,
                withBaseline ? "this build and the baseline, each against its own smallest table"
                             : "this build only");
    std::printf("| configured channels | batch of 1000 | this build ns | over %u channels |%s\n",
                smallest.size, withBaseline ? " baseline ns | baseline over its own smallest table |" : "");
    std::printf("|---:|---|---:|---:|%s\n", withBaseline ? "---:|---:|" : "");
    for (const Table& t : tables) {
        for (std::size_t p = 0; p < t.patterns.size(); ++p) {
            std::printf("| %u | %s | %s |", t.size, t.patterns[p].name,
                        GrowthCells(t.current.segments[p], smallest.current.segments[p]).c_str());
            if (withBaseline)
                std::printf(" %s |",
                            GrowthCells(t.baseline.segments[p], smallest.baseline.segments[p]).c_str());
            std::printf("\n");
        }
    }
    std::printf("\n");
    if (!withBaseline) return;
    std::printf("## This build against the baseline: host-side cost\n\n"
                "Instances of both builds on the same table take turns within each round, the order "
                "alternating; all five exports in ns per channel (medians), and this build over the "
                "baseline within each round, median [min, max].\n\n"
                "| configured channels | batch of 1000 | this build ns | baseline ns | this over baseline |\n"
                "|---:|---|---:|---:|---:|\n");
    for (const Table& t : tables) {
        for (std::size_t p = 0; p < t.patterns.size(); ++p) {
            const Segments& current = t.current.segments[p];
            const Segments& baseline = t.baseline.segments[p];
            std::printf("| %u | %s | %s | %s | %s |\n", t.size, t.patterns[p].name,
                        PerChannel(current.all).c_str(), PerChannel(baseline.all).c_str(),
                        MedianAndRange(RoundRatios(current.all, baseline.all)).c_str());
        }
    }
    std::printf("\n");
}

} // namespace

bool RunHostCostTable(const Builds& builds, const std::string& folder)
{
    std::printf(
        "## Host-side cost of the exports\n\n"
        "The time the host's thread spends inside the exports, in ns per channel and call: an "
        "asynchronous instance with the given number of configured channels reads and writes a batch of "
        "%u channels in two patterns, spread (every n/%u-th channel of the table) and block (%u neighbours "
        "from its middle). The instances of every table size are up at once and take turns within each "
        "round, in an order that turns each round. Median of %d rounds after %d warm-up rounds.\n\n",
        kBatchChannels, kBatchChannels, kBatchChannels, kRepetitions, kWarmUps);
    std::vector<Table> tables(sizeof kTableSizes / sizeof kTableSizes[0]);
    bool ok = true;
    for (std::size_t i = 0; ok && i < tables.size(); ++i)
        ok = StartTable(builds, folder, kTableSizes[i], tables[i]);
    std::fprintf(stderr, "bench_exchange: host-side cost, %d rounds\n", kWarmUps + kRepetitions);
    ok = ok && RunRounds(builds, tables);
    for (Table& t : tables) {
        StopDriverHost(t.current.host);
        StopDriverHost(t.baseline.host);
    }
    if (ok) PrintTables(tables, builds.baseline != nullptr);
    std::fflush(stdout);
    return ok;
}
