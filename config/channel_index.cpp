#include "config/channel_index.h"

#include "hostrt/core.h"

namespace {

// The direct array is chosen while it takes at most four words per record (a record and its ItemId take
// about 32): it finds a record in a few ns at any table size, where the sorted array's search costs
// cache misses on large tables (bench_lookup).
constexpr std::uint64_t kSlotsPerRecord = 4;

std::uint32_t NumbersOf(const Channel& channel)
{
    return channel.count == 0 ? 1 : channel.count;
}

// Numbers from the lowest first number to the highest covered one, in 64 bits: a range may end at
// 4294967295.
std::uint64_t SpanOf(const ChannelTable& table, std::uint32_t& lowest)
{
    OrderedItem* item = nullptr;
    if (!table.First(&item)) return 0;
    lowest = static_cast<Channel*>(item)->firstNumber;
    std::uint64_t end = 0;
    for (bool more = true; more; more = table.Next(item, &item)) {
        const Channel& channel = *static_cast<Channel*>(item);
        end = static_cast<std::uint64_t>(channel.firstNumber) + NumbersOf(channel);
    }
    return end - lowest;
}

bool BuildSlots(ChannelIndex& index, const ChannelTable& table, std::uint32_t lowest, std::uint32_t span)
{
    if (!AllocBlock(index.slots, span * sizeof(Channel*))) return false;
    index.lowest = lowest;
    index.slotCount = span;
    for (std::uint32_t i = 0; i < span; ++i)
        index.slots[i] = nullptr;
    OrderedItem* item = nullptr;
    for (bool more = table.First(&item); more; more = table.Next(item, &item)) {
        Channel* channel = static_cast<Channel*>(item);
        Channel** slot = index.slots + (channel->firstNumber - lowest);
        for (std::uint32_t k = 0; k < NumbersOf(*channel); ++k)
            slot[k] = channel;
    }
    return true;
}

bool BuildSorted(ChannelIndex& index, const ChannelTable& table)
{
    std::uint32_t count = table.Count;
    if (!AllocBlock(index.firstNumbers, count * sizeof(std::uint32_t)) ||
        !AllocBlock(index.records, count * sizeof(Channel*)))
        return false;
    index.recordCount = count;
    OrderedItem* item = nullptr;
    bool more = table.First(&item);
    for (std::uint32_t i = 0; more && i < count; ++i) {
        index.records[i] = static_cast<Channel*>(item);
        index.firstNumbers[i] = index.records[i]->firstNumber;
        more = table.Next(item, &item);
    }
    return true;
}

Channel* SearchSorted(const ChannelIndex& index, std::uint32_t number)
{
    // Halving without a data-dependent branch: base ends on the last first number <= number, or on the
    // first entry when there is none.
    const std::uint32_t* base = index.firstNumbers;
    std::uint32_t n = index.recordCount;
    while (n > 1) {
        std::uint32_t half = n / 2;
        base = base[half] <= number ? base + half : base;
        n -= half;
    }
    if (*base > number) return nullptr;
    Channel* channel = index.records[base - index.firstNumbers];
    // By difference from the first number, never first + count, which wraps for a range ending at 2^32 - 1.
    return number - channel->firstNumber < NumbersOf(*channel) ? channel : nullptr;
}

} // namespace

bool BuildChannelIndex(ChannelIndex& index, const ChannelTable& table)
{
    ReleaseChannelIndex(index);
    index.table = &table;
    if (table.Count == 0) return true;
    std::uint32_t lowest = 0;
    std::uint64_t span = SpanOf(table, lowest);
    bool built = span <= kSlotsPerRecord * table.Count
                     ? BuildSlots(index, table, lowest, static_cast<std::uint32_t>(span))
                     : BuildSorted(index, table);
    if (!built) ReleaseChannelIndex(index);
    return built;
}

void ReleaseChannelIndex(ChannelIndex& index)
{
    FreeBlock(index.slots);
    FreeBlock(index.firstNumbers);
    FreeBlock(index.records);
    index.lowest = 0;
    index.slotCount = 0;
    index.recordCount = 0;
}

Channel* LookUpChannel(const ChannelIndex& index, std::uint32_t number)
{
    if (index.slots != nullptr) {
        // number - lowest wraps past slotCount for a number below lowest.
        std::uint32_t offset = number - index.lowest;
        return offset < index.slotCount ? index.slots[offset] : nullptr;
    }
    if (index.records != nullptr) return SearchSorted(index, number);
    return index.table != nullptr ? FindChannel(*index.table, number) : nullptr;
}
