#include <windows.h>

#include <string>

#include "hostrt/core.h"
#include "tests/support/leak_check.h"
#include "text_buffer.h"

namespace {

// Conversions whose result depends on the ANSI code page run only under that code page; Wine takes
// it from the process's LANG/LC_ALL (1252 for the default C.UTF-8, 932 for ja_JP.UTF-8).
template <UINT codePage> class AnsiCodePageTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        if (GetACP() != codePage)
            GTEST_SKIP() << "needs ANSI code page " << codePage << ", have " << GetACP();
    }
};

struct ToWideRow {
    const char* name;
    const char* src;
    std::uint32_t srcLen;
    std::uint32_t dstMax;
    const wchar_t* expected;
};

struct ToAnsiRow {
    const char* name;
    const wchar_t* src;
    std::uint32_t srcLen;
    std::uint32_t dstMax;
    const char* expected;
};

void CheckToWide(const ToWideRow& row)
{
    SCOPED_TRACE(row.name);
    GuardedBuffer<wchar_t> dst;
    AnsiToWide(row.srcLen, row.src, row.dstMax, dst.chars);
    EXPECT_EQ(dst.Text(), row.expected);
    EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
}

void CheckToAnsi(const ToAnsiRow& row)
{
    SCOPED_TRACE(row.name);
    GuardedBuffer<char> dst;
    WideToAnsi(row.srcLen, row.src, row.dstMax, dst.chars);
    EXPECT_EQ(dst.Text(), row.expected);
    EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
}

using AnsiCodePage1252 = AnsiCodePageTest<1252>;

TEST_F(AnsiCodePage1252, AnsiToWideConvertsAndCuts)
{
    const ToWideRow rows[] = {
        {"whole", "caf\xE9", 4, 10, L"caf\xE9"},    {"euro sign", "\x80", 1, 10, L"\x20AC"},
        {"length first", "caf\xE9", 3, 10, L"caf"}, {"NUL first", "ca\0f\xE9", 5, 10, L"ca"},
        {"cut to maximum", "caf\xE9", 4, 2, L"ca"}, {"exactly the maximum", "caf\xE9", 4, 4, L"caf\xE9"},
        {"maximum 0", "caf\xE9", 4, 0, L""},        {"empty", "", 4, 10, L""},
        {"null source", nullptr, 4, 10, L""},       {"maximum near 2^32", "ab", 2, 0xFFFFFFFFu, L"ab"},
    };
    for (const ToWideRow& row : rows)
        CheckToWide(row);
}

TEST_F(AnsiCodePage1252, WideToAnsiConvertsAndCuts)
{
    const ToAnsiRow rows[] = {
        {"whole", L"caf\xE9", 4, 10, "caf\xE9"},
        {"euro sign", L"\x20AC", 1, 10, "\x80"},
        {"outside the code page", L"a\x4E00", 2, 10, "a?"},
        {"length first", L"caf\xE9", 3, 10, "caf"},
        {"NUL first", L"ca\0f", 4, 10, "ca"},
        {"cut to maximum", L"caf\xE9", 4, 3, "caf"},
        {"maximum 0", L"caf\xE9", 4, 0, ""},
        {"empty", L"", 4, 10, ""},
        {"null source", nullptr, 4, 10, ""},
        {"maximum near 2^32", L"ab", 2, 0xFFFFFFFFu, "ab"},
    };
    for (const ToAnsiRow& row : rows)
        CheckToAnsi(row);
}

TEST_F(AnsiCodePage1252, LongTextIsCutWithoutLoss)
{
    std::string src(300, 'x');
    src += '\xE9';
    GuardedBuffer<wchar_t> dst;
    AnsiToWide(static_cast<std::uint32_t>(src.size()), src.c_str(), 50, dst.chars);
    EXPECT_EQ(dst.Text(), std::wstring(50, L'x'));
}

// Shift-JIS: 0x93 0xFA is U+65E5, 0x96 0x7B is U+672C; 0xB1 is the single-byte U+FF71.
using AnsiCodePage932 = AnsiCodePageTest<932>;

TEST_F(AnsiCodePage932, AnsiToWideNeverSplitsAPair)
{
    const ToWideRow rows[] = {
        {"whole", "a\x93\xFA\x96\x7B", 5, 10, L"a\x65E5\x672C"},
        {"cut after a pair", "a\x93\xFA\x96\x7B", 5, 2, L"a\x65E5"},
        {"single-byte katakana", "\xB1\x93\xFA", 3, 1, L"\xFF71"},
    };
    for (const ToWideRow& row : rows)
        CheckToWide(row);
}

TEST_F(AnsiCodePage932, WideToAnsiNeverSplitsAPair)
{
    const ToAnsiRow rows[] = {
        {"whole", L"a\x65E5\x672C", 3, 10, "a\x93\xFA\x96\x7B"},
        {"cut between pairs", L"a\x65E5\x672C", 3, 3, "a\x93\xFA"},
        {"cut would split the second pair", L"a\x65E5\x672C", 3, 4, "a\x93\xFA"},
        {"cut would split the first pair", L"a\x65E5", 2, 2, "a"},
        {"no room for one pair", L"\x65E5", 1, 1, ""},
        {"single-byte katakana", L"\xFF71\x65E5", 2, 2, "\xB1"},
    };
    for (const ToAnsiRow& row : rows)
        CheckToAnsi(row);
}

} // namespace
