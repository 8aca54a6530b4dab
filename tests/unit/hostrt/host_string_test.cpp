#include <cstring>
#include <string>

#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "tests/support/leak_check.h"

namespace {

// Each test's strings live in the fixture and are freed in TearDown, before the leak check.
class HostStringTest : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        FreeBlock(a);
        FreeBlock(b);
        LeakCheckedTest::TearDown();
    }

    // The string's text as StringChars gives it, with its length.
    static std::wstring TextOf(HostString handle)
    {
        const wchar_t* chars = nullptr;
        std::uint32_t length = 0xDEADBEEF;
        StringView(handle, &chars, &length);
        return std::wstring(chars, length);
    }

    HostString a = nullptr;
    HostString b = nullptr;
};

TEST_F(HostStringTest, NullHandleIsTheEmptyString)
{
    const wchar_t* chars = nullptr;
    std::uint32_t length = 0xDEADBEEF;
    StringChars(&a, &chars, &length);
    ASSERT_NE(chars, nullptr);
    EXPECT_EQ(chars[0], L'\0');
    EXPECT_EQ(length, 0u);
    StringView(nullptr, &chars, &length);
    EXPECT_EQ(chars[0], L'\0');
    EXPECT_EQ(length, 0u);
}

TEST_F(HostStringTest, AssignStopsAtMaximumOrNul)
{
    ASSERT_TRUE(StringAssign(&a, 3, L"hello"));
    EXPECT_EQ(TextOf(a), L"hel");
    EXPECT_EQ(a->length, 3u);
    EXPECT_EQ(a->chars[3], L'\0');
    EXPECT_GE(a->header, 3u);
    ASSERT_TRUE(StringAssign(&a, 511, L"ab\0cd"));
    EXPECT_EQ(TextOf(a), L"ab");
}

TEST_F(HostStringTest, AssignOfEmptyTextToNullHandleAllocatesNothing)
{
    ASSERT_TRUE(StringAssign(&a, 511, L""));
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

TEST_F(HostStringTest, AssignOfEmptyTextEmptiesAString)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"abc"));
    ASSERT_TRUE(StringAssign(&a, 511, nullptr));
    EXPECT_EQ(TextOf(a), L"");
}

TEST_F(HostStringTest, AssignOfPartOfItself)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"abcdef"));
    ASSERT_TRUE(StringAssign(&a, 3, a->chars + 2));
    EXPECT_EQ(TextOf(a), L"cde");
}

TEST_F(HostStringTest, AppendTextGrowsTheString)
{
    ASSERT_TRUE(StringAppendText(&a, 3, L"abc"));
    ASSERT_TRUE(StringAppendText(&a, 2, L"defg"));
    ASSERT_TRUE(StringAppendText(&a, 5, L"x\0y"));
    EXPECT_EQ(TextOf(a), L"abcdex");
    EXPECT_EQ(a->chars[6], L'\0');
}

TEST_F(HostStringTest, ManyAppendsKeepOneBlock)
{
    std::wstring expected;
    for (int i = 0; i < 2000; ++i) {
        wchar_t ch = static_cast<wchar_t>(L'a' + i % 26);
        ASSERT_TRUE(StringAppendText(&a, 1, &ch));
        expected += ch;
    }
    EXPECT_EQ(TextOf(a), expected);
    EXPECT_EQ(LiveBlockCount(), blocksBefore + 1);
}

TEST_F(HostStringTest, AppendOfItselfDoublesIt)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"ab"));
    ASSERT_TRUE(StringAppend(&a, a));
    ASSERT_TRUE(StringAppend(&a, a));
    EXPECT_EQ(TextOf(a), L"abababab");
}

TEST_F(HostStringTest, AppendOfAnotherStringAndOfNull)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"ab"));
    ASSERT_TRUE(StringAssign(&b, 511, L"cd"));
    ASSERT_TRUE(StringAppend(&a, b));
    ASSERT_TRUE(StringAppend(&a, nullptr));
    EXPECT_EQ(TextOf(a), L"abcd");
    EXPECT_EQ(TextOf(b), L"cd");
}

TEST_F(HostStringTest, CopyIsEqualAndIndependent)
{
    ASSERT_TRUE(StringAssign(&b, 511, L"item.1"));
    ASSERT_TRUE(StringCopy(&a, b));
    EXPECT_NE(a, b);
    EXPECT_EQ(TextOf(a), L"item.1");
    b->chars[0] = L'X';
    EXPECT_EQ(TextOf(a), L"item.1");
}

TEST_F(HostStringTest, CopyKeepsNulCharacters)
{
    wchar_t* chars = nullptr;
    ASSERT_TRUE(StringAlloc(&b, 3, &chars, nullptr));
    chars[0] = L'a';
    chars[2] = L'c';
    ASSERT_TRUE(StringCopy(&a, b));
    EXPECT_EQ(TextOf(a), std::wstring(L"a\0c", 3));
}

// A source block made by the host: its header word is the host toolkit's, not a capacity. Copy and
// append read the length field and the characters, and write nothing into the source.
TEST_F(HostStringTest, SourceBlockOfTheHostIsReadByItsLengthAlone)
{
    struct {
        std::uint32_t header;
        std::uint32_t length;
        wchar_t chars[8];
    } host[] = {{0, 6, L"abcdef"}, {2, 6, L"abcdef"}};
    for (auto& block : host) {
        SCOPED_TRACE(block.header);
        const auto before = block;
        auto* source = reinterpret_cast<HostString>(&block);
        ASSERT_TRUE(StringCopy(&a, source));
        EXPECT_EQ(TextOf(a), L"abcdef");
        ASSERT_TRUE(StringAppend(&a, source));
        EXPECT_EQ(TextOf(a), L"abcdefabcdef");
        EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
        block.length = kStringMaxLength + 1;
        EXPECT_FALSE(StringCopy(&a, source));
        EXPECT_FALSE(StringAppend(&a, source));
        EXPECT_EQ(TextOf(a), L"abcdefabcdef"); // a refused source leaves the string as it was
    }
}

TEST_F(HostStringTest, CopyOfNullEmptiesAndOfItselfKeeps)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"abc"));
    ASSERT_TRUE(StringCopy(&a, a));
    EXPECT_EQ(TextOf(a), L"abc");
    ASSERT_TRUE(StringCopy(&a, nullptr));
    EXPECT_EQ(TextOf(a), L"");
}

TEST_F(HostStringTest, AllocOfZeroGivesARealBlock)
{
    wchar_t* chars = nullptr;
    std::uint32_t capacity = 0xDEADBEEF;
    ASSERT_TRUE(StringAlloc(&a, 0, &chars, &capacity));
    ASSERT_NE(a, nullptr); // the caller writes the length field next
    EXPECT_EQ(chars, a->chars);
    EXPECT_EQ(capacity, 0u);
    a->length = 0;
    EXPECT_EQ(TextOf(a), L"");
}

TEST_F(HostStringTest, AllocGivesZeroedCharactersToFill)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"old text that was longer"));
    wchar_t* chars = nullptr;
    std::uint32_t capacity = 0;
    ASSERT_TRUE(StringAlloc(&a, 5, &chars, &capacity));
    EXPECT_GE(capacity, 5u);
    EXPECT_EQ(std::wstring(chars, 6), std::wstring(6, L'\0'));
    chars[0] = L'n';
    chars[1] = L'e';
    chars[2] = L'w';
    a->length = 3; // the caller filled fewer characters than it asked for
    const wchar_t* text = nullptr;
    std::uint32_t length = 0;
    StringChars(&a, &text, &length);
    EXPECT_EQ(length, 3u);
    EXPECT_STREQ(text, L"new");
}

TEST_F(HostStringTest, LengthBeyondCapacityIsReadAsCapacity)
{
    wchar_t* chars = nullptr;
    std::uint32_t capacity = 0;
    ASSERT_TRUE(StringAlloc(&a, 2, &chars, &capacity));
    chars[0] = L'a';
    chars[1] = L'b';
    a->length = capacity + 100;
    EXPECT_EQ(TextOf(a), L"ab");
}

TEST_F(HostStringTest, ReserveGivesRoomWithoutLaterAllocation)
{
    ASSERT_TRUE(StringReserve(&a, 10));
    EXPECT_EQ(TextOf(a), L"");
    EXPECT_GE(a->header, 10u);
    HostString reserved = a;
    ASSERT_TRUE(StringAssign(&a, 511, L"0123456789"));
    EXPECT_EQ(a, reserved);
    EXPECT_EQ(TextOf(a), L"0123456789");
}

TEST_F(HostStringTest, FailedAllocationLeavesTheStringAsItWas)
{
    ASSERT_TRUE(StringAssign(&a, 511, L"kept"));
    HostString before = a;
    wchar_t* chars = reinterpret_cast<wchar_t*>(0xDEADBEEF);
    // 0x7FFFFFF0 characters fit a 32-bit block size but no 32-bit heap; 0x80000000 does not fit at all.
    for (std::uint32_t count : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        EXPECT_FALSE(StringAlloc(&a, count, &chars, nullptr));
        EXPECT_FALSE(StringReserve(&a, count));
        EXPECT_EQ(a, before);
        EXPECT_EQ(TextOf(a), L"kept");
    }
    EXPECT_EQ(chars, reinterpret_cast<wchar_t*>(0xDEADBEEF));
    EXPECT_EQ(LiveBlockCount(), blocksBefore + 1);
}

TEST_F(HostStringTest, NullPlaceIsRefused)
{
    EXPECT_FALSE(StringAssign(nullptr, 3, L"abc"));
    EXPECT_FALSE(StringAppendText(nullptr, 3, L"abc"));
    EXPECT_FALSE(StringAppend(nullptr, nullptr));
    EXPECT_FALSE(StringCopy(nullptr, nullptr));
    EXPECT_FALSE(StringReserve(nullptr, 3));
    EXPECT_FALSE(StringAlloc(nullptr, 3, nullptr, nullptr));
    EXPECT_EQ(LiveBlockCount(), blocksBefore);
}

TEST(MinOf, GivesTheSmaller)
{
    EXPECT_EQ(MinOf(3, 5), 3u);
    EXPECT_EQ(MinOf(5, 3), 3u);
    EXPECT_EQ(MinOf(0xFFFFFFFFu, 0xFFFFFFFEu), 0xFFFFFFFEu);
}

} // namespace
