// The channel lookup alone, without a server: the ordered table's tree against the flat index the
// exports use, for tables of 1 000 to 100 000 records in three numberings (dense scalars and scalars
// and ranges with small gaps, which get the direct array; every 10th number, which gets the sorted
// array), looked up in the table's order and spread over it. Prints ns per lookup (median of the passes) and
// the index's bytes per record; then what the first touch of a host's channels costs once other work has
// used the caches. Usage: bench_lookup [passes per figure, default 7]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "config/channel_index.h"
#include "hostrt/core.h"

namespace {

constexpr std::uint32_t kTableSizes[] = {1000, 10000, 50000, 100000};
constexpr std::uint32_t kLookupsPerPass = 200000;

struct Numbering {
    const char* name;
    bool ranges;          // every third record a range of 2 to 8 elements
    std::uint32_t unused; // numbers left out after each record
};
constexpr Numbering kNumberings[] = {
    {"dense", false, 0}, {"ranges and gaps", true, 1}, {"every 10th", false, 9}};

std::vector<std::uint32_t> FillTable(ChannelTable& table, std::uint32_t records, const Numbering& numbering)
{
    std::vector<std::uint32_t> firsts;
    std::uint32_t next = 1;
    for (std::uint32_t i = 0; i < records; ++i) {
        std::uint32_t count = numbering.ranges && i % 3 == 0 ? 2 + i % 7 : 0;
        if (!AddChannel(table, next, count, L"Bench.T000001")) std::exit(1);
        firsts.push_back(next);
        next += (count == 0 ? 1 : count) + numbering.unused;
    }
    return firsts;
}

// Every record once, in the table's order or in steps of about 0.618 of the table (a prime, so that the
// steps reach every record) as a host that polls in its own order does.
std::vector<std::uint32_t> Order(const std::vector<std::uint32_t>& firsts, bool spread)
{
    std::vector<std::uint32_t> numbers;
    std::uint64_t n = firsts.size();
    std::uint64_t step = 1;
    if (spread) {
        step = n * 618 / 1000 + 1;
        auto coprime = [n](std::uint64_t s) {
            std::uint64_t a = n, b = s;
            while (b != 0) {
                std::uint64_t t = a % b;
                a = b;
                b = t;
            }
            return a == 1;
        };
        while (!coprime(step))
            ++step;
    }
    for (std::uint64_t i = 0; i < n; ++i)
        numbers.push_back(firsts[static_cast<std::size_t>(i * step % n)]);
    return numbers;
}

template <class LookUp>
std::string NsPerLookup(const std::vector<std::uint32_t>& numbers, int passes, LookUp lookUp)
{
    std::vector<double> ns;
    std::uintptr_t sum = 0; // keeps the lookups from being optimised away
    for (int pass = 0; pass < passes; ++pass) {
        std::uint32_t done = 0;
        double t0 = NowMs();
        while (done < kLookupsPerPass) {
            for (std::uint32_t number : numbers)
                sum += lookUp(number);
            done += static_cast<std::uint32_t>(numbers.size());
        }
        ns.push_back((NowMs() - t0) * 1e6 / done);
    }
    if (sum == 1) std::printf(" ");
    return Figure(Summarise(ns).median);
}

void MeasureTable(std::uint32_t records, const Numbering& numbering, int passes)
{
    ChannelTable table;
    std::vector<std::uint32_t> firsts = FillTable(table, records, numbering);
    std::vector<std::uint32_t> inOrder = Order(firsts, false);
    std::vector<std::uint32_t> spread = Order(firsts, true);
    ChannelIndex index{&table};
    std::uint64_t before = LiveBlockBytes();
    if (!BuildChannelIndex(index, table)) std::exit(1);
    double bytes = static_cast<double>(LiveBlockBytes() - before) / records;
    auto tree = [&table](std::uint32_t n) { return reinterpret_cast<std::uintptr_t>(FindChannel(table, n)); };
    auto flat = [&index](std::uint32_t n) {
        return reinterpret_cast<std::uintptr_t>(LookUpChannel(index, n));
    };
    // As an export does: the lookup, then a field of the record found.
    auto flatAndRecord = [&index](std::uint32_t n) {
        return std::uintptr_t{LookUpChannel(index, n)->channelFlags};
    };
    std::printf("| %u | %s | tree | %s | %s | | 0 |\n", records, numbering.name,
                NsPerLookup(spread, passes, tree).c_str(), NsPerLookup(inOrder, passes, tree).c_str());
    std::printf("| %u | %s | %s | %s | %s | %s | %s |\n", records, numbering.name,
                index.slots != nullptr ? "direct array" : "sorted array",
                NsPerLookup(spread, passes, flat).c_str(), NsPerLookup(inOrder, passes, flat).c_str(),
                NsPerLookup(spread, passes, flatAndRecord).c_str(), Figure(bytes).c_str());
    std::fflush(stdout);
    ReleaseChannelIndex(index);
    table.Clear();
}

// What no lookup removes: the host's first touch of its channels' records after other work (the
// server's call, other instances, the host itself) has used the caches. 1 000 channels of a dense table,
// every n/1000-th (spread) or 1 000 neighbours (block), each looked up and its flags read and set as a
// request does, right after a pass over a buffer larger than the caches. All tables are measured in
// every pass, so that a table's figure over the 1 000-record table's is taken pass by pass.
constexpr std::uint32_t kTouched = 1000;
constexpr int kFirstTouchPasses = 101;
constexpr std::size_t kOtherWorkBytes = std::size_t{64} << 20;

struct TouchedTable {
    ChannelTable table{};
    ChannelIndex index{&table};
    std::vector<std::uint32_t> spread{}, block{};
    std::vector<double> spreadNs{}, blockNs{};
};

double TouchNs(const ChannelIndex& index, const std::vector<std::uint32_t>& numbers, std::vector<char>& other)
{
    for (std::size_t i = 0; i < other.size(); i += 64)
        ++other[i];
    double t0 = NowMs();
    for (std::uint32_t number : numbers) {
        Channel* channel = LookUpChannel(index, number);
        if ((channel->channelFlags & InReadQueue) == 0) channel->channelFlags |= InReadQueue;
    }
    double ns = (NowMs() - t0) * 1e6 / static_cast<double>(numbers.size());
    for (std::uint32_t number : numbers)
        LookUpChannel(index, number)->channelFlags = 0;
    return ns;
}

void MeasureFirstTouch(int passes)
{
    std::vector<TouchedTable> tables(sizeof kTableSizes / sizeof kTableSizes[0]);
    for (std::size_t t = 0; t < tables.size(); ++t) {
        std::vector<std::uint32_t> firsts = FillTable(tables[t].table, kTableSizes[t], kNumberings[0]);
        if (!BuildChannelIndex(tables[t].index, tables[t].table)) std::exit(1);
        std::size_t middle = firsts.size() / 2 - kTouched / 2;
        for (std::size_t i = 0; i < kTouched; ++i) {
            tables[t].spread.push_back(firsts[i * firsts.size() / kTouched]);
            tables[t].block.push_back(firsts[middle + i]);
        }
    }
    std::vector<char> other(kOtherWorkBytes, 1);
    for (int pass = 0; pass < passes; ++pass) {
        for (TouchedTable& t : tables) {
            t.spreadNs.push_back(TouchNs(t.index, t.spread, other));
            t.blockNs.push_back(TouchNs(t.index, t.block, other));
        }
    }
    std::printf("## First touch of the host's channels\n\n"
                "No server: %u channels of a dense table, every n/%u-th (spread) or %u neighbours from "
                "its middle (block), each looked up through the index and its flags read and set as a "
                "request does, right after a pass over %u MB of other memory (more than the caches hold), "
                "as the host's loops meet them after a server call and other work. ns per channel, median "
                "of %d passes, and over the 1 000-record table within each pass, median [min, max]. "
                "This is the floor of the exports' cost for channels spread over a large table.\n\n",
                kTouched, kTouched, kTouched, static_cast<unsigned>(kOtherWorkBytes >> 20), passes);
    std::printf("| records | spread ns | spread over 1000 records | block ns | block over 1000 records |\n");
    std::printf("|---:|---:|---:|---:|---:|\n");
    const TouchedTable& smallest = tables.front();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        std::printf("| %u | %s | %s | %s | %s |\n", kTableSizes[t],
                    Figure(Summarise(tables[t].spreadNs).median).c_str(),
                    MedianAndRange(RoundRatios(tables[t].spreadNs, smallest.spreadNs)).c_str(),
                    Figure(Summarise(tables[t].blockNs).median).c_str(),
                    MedianAndRange(RoundRatios(tables[t].blockNs, smallest.blockNs)).c_str());
    }
    std::printf("\n");
    for (TouchedTable& t : tables) {
        ReleaseChannelIndex(t.index);
        t.table.Clear();
    }
}

} // namespace

int main(int argc, char** argv)
{
    int passes = argc > 1 ? std::atoi(argv[1]) : 7;
    if (passes < 1) passes = 7;
    std::printf(
        "## The channel lookup alone\n\n"
        "No server: a table of the given records, looked up by every record's first number, spread "
        "(in steps of about 0.618 of the table) and in the table's order, %u lookups per pass, "
        "median of %d passes, ns per lookup. Tree: the ordered table's own lookup; the index is "
        "what the exports use, with its bytes per record (the allocator's, without its headers); with a "
        "field of the record read after each lookup, as every export does, the spread lookups pay the "
        "record's cache miss too (the tree reads records at every level anyway). "
        "Dense: channels 1 to n; ranges and gaps: every third record a range of 2 to 8 elements, "
        "one unused number after each record; every 10th: scalars 1, 11, 21 and so on.\n\n",
        kLookupsPerPass, passes);
    std::printf("| records | numbering | lookup | spread ns | in order ns | spread and a record field ns "
                "| index bytes/record |\n");
    std::printf("|---:|---|---|---:|---:|---:|---:|\n");
    for (std::uint32_t records : kTableSizes) {
        for (const Numbering& numbering : kNumberings)
            MeasureTable(records, numbering, passes);
    }
    std::printf("\n");
    MeasureFirstTouch(kFirstTouchPasses);
    return 0;
}
