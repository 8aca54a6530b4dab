// Host calls a careless or hostile host makes, end to end in both modes: numbers no channel covers, null
// places, GetInput3 asked for every type code, OutputRequest with every type code and texts at their
// limits, an instance whose Init failed, and two instances driven alternately.

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/robustness/robust_fixture.h"
#include "tests/support/temp_file.h"
#include "tests/support/wait.h"

namespace {

constexpr std::uint32_t kStrangeNumbers[] = {0, kNoChannel, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
// The type codes with a meaning, and the highest code tried besides the extremes.
constexpr std::uint32_t kTextTypes[] = {TypeText, TypeString, TypeTextBuf, TypeWText, TypeWTextBuf};
constexpr std::uint32_t kHighestTriedType = 300;

bool IsTextType(std::uint32_t type)
{
    for (std::uint32_t text : kTextTypes) {
        if (type == text) return true;
    }
    return false;
}

bool IsMeaningful(std::uint32_t type)
{
    return IsTextType(type) || type == TypeNone || (type >= TypeBool && type <= TypeF64);
}

std::vector<std::uint32_t> EveryTriedType()
{
    std::vector<std::uint32_t> types;
    for (std::uint32_t type = 0; type <= kHighestTriedType; ++type)
        types.push_back(type);
    types.insert(types.end(), {0x7FFFFFFF, 0x80000000, 0xFFFFFFFF});
    return types;
}

// True when a value still holds what Asking(type) put in it.
bool Untouched(const HostValue& value, std::uint32_t type)
{
    HostValue asked = Asking(type);
    return std::memcmp(&value, &asked, sizeof value) == 0;
}

HostValue Counted(std::uint32_t type, std::uint32_t length, const void* text)
{
    HostValue value{type, {}};
    WritePayload(value, length);
    WritePayload(value, text, 4);
    return value;
}

class HostileE2E : public RobustE2E {
protected:
    // The text the server received in the latest write of Sim.BSTR.
    std::string WrittenText()
    {
        std::vector<std::string> writes = Logged("write Sim.BSTR ");
        if (writes.empty()) return "(nothing written)";
        const std::string& line = writes.back();
        std::size_t start = line.find("value=\"");
        std::size_t end = line.rfind("\" hr=");
        return start == std::string::npos || end < start + 7 ? line : line.substr(start + 7, end - start - 7);
    }
    // Writes value to the text channel and waits for the batch's end; the channel's write status.
    std::uint32_t WriteText(const HostValue& value, bool wide)
    {
        std::size_t notified = host.notes.size();
        if (wide) {
            api.wide.OutputRequest(host.Instance(), kText, value);
        } else {
            api.ansi.OutputRequest(host.Instance(), kText, value);
        }
        host.FireWrite();
        EXPECT_TRUE(
            WaitUntil([&] { return host.notes.size() > notified || host.WriteStatus(kText) != kPending; },
                      20000, "the write's end"));
        PumpMessages();
        return host.WriteStatus(kText);
    }
};

INSTANTIATE_TEST_SUITE_P(BothModes, HostileE2E, ::testing::Values(Mode::Async, Mode::Sync), ModeTestName);

TEST_P(HostileE2E, NumbersNoChannelCoversQueueNothingAndTouchNothing)
{
    ASSERT_TRUE(Start());
    for (std::uint32_t number : kStrangeNumbers) {
        SCOPED_TRACE(number);
        host.RequestRead({number});
        host.RequestWrite(number, Value(TypeI32, 5));
        api.wide.OutputRequest(host.Instance(), number, Value(TypeI32, 5));
        host.FireRead();
        host.FireWrite();
        EXPECT_EQ(host.ReadStatus(number), StatusNoChannel);
        EXPECT_EQ(host.WriteStatus(number), StatusNoChannel);
        for (bool wide : {false, true}) {
            Delivered got = host.Get(number, TypeF64, wide);
            EXPECT_EQ(got.quality, kPending);
            EXPECT_TRUE(Untouched(got.value, TypeF64));
        }
        HostValue plain = Asking(TypeI32);
        api.ansi.GetInput(host.Instance(), number, &plain);
        EXPECT_TRUE(Untouched(plain, TypeI32));
    }
    PumpMessages();
    EXPECT_TRUE(host.notes.empty());
    EXPECT_EQ(ServerCalls(ReadCall(mode())), 0u);
    EXPECT_EQ(ServerCalls(WriteCall(mode())), 0u);
}

TEST_P(HostileE2E, NullPlacesAreNotWritten)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kI4}));
    OpcDriver* instance = host.Instance();
    EXPECT_FALSE(api.ansi.InputFinalized(instance, kI4, nullptr));
    EXPECT_FALSE(api.ansi.OutputFinalized(instance, kI4, nullptr));
    EXPECT_FALSE(api.wide.InputFinalized(instance, kNoChannel, nullptr));
    for (const auto* exports : {&api.ansi.GetInput3, &api.wide.GetInput3}) {
        (*exports)(instance, kI4, nullptr, nullptr, nullptr);
        std::uint32_t quality = kPending;
        HostTimestamp timestamp{};
        // Without a value nothing is delivered, so the quality says so; the timestamp still comes.
        (*exports)(instance, kI4, nullptr, &quality, &timestamp);
        EXPECT_EQ(quality, 0u);
        EXPECT_EQ(timestamp.year, 2024u);
        HostValue value = Asking(TypeI32);
        (*exports)(instance, kI4, &value, nullptr, nullptr);
        EXPECT_EQ(ReadPayload<std::int32_t>(value), 123456);
    }
    api.ansi.GetInput(instance, kI4, nullptr);
    api.ansi.GetInput2(instance, kI4, nullptr, nullptr, nullptr);
    api.wide.GetInput2(instance, kI4, nullptr, nullptr, nullptr);
    EXPECT_EQ(host.ReadStatus(kI4), StatusOk);
}

TEST_P(HostileE2E, GetInput3AskedForEveryTypeCodeDeliversOrRefusesWithoutHarm)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(host.ReadBatch({kI4, kR8, kText, kR8Array + 1, kTextArray}));
    for (std::uint32_t channel : {kI4, kR8, kText, kR8Array + 1, kTextArray}) {
        for (std::uint32_t type : EveryTriedType()) {
            if (IsTextType(type)) continue; // a text needs the host's buffer: below
            for (bool wide : {false, true}) {
                SCOPED_TRACE(::testing::Message()
                             << "channel " << channel << " type " << type << " wide " << wide);
                Delivered got = host.Get(channel, type, wide);
                EXPECT_EQ(got.value.type, type);
                EXPECT_EQ(got.timestamp.year, 2024u);
                if (!IsMeaningful(type) || type == TypeNone) {
                    EXPECT_EQ(got.quality, 0u);
                    EXPECT_TRUE(Untouched(got.value, type));
                } else {
                    EXPECT_TRUE(got.quality == 750u || got.quality == 0u) << got.quality;
                }
            }
        }
    }
    // Text destinations without a buffer are refused and nothing is written through the null pointer.
    for (std::uint32_t type : {TypeText, TypeTextBuf, TypeWText, TypeWTextBuf}) {
        for (bool wide : {false, true}) {
            // The pointer of a counted text follows its capacity; the other texts are the pointer alone.
            bool counted = type == TypeTextBuf || type == TypeWTextBuf;
            HostValue value = Counted(type, counted ? 256 : 0, nullptr);
            std::uint32_t quality = kPending;
            (wide ? api.wide.GetInput3 : api.ansi.GetInput3)(host.Instance(), kText, &value, &quality,
                                                             nullptr);
            EXPECT_EQ(quality, 0u) << type;
        }
    }
}

TEST_P(HostileE2E, OutputRequestWithEveryTypeCodeEndsEveryWriteInADefinedStatus)
{
    ASSERT_TRUE(Start());
    for (std::uint32_t type : EveryTriedType()) {
        if (IsTextType(type)) continue; // below, at their limits
        SCOPED_TRACE(type);
        HostValue value{type, {}};
        WritePayload(value, std::uint64_t{0x0000000100000002});
        std::uint32_t status = WriteText(value, false);
        EXPECT_TRUE(status == StatusOk || status == StatusFailed) << status;
    }
}

TEST_P(HostileE2E, TextsAtTheirLimitsAreWrittenAsDocumented)
{
    ASSERT_TRUE(Start());
    std::string longText(100000, 'x');
    std::wstring longWide(100000, L'y');
    longText[255] = 'Z';
    HostValue text{TypeText, {}};
    WritePayload(text, longText.c_str());
    EXPECT_EQ(WriteText(text, false), StatusOk);
    EXPECT_EQ(WrittenText(), std::string(255, 'x'));
    HostValue wideText{TypeText, {}};
    WritePayload(wideText, longWide.c_str());
    EXPECT_EQ(WriteText(wideText, true), StatusOk);
    EXPECT_EQ(WrittenText(), std::string(255, 'y'));
    EXPECT_EQ(WriteText(Counted(TypeTextBuf, 300, longText.c_str()), false), StatusOk);
    EXPECT_EQ(WrittenText(), std::string(255, 'x') + "Z" + std::string(44, 'x'));
    EXPECT_EQ(WriteText(Counted(TypeWTextBuf, 0, longWide.c_str()), true), StatusOk);
    EXPECT_EQ(WrittenText(), "");
    // Lengths no text can have, and null pointers: the store fails and the channel holds no value.
    for (HostValue hostile : {Counted(TypeTextBuf, 0xFFFFFFFF, longText.c_str()),
                              Counted(TypeTextBuf, 0x3FFFFFF1, longText.c_str()),
                              Counted(TypeTextBuf, 10, nullptr), Counted(TypeText, 0, nullptr)}) {
        for (bool wide : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "type " << hostile.type << " wide " << wide);
            std::uint32_t status = WriteText(hostile, wide);
            EXPECT_TRUE(status == StatusOk || status == StatusFailed) << status;
        }
    }
    EXPECT_EQ(WriteText(Counted(TypeWText, 0, nullptr), true),
              WriteText(Counted(TypeWTextBuf, 5, nullptr), true));
}

TEST_P(HostileE2E, InstanceWhoseInitFailedAllowsEveryCallAndEndsCleanly)
{
    TempFile broken("[server]\nCLSID = not a clsid\n[channels]\n1 = Sim.I4\n");
    ASSERT_TRUE(broken.IsWritten());
    std::string name(broken.Path().begin(), broken.Path().end());
    for (int round = 0; round < 2; ++round) {
        OpcDriver* instance = api.ansi.MakeDriver();
        ASSERT_NE(instance, nullptr);
        char err[128] = {};
        ASSERT_FALSE(api.ansi.Init(instance, static_cast<std::uint32_t>(name.size()), name.c_str(), 127, err,
                                   0, 0, kHostUserData, nullptr));
        EXPECT_NE(err[0], '\0');
        api.ansi.InputRequest(instance, 1);
        api.ansi.InputRequestCompleted(instance);
        api.ansi.OutputRequest(instance, 1, Value(TypeI32, 5));
        api.wide.OutputRequest(instance, 1, Value(TypeI32, 5));
        api.ansi.OutputRequestCompleted(instance);
        std::uint32_t status = kPending;
        EXPECT_TRUE(api.ansi.InputFinalized(instance, 1, &status));
        EXPECT_EQ(status, StatusFailed);
        status = kPending;
        EXPECT_TRUE(api.wide.OutputFinalized(instance, 1, &status));
        EXPECT_EQ(status, StatusFailed);
        HostValue value = Asking(TypeI32);
        std::uint32_t quality = kPending;
        api.ansi.GetInput3(instance, 1, &value, &quality, nullptr);
        EXPECT_TRUE(Untouched(value, TypeI32));
        // The first round ends with Done and DisposeDriver, the second with DisposeDriver alone.
        ULONGLONG took = Timed([&] {
            if (round == 0) api.ansi.Done(instance);
            api.ansi.DisposeDriver(instance);
        });
        EXPECT_LT(took, kQuickCallMs);
    }
}

TEST_P(HostileE2E, TwoInstancesDrivenAlternatelyKeepTheirOwnBatches)
{
    E2eHost other;
    Mode otherMode = mode() == Mode::Async ? Mode::Sync : Mode::Async;
    ASSERT_TRUE(Start());
    ASSERT_TRUE(other.Start(api, otherMode));
    for (int round = 0; round < 20; ++round) {
        host.RequestWrite(kI4, Value(TypeI32, round));
        other.RequestWrite(kI4, Value(TypeI32, 1000 + round));
        host.FireWrite();
        other.FireWrite();
        ASSERT_TRUE(host.WaitNotified(2 * round + 1));
        ASSERT_TRUE(other.WaitNotified(2 * round + 1));
        host.RequestRead({kI4});
        other.RequestRead({kI4});
        other.FireRead();
        host.FireRead();
        ASSERT_TRUE(host.WaitNotified(2 * round + 2));
        ASSERT_TRUE(other.WaitNotified(2 * round + 2));
        EXPECT_EQ(ReadPayload<std::int32_t>(host.Get(kI4, TypeI32).value), round);
        EXPECT_EQ(ReadPayload<std::int32_t>(other.Get(kI4, TypeI32).value), 1000 + round);
    }
    for (const HostNote& note : host.notes)
        EXPECT_EQ(note.userData, kHostUserData);
    for (const HostNote& note : other.notes)
        EXPECT_EQ(note.userData, kHostUserData + 1);
    EXPECT_LT(Timed([&] { other.Stop(); }), kQuickCallMs);
    EXPECT_LT(EndInstance(), kQuickCallMs);
}

} // namespace
