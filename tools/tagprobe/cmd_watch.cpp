// tagprobe watch: read batches every --interval ms, printing the channels whose status, value or
// quality changed, until --count batches have run or Ctrl+C; and when the instance loses its server
// and gets it back.
#include <algorithm>

#include "config/channel_table.h"
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/interrupt.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/probe_run.h"
#include "tools/tagprobe/read_setup.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"

namespace {

// "5 server down", "3 ok, 2 failed": how many channels of a batch have each status, in first-seen order.
std::wstring StatusSummary(const std::vector<ChannelReading>& readings)
{
    std::vector<std::pair<std::wstring, std::size_t>> counts;
    for (const auto& reading : readings) {
        std::wstring name = reading.finished ? StatusName(reading.status) : L"no answer";
        auto found =
            std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == name; });
        if (found == counts.end())
            counts.emplace_back(name, 1);
        else
            ++found->second;
    }
    std::wstring text;
    for (const auto& count : counts)
        text += (text.empty() ? L"" : L", ") + std::to_wstring(count.second) + L" " + count.first;
    return text;
}

// The instance has lost its server when every channel of a batch reports it.
bool ServerLost(const std::vector<ChannelReading>& readings)
{
    return !readings.empty() && std::all_of(readings.begin(), readings.end(), [](const ChannelReading& r) {
        return r.finished && r.status == StatusServerDown;
    });
}

// One line when the server is lost, one per batch while it is away (the statuses), one when it is back.
struct LossWatch {
    bool lost = false;
    ULONGLONG since = 0;
};

void ReportLoss(LossWatch& loss, const std::vector<ChannelReading>& readings, std::uint32_t batch,
                ULONGLONG at, ULONGLONG start)
{
    std::wstring when = L"batch " + std::to_wstring(batch) + L" at +" + std::to_wstring(at - start) + L" ms";
    bool lost = ServerLost(readings);
    if (lost && !loss.lost) {
        PrintLine(L"watch: the server is lost at " + when + L": every channel reports server down");
        loss.since = at;
    } else if (lost) {
        PrintLine(when + L": " + StatusSummary(readings));
    } else if (loss.lost) {
        PrintLine(L"watch: the server is back at " + when + L", after " + std::to_wstring(at - loss.since) +
                  L" ms without it: " + StatusSummary(readings));
    }
    loss.lost = lost;
}

// What counts as a change: everything but the timestamp, which a live server renews on every read.
std::vector<std::wstring> ChangeKey(const std::vector<std::wstring>& cells)
{
    std::vector<std::wstring> key = cells;
    key.erase(key.begin() + kTimestampColumn);
    return key;
}

int Watch(ProbeRun& run, const ProbeOptions& options, const std::vector<ReadRequest>& requests)
{
    HANDLE interrupt = InterruptEvent();
    std::vector<std::vector<std::wstring>> last(requests.size());
    int code = ExitOk;
    std::uint32_t batch = 0;
    std::uint32_t changes = 0;
    ULONGLONG start = GetTickCount64();
    bool going = true;
    LossWatch loss;
    while (going && (options.count == 0 || batch < options.count)) {
        ULONGLONG begun = GetTickCount64();
        std::vector<ChannelReading> readings;
        BatchEnd end = RunReadBatch(run.session, requests, options.timeoutMs, interrupt, readings);
        ++batch;
        TextTable table{ReadingHeaders(), {}};
        for (std::size_t i = 0; i < readings.size(); ++i) {
            std::vector<std::wstring> cells = ReadingCells(readings[i], run.listing);
            if (batch > 1 && ChangeKey(cells) == ChangeKey(last[i])) continue;
            last[i] = cells;
            table.rows.push_back(cells);
        }
        changes += batch > 1 ? static_cast<std::uint32_t>(table.rows.size()) : 0;
        if (!table.rows.empty()) {
            PrintLine(L"batch " + std::to_wstring(batch) + L" at +" + std::to_wstring(begun - start) +
                      L" ms:");
            PrintTable(table);
        }
        ReportLoss(loss, readings, batch, begun, start);
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
              (going ? L"" : L", stopped by Ctrl+C"));
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
