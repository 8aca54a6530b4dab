#include <string>

#include "hostrt/core.h"
#include "text_buffer.h"

namespace {

using Buffer = GuardedBuffer<wchar_t>;

struct CopyRow {
    const char* name;
    std::uint32_t dstMax;
    std::uint32_t srcLen;
    const wchar_t* src;
    const wchar_t* expected;
};

TEST(CopyText, ReadsToLengthOrNulAndCutsToMaximum)
{
    const CopyRow rows[] = {
        {"whole", 10, 5, L"hello", L"hello"},
        {"length first", 10, 3, L"hello", L"hel"},
        {"NUL first", 10, 6, L"he\0llo", L"he"},
        {"cut to maximum", 4, 5, L"hello", L"hell"},
        {"exactly the maximum", 5, 5, L"hello", L"hello"},
        {"maximum 0", 0, 5, L"hello", L""},
        {"length 0", 10, 0, L"hello", L""},
        {"null source", 10, 5, nullptr, L""},
    };
    for (const CopyRow& row : rows) {
        SCOPED_TRACE(row.name);
        Buffer dst;
        CopyText(row.dstMax, dst.chars, row.srcLen, row.src);
        EXPECT_EQ(dst.Text(), row.expected);
        EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
    }
}

struct JoinRow {
    const char* name;
    std::uint32_t dstMax;
    std::uint32_t len1;
    const wchar_t* text1;
    std::uint32_t len2;
    const wchar_t* text2;
    const wchar_t* expected;
};

TEST(JoinText, JoinsBothTextsCutToMaximum)
{
    const JoinRow rows[] = {
        {"whole", 10, 2, L"7x", 2, L": ", L"7x: "},
        {"first cut by its length", 10, 1, L"7x", 2, L": ", L"7: "},
        {"second stops at NUL", 10, 2, L"ab", 5, L"c\0de", L"abc"},
        {"cut inside the second", 3, 2, L"ab", 2, L"cd", L"abc"},
        {"cut inside the first", 1, 2, L"ab", 2, L"cd", L"a"},
        {"empty first", 10, 0, L"ab", 2, L"cd", L"cd"},
        {"null second", 10, 2, L"ab", 2, nullptr, L"ab"},
    };
    for (const JoinRow& row : rows) {
        SCOPED_TRACE(row.name);
        Buffer dst;
        JoinText(row.dstMax, dst.chars, row.len1, row.text1, row.len2, row.text2);
        EXPECT_EQ(dst.Text(), row.expected);
        EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
    }
}

struct EditRow {
    const char* name;
    const wchar_t* initial;
    std::uint32_t dstMax;
    std::uint32_t len;
    const wchar_t* text;
    const wchar_t* appended;
    const wchar_t* prepended;
};

TEST(AppendAndPrependText, KeepTheContentAndCutToMaximum)
{
    const EditRow rows[] = {
        {"room for all", L"abc", 10, 2, L"de", L"abcde", L"deabc"},
        {"cut", L"abc", 4, 2, L"de", L"abcd", L"deab"},
        {"no room left", L"abc", 3, 2, L"de", L"abc", L"dea"},
        {"text fills the room", L"abc", 2, 2, L"de", L"ab", L"de"},
        {"text stops at NUL", L"abc", 10, 3, L"d\0e", L"abcd", L"dabc"},
        {"empty content", L"", 10, 2, L"de", L"de", L"de"},
        {"empty text", L"abc", 10, 0, L"de", L"abc", L"abc"},
    };
    for (const EditRow& row : rows) {
        SCOPED_TRACE(row.name);
        Buffer appended(row.initial);
        AppendText(row.dstMax, appended.chars, row.len, row.text);
        EXPECT_EQ(appended.Text(), row.appended);
        EXPECT_TRUE(appended.UntouchedAfter(row.dstMax));
        Buffer prepended(row.initial);
        PrependText(row.dstMax, prepended.chars, row.len, row.text);
        EXPECT_EQ(prepended.Text(), row.prepended);
        EXPECT_TRUE(prepended.UntouchedAfter(row.dstMax));
    }
}

TEST(AppendText, ContentWithoutTerminatorWithinMaximumIsTakenAsFull)
{
    Buffer dst(L"abcdef");
    AppendText(4, dst.chars, 2, L"xy");
    EXPECT_EQ(dst.Text(), L"abcd");
    EXPECT_TRUE(dst.UntouchedAfter(4));
}

TEST(AppendText, BufferAppendedToItself)
{
    Buffer dst(L"abc");
    AppendText(10, dst.chars, 3, dst.chars);
    EXPECT_EQ(dst.Text(), L"abcabc");
}

TEST(PrependText, BufferPrependedToItself)
{
    Buffer dst(L"abc");
    PrependText(5, dst.chars, 3, dst.chars);
    EXPECT_EQ(dst.Text(), L"abcab");
}

struct SliceRow {
    const char* name;
    std::uint32_t dstMax;
    std::uint32_t srcLen;
    std::uint32_t start;
    std::uint32_t count;
    const wchar_t* expected;
};

TEST(SliceText, TakesUpToCountFromStart)
{
    const SliceRow rows[] = {
        {"inside", 15, 6, 2, 3, L"cde"},
        {"count beyond the end takes the rest", 15, 6, 2, 100, L"cdef"},
        {"count near 2^32", 15, 6, 2, 0xFFFFFFFFu, L"cdef"},
        {"start at the end", 15, 6, 6, 1, L""},
        {"start beyond the end", 15, 6, 9, 1, L""},
        {"start beyond the length", 15, 3, 4, 2, L""},
        {"length cuts the rest", 15, 4, 2, 100, L"cd"},
        {"cut to maximum", 2, 6, 1, 4, L"bc"},
        {"count 0", 15, 6, 1, 0, L""},
    };
    for (const SliceRow& row : rows) {
        SCOPED_TRACE(row.name);
        Buffer dst;
        SliceText(row.dstMax, dst.chars, row.srcLen, L"abcdef", row.start, row.count);
        EXPECT_EQ(dst.Text(), row.expected);
        EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
    }
}

TEST(SliceText, StopsAtNulInSource)
{
    Buffer dst;
    SliceText(15, dst.chars, 7,
              L"1-\0"
              L"9",
              2, 5);
    EXPECT_EQ(dst.Text(), L"");
}

TEST(SliceText, SliceOfItsOwnBuffer)
{
    Buffer dst(L"10-19");
    SliceText(15, dst.chars, 15, dst.chars, 3, 15);
    EXPECT_EQ(dst.Text(), L"19");
}

TEST(FindChar, FirstOccurrenceWithinLengthBeforeNul)
{
    EXPECT_EQ(FindChar(5, L"1-2-3", L'-'), 1);
    EXPECT_EQ(FindChar(5, L"-", L'-'), 0);
    EXPECT_EQ(FindChar(5, L"123", L'-'), -1);
    EXPECT_EQ(FindChar(1, L"1-2", L'-'), -1);
    EXPECT_EQ(FindChar(5, L"1\0-2", L'-'), -1);
    EXPECT_EQ(FindChar(5, nullptr, L'-'), -1);
}

TEST(TextLength, CountsToNulAtMostMax)
{
    EXPECT_EQ(WideLen(10, L"abc"), 3u);
    EXPECT_EQ(WideLen(2, L"abc"), 2u);
    EXPECT_EQ(WideLen(0, L"abc"), 0u);
    EXPECT_EQ(WideLen(10, nullptr), 0u);
    EXPECT_EQ(AnsiLen(10, "abc"), 3u);
    EXPECT_EQ(AnsiLen(2, "abc"), 2u);
    EXPECT_EQ(AnsiLen(0xFFFFFFFFu, ""), 0u);
    EXPECT_EQ(AnsiLen(10, nullptr), 0u);
}

TEST(CopyChars, CopiesExactlyCountUnitsNulsIncluded)
{
    Buffer dst;
    CopyChars(L"a\0b", dst.chars, 3);
    EXPECT_EQ(std::wstring(dst.chars, 4), std::wstring(L"a\0b#", 4));
}

} // namespace
