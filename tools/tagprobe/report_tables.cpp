#include "tools/tagprobe/report_tables.h"

#include "tools/tagprobe/channel_types.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/type_names.h"

std::vector<std::wstring> ReadingHeaders()
{
    return {L"channel", L"status", L"value", L"host type", L"quality", L"timestamp", L"item"};
}

std::vector<std::wstring> ReadingCells(const ChannelReading& reading, const ParamListing& listing)
{
    std::wstring channel = std::to_wstring(reading.channel);
    std::wstring item = ItemLabel(listing, reading.channel);
    if (!reading.finished) return {channel, L"no answer", L"-", L"-", L"-", L"-", item};
    if (reading.status != 0) return {channel, StatusName(reading.status), L"-", L"-", L"-", L"-", item};
    std::wstring type = reading.type == TypeNone ? L"-" : HostTypeName(reading.type);
    if (!reading.delivered)
        return {channel,
                StatusName(reading.status),
                L"(not deliverable as " + type + L")",
                type,
                L"-",
                TimestampText(reading.timestamp),
                item};
    return {channel, StatusName(reading.status),   reading.value,
            type,    QualityText(reading.quality), TimestampText(reading.timestamp),
            item};
}

TextTable ReadingTable(const std::vector<ChannelReading>& readings, const ParamListing& listing)
{
    TextTable table{ReadingHeaders(), {}};
    for (const auto& reading : readings)
        table.rows.push_back(ReadingCells(reading, listing));
    return table;
}

void PrintTable(const TextTable& table)
{
    for (const auto& line : RenderTable(table))
        PrintLine(line);
}

void ReportBatchEnd(BatchEnd end, const wchar_t* kind, std::uint32_t timeoutMs)
{
    if (end == BatchEnd::TimedOut)
        PrintError(std::wstring(L"the driver did not finish the ") + kind + L" batch within " +
                   std::to_wstring(timeoutMs) + L" ms (--timeout); channels without an answer are marked");
    else if (end == BatchEnd::Interrupted)
        PrintError(std::wstring(L"interrupted while the ") + kind + L" batch was outstanding");
}
