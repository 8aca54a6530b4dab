// tagprobe write: one write batch, then the statuses; --readback reads the written channels after it.
#include <map>
#include <set>

#include "config/channel_table.h"
#include "tools/tagprobe/channel_spec.h"
#include "tools/tagprobe/channel_types.h"
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/probe_run.h"
#include "tools/tagprobe/read_setup.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/type_names.h"

namespace {

struct PlannedWrite {
    Assignment assignment{};
    bool typed = false; // the host type is settled (named, --as, or suggested)
    std::uint32_t type = TypeNone;
    ProbeValue value{};
    std::wstring notWritten{}; // why the write was held back; empty when it goes out
};

bool ParseAssignments(const ProbeOptions& options, std::vector<PlannedWrite>& plan)
{
    std::set<std::uint32_t> seen;
    for (const auto& operand : options.operands) {
        PlannedWrite write;
        std::wstring error;
        if (!ParseAssignment(operand, write.assignment, error)) {
            PrintError(error);
            return false;
        }
        if (!seen.insert(write.assignment.channel).second) {
            PrintError(L"channel " + std::to_wstring(write.assignment.channel) + L" is given twice");
            return false;
        }
        write.typed = write.assignment.hasType || options.hasAs;
        write.type = write.assignment.hasType ? write.assignment.type : options.asType;
        plan.push_back(write);
    }
    return true;
}

bool ParseValues(std::vector<PlannedWrite>& plan, bool wide)
{
    for (auto& write : plan) {
        std::wstring reason;
        if (!ParseValueText(write.assignment.text, write.type, wide, write.value, reason)) {
            PrintError(L"channel " + std::to_wstring(write.assignment.channel) + L": \"" +
                       write.assignment.text + L"\" " + reason);
            return false;
        }
    }
    return true;
}

// Without a canonical type to go by: a whole number is i32, a number f64, a truth word bool, else text.
std::uint32_t GuessType(const std::wstring& text, bool wide)
{
    for (std::uint32_t type : {TypeI32, TypeF64, TypeBool}) {
        ProbeValue probe;
        std::wstring reason;
        if (ParseValueText(text, type, wide, probe, reason)) return type;
    }
    return TypeText;
}

void SettleTypes(const ParamListing& listing, std::vector<PlannedWrite>& plan, bool wide)
{
    std::vector<std::uint32_t> numbers;
    for (const auto& write : plan)
        if (!write.typed) numbers.push_back(write.assignment.channel);
    if (numbers.empty()) return;
    ServerLook look;
    std::vector<std::uint32_t> suggested = SuggestTypes(listing, numbers, look);
    std::wstring failure = LookFailure(look);
    if (!failure.empty())
        PrintLine(L"note: tagprobe's own look at the server failed (" + failure +
                  L"); host types are guessed");
    std::size_t next = 0;
    for (auto& write : plan) {
        if (write.typed) continue;
        std::uint32_t type = suggested[next++];
        write.type = type != TypeNone ? type : GuessType(write.assignment.text, wide);
        write.typed = true;
    }
}

// Writing one element of a range sends the whole array, the other elements as the driver last stored
// them. They are read first, so that they go back as the server holds them; a range that cannot be
// read completely is not written at all. A range whose every element is assigned needs no reading.
void GuardRanges(ProbeRun& run, const ProbeOptions& options, std::vector<PlannedWrite>& plan)
{
    std::map<const ChannelListing*, std::uint32_t> assigned; // range -> elements assigned
    for (const auto& write : plan) {
        const ChannelListing* channel = FindListedChannel(run.listing, write.assignment.channel);
        if (channel != nullptr && channel->count > 0) ++assigned[channel];
    }
    std::vector<ReadRequest> requests;
    for (const auto& write : plan) {
        const ChannelListing* channel = FindListedChannel(run.listing, write.assignment.channel);
        auto range = assigned.find(channel);
        if (range == assigned.end() || range->second == channel->count) continue;
        range->second = channel->count; // read each range once
        for (std::uint32_t i = 0; i < channel->count; ++i)
            requests.push_back(ReadRequest{channel->first + i, write.type});
    }
    if (requests.empty()) return;
    std::vector<ChannelReading> readings;
    RunReadBatch(run.session, requests, options.timeoutMs, nullptr, readings);
    for (auto& write : plan) {
        const ChannelListing* channel = FindListedChannel(run.listing, write.assignment.channel);
        for (const auto& reading : readings) {
            bool sameRange = FindListedChannel(run.listing, reading.channel) == channel;
            if (sameRange && (!reading.finished || reading.status != 0) && write.notWritten.empty())
                write.notWritten = L"element " + std::to_wstring(reading.channel) + L" of " +
                                   channel->itemId + L" could not be read first (" +
                                   (reading.finished ? StatusName(reading.status) : L"no answer") + L")";
        }
    }
}

std::wstring WriteStatus(const PlannedWrite& write, const ChannelWrite* result)
{
    if (!write.notWritten.empty()) return L"not written";
    if (result == nullptr || !result->finished) return L"no answer";
    return StatusName(result->status);
}

int WriteAndReport(ProbeRun& run, const ProbeOptions& options, std::vector<PlannedWrite>& plan)
{
    std::vector<WriteRequest> requests;
    for (const auto& write : plan)
        if (write.notWritten.empty()) requests.push_back(WriteRequest{write.assignment.channel, write.value});
    std::vector<ChannelWrite> results;
    BatchEnd end = requests.empty()
                       ? BatchEnd::Finished
                       : RunWriteBatch(run.session, requests, options.timeoutMs, nullptr, results);
    TextTable table{{L"channel", L"value", L"host type", L"status", L"item"}, {}};
    int code = end == BatchEnd::Finished ? ExitOk : ExitChannelFailed;
    std::size_t next = 0;
    for (const auto& write : plan) {
        const ChannelWrite* result =
            write.notWritten.empty() && next < results.size() ? &results[next++] : nullptr;
        if (result == nullptr || !result->finished || result->status != StatusOk) code = ExitChannelFailed;
        table.rows.push_back({std::to_wstring(write.assignment.channel), write.value.shown,
                              HostTypeName(write.type), WriteStatus(write, result),
                              ItemLabel(run.listing, write.assignment.channel)});
    }
    PrintTable(table);
    ReportBatchEnd(end, L"write", options.timeoutMs);
    for (const auto& write : plan)
        if (!write.notWritten.empty())
            PrintError(L"channel " + std::to_wstring(write.assignment.channel) + L" not written: " +
                       write.notWritten);
    return code;
}

int ReadBack(ProbeRun& run, const ProbeOptions& options, const std::vector<PlannedWrite>& plan)
{
    std::vector<ReadRequest> requests;
    for (const auto& write : plan)
        requests.push_back(ReadRequest{write.assignment.channel, write.type});
    std::vector<ChannelReading> readings;
    BatchEnd end = RunReadBatch(run.session, requests, options.timeoutMs, nullptr, readings);
    PrintLine(L"");
    PrintLine(L"read back:");
    PrintTable(ReadingTable(readings, run.listing));
    ReportBatchEnd(end, L"read", options.timeoutMs);
    return ReadVerdict(readings, end);
}

} // namespace

int RunWrite(const ProbeOptions& options)
{
    std::vector<PlannedWrite> plan;
    if (!ParseAssignments(options, plan)) return ExitUsage;
    std::vector<PlannedWrite> typed;
    for (const auto& write : plan)
        if (write.typed) typed.push_back(write);
    // Values whose type is named are checked before the driver is even loaded.
    if (!ParseValues(typed, options.wide)) return ExitUsage;
    ProbeRun run;
    int code = OpenRun(options, run);
    if (code == ExitOk) {
        PrintInitLine(run);
        SettleTypes(run.listing, plan, options.wide);
        if (!ParseValues(plan, options.wide)) code = ExitUsage;
    }
    if (code == ExitOk) {
        GuardRanges(run, options, plan);
        code = WriteAndReport(run, options, plan);
        if (options.readBack) code = WorseExit(code, ReadBack(run, options, plan));
    }
    CloseRun(run);
    return code;
}
