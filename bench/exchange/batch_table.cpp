#include "bench/exchange/batch_table.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

#include "bench/common/bare_client.h"
#include "bench/common/bench_timing.h"
#include "bench/common/figures.h"
#include "bench/common/par_items.h"
#include "bench/exchange/bench_plan.h"
#include "bench/exchange/builds.h"
#include "bench/exchange/driver_host.h"

namespace {

// One direction of one size and mode: the driver's batches, the baseline driver's and the bare
// client's, round by round.
struct Series {
    std::vector<BatchTimes> driver{};
    std::vector<BatchTimes> baseline{};
    std::vector<double> bareMs{};
};

struct Measured {
    std::uint32_t channels = 0;
    Mode mode = Mode::Async;
    Series read{};
    Series write{};
};

struct Session {
    DriverHost host{};
    DriverHost baseHost{}; // unused without a baseline
    BareClient bare{};
    ParItems items{};
    Mode mode = Mode::Async;
};

bool Failed(const Session& s, const char* what)
{
    std::fprintf(stderr, "bench_exchange: %s failed (%u channels, %s)\n", what,
                 static_cast<unsigned>(s.items.channels.size()), ModeName(s.mode));
    return false;
}

bool DriverRound(Session& s, DriverHost& host, double base, std::vector<BatchTimes>* reads,
                 std::vector<BatchTimes>* writes)
{
    BatchTimes read, write;
    if (!DriverRead(host, s.items.channels, read) || !DriverWrite(host, s.items.channels, base, write))
        return Failed(s, host.api == s.host.api ? "the driver's batch" : "the baseline driver's batch");
    if (reads != nullptr) {
        reads->push_back(read);
        writes->push_back(write);
    }
    return true;
}

bool BareRound(Session& s, double base, Measured* m)
{
    double t0 = NowMs();
    bool ok = s.mode == Mode::Async ? BareAsyncRead(s.bare) : BareSyncRead(s.bare);
    double t1 = NowMs();
    ok = ok && (s.mode == Mode::Async ? BareAsyncWrite(s.bare, base) : BareSyncWrite(s.bare, base));
    double t2 = NowMs();
    if (!ok) return Failed(s, "the bare client's batch");
    if (m != nullptr) {
        m->read.bareMs.push_back(t1 - t0);
        m->write.bareMs.push_back(t2 - t1);
    }
    return true;
}

// Driver, baseline driver (when there is one) and bare client take turns in an order that turns each
// round. Warm-up rounds record nothing.
bool Round(Session& s, bool withBaseline, int round, Measured* m)
{
    double base = static_cast<double>(round) * 10;
    int participants = withBaseline ? 3 : 2;
    bool ok = true;
    for (int turn = 0; ok && turn < participants; ++turn) {
        if (TurnOf(0, round, participants) == turn) {
            ok = DriverRound(s, s.host, base, m ? &m->read.driver : nullptr, m ? &m->write.driver : nullptr);
        } else if (TurnOf(1, round, participants) == turn) {
            ok = BareRound(s, base, m);
        } else {
            ok = DriverRound(s, s.baseHost, base, m ? &m->read.baseline : nullptr,
                             m ? &m->write.baseline : nullptr);
        }
    }
    return ok;
}

bool StartHost(DriverHost& host, const DriverApi& api, const std::string& par)
{
    std::string error;
    if (StartDriverHost(host, api, par, error)) return true;
    std::fprintf(stderr, "bench_exchange: Init failed: %s\n", error.c_str());
    return false;
}

bool MeasureSize(const Builds& builds, const std::string& folder, const Size& size, Mode mode, Measured& m)
{
    std::string par = ParPath(folder, "", mode, size.channels);
    std::fprintf(stderr, "bench_exchange: %u channels, %s\n", size.channels, ModeName(mode));
    Session s;
    s.mode = mode;
    std::string error;
    if (!ReadParItems(par, s.items, error)) {
        std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
        return false;
    }
    bool ok = StartHost(s.host, *builds.current, par) &&
              (builds.baseline == nullptr || StartHost(s.baseHost, *builds.baseline, par));
    HRESULT hr = ok ? ConnectBareClient(s.bare, s.items, error) : S_OK;
    if (FAILED(hr)) {
        std::fprintf(stderr, "bench_exchange: bare client: %s failed, 0x%08lX\n", error.c_str(), hr);
        ok = false;
    }
    m = Measured{size.channels, mode};
    for (int round = 0; ok && round < kWarmUps + size.rounds; ++round)
        ok = Round(s, builds.baseline != nullptr, round, round < kWarmUps ? nullptr : &m);
    StopDriverHost(s.host);
    StopDriverHost(s.baseHost);
    ReleaseBareClient(s.bare);
    return ok;
}

std::vector<double> Totals(const std::vector<BatchTimes>& times)
{
    std::vector<double> totals;
    for (const BatchTimes& t : times)
        totals.push_back(t.Total());
    return totals;
}

void PrintLatencyRow(const Measured& m, const char* direction, const Series& s)
{
    Spread driver = Summarise(Totals(s.driver));
    Spread bare = Summarise(s.bareMs);
    double addedUs = (driver.median - bare.median) * 1000 / m.channels;
    std::printf("| %u | %s | %s | %s | %s | %s | %s | %s |\n", m.channels, ModeName(m.mode), direction,
                MedianAndRange(driver).c_str(), MedianAndRange(bare).c_str(),
                MedianAndRange(RoundRatios(Totals(s.driver), s.bareMs)).c_str(),
                Figure(m.channels * 1000 / driver.median).c_str(), Figure(addedUs).c_str());
}

// Where the host's thread spent the driver's batch, against the bare client's call (medians, ms).
void PrintBreakdownRow(const Measured& m, const char* direction, const Series& s)
{
    std::vector<double> request, fire, finalize, get;
    for (const BatchTimes& t : s.driver) {
        request.push_back(t.request);
        fire.push_back(t.fire);
        finalize.push_back(t.finalize);
        get.push_back(t.get);
    }
    double bare = Summarise(s.bareMs).median;
    double fireMedian = Summarise(fire).median;
    std::printf("| %u | %s | %s | %s | %s | %s | %s | %s | %s |\n", m.channels, ModeName(m.mode), direction,
                Figure(Summarise(request).median).c_str(), Figure(fireMedian).c_str(),
                Figure(Summarise(finalize).median).c_str(), Figure(Summarise(get).median).c_str(),
                Figure(bare).c_str(), Figure(fireMedian - bare).c_str());
}

// This build against the baseline, both driven by the same rounds.
void PrintBaselineRow(const Measured& m, const char* direction, const Series& s)
{
    std::vector<double> current = Totals(s.driver);
    std::vector<double> baseline = Totals(s.baseline);
    std::printf("| %u | %s | %s | %s | %s | %s |\n", m.channels, ModeName(m.mode), direction,
                MedianAndRange(Summarise(current)).c_str(), MedianAndRange(Summarise(baseline)).c_str(),
                MedianAndRange(RoundRatios(current, baseline)).c_str());
}

using RowPrinter = void (*)(const Measured& m, const char* direction, const Series& s);

// The head (title, text, column lines), a read and a write row per size and mode, and a blank line.
void PrintTable(const char* head, const std::vector<Measured>& all, RowPrinter row)
{
    std::printf("%s", head);
    for (const Measured& m : all) {
        row(m, "read", m.read);
        row(m, "write", m.write);
    }
    std::printf("\n");
}

} // namespace

bool RunBatchTable(const Builds& builds, const std::string& folder)
{
    std::vector<Measured> all;
    for (const Size& size : kSizes) {
        for (Mode mode : {Mode::Async, Mode::Sync}) {
            all.emplace_back();
            if (!MeasureSize(builds, folder, size, mode, all.back())) return false;
        }
    }
    std::printf(
        "## Read and write batches\n\n"
        "tagport.dll, loaded as the host loads it, and in the same process a bare OPC client with a group "
        "of its own on the same items of the same server process (inactive, at the driver's default "
        "rate, so that reads go to the device). Driver: from the first InputRequest or OutputRequest to "
        "the last GetInput3 or OutputFinalized after the notification, with InputFinalized for every "
        "channel. Bare client: IOPCAsyncIO2::Read or Write until OnReadComplete or OnWriteComplete has "
        "been dispatched (async), IOPCSyncIO::Read from the device or Write with the results freed (sync). "
        "%d warm-up rounds, then rounds in which driver and bare client take turns, the order "
        "alternating; rounds per size:",
        kWarmUps);
    for (const Size& size : kSizes)
        std::printf(" %u channels %d%s", size.channels, size.rounds,
                    &size == &kSizes[std::size(kSizes) - 1] ? "." : ",");
    PrintTable(" Times in ms, median [min, max]. Ratio: driver over bare client within each round, median "
               "[min, max]. Added: (driver median - bare median) / channels.\n\n"
               "| channels | mode | batch | driver ms | bare client ms | ratio | driver channels/s "
               "| added us/channel |\n|---:|---|---|---:|---:|---:|---:|---:|\n",
               all, PrintLatencyRow);
    PrintTable("## Where the driver's batch time goes\n\n"
               "Medians of the same rounds, ms. Requests: the InputRequest or OutputRequest calls. Issue to "
               "notification: InputRequestCompleted or OutputRequestCompleted until the notification was "
               "dispatched (the server call, the completion's work per item, the posted notification, and in "
               "sync mode the hand-off to the worker thread and back). Finalize: the InputFinalized or "
               "OutputFinalized calls. The last column is what the driver adds around the server's call.\n\n"
               "| channels | mode | batch | requests | issue to notification | finalize | GetInput3 "
               "| bare client call | issue to notification minus bare call |\n"
               "|---:|---|---|---:|---:|---:|---:|---:|---:|\n",
               all, PrintBreakdownRow);
    if (builds.baseline == nullptr) return true;
    PrintTable(
        "## This build against the baseline: batches\n\n"
        "The baseline's tagport.dll (an earlier commit, built from its own worktree) runs in the same "
        "process as a third participant of the same rounds, with an instance of its own on the same "
        "parameter file and server. Whole batches as in the first table, ms, median [min, max]; ratio: "
        "this build over the baseline within each round, median [min, max] (below 1: faster now).\n\n"
        "| channels | mode | batch | this build ms | baseline ms | this over baseline |\n"
        "|---:|---|---|---:|---:|---:|\n",
        all, PrintBaselineRow);
    return true;
}
