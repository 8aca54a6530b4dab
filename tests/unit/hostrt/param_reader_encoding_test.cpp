#include <windows.h>

#include <string>

#include "param_reader_fixture.h"

namespace {

using ParamEncoding = ParamReaderTest;

std::string Utf16(const std::wstring& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t ch : text) {
        char high = static_cast<char>(ch >> 8);
        char low = static_cast<char>(ch & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// U+00E9, U+65E5 and U+1F600 (a surrogate pair), in every encoding a file may use.
const wchar_t kItem[] = L"caf\xE9.\x65E5.\xD83D\xDE00";
const char kItemUtf8[] = "caf\xC3\xA9.\xE6\x97\xA5.\xF0\x9F\x98\x80";

struct EncodingRow {
    const char* name;
    std::string bytes;
};

TEST_F(ParamEncoding, EveryTextEncodingGivesTheSameEntries)
{
    const std::wstring text = std::wstring(L"[channels]\r\n1 = ") + kItem + L"\r\n";
    const EncodingRow rows[] = {
        {"UTF-8", std::string("[channels]\r\n1 = ") + kItemUtf8 + "\r\n"},
        {"UTF-8 with BOM", std::string("\xEF\xBB\xBF[channels]\r\n1 = ") + kItemUtf8 + "\r\n"},
        {"UTF-16 LE", Utf16(text, false)},
        {"UTF-16 BE", Utf16(text, true)},
    };
    for (const EncodingRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(OpenBytes(row.bytes));
        EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", kItem}}));
    }
}

TEST_F(ParamEncoding, BomIsNotPartOfTheFirstLine)
{
    ASSERT_TRUE(OpenBytes("\xEF\xBB\xBF[server]\nk=v\n"));
    EXPECT_TRUE(FindSection(L"server"));
    ASSERT_TRUE(OpenBytes(Utf16(L"[server]\nk=v\n", false)));
    EXPECT_TRUE(FindSection(L"server"));
}

TEST_F(ParamEncoding, FileThatIsNotUtf8IsReadInTheAnsiCodePage)
{
    if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << GetACP();
    ASSERT_TRUE(OpenBytes("[channels]\n1 = caf\xE9 \x80\n"));
    EXPECT_EQ(EntriesOf(L"channels"), (EntryList{{L"1", L"caf\xE9 \x20AC"}}));
}

TEST_F(ParamEncoding, BytesThatAreNoTextAreRefused)
{
    const EncodingRow rows[] = {
        {"NUL byte", std::string("[s]\nk=v\0w\n", 10)},
        {"UTF-16 of an odd size", Utf16(L"[s]\nk=v\n", false) + "x"},
        {"NUL unit in UTF-16", Utf16(std::wstring(L"[s]\nk=\0\n", 8), false)},
        {"UTF-32 LE", std::string("\xFF\xFE\0\0[\0\0\0s\0\0\0]\0\0\0", 16)},
        {"UTF-8 BOM then invalid UTF-8", "\xEF\xBB\xBF[s]\nk=caf\xE9\n"},
    };
    for (const EncodingRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(OpenBytes(row.bytes));
        EXPECT_FALSE(reader.isOpen);
    }
}

TEST_F(ParamEncoding, InvalidUtf8WithoutBomIsNotTakenForUtf8)
{
    // Each of these would decode to something if the checks were lax; in 1252 every byte is a character.
    if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << GetACP();
    const EncodingRow rows[] = {
        {"overlong slash", "\xC0\xAF"},          {"encoded surrogate", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"}, {"cut sequence", "\xE6\x97"},
        {"lone continuation", "\x97"},
    };
    for (const EncodingRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(OpenBytes("[s]\nk=" + row.bytes + "\n"));
        ASSERT_TRUE(FindSection(L"s"));
        EXPECT_EQ(TextOf(L"k").size(), row.bytes.size()) << "one character per byte";
    }
}

} // namespace
