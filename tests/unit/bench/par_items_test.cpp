#include <string>

#include <gtest/gtest.h>

#include "bench/common/par_items.h"
#include "tests/support/temp_file.h"

namespace {

constexpr char kClsid[] = "{01234567-89AB-CDEF-0F1E-2D3C4B5A6978}";

std::string Narrow(const std::wstring& path)
{
    return std::string(path.begin(), path.end()); // temporary paths here are ASCII
}

bool Read(const std::string& text, ParItems& items, std::string& error)
{
    TempFile file(text);
    return file.IsWritten() && ReadParItems(Narrow(file.Path()), items, error);
}

TEST(ParItems, GivesTheClsidTheModeAndEachChannelWithItsItemId)
{
    ParItems items;
    std::string error;
    ASSERT_TRUE(Read(std::string("[server]\r\nCLSID = ") + kClsid +
                         "\r\nsync = yes\r\ndebug=no\r\n[channels]\r\n" +
                         "1=Bench.T000001\r\n 7 = Bench.T000007 \r\n\r\n12=Bench.T000012\r\n",
                     items, error))
        << error;
    CLSID expected{0x01234567, 0x89AB, 0xCDEF, {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78}};
    EXPECT_TRUE(IsEqualCLSID(items.clsid, expected));
    EXPECT_TRUE(items.sync);
    EXPECT_EQ(items.channels, (std::vector<std::uint32_t>{1, 7, 12}));
    EXPECT_EQ(items.itemIds,
              (std::vector<std::wstring>{L"Bench.T000001", L"Bench.T000007", L"Bench.T000012"}));
}

TEST(ParItems, IsAsynchronousUnlessTheFileSaysYes)
{
    ParItems items;
    std::string error;
    ASSERT_TRUE(
        Read(std::string("[server]\nCLSID=") + kClsid + "\nsync=no\n[channels]\n1=A\n", items, error));
    EXPECT_FALSE(items.sync);
}

TEST(ParItems, KeysOfTheServerSectionAreNoChannels)
{
    ParItems items;
    std::string error;
    ASSERT_TRUE(
        Read(std::string("[server]\nCLSID=") + kClsid + "\nwait_time=5\n[channels]\n3=C\n", items, error));
    EXPECT_EQ(items.channels, (std::vector<std::uint32_t>{3}));
}

struct BadFile {
    const char* name;
    std::string text;
};

class BadParItems : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadParItems, AreRefusedWithTheFileNamed)
{
    ParItems items;
    std::string error;
    TempFile file(GetParam().text);
    ASSERT_TRUE(file.IsWritten());
    EXPECT_FALSE(ReadParItems(Narrow(file.Path()), items, error));
    EXPECT_EQ(error, "no CLSID or no channels in " + Narrow(file.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadParItems,
    ::testing::Values(BadFile{"NoClsid", "[server]\nsync=yes\n[channels]\n1=A\n"},
                      BadFile{"BadClsid", "[server]\nCLSID={nonsense}\n[channels]\n1=A\n"},
                      BadFile{"NoChannels", std::string("[server]\nCLSID=") + kClsid + "\n[channels]\n"},
                      BadFile{"ClsidUnderChannels", std::string("[channels]\nCLSID=") + kClsid + "\n"}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST(ParItems, AMissingFileIsNamed)
{
    ParItems items;
    std::string error;
    EXPECT_FALSE(ReadParItems("Z:\\no\\such\\folder\\file.par", items, error));
    EXPECT_EQ(error, "cannot open Z:\\no\\such\\folder\\file.par");
}

} // namespace
