#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "convert/caller_exchange.h"
#include "convert/value_payload.h"
#include "hostrt/core.h"
#include "tests/support/allocator_squeeze.h"
#include "tests/unit/convert/convert_fixture.h"

namespace {

// The ANSI cases are written for the single-byte code page the default test run has.
class StoreValueTest : public ConvertTest {
protected:
    void SetUp() override
    {
        ConvertTest::SetUp();
        if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << GetACP();
    }

    // A slot that held a string, as after an earlier write.
    HostValue& Slot() { return Keep(StringOf(L"previous")); }
};

TEST_F(StoreValueTest, TextInTheCallersWidthBecomesAStringOfAtMost255Characters)
{
    const std::wstring wide300(300, L'w');
    const std::string ansi300(300, 'a');
    const struct {
        const char* name;
        const void* text;
        bool wide;
        std::wstring stored;
    } rows[] = {
        {"wide", L"hello", true, L"hello"},
        {"wide, 300", wide300.c_str(), true, std::wstring(255, L'w')},
        {"wide, empty", L"", true, L""},
        {"ANSI", "h\xe9llo", false, L"h\u00e9llo"},
        {"ANSI, 300", ansi300.c_str(), false, std::wstring(255, L'a')},
        {"ANSI, empty", "", false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostValue& slot = Slot();
        EXPECT_TRUE(StoreValue(MakeValue(TypeText, row.text), slot, row.wide));
        EXPECT_EQ(TextOf(slot), row.stored);
    }
}

TEST_F(StoreValueTest, CountedTextIsStoredWholeWithoutALimit)
{
    const std::wstring wide300(300, L'w');
    const std::string ansi300(300, 'a');
    const struct {
        const char* name;
        std::uint32_t length;
        const void* text;
        bool wide;
        std::wstring stored;
    } rows[] = {
        {"wide, embedded NUL", 3, L"a\0b", true, std::wstring(L"a\0b", 3)},
        {"wide, 300", 300, wide300.c_str(), true, wide300},
        {"wide, part of a text", 2, L"abc", true, L"ab"},
        {"ANSI, embedded NUL", 3, "a\0\xe9", false, std::wstring(L"a\0\u00e9", 3)},
        {"ANSI, 300", 300, ansi300.c_str(), false, std::wstring(300, L'a')},
        {"empty without a pointer", 0, nullptr, true, L""},
        {"ANSI, empty without a pointer", 0, nullptr, false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostValue& slot = Slot();
        EXPECT_TRUE(StoreValue(CountedText(TypeTextBuf, row.length, row.text), slot, row.wide));
        EXPECT_EQ(TextOf(slot), row.stored);
    }
}

TEST_F(StoreValueTest, HostStringIsCopiedAndStaysTheHosts)
{
    const HostValue& host = Keep(StringOf(L"host's string"));
    HostString hostBlock = ReadPayload<HostString>(host);
    for (bool wide : {false, true}) {
        HostValue& slot = Slot();
        std::uint32_t blocks = LiveBlockCount();
        EXPECT_TRUE(StoreValue(host, slot, wide));
        EXPECT_EQ(TextOf(slot), L"host's string");
        EXPECT_NE(ReadPayload<HostString>(slot), hostBlock);
        EXPECT_EQ(LiveBlockCount(), blocks); // the previous string freed, the copy made
    }
    EXPECT_EQ(ReadPayload<HostString>(host), hostBlock);
    EXPECT_EQ(TextOf(host), L"host's string");
}

// A string block as the host's own toolkit may lay it out: the header word is the toolkit's (a
// reference count, a hash, anything), so it says nothing about the length.
struct HandMadeBlock {
    std::uint32_t header;
    std::uint32_t length;
    wchar_t chars[16];
};

HostValue HostStringValue(HandMadeBlock& block)
{
    return MakeValue(TypeString, reinterpret_cast<HostString>(&block));
}

TEST_F(StoreValueTest, HostBlockIsCopiedByItsLengthWhateverItsHeader)
{
    const struct {
        const char* name;
        std::uint32_t header;
    } rows[] = {{"header 0", 0}, {"header below the length", 3}, {"header above the length", 0xFFFFFFFF}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HandMadeBlock block{row.header, 11, L"plant value"};
        const HandMadeBlock before = block;
        HostValue& slot = Slot();
        EXPECT_TRUE(StoreValue(HostStringValue(block), slot, true));
        EXPECT_EQ(TextOf(slot), L"plant value");
        EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0) << "the host's block was written";
    }
}

// A length no string can have is refused before the host's memory is read that far.
TEST_F(StoreValueTest, HostBlockLongerThanAnyStringIsRefused)
{
    HandMadeBlock block{0, 0x3FFFFFF1, L"short"};
    HostValue& slot = Slot();
    EXPECT_FALSE(StoreValue(HostStringValue(block), slot, true));
    EXPECT_EQ(slot.type, static_cast<std::uint32_t>(TypeNone));
}

TEST_F(StoreValueTest, NullHostStringIsTheEmptyText)
{
    HostValue& slot = Slot();
    EXPECT_TRUE(StoreValue(MakeValue(TypeString, static_cast<HostString>(nullptr)), slot, true));
    EXPECT_EQ(TextOf(slot), L"");
}

// Every other code, known or not, is kept with all 8 payload bytes: the host's own pointers of
// TypeWText and TypeWTextBuf included.
TEST_F(StoreValueTest, OtherCodesAreCopiedWithTheirWholePayload)
{
    const wchar_t* hostText = L"host's text";
    const HostValue sources[] = {
        MakeValue(TypeI16, std::int16_t{5}),
        MakeValue(TypeF64, 2.5),
        MakeValue(TypeBool, std::uint8_t{7}),
        MakeValue(TypeWText, hostText),
        CountedText(TypeWTextBuf, 4, hostText),
        SentinelValue(TypeNone),
        SentinelValue(1),
        SentinelValue(99),
        SentinelValue(0xFFFFFFFF),
    };
    for (const HostValue& source : sources) {
        SCOPED_TRACE(source.type);
        HostValue& slot = Slot();
        std::uint32_t blocks = LiveBlockCount();
        EXPECT_TRUE(StoreValue(source, slot, false));
        EXPECT_EQ(std::memcmp(&slot, &source, sizeof slot), 0);
        EXPECT_EQ(LiveBlockCount(), blocks - 1); // the previous string is freed
    }
}

TEST_F(StoreValueTest, TextWithoutAPointerIsRefusedAndLeavesNoValue)
{
    char small[4] = "abc";
    const struct {
        const char* name;
        HostValue source;
        bool wide;
    } rows[] = {
        {"wide text", MakeValue(TypeText, static_cast<const void*>(nullptr)), true},
        {"ANSI text", MakeValue(TypeText, static_cast<const void*>(nullptr)), false},
        {"counted", CountedText(TypeTextBuf, 3, nullptr), true},
        {"counted ANSI", CountedText(TypeTextBuf, 3, nullptr), false},
        // No string can hold that much: refused before the host's memory is read that far.
        {"counted, 2^30 wide", CountedText(TypeTextBuf, 0x40000000u, small), true},
        {"counted, 2^30 ANSI", CountedText(TypeTextBuf, 0x40000000u, small), false},
        {"counted, 2^32-1 ANSI", CountedText(TypeTextBuf, 0xFFFFFFFFu, small), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostValue& slot = Slot();
        std::uint32_t blocks = LiveBlockCount();
        EXPECT_FALSE(StoreValue(row.source, slot, row.wide));
        EXPECT_EQ(slot.type, static_cast<std::uint32_t>(TypeNone));
        EXPECT_EQ(LiveBlockCount(), blocks - 1);
    }
}

TEST_F(StoreValueTest, OutOfMemoryLeavesNoValue)
{
    // A slot without a string, so that the store cannot reuse a block it frees itself.
    HostValue slot = MakeValue(TypeI32, 1);
    AllocatorSqueeze squeeze;
    ASSERT_TRUE(squeeze.Squeeze());
    bool stored = StoreValue(MakeValue(TypeText, L"new text"), slot, true);
    squeeze.Release();
    EXPECT_FALSE(stored);
    EXPECT_EQ(slot.type, static_cast<std::uint32_t>(TypeNone));
}

} // namespace
