// Cutting and converting 8-bit text between whole characters. AnsiCut takes its code page as an
// argument and is tested in every run; the CodePage932 suite needs the Japanese ANSI code page, which
// ctest gives it in a run of its own (Wine takes the code page from the process's locale).
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "convert/caller_exchange.h"
#include "convert/code_page.h"
#include "convert/value_payload.h"
#include "convert/value_to_variant.h"
#include "tests/unit/convert/convert_fixture.h"
#include "tests/unit/convert/text_buffer.h"

namespace {

std::string Repeat(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

const std::string kHiragana = "\x82\xA0"; // U+3042 in code page 932
// In code page 932 a trail byte can also be a lead byte: 0x81 0x81 is one character (U+FF1D).
const std::string kLeadTrail = "\x81\x81";

TEST(AnsiCut, NeverSplitsACharacter)
{
    const struct {
        const char* name;
        std::uint32_t codePage;
        std::string text;
        std::uint32_t maxBytes;
        std::uint32_t cut;
    } rows[] = {
        {"1252, longer", 1252, std::string(300, 'a'), 255, 255},
        {"1252, shorter", 1252, "abc", 255, 3},
        {"1252, limit 0", 1252, "abc", 0, 0},
        {"932, pair at the limit", 932, Repeat(kHiragana, 150), 255, 254},
        {"932, pair before the limit", 932, "a" + Repeat(kHiragana, 150), 255, 255},
        {"932, trail bytes that look like lead bytes", 932, Repeat(kLeadTrail, 150), 255, 254},
        {"932, odd start, trail bytes that look like lead bytes", 932, "a" + Repeat(kLeadTrail, 150), 255,
         255},
        {"932, lone lead byte at the end", 932, "ab\x82", 255, 3},
        {"UTF-8, two-byte character at the limit", kUtf8CodePage, "a\xC3\xA9", 2, 1},
        {"UTF-8, three-byte characters", kUtf8CodePage, Repeat("\xE2\x82\xAC", 100), 255, 255},
        {"UTF-8, three-byte character at the limit", kUtf8CodePage, Repeat("\xE2\x82\xAC", 100), 254, 252},
        {"UTF-8, four-byte character at the limit", kUtf8CodePage, Repeat("\xF0\x9F\x98\x80", 70), 255, 252},
        {"UTF-8, shorter", kUtf8CodePage, "a\xC3\xA9", 255, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AnsiCut(row.codePage, row.text.c_str(), row.maxBytes), row.cut);
    }
}

class CodePage932 : public ConvertTest {
protected:
    void SetUp() override
    {
        ConvertTest::SetUp();
        if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932 (LANG=ja_JP.UTF-8), have " << GetACP();
    }
};

// A string's length is the number of characters the bytes convert to, never the number of bytes: the
// rest of a string sized by bytes would be characters nobody wrote.
TEST_F(CodePage932, StoredTextHasExactlyTheConvertedCharacters)
{
    const std::string pairs = Repeat(kHiragana, 150);        // 300 bytes
    const std::string oddStart = "a" + pairs;                // 301 bytes
    const std::string japanese = "\x93\xFA\x96\x7B\x8C\xEA"; // "日本語"
    const struct {
        const char* name;
        HostValue source;
        std::wstring stored;
    } rows[] = {
        {"text, cut before a pair", MakeValue(TypeText, pairs.c_str()), std::wstring(127, L'\u3042')},
        {"text, cut after a pair", MakeValue(TypeText, oddStart.c_str()),
         L"a" + std::wstring(127, L'\u3042')},
        {"counted text", CountedText(TypeTextBuf, 6, japanese.c_str()), L"\u65e5\u672c\u8a9e"},
        {"counted text, 300 bytes", CountedText(TypeTextBuf, 300, pairs.c_str()),
         std::wstring(150, L'\u3042')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostValue& slot = Keep(SentinelValue(TypeNone));
        ASSERT_TRUE(StoreValue(row.source, slot, false));
        EXPECT_EQ(TextOf(slot), row.stored);
    }
}

TEST_F(CodePage932, BstrHasExactlyTheConvertedCharacters)
{
    const std::string pairs = Repeat(kHiragana, 150);
    const HostValue sources[] = {MakeValue(TypeText, pairs.c_str()),
                                 CountedText(TypeTextBuf, 254, pairs.c_str())};
    for (const HostValue& source : sources) {
        SCOPED_TRACE(source.type);
        BSTR bstr = nullptr;
        TextToBstr(source, &bstr);
        ASSERT_NE(bstr, nullptr);
        EXPECT_EQ(std::wstring(bstr, SysStringLen(bstr)), std::wstring(127, L'\u3042'));
        SysFreeString(bstr);
    }
}

TEST_F(CodePage932, DeliveredTextAlwaysEndsWithinTheHostsBuffer)
{
    const struct {
        const char* name;
        std::wstring text;
        std::string delivered;
    } rows[] = {
        {"255 bytes", std::wstring(127, L'\u3042') + L"a", Repeat(kHiragana, 127) + "a"},
        {"exactly 256 bytes", std::wstring(128, L'\u3042'), ""},
        {"more", std::wstring(200, L'\u3042'), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostTextBuffer<char> buffer;
        HostValue destination = MakeValue(TypeText, static_cast<void*>(buffer.chars));
        ASSERT_TRUE(DeliverValue(Keep(StringOf(row.text)), destination, false));
        EXPECT_EQ(buffer.Text(), row.delivered);
        EXPECT_TRUE(buffer.UntouchedFrom(256));
    }
}

TEST_F(CodePage932, CountedDeliveryIsZeroWhenTheBytesDoNotFit)
{
    const struct {
        std::uint32_t capacity;
        std::uint32_t length;
    } rows[] = {{3, 0}, {4, 4}, {10, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.capacity);
        HostTextBuffer<char> buffer;
        HostValue destination = CountedText(TypeTextBuf, row.capacity, buffer.chars);
        ASSERT_TRUE(DeliverValue(Keep(StringOf(L"\u65e5\u672c")), destination, false));
        EXPECT_EQ(ReadPayload<std::uint32_t>(destination, kBufLengthOffset), row.length);
        EXPECT_TRUE(buffer.UntouchedFrom(row.capacity));
    }
}

} // namespace
