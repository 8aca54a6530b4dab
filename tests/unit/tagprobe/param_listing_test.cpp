// tagprobe's listing of a parameter file is the driver's reading of it.
#include <gtest/gtest.h>

#include "tests/support/temp_file.h"
#include "tools/tagprobe/param_listing.h"

namespace {

constexpr char kPlant[] = "[server]\r\n"
                          "CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n"
                          "debug = true\r\n"
                          "[channels]\r\n"
                          "20 = Plant.Valve\r\n"
                          "1-5 = Plant.Levels\r\n"
                          "10 = Plant.Pump\r\n";

TEST(ReadParamListing, ChannelsInAscendingOrderWithTheServerAndSwitches)
{
    TempFile file(kPlant);
    ASSERT_TRUE(file.IsWritten());
    ParamListing listing;
    std::wstring error;
    ASSERT_TRUE(ReadParamListing(file.Path(), listing, error)) << std::string(error.begin(), error.end());
    EXPECT_EQ(listing.clsid.Data1, 0x12345678u);
    EXPECT_EQ(listing.clsid.Data4[7], 0xF0);
    EXPECT_TRUE(listing.host.empty());
    EXPECT_FALSE(listing.synchronous);
    EXPECT_TRUE(listing.debug);
    ASSERT_EQ(listing.channels.size(), 3u);
    EXPECT_EQ(listing.channels[0].first, 1u);
    EXPECT_EQ(listing.channels[0].count, 5u);
    EXPECT_EQ(listing.channels[0].itemId, L"Plant.Levels");
    EXPECT_EQ(listing.channels[1].first, 10u);
    EXPECT_EQ(listing.channels[1].count, 0u);
    EXPECT_EQ(listing.channels[2].itemId, L"Plant.Valve");
    EXPECT_EQ(AllChannelNumbers(listing), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 10, 20}));
}

TEST(ReadParamListing, AHostMeansSynchronousMode)
{
    TempFile file(
        "[server]\nCLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\nhost = plant-pc\n[channels]\n1 = A\n");
    ParamListing listing;
    std::wstring error;
    ASSERT_TRUE(ReadParamListing(file.Path(), listing, error));
    EXPECT_EQ(listing.host, L"plant-pc");
    EXPECT_TRUE(listing.synchronous);
    EXPECT_FALSE(listing.debug);
}

TEST(ReadParamListing, ABrokenFileGivesTheDriversMessage)
{
    TempFile file("[server]\nCLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\n[channels]\n7x = A\n");
    ParamListing listing;
    std::wstring error;
    EXPECT_FALSE(ReadParamListing(file.Path(), listing, error));
    EXPECT_EQ(error, L"7x: Wrong channel number in [channels] section of PAR file");
    EXPECT_TRUE(listing.channels.empty());
    EXPECT_FALSE(ReadParamListing(L"Z:\\no\\such\\file.par", listing, error));
    EXPECT_EQ(error, L"Cannot open specified parameter file");
}

TEST(FindListedChannel, ScalarsAndEveryElementOfARange)
{
    ParamListing listing;
    listing.channels = {{1, 5, L"R"}, {10, 0, L"S"}, {4294967294u, 2, L"Top"}};
    struct Case {
        std::uint32_t number;
        const wchar_t* itemId; // null: no channel
    };
    const Case cases[] = {{0, nullptr},
                          {1, L"R"},
                          {5, L"R"},
                          {6, nullptr},
                          {10, L"S"},
                          {11, nullptr},
                          {4294967293u, nullptr},
                          {4294967294u, L"Top"},
                          {4294967295u, L"Top"}};
    for (const auto& c : cases) {
        const ChannelListing* found = FindListedChannel(listing, c.number);
        if (c.itemId == nullptr) {
            EXPECT_EQ(found, nullptr) << c.number;
        } else {
            ASSERT_NE(found, nullptr) << c.number;
            EXPECT_EQ(found->itemId, c.itemId);
        }
    }
}

} // namespace
