#include <string>

#include "hostrt/core.h"
#include "text_buffer.h"

namespace {

struct ParseRow {
    const wchar_t* text;
    std::uint32_t len;
    std::uint32_t radix;
    bool ok;
    std::uint32_t value;
};

TEST(ParseInt, AcceptsWholeTextOfDigitsWithin32Bits)
{
    const ParseRow rows[] = {
        {L"0", 1, 10, true, 0},
        {L"42", 2, 10, true, 42},
        {L"007", 3, 10, true, 7},
        {L"4294967295", 10, 10, true, 4294967295u},
        {L"123", 2, 10, true, 12}, // the length ends the text
        {L"12\0"
         L"3",
         4, 10, true, 12}, // so does a NUL
        {L"ff", 2, 16, true, 255},
        {L"FF", 2, 16, true, 255},
        {L"ffffffff", 8, 16, true, 0xFFFFFFFFu},
        {L"101", 3, 2, true, 5},
        {L"zz", 2, 36, true, 1295},
        {L"4294967296", 10, 10, false, 0}, // one beyond 32 bits
        {L"4294967300", 10, 10, false, 0}, // beyond in the last digit only
        {L"99999999999", 11, 10, false, 0},
        {L"100000000", 9, 16, false, 0},
        {L"", 0, 10, false, 0},
        {L"5", 0, 10, false, 0},
        {L" 5", 2, 10, false, 0},
        {L"5 ", 2, 10, false, 0},
        {L"+5", 2, 10, false, 0},
        {L"-5", 2, 10, false, 0},
        {L"0x10", 4, 10, false, 0},
        {L"5a", 2, 10, false, 0},
        {L"1.0", 3, 10, false, 0},
        {L"\xFF15", 1, 10, false, 0}, // a full-width digit is no digit
        {L"102", 3, 2, false, 0},
        {L"g", 1, 16, false, 0},
        {L"1", 1, 1, false, 0},
        {L"1", 1, 37, false, 0},
        {L"1", 1, 0, false, 0},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "\"" << std::wstring(row.text, row.len) << "\" radix " << row.radix);
        bool ok = !row.ok; // the opposite, so that the call must write it
        EXPECT_EQ(ParseInt(row.len, row.text, row.radix, &ok), row.value);
        EXPECT_EQ(ok, row.ok);
    }
}

TEST(ParseInt, NullTextIsNoNumber)
{
    bool ok = true;
    EXPECT_EQ(ParseInt(5, nullptr, 10, &ok), 0u);
    EXPECT_FALSE(ok);
}

struct FormatRow {
    std::uint32_t value;
    std::uint32_t dstMax;
    std::uint32_t radix;
    bool ok;
    const wchar_t* expected;
};

TEST(FormatInt, WritesDigitsWhenTheyFit)
{
    const FormatRow rows[] = {
        {0, 15, 10, true, L"0"},
        {42, 15, 10, true, L"42"},
        {4294967295u, 15, 10, true, L"4294967295"},
        {4294967295u, 10, 10, true, L"4294967295"},
        {4294967295u, 9, 10, false, L""},
        {4294967295u, 32, 2, true, L"11111111111111111111111111111111"},
        {255, 15, 16, true, L"FF"},
        {35, 15, 36, true, L"Z"},
        {5, 0, 10, false, L""},
        {5, 15, 1, false, L""},
        {5, 15, 37, false, L""},
    };
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.value << " radix " << row.radix << " max " << row.dstMax);
        GuardedBuffer<wchar_t> dst;
        bool ok = !row.ok;
        FormatInt(row.value, row.dstMax, dst.chars, row.radix, &ok);
        EXPECT_EQ(ok, row.ok);
        EXPECT_EQ(dst.Text(), row.expected);
        EXPECT_TRUE(dst.UntouchedAfter(row.dstMax));
    }
}

TEST(FormatInt, ParseIntReadsBackWhatItWrote)
{
    for (std::uint32_t radix : {2u, 10u, 16u, 36u}) {
        for (std::uint32_t value : {0u, 1u, 9u, 10u, 65535u, 2147483648u, 4294967295u}) {
            SCOPED_TRACE(testing::Message() << value << " radix " << radix);
            wchar_t text[33] = {};
            bool ok = false;
            FormatInt(value, 32, text, radix, &ok);
            ASSERT_TRUE(ok);
            EXPECT_EQ(ParseInt(32, text, radix, &ok), value);
            EXPECT_TRUE(ok);
        }
    }
}

} // namespace
