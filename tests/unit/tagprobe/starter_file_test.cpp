// A starter file from a browse is a parameter file that the driver's own reader accepts, channel for
// channel.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/temp_file.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/starter_file.h"
#include "tools/tagprobe/text_file.h"

namespace {

constexpr GUID kClsid = {0x12345678, 0x9ABC, 0xDEF0, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}};

ItemFacts Facts(VARTYPE vt, DWORD access, std::uint32_t elements = 0)
{
    ItemFacts facts;
    facts.error = S_OK;
    facts.canonical = vt;
    facts.access = access;
    facts.elements = elements;
    return facts;
}

TEST(StarterFileText, ScalarsCountUpArraysTakeRangesRefusedItemsAreComments)
{
    std::vector<std::wstring> ids = {L"Plant.Level", L"Plant.Profile", L"Plant.Gone", L"Plant.Unknown",
                                     L"Plant.On"};
    ItemFacts refused;
    refused.error = static_cast<HRESULT>(0xC0040007);
    std::vector<ItemFacts> facts = {Facts(VT_R8, 3), Facts(VT_ARRAY | VT_R4, 1, 4), refused,
                                    Facts(VT_ARRAY | VT_I2, 1, 0), Facts(VT_BOOL, 2)};
    std::wstring text = StarterFileText(kClsid, L"", ids, facts);
    EXPECT_EQ(text, L"; Starter parameter file written by tagprobe browse.\r\n"
                    L"; Check the channel numbers and delete the items the runtime does not need.\r\n"
                    L"[server]\r\n"
                    L"CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n"
                    L"; After losing the server, try the whole connection again every 10 s (0 or no key: "
                    L"never).\r\n"
                    L"reconnect = 10\r\n"
                    L"; Answer reads from the server's data changes instead of calling it (at 1 s unless "
                    L"update_rate is set).\r\n"
                    L"; subscribe = true\r\n"
                    L"\r\n[channels]\r\n"
                    L"; R8, read/write\r\n1 = Plant.Level\r\n"
                    L"; R4[], read, 4 elements\r\n2-5 = Plant.Profile\r\n"
                    L"; refused by the server (0xC0040007 OPC_E_UNKNOWNITEMID: the server does not know this "
                    L"ItemId): Plant.Gone\r\n"
                    L"; I2[], read, element count unknown: give it a range FIRST-LAST yourself\r\n"
                    L"; ? = Plant.Unknown\r\n"
                    L"; BOOL, write\r\n6 = Plant.On\r\n");
}

TEST(StarterFileText, NamesTheHostAndSkipsItemIdsAFileCannotHold)
{
    std::vector<std::wstring> ids = {L" padded", std::wstring(512, L'x'), L"ok"};
    std::vector<ItemFacts> facts = {Facts(VT_I4, 3), Facts(VT_I4, 3), Facts(VT_I4, 3)};
    std::wstring text = StarterFileText(kClsid, L"plant-pc", ids, facts);
    EXPECT_NE(text.find(L"CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\nhost = plant-pc\r\n"),
              std::wstring::npos);
    EXPECT_NE(
        text.find(L"; cannot be written in a parameter file (blanks at an end, a line break, or too long):  "
                  L"padded\r\n"),
        std::wstring::npos);
    EXPECT_NE(text.find(L"; I4, read/write\r\n1 = ok\r\n"), std::wstring::npos);
}

TEST(StarterFile, IsReadBackByTheDriversReader)
{
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    std::wstring path = std::wstring(folder) + L"tagprobe_starter_test.par";
    DeleteFileW(path.c_str());
    std::vector<std::wstring> ids = {L"Plant.Level", L"Plant.Profile", L"Pl\x00E4nt.Temp"};
    std::vector<ItemFacts> facts = {Facts(VT_R8, 3), Facts(VT_ARRAY | VT_R4, 1, 3), Facts(VT_R4, 1)};
    std::wstring error;
    ASSERT_TRUE(WriteNewTextFile(path, StarterFileText(kClsid, L"", ids, facts), error));

    ParamListing listing;
    ASSERT_TRUE(ReadParamListing(path, listing, error)) << std::string(error.begin(), error.end());
    EXPECT_EQ(listing.clsid.Data1, kClsid.Data1);
    ASSERT_EQ(listing.channels.size(), 3u);
    EXPECT_EQ(listing.channels[0].first, 1u);
    EXPECT_EQ(listing.channels[0].itemId, L"Plant.Level");
    EXPECT_EQ(listing.channels[1].first, 2u);
    EXPECT_EQ(listing.channels[1].count, 3u);
    EXPECT_EQ(listing.channels[2].first, 5u);
    EXPECT_EQ(listing.channels[2].itemId, L"Pl\x00E4nt.Temp");

    EXPECT_FALSE(WriteNewTextFile(path, L"[server]\r\n", error)) << "an existing file was overwritten";
    EXPECT_EQ(error, path + L" exists already; tagprobe never overwrites a parameter file");
    ASSERT_TRUE(ReadParamListing(path, listing, error));
    EXPECT_EQ(listing.channels.size(), 3u);
    DeleteFileW(path.c_str());
}

} // namespace
