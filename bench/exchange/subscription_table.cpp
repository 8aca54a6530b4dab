#include "bench/exchange/subscription_table.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/message_pump.h"
#include "bench/common/par_items.h"
#include "bench/common/trace_clock.h"
#include "bench/exchange/bench_plan.h"
#include "bench/exchange/driver_host.h"
#include "convert/value_payload.h"

namespace {

struct SubscribedSize {
    std::uint32_t channels;
    int rounds;
};
constexpr SubscribedSize kSubscribedSizes[] = {{1, 200}, {1000, 100}, {10000, 30}, {100000, 8}};
// Batches of the traced instance whose server calls are counted, and changes whose arrival is timed.
constexpr int kCountedBatches = 50;
constexpr int kTimedChanges = 20;
constexpr std::uint32_t kArrivalTimeoutMs = 10000;

struct Row {
    std::uint32_t channels = 0;
    Mode mode = Mode::Async;
    std::vector<double> subscribed{};
    std::vector<double> roundTrip{};
};

bool Start(DriverHost& host, const DriverApi& api, const std::string& par)
{
    std::string error;
    if (StartDriverHost(host, api, par, error)) return true;
    std::fprintf(stderr, "bench_exchange: Init of %s failed: %s\n", par.c_str(), error.c_str());
    return false;
}

// The subscribed instance and the one whose reads call the server take turns, the order alternating.
bool MeasureRow(const Builds& builds, const std::string& folder, const SubscribedSize& size, Mode mode,
                Row& row)
{
    std::fprintf(stderr, "bench_exchange: subscribe, %u channels, %s\n", size.channels, ModeName(mode));
    ParItems items;
    std::string error;
    std::string subscribedPar = ParPath(folder, "sub_", mode, size.channels);
    if (!ReadParItems(subscribedPar, items, error)) {
        std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
        return false;
    }
    DriverHost subscribed, calling;
    bool ok = Start(subscribed, *builds.current, subscribedPar) &&
              Start(calling, *builds.current, ParPath(folder, "cache_", mode, size.channels));
    row = Row{size.channels, mode};
    for (int round = 0; ok && round < kWarmUps + size.rounds; ++round) {
        for (int turn = 0; ok && turn < 2; ++turn) {
            bool subscribedTurn = TurnOf(0, round, 2) == turn;
            BatchTimes times;
            ok = DriverRead(subscribedTurn ? subscribed : calling, items.channels, times);
            if (ok && round >= kWarmUps)
                (subscribedTurn ? row.subscribed : row.roundTrip).push_back(times.Total());
        }
    }
    if (!ok) std::fprintf(stderr, "bench_exchange: a read batch failed (%u channels)\n", size.channels);
    StopDriverHost(subscribed);
    StopDriverHost(calling);
    return ok;
}

// Batches of the traced subscribed instance that made a call to the server (the driver traces every
// read call and every refresh).
bool CountCalls(const Builds& builds, const std::string& folder, Mode mode, int& calls)
{
    ParItems items;
    std::string error;
    std::string par = ParPath(folder, "trace_sub_", mode, 1000);
    DriverHost host;
    if (!ReadParItems(par, items, error) || !Start(host, *builds.current, par)) return false;
    calls = 0;
    bool ok = true;
    for (int batch = 0; ok && batch < kCountedBatches; ++batch) {
        ArmTraceClock();
        BatchTimes times;
        ok = DriverRead(host, items.channels, times);
        calls += TakeCallWindow().startMs > 0 ? 1 : 0;
    }
    StopDriverHost(host);
    return ok;
}

double ValueOf(DriverHost& host, std::uint32_t channel)
{
    HostValue value{TypeF64, {}};
    std::uint32_t quality = 0;
    HostTimestamp timestamp{};
    host.api->ansi.GetInput3(host.instance, channel, &value, &quality, &timestamp);
    return ReadPayload<double>(value);
}

// A write of another instance changes the item; the subscribed instance's read batches, back to back,
// see the value arrive. From the write's notification (the server has stored it) to the first batch
// that holds it.
bool TimeArrivals(const Builds& builds, const std::string& folder, Mode mode, std::vector<double>& arrivals)
{
    ParItems items;
    std::string error;
    std::string par = ParPath(folder, "sub_", mode, 1);
    DriverHost subscribed, writer;
    bool ok = ReadParItems(par, items, error) && Start(subscribed, *builds.current, par) &&
              Start(writer, *builds.current, ParPath(folder, "cache_", mode, 1));
    for (int change = 0; ok && change < kTimedChanges; ++change) {
        double written = 1000000.0 + change;
        BatchTimes times;
        ok = DriverWrite(writer, items.channels, written, times);
        double stored = NowMs();
        bool arrived = false;
        while (ok && !arrived && NowMs() - stored < kArrivalTimeoutMs) {
            ok = DriverRead(subscribed, items.channels, times);
            arrived = ok && ValueOf(subscribed, items.channels[0]) == written;
        }
        ok = ok && arrived;
        if (ok) arrivals.push_back(NowMs() - stored);
    }
    if (!ok) std::fprintf(stderr, "bench_exchange: a change did not arrive (%s)\n", ModeName(mode));
    StopDriverHost(subscribed);
    StopDriverHost(writer);
    return ok;
}

} // namespace

bool RunSubscriptionTable(const Builds& builds, const std::string& folder)
{
    std::vector<Row> rows;
    for (const SubscribedSize& size : kSubscribedSizes) {
        for (Mode mode : {Mode::Async, Mode::Sync}) {
            rows.emplace_back();
            if (!MeasureRow(builds, folder, size, mode, rows.back())) return false;
        }
    }
    std::printf("## Subscriptions: read batches answered from data changes\n\n"
                "Two instances of tagport.dll on the same items of the same server process, both with "
                "update_rate = 0.1: one with subscribe = yes, whose read batch makes no server call, and one "
                "without, whose read batch calls the server (IOPCAsyncIO2::Read, or the worker's "
                "IOPCSyncIO::Read from the cache). Whole batches from the first InputRequest to the last "
                "GetInput3, as in the first table; %d warm-up rounds, then rounds in which both take turns, "
                "the order alternating. Times in ms, median [min, max]; ratio: subscribed over round trip "
                "within each round, median [min, max].\n\n"
                "| channels | mode | rounds | subscribed ms | round trip ms | subscribed over round trip |\n"
                "|---:|---|---:|---:|---:|---:|\n",
                kWarmUps);
    for (const Row& row : rows) {
        std::printf("| %u | %s | %zu | %s | %s | %s |\n", row.channels, ModeName(row.mode),
                    row.subscribed.size(), MedianAndRange(Summarise(row.subscribed)).c_str(),
                    MedianAndRange(Summarise(row.roundTrip)).c_str(),
                    MedianAndRange(RoundRatios(row.subscribed, row.roundTrip)).c_str());
    }
    std::printf("\nServer calls and the time a change takes to arrive, per mode. Calls: subscribed read "
                "batches of 1000 channels, with the trace on, whose trace shows a call to the server "
                "(a read or a refresh), out of %d. Arrival: another instance writes the item of a "
                "one-channel file; from the write's notification (the server has stored the value) to the "
                "first of the subscribed instance's back-to-back read batches that holds it, over %d "
                "changes; the server sends changes every 100 ms.\n\n"
                "| mode | batches with a server call | arrival ms, median [min, max] |\n|---|---:|---:|\n",
                kCountedBatches, kTimedChanges);
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        int calls = 0;
        std::vector<double> arrivals;
        if (!CountCalls(builds, folder, mode, calls) || !TimeArrivals(builds, folder, mode, arrivals))
            return false;
        std::printf("| %s | %d of %d | %s |\n", ModeName(mode), calls, kCountedBatches,
                    MedianAndRange(Summarise(arrivals)).c_str());
    }
    std::printf("\n");
    return true;
}
