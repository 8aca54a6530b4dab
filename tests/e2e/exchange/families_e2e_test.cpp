// Every export family of the read and write side, ANSI and UTF-16, reaches the same channel: the text a
// W twin writes arrives at the server as written, and each GetInput sister delivers what GetInput3 does.

#include <cstring>

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"

namespace {

class FamiliesE2E : public ExchangeE2E {
protected:
    ::testing::AssertionResult WriteBatch(bool wide)
    {
        std::size_t before = host.notes.size();
        if (wide) {
            api.wide.OutputRequestCompleted(host.Instance());
        } else {
            api.ansi.OutputRequestCompleted(host.Instance());
        }
        return host.WaitNotified(before + 1);
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, FamiliesE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(FamiliesE2E, UnicodeTextWrittenThroughEachWTwinArrivesAsWritten)
{
    ASSERT_TRUE(Start());
    const wchar_t pointed[] = L"pump \u00e9";
    const wchar_t counted[] = L"valve";
    OpcDriver* instance = host.Instance();
    api.wide.OutputRequest(instance, kText, Value(TypeWText, pointed));
    ASSERT_TRUE(WriteBatch(true));
    HostValue countedValue{TypeWTextBuf, {}};
    WritePayload(countedValue, std::uint32_t{5}, kBufLengthOffset);
    WritePayload(countedValue, static_cast<const wchar_t*>(counted), kBufPointerOffset);
    api.wide.OutputRequest2(instance, kText, countedValue, 0, 0);
    ASSERT_TRUE(WriteBatch(true));
    api.wide.OutputRequest3(instance, kR8, Value(TypeF64, 4.5), 0, 0);
    api.ansi.OutputRequest2(instance, kI4, Value(TypeI32, 8), 0, 0);
    api.ansi.OutputRequest3(instance, kI2, Value(TypeI16, std::int16_t{9}), 0, 0);
    ASSERT_TRUE(WriteBatch(false));
    EXPECT_EQ(Logged("write "),
              (std::vector<std::string>{"write Sim.BSTR vt=8 value=\"pump \xc3\xa9\" hr=0x00000000",
                                        "write Sim.BSTR vt=8 value=\"valve\" hr=0x00000000",
                                        "write Sim.R8 vt=5 value=4.5 hr=0x00000000",
                                        "write Sim.I4 vt=3 value=8 hr=0x00000000",
                                        "write Sim.I2 vt=2 value=9 hr=0x00000000"}));
    std::uint32_t status = kPending;
    EXPECT_TRUE(api.wide.OutputFinalized(instance, kText, &status));
    EXPECT_EQ(status, StatusOk);
}

TEST_P(FamiliesE2E, EveryGetInputSisterDeliversWhatGetInput3Does)
{
    ASSERT_TRUE(Start());
    OpcDriver* instance = host.Instance();
    api.wide.InputRequest(instance, kR8);
    api.wide.InputRequestCompleted(instance);
    ASSERT_TRUE(host.WaitNotified(1));
    std::uint32_t status = kPending;
    EXPECT_TRUE(api.wide.InputFinalized(instance, kR8, &status));
    EXPECT_EQ(status, StatusOk);
    const Delivered expected = host.Get(kR8, TypeF64);
    for (auto* get3 : {api.ansi.GetInput2, api.wide.GetInput2, api.wide.GetInput3}) {
        Delivered got{Asking(TypeF64), kPending, {}};
        get3(instance, kR8, &got.value, &got.quality, &got.timestamp);
        EXPECT_EQ(ReadPayload<double>(got.value), ReadPayload<double>(expected.value));
        EXPECT_EQ(got.quality, expected.quality);
        EXPECT_EQ(std::memcmp(&got.timestamp, &expected.timestamp, sizeof got.timestamp), 0);
    }
    for (auto* get : {api.ansi.GetInput, api.wide.GetInput}) {
        HostValue value = Asking(TypeF64);
        get(instance, kR8, &value);
        EXPECT_EQ(ReadPayload<double>(value), 2.25);
    }
}

} // namespace
