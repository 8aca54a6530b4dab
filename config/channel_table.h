#pragma once
// Channel: one configured channel bound to one OPC item, a scalar or an array range, and the ordered
// table of them, keyed by channel number.

#include <cstdint>

#include "convert/value_record.h"
#include "hostrt/host_string.h"
#include "hostrt/ordered_set.h"

using ChannelTable = OrderedSet;

enum ChannelFlag : std::uint32_t {
    InReadQueue = 0x1,
    ReadOutstanding = 0x2,
    InWriteQueue = 0x4,
    WriteOutstanding = 0x8,
};

// Channel statuses shared with the host.
enum ChannelStatus : std::uint32_t {
    StatusOk = 0,
    StatusServerDown = 1,
    StatusFailed = 2,
    StatusNoChannel = 3,
    StatusWrongDirection = 4,
};

class Channel : public OrderedItem {
public:
    std::int32_t Compare(const OrderedItem& stored) const override;
    void Dispose() override;

    std::uint32_t firstNumber = 0xFFFFFFFFu; // also the OPC client handle of the item
    std::uint32_t count = 0;                 // 0: scalar; else elements of the range
    std::uint32_t channelFlags = 0;
    std::uint32_t serverHandle = 0;
    HostString itemId = nullptr;
    std::uint16_t dataType = 0; // VARTYPE
    HostValue value{TypeNone, {}};
    HostValue* elements = nullptr;
    std::uint32_t accessRights = 0;
    HostTimestamp timestamp{};
    std::uint32_t quality = 0;
    std::uint32_t readStatus = StatusFailed; // until the channel's first read
    std::uint32_t writeStatus = StatusFailed;
    Channel* nextRead = nullptr;
    Channel* nextWrite = nullptr;
};

// A probe for the overlap test: a record of the Channel layout whose Compare is true when the probe's
// numbers and a stored record's numbers share one. Never stored.
class ChannelRangeKey : public Channel {
public:
    std::int32_t Compare(const OrderedItem& stored) const override;
};

// Longest ItemId a record keeps, in characters.
constexpr std::uint32_t kItemIdMax = 511;
// Most elements of one range: its element block of count × 12 bytes (the 32-bit host's record) stays
// within 2^31 bytes. The 64-bit test build keeps the same limit, so a file gets the same answer there.
constexpr std::uint32_t kMaxRangeCount = 0x80000000u / 12;

// The record that covers number (the scalar with that number, or the range holding it), or null.
Channel* FindChannel(const ChannelTable& table, std::uint32_t number);
// Some stored record that shares a number with first .. first + count - 1 (count >= 1), or null.
Channel* FindOverlap(const ChannelTable& table, std::uint32_t first, std::uint32_t count);
// Creates a record (count 0: a scalar; else a range of count elements, each TypeNone with a zero
// payload) holding itemId (at most kItemIdMax characters) and inserts it; the caller has made sure it
// overlaps no stored record. False, with nothing allocated, when memory runs out or count exceeds
// kMaxRangeCount.
bool AddChannel(ChannelTable& table, std::uint32_t first, std::uint32_t count, const wchar_t* itemId);
// The value of channel number within the record that covers it: value of a scalar, the element of a range.
HostValue& ChannelSlot(Channel& channel, std::uint32_t number);
