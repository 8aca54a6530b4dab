#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "config/clsid.h"

namespace {

constexpr wchar_t kValid[] = L"{01234567-89AB-CDEF-0F1E-2D3C4B5A6978}";

TEST(ParseClsid, ReadsEveryGroupMostSignificantDigitFirst)
{
    GUID clsid{};
    ASSERT_TRUE(ParseClsid(kValid, &clsid));
    EXPECT_EQ(clsid.Data1, 0x01234567u);
    EXPECT_EQ(clsid.Data2, 0x89ABu);
    EXPECT_EQ(clsid.Data3, 0xCDEFu);
    const unsigned char data4[8] = {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78};
    EXPECT_EQ(std::memcmp(clsid.Data4, data4, sizeof data4), 0);
}

TEST(ParseClsid, ReadsTheExtremes)
{
    GUID clsid{};
    ASSERT_TRUE(ParseClsid(L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", &clsid));
    EXPECT_EQ(clsid.Data1, 0xFFFFFFFFu);
    EXPECT_EQ(clsid.Data4[7], 0xFF);
    ASSERT_TRUE(ParseClsid(L"{00000000-0000-0000-0000-000000000000}", &clsid));
    EXPECT_EQ(clsid.Data1, 0u);
    EXPECT_EQ(clsid.Data4[0], 0);
}

// Each text differs from a valid one in one way; a refused text leaves the GUID as it was.
TEST(ParseClsid, RefusesAnythingButTheExactForm)
{
    const wchar_t* cases[] = {
        L"",
        L"{01234567-89ab-CDEF-0F1E-2D3C4B5A6978}",  // lower case
        L"01234567-89AB-CDEF-0F1E-2D3C4B5A6978",    // no braces
        L" {01234567-89AB-CDEF-0F1E-2D3C4B5A6978}", // leading blank
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A6978} ", // trailing blank
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A697}",   // 37 characters
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A69780}", // 39 characters
        L"(01234567-89AB-CDEF-0F1E-2D3C4B5A6978}",  // wrong opening
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A6978)",  // wrong closing
        L"{01234567089AB-CDEF-0F1E-2D3C4B5A6978}",  // hyphen 9
        L"{01234567-89AB0CDEF-0F1E-2D3C4B5A6978}",  // hyphen 14
        L"{01234567-89AB-CDEF00F1E-2D3C4B5A6978}",  // hyphen 19
        L"{01234567-89AB-CDEF-0F1E02D3C4B5A6978}",  // hyphen 24
        L"{0123456G-89AB-CDEF-0F1E-2D3C4B5A6978}",  // Data1
        L"{01234567-89 B-CDEF-0F1E-2D3C4B5A6978}",  // Data2
        L"{01234567-89AB-CDE+-0F1E-2D3C4B5A6978}",  // Data3
        L"{01234567-89AB-CDEF-x0F1-2D3C4B5A6978}",  // Data4[0]
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A697Z}",  // Data4[7]
        L"{01234567-89AB-CDEF-0F1E-2D3C4B5A69-8}",  // a hyphen where a digit belongs
        L"{0x234567-89AB-CDEF-0F1E-2D3C4B5A6978}",  // C prefix
    };
    for (const wchar_t* text : cases) {
        SCOPED_TRACE(testing::Message() << text);
        GUID clsid;
        std::memset(&clsid, 0xA5, sizeof clsid);
        EXPECT_FALSE(ParseClsid(text, &clsid));
        GUID untouched;
        std::memset(&untouched, 0xA5, sizeof untouched);
        EXPECT_EQ(std::memcmp(&clsid, &untouched, sizeof clsid), 0);
    }
}

TEST(ParseClsid, MeasuresOnlyUpTo511Characters)
{
    std::wstring longText = std::wstring(kValid) + std::wstring(600, L'0');
    GUID clsid{};
    EXPECT_FALSE(ParseClsid(longText.c_str(), &clsid));
}

} // namespace
