#include "config/channel_entries.h"

#include <cstdint>

#include "hostrt/core.h"

namespace {

constexpr wchar_t kErrNumber[] = L"Wrong channel number in [channels] section of PAR file";
constexpr wchar_t kErrRange[] = L"Illegal range of array indexes";
constexpr wchar_t kErrDuplicate[] = L"Duplicate channel number in [channels] section of PAR file";
constexpr wchar_t kErrItemIdLength[] = L"ItemId longer than 511 characters in [channels] section of PAR file";
constexpr wchar_t kErrMemory[] = L"Not enough memory for channel in [channels] section of PAR file";

// The number that text (a key, or one part of a range key) names; false, quoting text, when none.
bool ParseChannelNumber(const wchar_t* text, std::uint32_t& number, const ErrorText& err)
{
    bool ok = false;
    number = ParseInt(kKeyMax, text, 10, &ok);
    return ok || FailWith(err, text, kErrNumber);
}

bool CreateRecord(ChannelTable& table, const ChannelEntry& entry, std::uint32_t first, std::uint32_t count,
                  const ErrorText& err)
{
    // A cut ItemId can name another item of the server, and writes would reach the wrong plant point.
    if (entry.itemIdWasCut) return FailWith(err, entry.key, kErrItemIdLength);
    return AddChannel(table, first, count, entry.itemId) || FailWith(err, entry.key, kErrMemory);
}

bool AddScalar(ChannelTable& table, const ChannelEntry& entry, const ErrorText& err)
{
    std::uint32_t number = 0;
    if (!ParseChannelNumber(entry.key, number, err)) return false;
    if (FindChannel(table, number) != nullptr) return FailWith(err, entry.key, kErrDuplicate);
    return CreateRecord(table, entry, number, 0, err);
}

bool AddRange(ChannelTable& table, const ChannelEntry& entry, std::uint32_t hyphen, const ErrorText& err)
{
    wchar_t part[kKeyMax + 1];
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    SliceText(kKeyMax, part, kKeyMax, entry.key, 0, hyphen);
    if (!ParseChannelNumber(part, first, err)) return false;
    SliceText(kKeyMax, part, kKeyMax, entry.key, hyphen + 1, kKeyMax);
    if (!ParseChannelNumber(part, last, err)) return false;
    // last - first + 1 wraps to 0 for 0-4294967295, and the element block of a longer range than
    // kMaxRangeCount would not fit the allocator's 32-bit sizes.
    if (last < first || last - first >= kMaxRangeCount) return FailWith(err, entry.key, kErrRange);
    std::uint32_t count = last - first + 1;
    if (FindOverlap(table, first, count) != nullptr) return FailWith(err, entry.key, kErrDuplicate);
    return CreateRecord(table, entry, first, count, err);
}

} // namespace

bool AddChannelEntry(ChannelTable& table, const ChannelEntry& entry, const ErrorText& err)
{
    // A cut key names other channels than the file does: "1000000-10000000" would become one element.
    if (entry.keyWasCut) return FailWith(err, entry.key, kErrNumber);
    std::int32_t hyphen = FindChar(kKeyMax, entry.key, L'-');
    if (hyphen < 0) return AddScalar(table, entry, err);
    return AddRange(table, entry, static_cast<std::uint32_t>(hyphen), err);
}
