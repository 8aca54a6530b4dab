#include "tools/tagprobe/watch_changes.h"

#include <algorithm>

#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"

namespace {

constexpr std::uint32_t kMsPerDay = 86400000;
constexpr std::int64_t kFileTimeUnitsPerMs = 10000;

std::int64_t WholeMs(const FILETIME& time)
{
    ULARGE_INTEGER units;
    units.LowPart = time.dwLowDateTime;
    units.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(units.QuadPart) / kFileTimeUnitsPerMs;
}

bool SameTimestamp(const HostTimestamp& a, const HostTimestamp& b)
{
    return a.msOfDay == b.msOfDay && a.day == b.day && a.month == b.month && a.year == b.year;
}

bool IsChange(const WatchedChannel& last, const std::vector<std::wstring>& cells, bool subscribe)
{
    if (last.cells.empty() || subscribe) return cells != last.cells;
    std::vector<std::wstring> before = last.cells;
    std::vector<std::wstring> now = cells;
    before.erase(before.begin() + kTimestampColumn);
    now.erase(now.begin() + kTimestampColumn);
    return now != before;
}

std::wstring DelayCell(WatchState& state, const WatchedChannel& last, const ChannelReading& reading,
                       const FILETIME& seenUtc)
{
    std::int64_t delay = 0;
    bool newChange = last.good && IsGoodReading(reading) && !SameTimestamp(last.timestamp, reading.timestamp);
    if (!newChange || !DelayMs(reading.timestamp, seenUtc, delay)) return L"-";
    state.delays.push_back(delay);
    return std::to_wstring(delay);
}

} // namespace

std::vector<std::wstring> WatchHeaders(bool subscribe)
{
    std::vector<std::wstring> headers = ReadingHeaders();
    if (subscribe) headers.insert(headers.begin() + kTimestampColumn + 1, L"delay ms");
    return headers;
}

std::vector<std::vector<std::wstring>> ChangedRows(WatchState& state,
                                                   const std::vector<ChannelReading>& readings,
                                                   const ParamListing& listing, const FILETIME& seenUtc)
{
    state.channels.resize(std::max(state.channels.size(), readings.size()));
    std::vector<std::vector<std::wstring>> rows;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        WatchedChannel& last = state.channels[i];
        std::vector<std::wstring> cells = ReadingCells(readings[i], listing);
        if (!IsChange(last, cells, state.subscribe)) continue;
        std::vector<std::wstring> row = cells;
        if (state.subscribe)
            row.insert(row.begin() + kTimestampColumn + 1, DelayCell(state, last, readings[i], seenUtc));
        last = WatchedChannel{cells, IsGoodReading(readings[i]), readings[i].timestamp};
        rows.push_back(row);
    }
    return rows;
}

bool DelayMs(const HostTimestamp& timestamp, const FILETIME& nowUtc, std::int64_t& delayMs)
{
    if (IsNoTimestamp(timestamp) || timestamp.msOfDay >= kMsPerDay) return false;
    SYSTEMTIME utc{};
    utc.wYear = timestamp.year;
    utc.wMonth = timestamp.month;
    utc.wDay = timestamp.day;
    utc.wHour = static_cast<WORD>(timestamp.msOfDay / 3600000);
    utc.wMinute = static_cast<WORD>(timestamp.msOfDay / 60000 % 60);
    utc.wSecond = static_cast<WORD>(timestamp.msOfDay / 1000 % 60);
    utc.wMilliseconds = static_cast<WORD>(timestamp.msOfDay % 1000);
    // Wine rolls a day beyond the month's end over into the next month, Windows refuses it: converting
    // back tells such a day, which names no instant, the same way on both.
    FILETIME stamped{};
    SYSTEMTIME back{};
    if (!SystemTimeToFileTime(&utc, &stamped) || !FileTimeToSystemTime(&stamped, &back) ||
        back.wDay != utc.wDay || back.wMonth != utc.wMonth)
        return false;
    delayMs = WholeMs(nowUtc) - WholeMs(stamped);
    return true;
}

std::wstring DelaySummary(std::vector<std::int64_t> delays)
{
    if (delays.empty()) return L"";
    std::sort(delays.begin(), delays.end());
    return L", delay " + std::to_wstring(delays.front()) + L" to " + std::to_wstring(delays.back()) +
           L" ms, median " + std::to_wstring(delays[(delays.size() - 1) / 2]) + L" ms";
}
