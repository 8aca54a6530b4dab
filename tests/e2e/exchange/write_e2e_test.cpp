// Writing end to end: what the server receives (its log) and what the host is told, in both modes.

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"

namespace {

class WriteE2E : public ExchangeE2E {
protected:
    ::testing::AssertionResult WriteBatch()
    {
        std::size_t before = host.notes.size();
        host.FireWrite();
        return host.WaitNotified(before + 1);
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, WriteE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(WriteE2E, ThreeRequestsForOneChannelSendTheLastValueOnce)
{
    ASSERT_TRUE(Start());
    for (std::int32_t number : {1, 2, 3})
        host.RequestWrite(kI4, Value(TypeI32, number));
    ASSERT_TRUE(WriteBatch());
    EXPECT_EQ(Logged("write "), std::vector<std::string>{"write Sim.I4 vt=3 value=3 hr=0x00000000"});
    EXPECT_EQ(host.WriteStatus(kI4), StatusOk);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].kind, 1u);
    EXPECT_EQ(host.notes[0].userData, kHostUserData);
}

TEST_P(WriteE2E, PartialWriteOfARangeSendsEveryEntry)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kR8Array}));
    host.RequestWrite(kR8Array, Value(TypeF64, 9.0));
    host.RequestWrite(kR8Array + 2, Value(TypeF64, 8.5));
    ASSERT_TRUE(WriteBatch());
    EXPECT_EQ(Logged("write "),
              std::vector<std::string>{"write Sim.R8Array vt=8197 dims=5 value={9 2 8.5 4 5} hr=0x00000000"});
    EXPECT_EQ(host.WriteStatus(kR8Array + 4), StatusOk);
}

TEST_P(WriteE2E, ScalarsAreWidenedAndArraysKeepTheirEntriesType)
{
    ASSERT_TRUE(Start());
    const struct {
        std::uint32_t channel;
        HostValue value;
        const char* logged;
    } rows[] = {
        {kUI1, Value(TypeU8, std::uint8_t{200}), "write Sim.UI1 vt=3 value=200"},
        {kI1, Value(TypeI8, std::int8_t{-5}), "write Sim.I1 vt=2 value=-5"},
        {kI2, Value(TypeI16, std::int16_t{-300}), "write Sim.I2 vt=2 value=-300"},
        {kUI2, Value(TypeU16, std::uint16_t{60001}), "write Sim.UI2 vt=3 value=60001"},
        {kUI4, Value(TypeU32, std::uint32_t{7}), "write Sim.UI4 vt=3 value=7"},
        {kR4, Value(TypeF32, 2.5f), "write Sim.R4 vt=4 value=2.5"},
        {kR8, Value(TypeF64, -0.25), "write Sim.R8 vt=5 value=-0.25"},
        {kText, Value(TypeText, "abc"), "write Sim.BSTR vt=8 value=\"abc\""},
        {kTextArray, Value(TypeText, "mid"), "write Sim.BSTRArray vt=8200 dims=3 value={\"mid\" \"\" \"\"}"},
    };
    for (const auto& row : rows)
        host.RequestWrite(row.channel, row.value);
    ASSERT_TRUE(WriteBatch());
    std::vector<std::string> logged = Logged("write ");
    ASSERT_EQ(logged.size(), sizeof rows / sizeof rows[0]);
    for (std::size_t i = 0; i < logged.size(); ++i) {
        EXPECT_EQ(logged[i], std::string(rows[i].logged) + " hr=0x00000000");
    }
}

TEST_P(WriteE2E, ValueWrittenAndNotYetReadIsWhatGetInput3Delivers)
{
    ASSERT_TRUE(Start());
    host.RequestWrite(kR8, Value(TypeF64, 7.25));
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8, TypeF64).value), 7.25);
    ASSERT_TRUE(WriteBatch());
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8, TypeF64).value), 7.25);
    ASSERT_TRUE(host.ReadBatch({kR8}));
    EXPECT_EQ(ReadPayload<double>(host.Get(kR8, TypeF64).value), 7.25) << "the server took the value";
}

// A scalar without a value is sent as VT_VOID: one the host gave as TypeNone, and one whose text the
// driver could not store (a null pointer, a count beyond any string, a count with a null pointer), which
// leaves the channel TypeNone. The marshaller carries it to the server, which refuses the conversion for
// those items alone; the rest of the batch is written.
TEST_P(WriteE2E, ScalarsWithoutAValueCrossTheMarshallerAsVtVoidAndFailAlone)
{
    ASSERT_TRUE(Start());
    HostValue beyondAnyString{TypeTextBuf, {}};
    WritePayload(beyondAnyString, std::uint32_t{0x40000000}, kBufLengthOffset);
    WritePayload(beyondAnyString, static_cast<const char*>("abc"), kBufPointerOffset);
    HostValue countedNull{TypeTextBuf, {}};
    WritePayload(countedNull, std::uint32_t{3}, kBufLengthOffset);
    host.RequestWrite(kR8, HostValue{TypeNone, {}});
    host.RequestWrite(kText, Value(TypeText, static_cast<const char*>(nullptr)));
    host.RequestWrite(kI4, beyondAnyString);
    host.RequestWrite(kI2, countedNull);
    host.RequestWrite(kUI1, Value(TypeU8, std::uint8_t{7}));
    ASSERT_TRUE(WriteBatch());
    EXPECT_EQ(Logged("write "), (std::vector<std::string>{"write Sim.R8 vt=24 value=?vt=24 hr=0xC0040004",
                                                          "write Sim.BSTR vt=24 value=?vt=24 hr=0xC0040004",
                                                          "write Sim.I4 vt=24 value=?vt=24 hr=0xC0040004",
                                                          "write Sim.I2 vt=24 value=?vt=24 hr=0xC0040004",
                                                          "write Sim.UI1 vt=3 value=7 hr=0x00000000"}));
    for (std::uint32_t channel : {kR8, kText, kI4, kI2}) {
        EXPECT_EQ(host.WriteStatus(channel), StatusFailed) << channel;
        EXPECT_EQ(host.Get(channel, TypeF64).quality, 0u) << "nothing to deliver: " << channel;
    }
    EXPECT_EQ(host.WriteStatus(kUI1), StatusOk);
}

} // namespace
