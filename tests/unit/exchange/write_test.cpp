// What only the write cycle does: storing the host's values and building what the server receives.

#include <objbase.h>

#include <gtest/gtest.h>

#include "convert/value_payload.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"
#include "idl/opc_constants.h"
#include "tests/unit/exchange/exchange_fixture.h"

namespace {

template <class T> HostValue Value(std::uint32_t type, T datum)
{
    HostValue value{type, {}};
    WritePayload(value, datum);
    return value;
}

std::vector<std::int32_t> ArrayNumbers(const VARIANT& array)
{
    std::vector<std::int32_t> numbers;
    LONG upper = -1;
    SafeArrayGetUBound(array.parray, 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        VARIANT element;
        VariantInit(&element);
        element.vt = array.vt & ~VT_ARRAY;
        SafeArrayGetElement(array.parray, &i, &element.iVal);
        VariantChangeType(&element, &element, 0, VT_I4);
        numbers.push_back(element.lVal);
    }
    return numbers;
}

class WriteTest : public ExchangeTest {
protected:
    std::uint32_t WriteStatus(std::uint32_t channel)
    {
        std::uint32_t status = 0xDEADBEEF;
        return OutputFinalized(*drv, channel, &status) ? status : 0xDEADBEEF;
    }
};

TEST_F(WriteTest, ThreeRequestsForOneChannelSendTheLastValueOnce)
{
    for (std::int32_t number : {1, 2, 3})
        OutputRequest(*drv, kChA, Value(TypeI32, number), false);
    OutputRequestCompleted(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    ASSERT_EQ(io.calls[0].values.size(), 1u);
    EXPECT_EQ(io.calls[0].values[0].vt, VT_I4);
    EXPECT_EQ(io.calls[0].values[0].lVal, 3);
}

TEST_F(WriteTest, PartialWriteOfARangeSendsEveryEntry)
{
    OutputRequest(*drv, kRangeFirst, Value(TypeI16, std::int16_t{5}), false);
    OutputRequest(*drv, kRangeFirst + 2, Value(TypeI16, std::int16_t{7}), false);
    OutputRequestCompleted(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    ASSERT_EQ(io.calls[0].values.size(), 1u);
    const VARIANT& sent = io.calls[0].values[0];
    EXPECT_EQ(sent.vt, VT_ARRAY | VT_I2);
    EXPECT_EQ(ArrayNumbers(sent), (std::vector<std::int32_t>{5, 0, 7, 0, 0}));
}

TEST_F(WriteTest, ReadOnlyChannelStoresNothing)
{
    OutputRequest(*drv, kReadOnly, Value(TypeI32, 5), false);
    EXPECT_EQ(ChannelOf(kReadOnly).value.type, static_cast<std::uint32_t>(TypeNone));
    EXPECT_EQ(WriteStatus(kReadOnly), StatusWrongDirection);
}

TEST_F(WriteTest, ServerDownStoresNothing)
{
    OutputRequest(*drv, kChA, Value(TypeI32, 5), false);
    SetFlag(*drv, ServerDown);
    OutputRequest(*drv, kChA, Value(TypeI32, 6), false);
    EXPECT_EQ(ReadPayload<std::int32_t>(ChannelOf(kChA).value), 5);
}

TEST_F(WriteTest, ValueWrittenAndNotYetReadIsWhatGetInput3Delivers)
{
    OutputRequest(*drv, kChA, Value(TypeI32, 77), false);
    HostValue asked{TypeF64, {}};
    std::uint32_t quality = 0xDEADBEEF;
    HostTimestamp timestamp{};
    GetInput3(*drv, kChA, &asked, &quality, &timestamp, false);
    EXPECT_EQ(ReadPayload<double>(asked), 77.0);
    EXPECT_EQ(quality, 0u) << "the channel was never read";
}

TEST_F(WriteTest, ValueStoredWhileAWriteIsOutstandingGoesWithTheNextBatch)
{
    OutputRequest(*drv, kChA, Value(TypeI32, 1), false);
    OutputRequestCompleted(*drv);
    OutputRequest(*drv, kChA, Value(TypeI32, 2), false);
    EXPECT_EQ(io.calls[0].values[0].lVal, 1);
    CompleteWrite(*drv, io.calls[0].transactionId, S_OK, {kChA}, {S_OK});
    EXPECT_EQ(WriteStatus(kChA), 0xDEADBEEF) << "queued again";
    OutputRequestCompleted(*drv);
    ASSERT_EQ(io.calls.size(), 2u);
    EXPECT_EQ(io.calls[1].values[0].lVal, 2);
}

TEST_F(WriteTest, UnicodeTextIsSentAsTheHostWroteIt)
{
    const wchar_t text[] = L"valve open";
    OutputRequest(*drv, kChB, Value(TypeWText, text), true);
    OutputRequestCompleted(*drv);
    ASSERT_EQ(io.calls.size(), 1u);
    const VARIANT& sent = io.calls[0].values[0];
    ASSERT_EQ(sent.vt, VT_BSTR);
    EXPECT_STREQ(sent.bstrVal, text);
}

} // namespace
