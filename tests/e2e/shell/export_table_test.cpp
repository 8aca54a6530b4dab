// The built DLL as a file: exactly the host's export names, a 32-bit x86 image, system imports only.

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/driver_api.h"
#include "tests/support/pe_image.h"

namespace {

std::set<std::string> ExpectedExports()
{
    const char* twins[] = {"Version",
                           "Check",
                           "GetDriverInfo",
                           "MakeDriver",
                           "DisposeDriver",
                           "Init",
                           "Done",
                           "BufferInfo",
                           "SetBufferAddr",
                           "InputRequest",
                           "InputRequestCompleted",
                           "InputFinalized",
                           "GetInput",
                           "GetInput2",
                           "GetInput3",
                           "OutputRequest",
                           "OutputRequest2",
                           "OutputRequest3",
                           "OutputRequestCompleted",
                           "OutputFinalized",
                           "DriverProc",
                           "QueryProc"};
    std::set<std::string> names = {"_INIT", "_DONE", "?Init_@tagport@@YAXXZ"};
    for (const char* name : twins) {
        names.insert(name);
        names.insert(std::string(name) + "W");
    }
    return names;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class BuiltDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        ASSERT_TRUE(ReadPeImage(BesideProgram(L"tagport.dll"), image, reason)) << reason;
    }
    PeImage image;
};

TEST_F(BuiltDll, ExportsExactlyTheHostInterface)
{
    std::set<std::string> actual(image.exports.begin(), image.exports.end());
    EXPECT_EQ(actual.size(), image.exports.size()) << "an export name appears twice";
    std::set<std::string> expected = ExpectedExports();
    for (const std::string& name : expected)
        EXPECT_TRUE(actual.count(name)) << "missing export " << name;
    for (const std::string& name : actual)
        EXPECT_TRUE(expected.count(name)) << "unexpected export " << name;
    EXPECT_EQ(actual.size(), 47u);
}

// The i686 product; the x86_64 test build is an image of its own machine (scripts/test checks the
// product's image where it cannot be loaded).
TEST_F(BuiltDll, IsAnImageOfTheBuildsMachine)
{
#if defined(__i386__)
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_I386);
#else
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_AMD64);
#endif
}

TEST_F(BuiltDll, ImportsOnlyWindowsSystemLibraries)
{
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "ole32.dll",  "oleaut32.dll",
                                          "advapi32.dll", "msvcrt.dll", "rpcrt4.dll", "gdi32.dll"};
    ASSERT_FALSE(image.imports.empty());
    for (const std::string& name : image.imports)
        EXPECT_TRUE(system.count(Lower(name))) << "imports a non-system library: " << name;
}

} // namespace
