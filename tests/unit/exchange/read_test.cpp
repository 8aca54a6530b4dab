// What only the read cycle does: storing the server's value, quality and timestamp, and handing them
// to the host with GetInput3.

#include <cstring>

#include <objbase.h>

#include <gtest/gtest.h>

#include "convert/value_payload.h"
#include "exchange/read_cycle.h"
#include "idl/opc_constants.h"
#include "tests/unit/exchange/exchange_fixture.h"

namespace {

constexpr HostTimestamp kReadTime{49530250, 17, 5, 2024}; // 13:45:30.250 UTC, 17 May 2024
constexpr std::uint8_t kFill = 0xA5;

HostValue Asking(std::uint32_t type)
{
    HostValue value{type, {}};
    std::memset(value.payload, kFill, sizeof value.payload);
    return value;
}

bool SameTimestamp(const HostTimestamp& a, const HostTimestamp& b)
{
    return a.msOfDay == b.msOfDay && a.day == b.day && a.month == b.month && a.year == b.year;
}

HostTimestamp FilledTimestamp()
{
    HostTimestamp timestamp;
    std::memset(&timestamp, kFill, sizeof timestamp);
    return timestamp;
}

VARIANT I4Array(std::initializer_list<std::int32_t> numbers)
{
    VARIANT array;
    VariantInit(&array);
    SAFEARRAYBOUND bound{static_cast<ULONG>(numbers.size()), 0};
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreate(VT_I4, 1, &bound);
    LONG index = 0;
    for (std::int32_t number : numbers) {
        SafeArrayPutElement(array.parray, &index, &number);
        ++index;
    }
    return array;
}

// What GetInput3 left in the caller's places, each filled beforehand.
struct Delivered {
    HostValue value;
    std::uint32_t quality;
    HostTimestamp timestamp;
};

class ReadTest : public ExchangeTest {
protected:
    Delivered Get(std::uint32_t channel, std::uint32_t type, bool wide = false)
    {
        Delivered got{Asking(type), 0xDEADBEEF, FilledTimestamp()};
        GetInput3(*drv, channel, &got.value, &got.quality, &got.timestamp, wide);
        return got;
    }
    // One batch of the channel, answered with item.
    void ReadOnce(std::uint32_t channel, const ReadItem& item)
    {
        InputRequest(*drv, channel);
        InputRequestCompleted(*drv);
        ASSERT_FALSE(io.calls.empty());
        CompleteRead(*drv, io.calls.back().transactionId, S_OK, {item});
    }
    std::uint32_t ReadStatus(std::uint32_t channel)
    {
        std::uint32_t status = 0xDEADBEEF;
        EXPECT_TRUE(InputFinalized(*drv, channel, &status));
        return status;
    }
};

TEST_F(ReadTest, CompletionStoresValueQualityLevelAndUtcTimestamp)
{
    const struct {
        WORD quality;
        std::uint32_t level;
    } rows[] = {{OPC_QUALITY_GOOD, 750},      {OPC_QUALITY_LOCAL_OVERRIDE, 750},
                {OPC_QUALITY_UNCERTAIN, 500}, {OPC_QUALITY_SENSOR_CAL, 500},
                {OPC_QUALITY_BAD, 0},         {OPC_QUALITY_COMM_FAILURE, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.quality);
        ReadItem item = GoodItem(kChA, -7);
        item.quality = row.quality;
        ReadOnce(kChA, item);
        EXPECT_EQ(ReadStatus(kChA), StatusOk);
        Delivered got = Get(kChA, TypeI32);
        EXPECT_EQ(ReadPayload<std::int32_t>(got.value), -7);
        EXPECT_EQ(got.quality, row.level);
        EXPECT_TRUE(SameTimestamp(got.timestamp, kReadTime));
    }
}

TEST_F(ReadTest, StoredValueIsDeliveredInTheTypeTheHostAsksFor)
{
    ReadOnce(kChA, GoodItem(kChA, -7));
    EXPECT_EQ(ReadPayload<double>(Get(kChA, TypeF64, true).value), -7.0);
    Delivered word = Get(kChA, TypeU16);
    EXPECT_EQ(ReadPayload<std::uint16_t>(word.value), 65529);
    EXPECT_EQ(word.quality, 750u);
}

TEST_F(ReadTest, TypeTheValueCannotBecomeGivesQualityZeroAndStillTheTimestamp)
{
    ReadOnce(kChA, GoodItem(kChA, 5));
    Delivered got = Get(kChA, TypeBool);
    EXPECT_EQ(got.quality, 0u);
    EXPECT_TRUE(SameTimestamp(got.timestamp, kReadTime));
    EXPECT_EQ(got.value.payload[0], kFill) << "a refused value writes nothing";
}

TEST_F(ReadTest, EachNumberOfARangeGetsItsOwnElement)
{
    ReadOnce(kRangeFirst + 3, ReadItem{kRangeFirst, I4Array({10, 11, 12, 13, 14}), OPC_QUALITY_GOOD,
                                       UtcTime(2024, 5, 17, 13, 45, 30, 250), S_OK});
    for (std::uint32_t i = 0; i < kRangeCount; ++i) {
        Delivered got = Get(kRangeFirst + i, TypeI32);
        EXPECT_EQ(ReadPayload<std::int32_t>(got.value), static_cast<std::int32_t>(10 + i));
        EXPECT_EQ(got.quality, 750u);
    }
}

TEST_F(ReadTest, RangeEndingAtTheLastChannelNumberIsReadAndDelivered)
{
    constexpr std::uint32_t kFirst = 0xFFFFFFFD;
    ASSERT_TRUE(AddChannel(drv->channels, kFirst, 3, L"top"));
    ChannelOf(kFirst).accessRights = OPC_READABLE;
    ChannelOf(kFirst).serverHandle = 77;
    ReadOnce(0xFFFFFFFF,
             ReadItem{kFirst, I4Array({1, 2, 3}), OPC_QUALITY_GOOD, UtcTime(2024, 1, 1, 0, 0, 0, 0), S_OK});
    EXPECT_EQ(io.calls.back().handles, std::vector<DWORD>{77});
    EXPECT_EQ(ReadPayload<std::int32_t>(Get(0xFFFFFFFF, TypeI32).value), 3);
    EXPECT_EQ(ReadStatus(0xFFFFFFFF), StatusOk);
}

TEST_F(ReadTest, ValueThatCannotBeStoredFailsAndKeepsValueQualityAndTimestamp)
{
    ReadOnce(kChA, GoodItem(kChA, 5));
    VARIANT big;
    VariantInit(&big);
    big.vt = VT_I8;
    big.llVal = 1;
    VARIANT mismatched = I4Array({1, 2});
    mismatched.vt = VT_ARRAY | VT_R8; // the array's own elements are 4 bytes wide
    for (const VARIANT& refused : {big, mismatched}) {
        SCOPED_TRACE(refused.vt);
        Traces();
        ReadOnce(kChA, ReadItem{kChA, refused, OPC_QUALITY_UNCERTAIN, UtcTime(2030, 1, 1, 1, 1, 1, 1), S_OK});
        EXPECT_EQ(ReadStatus(kChA), StatusFailed);
        EXPECT_EQ(Traces(),
                  (std::vector<std::wstring>{TraceOf(L"IOPCAsyncIO2->Read(...)"),
                                             TraceOf(L"IOPCDataCallback->OnReadComplete(...)"),
                                             TraceOf(L"ItemReadComplete: VariantToValue failed", L"chA")}));
        Delivered got = Get(kChA, TypeI32);
        EXPECT_EQ(ReadPayload<std::int32_t>(got.value), 5);
        EXPECT_EQ(got.quality, 750u);
        EXPECT_TRUE(SameTimestamp(got.timestamp, kReadTime));
    }
}

TEST_F(ReadTest, MalformedValuesFailTheItemAndLeaveTheChannelAlone)
{
    ReadOnce(kRangeFirst, ReadItem{kRangeFirst, I4Array({10, 11, 12, 13, 14}), OPC_QUALITY_GOOD,
                                   UtcTime(2024, 5, 17, 13, 45, 30, 250), S_OK});
    ReadOnce(kChA, GoodItem(kChA, 5));
    VARIANT wider = I4Array({1, 2, 3, 4, 5});
    wider.vt = VT_ARRAY | VT_R8; // read as 8-byte elements, the block would be overrun
    VARIANT nullReference;
    VariantInit(&nullReference);
    nullReference.vt = VT_BYREF | VT_I4;
    nullReference.plVal = nullptr;
    const struct {
        const char* name;
        std::uint32_t channel;
        VARIANT value;
    } rows[] = {{"array of another element width", kRangeFirst, wider},
                {"reference without a target", kChA, nullReference}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReadOnce(row.channel,
                 ReadItem{row.channel, row.value, OPC_QUALITY_GOOD, UtcTime(2030, 1, 1, 0, 0, 0, 0), S_OK});
        EXPECT_EQ(ReadStatus(row.channel), StatusFailed);
        Delivered got = Get(row.channel, TypeI32);
        EXPECT_EQ(ReadPayload<std::int32_t>(got.value), row.channel == kChA ? 5 : 10);
        EXPECT_TRUE(SameTimestamp(got.timestamp, kReadTime));
    }
}

TEST_F(ReadTest, FailedItemKeepsTheChannelsValue)
{
    ReadOnce(kChA, GoodItem(kChA, 5));
    ReadItem failed = GoodItem(kChA, 6);
    failed.error = OPC_E_BADRIGHTS;
    ReadOnce(kChA, failed);
    EXPECT_EQ(ReadStatus(kChA), StatusFailed);
    EXPECT_EQ(ReadPayload<std::int32_t>(Get(kChA, TypeI32).value), 5);
}

TEST_F(ReadTest, TimestampBeyondWhatASystemTimeHoldsIsStoredAsZero)
{
    ReadItem item = GoodItem(kChA, 9);
    item.timestamp = FILETIME{0, 0x80000000};
    ReadOnce(kChA, item);
    EXPECT_EQ(ReadStatus(kChA), StatusOk);
    Delivered got = Get(kChA, TypeI32);
    EXPECT_EQ(ReadPayload<std::int32_t>(got.value), 9);
    EXPECT_TRUE(SameTimestamp(got.timestamp, HostTimestamp{}));
}

TEST_F(ReadTest, ChannelNeverReadGivesQualityZeroAndTheZeroTimestamp)
{
    Delivered got = Get(kChB, TypeI32);
    EXPECT_EQ(got.quality, 0u);
    EXPECT_TRUE(SameTimestamp(got.timestamp, HostTimestamp{}));
    EXPECT_EQ(got.value.payload[0], kFill);
    EXPECT_EQ(ReadStatus(kChB), StatusFailed);
}

TEST_F(ReadTest, ServerDownOrUnknownChannelLeavesTheCallersPlacesAlone)
{
    ReadOnce(kChA, GoodItem(kChA, 5));
    for (bool down : {false, true}) {
        if (down) SetFlag(*drv, ServerDown);
        Delivered got = Get(down ? kChA : kUnknown, TypeI32);
        EXPECT_EQ(got.value.payload[0], kFill);
        EXPECT_EQ(got.quality, 0xDEADBEEF);
        EXPECT_TRUE(SameTimestamp(got.timestamp, FilledTimestamp()));
    }
}

TEST_F(ReadTest, NullPlacesOfTheCallerAreSkipped)
{
    ReadOnce(kChA, GoodItem(kChA, 5));
    std::uint32_t quality = 0xDEADBEEF;
    HostTimestamp timestamp = FilledTimestamp();
    GetInput3(*drv, kChA, nullptr, &quality, &timestamp, false);
    EXPECT_EQ(quality, 0u) << "nothing was delivered";
    EXPECT_TRUE(SameTimestamp(timestamp, kReadTime));
    HostValue value = Asking(TypeI32);
    GetInput3(*drv, kChA, &value, nullptr, nullptr, false);
    EXPECT_EQ(ReadPayload<std::int32_t>(value), 5);
}

} // namespace
