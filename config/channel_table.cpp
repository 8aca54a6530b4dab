#include "config/channel_table.h"

#include <cstring>
#include <new>

#include "hostrt/core.h"

namespace {

// Numbers are compared by their difference from the record's first number, never by first + count:
// that sum wraps to 0 for a range ending at 4294967295, which would hide the range from every lookup.
bool Covers(std::uint32_t first, std::uint32_t count, std::uint32_t number)
{
    return number >= first && (count == 0 ? number == first : number - first < count);
}

std::int32_t Before(std::uint32_t a, std::uint32_t c)
{
    return a < c ? -1 : 1;
}

} // namespace

std::int32_t Channel::Compare(const OrderedItem& stored) const
{
    const Channel& other = static_cast<const Channel&>(stored);
    return Covers(other.firstNumber, other.count, firstNumber) ? 0 : Before(firstNumber, other.firstNumber);
}

std::int32_t ChannelRangeKey::Compare(const OrderedItem& stored) const
{
    // Two runs of numbers meet when the one that starts later starts inside the other.
    const Channel& other = static_cast<const Channel&>(stored);
    bool meet = firstNumber <= other.firstNumber ? Covers(firstNumber, count, other.firstNumber)
                                                 : Covers(other.firstNumber, other.count, firstNumber);
    return meet ? 0 : Before(firstNumber, other.firstNumber);
}

void Channel::Dispose()
{
    FreeBlock(itemId);
    ReleaseValue(value);
    if (elements != nullptr) {
        for (std::uint32_t i = 0; i < count; ++i)
            ReleaseValue(elements[i]);
        FreeBlock(elements);
    }
}

Channel* FindChannel(const ChannelTable& table, std::uint32_t number)
{
    Channel probe; // never inserted, never disposed: it owns nothing
    probe.firstNumber = number;
    OrderedItem* found = nullptr;
    return table.Find(probe, &found) ? static_cast<Channel*>(found) : nullptr;
}

Channel* FindOverlap(const ChannelTable& table, std::uint32_t first, std::uint32_t count)
{
    ChannelRangeKey probe;
    probe.firstNumber = first;
    probe.count = count;
    OrderedItem* found = nullptr;
    return table.Find(probe, &found) ? static_cast<Channel*>(found) : nullptr;
}

bool AddChannel(ChannelTable& table, std::uint32_t first, std::uint32_t count, const wchar_t* itemId)
{
    if (count > kMaxRangeCount) return false;
    Channel* channel = nullptr;
    if (!AllocBlock(channel, sizeof(Channel))) return false;
    channel = new (channel) Channel;
    channel->firstNumber = first;
    channel->count = count;
    bool ok = StringAssign(&channel->itemId, kItemIdMax, itemId);
    if (ok && count > 0) {
        // Zeroed, not only typed TypeNone: a write of one element sends the whole array, and entries
        // never stored must not carry leftover heap bytes to the device.
        ok = AllocBlock(channel->elements, count * sizeof(HostValue));
        if (ok) std::memset(channel->elements, 0, count * sizeof(HostValue));
    }
    if (!ok) {
        channel->Dispose();
        FreeBlock(channel);
        return false;
    }
    table.Insert(channel);
    return true;
}

HostValue& ChannelSlot(Channel& channel, std::uint32_t number)
{
    return channel.count == 0 ? channel.value : channel.elements[number - channel.firstNumber];
}
