// tagprobe watch: read batches every --interval ms, printing the channels whose status, value or
// quality changed, until --count batches have run or Ctrl+C; and when the instance loses its server
// and gets it back. With --subscribe the instance answers reads from the server's data changes: each
// new change is printed with its delay from the server's timestamp.
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/interrupt.h"
#include "tools/tagprobe/loss_watch.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/probe_run.h"
#include "tools/tagprobe/read_setup.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/watch_changes.h"

namespace {

void PrintSubscribedLine(const ProbeRun& run, const ProbeOptions& options)
{
    PrintLine(L"watch: subscribed, the group at " + std::to_wstring(run.listing.updateRateMs) +
              L" ms; a read batch every " + std::to_wstring(options.intervalMs) +
              L" ms; delay ms: from the value's timestamp to tagprobe");
}

int Watch(ProbeRun& run, const ProbeOptions& options, const std::vector<ReadRequest>& requests)
{
    HANDLE interrupt = InterruptEvent();
    WatchState state;
    state.subscribe = options.subscribe;
    int code = ExitOk;
    std::uint32_t batch = 0;
    std::uint32_t changes = 0;
    ULONGLONG start = GetTickCount64();
    bool going = true;
    LossWatch loss;
    if (options.subscribe) PrintSubscribedLine(run, options);
    while (going && (options.count == 0 || batch < options.count)) {
        ULONGLONG begun = GetTickCount64();
        std::vector<ChannelReading> readings;
        BatchEnd end = RunReadBatch(run.session, requests, options.timeoutMs, interrupt, readings);
        FILETIME seen{};
        GetSystemTimeAsFileTime(&seen);
        ++batch;
        TextTable table{WatchHeaders(options.subscribe), ChangedRows(state, readings, run.listing, seen)};
        changes += batch > 1 ? static_cast<std::uint32_t>(table.rows.size()) : 0;
        if (!table.rows.empty()) {
            PrintLine(L"batch " + std::to_wstring(batch) + L" at +" + std::to_wstring(begun - start) +
                      L" ms:");
            PrintTable(table);
        }
        std::wstring lossLine = LossLine(loss, readings, batch, begun - start);
        if (!lossLine.empty()) PrintLine(lossLine);
        ReportBatchEnd(end, L"read", options.timeoutMs);
        code = WorseExit(code, ReadVerdict(readings, end));
        going = end != BatchEnd::Interrupted;
        if (going && (options.count == 0 || batch < options.count)) {
            ULONGLONG spent = GetTickCount64() - begun;
            if (spent < options.intervalMs)
                going = PauseWithMessages(static_cast<std::uint32_t>(options.intervalMs - spent), interrupt);
        }
    }
    PrintLine(L"watch: " + std::to_wstring(batch) + L" batches, " + std::to_wstring(changes) + L" changes" +
              DelaySummary(state.delays) + (going ? L"" : L", stopped by Ctrl+C"));
    return code;
}

} // namespace

int RunWatch(const ProbeOptions& options)
{
    ProbeRun run;
    std::vector<ReadRequest> requests;
    int code = OpenReadRun(options, run, requests);
    if (code == ExitOk) code = Watch(run, options, requests);
    CloseRun(run);
    return code;
}
