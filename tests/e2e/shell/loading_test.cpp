// The exports that stand alone, called exactly as the host calls them: LoadLibraryW and GetProcAddress.

#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/driver_api.h"

namespace {

class LoadedDriver : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadDriverApi(api)); }
    void TearDown() override { UnloadDriverApi(api); }
    DriverApi api;
};

TEST_F(LoadedDriver, VersionIsTheSameFromBothTwins)
{
    EXPECT_EQ(api.ansi.Version(), 196609u);
    EXPECT_EQ(api.wide.Version(), 196609u);
}

TEST_F(LoadedDriver, CheckIsTrueAndBufferInfoFalseWithoutAnyInstance)
{
    EXPECT_EQ(api.ansi.Check(), 1);
    EXPECT_EQ(api.wide.Check(), 1);
    EXPECT_EQ(api.ansi.BufferInfo(), 0);
    EXPECT_EQ(api.wide.BufferInfo(), 0);
}

TEST_F(LoadedDriver, DriverInfoGivesTheNameInBothWidths)
{
    char ansi[64];
    std::memset(ansi, 'x', sizeof ansi);
    api.ansi.GetDriverInfo(63, ansi);
    EXPECT_STREQ(ansi, "Orvex OPC Client Driver");

    wchar_t wide[64];
    std::fill(wide, wide + 64, L'x');
    api.wide.GetDriverInfo(63, wide);
    EXPECT_STREQ(wide, L"Orvex OPC Client Driver");
}

TEST_F(LoadedDriver, DriverInfoIsCutToASmallMaximumAndStaysTerminated)
{
    char ansi[16];
    std::memset(ansi, 'x', sizeof ansi);
    api.ansi.GetDriverInfo(5, ansi);
    EXPECT_STREQ(ansi, "Orvex");
    EXPECT_EQ(ansi[6], 'x') << "wrote beyond maximum + 1";

    wchar_t wide[16];
    std::fill(wide, wide + 16, L'x');
    api.wide.GetDriverInfo(9, wide);
    EXPECT_STREQ(wide, L"Orvex OPC");
    EXPECT_EQ(wide[10], L'x') << "wrote beyond maximum + 1";

    api.ansi.GetDriverInfo(0, ansi);
    EXPECT_STREQ(ansi, "");
}

TEST_F(LoadedDriver, DriverInfoWithANullBufferDoesNotCrash)
{
    api.ansi.GetDriverInfo(100, nullptr);
    api.wide.GetDriverInfo(100, nullptr);
    char ansi[32] = {};
    api.ansi.GetDriverInfo(31, ansi);
    EXPECT_STREQ(ansi, "Orvex OPC Client Driver");
}

TEST_F(LoadedDriver, MakeDriverGivesDistinctInstancesThatDisposeCleanly)
{
    OpcDriver* first = api.ansi.MakeDriver();
    OpcDriver* second = api.wide.MakeDriver();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    api.ansi.DisposeDriver(first);
    api.wide.DisposeDriver(second);
}

TEST_F(LoadedDriver, InstanceExportsIgnoreANullDriver)
{
    std::uint32_t status = 0xDEADBEEF;
    HostValue value{TypeI32, {1, 2, 3, 4}};
    std::uint32_t quality = 0xDEADBEEF;
    HostTimestamp stamp{0xDEADBEEF, 1, 2, 3};
    char err[128] = "untouched";
    EXPECT_EQ(api.ansi.Init(nullptr, 259, "x.par", 127, err, 0, 0, 0, nullptr), 0);
    api.ansi.Done(nullptr);
    api.ansi.InputRequest(nullptr, 1);
    api.ansi.InputRequestCompleted(nullptr);
    EXPECT_EQ(api.ansi.InputFinalized(nullptr, 1, &status), 0);
    api.ansi.GetInput3(nullptr, 1, &value, &quality, &stamp);
    api.ansi.OutputRequest(nullptr, 1, value);
    api.ansi.OutputRequestCompleted(nullptr);
    EXPECT_EQ(api.ansi.OutputFinalized(nullptr, 1, &status), 0);
    api.wide.DisposeDriver(nullptr);
    EXPECT_EQ(status, 0xDEADBEEFu);
    EXPECT_EQ(value.type, static_cast<std::uint32_t>(TypeI32));
    EXPECT_EQ(quality, 0xDEADBEEFu);
}

TEST_F(LoadedDriver, DecoratedInitUnderscoreIsCallable)
{
    ASSERT_NE(api.initUnderscore, nullptr);
    api.initUnderscore();
    api.initUnderscore();
    EXPECT_EQ(api.ansi.Version(), 196609u) << "the call must leave the module usable";
}

} // namespace
