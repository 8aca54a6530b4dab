// tagprobe check: the driver's verdict on a file, and what is known of its channels and mode.
#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tools/tagprobe/text_convert.h"
#include "tests/e2e/tagprobe/sim_fixture.h"
#include "tests/support/sim_control.h"

namespace {

using Row = std::vector<std::string>;

class CheckAgainstSim : public SimSuite {
protected:
    static void SetUpTestSuite() { StartSuite("behaviour lacks group IOPCAsyncIO2\n"); }

    static ProbeResult Check(const TempFile& file)
    {
        ProbeResult result;
        EXPECT_TRUE(RunProbe({L"check", file.Path()}, result));
        return result;
    }
};

TEST_F(CheckAgainstSim, ListsEveryChannelWithItsCanonicalTypeAndAccess)
{
    auto file = StandardParFile(sim.server.clsidText, "");
    ProbeResult result = Check(*file);
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<Row> expected = {
        {"1", "Sim.I4", "I4", "read/write"},     {"2", "Sim.R8", "R8", "read/write"},
        {"3", "Sim.BSTR", "BSTR", "read/write"}, {"4", "Sim.BOOL", "BOOL", "read/write"},
        {"5", "Sim.UI4", "UI4", "read/write"},   {"6", "Sim.ReadOnly", "I4", "read"},
        {"7", "Sim.WriteOnly", "I4", "write"},   {"8", "Sim.BadQuality", "R8", "read"},
        {"9", "Sim.Uncertain", "R8", "read"},    {"10-14", "Sim.R8Array", "R8[]", "read/write"},
        {"15", "Sim.Ramp", "R8", "read"},        {"16", "Sim.I8", "I8", "read/write"},
    };
    EXPECT_EQ(TableRows(result.out, "channel"), expected);
    EXPECT_EQ(TableRow(result.out, "fact", "Init"), (Row{"Init", "succeeded", "driver"}));
    EXPECT_EQ(TableRow(result.out, "fact", "server"),
              (Row{"server", Utf8FromWide(sim.server.clsidText) + " on this machine", "parameter file"}));
    EXPECT_EQ(TableRow(result.out, "fact", "mode"),
              (Row{"mode", "asynchronous: the server's group offers IOPCAsyncIO2",
                   "parameter file + tagprobe's look at the server"}));
    EXPECT_EQ(TableRow(result.out, "fact", "trace"), (Row{"trace", "off", "parameter file"}));
    EXPECT_EQ(result.err, "");
}

TEST_F(CheckAgainstSim, ASynchronousFileSaysSoFromTheFile)
{
    auto file = StandardParFile(sim.server.clsidText, "sync = true\r\ndebug = yes\r\n");
    ProbeResult result = Check(*file);
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "fact", "mode"),
              (Row{"mode", "synchronous: the file asks for it", "parameter file"}));
    EXPECT_EQ(TableRow(result.out, "fact", "trace"), (Row{"trace", "on (debug = true)", "parameter file"}));
    EXPECT_EQ(TableRow(result.out, "fact", "driver"),
              (Row{"driver", "Orvex OPC Client Driver 3.1, ANSI exports", "driver"}));
}

TEST_F(CheckAgainstSim, AGroupWithoutAsyncIoShowsTheFallBack)
{
    auto file = StandardParFile(other.server.clsidText, "");
    ProbeResult result = Check(*file);
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "fact", "mode"),
              (Row{"mode", "synchronous: fell back, the server's group offers no IOPCAsyncIO2",
                   "parameter file + tagprobe's look at the server"}));
}

TEST_F(CheckAgainstSim, ABrokenParameterFileGivesTheDriversTextAndExitOne)
{
    struct Broken {
        std::string text;
        const char* message;
    };
    std::string clsid = Utf8FromWide(sim.server.clsidText);
    const Broken cases[] = {
        {"[server]\r\nCLSID = " + clsid + "\r\n[channels]\r\n7x = Sim.I4\r\n",
         "Init failed: 7x: Wrong channel number in [channels] section of PAR file"},
        {"[channels]\r\n1 = Sim.I4\r\n", "Init failed: Cannot find mandatory [server] section in PAR file"},
        {"[server]\r\nCLSID = {not-a-clsid}\r\n[channels]\r\n1 = Sim.I4\r\n",
         "Init failed: Error in server CLSID specified in PAR file"},
        {"[server]\r\nCLSID = " + clsid + "\r\n[channels]\r\n",
         "Init failed: PAR file does not define any channels"},
        {"[server]\r\nCLSID = " + clsid + "\r\n[channels]\r\n1-5 = Sim.R8Array\r\n3 = Sim.I4\r\n",
         "Init failed: 3: Duplicate channel number in [channels] section of PAR file"},
    };
    for (const auto& broken : cases) {
        TempFile file(broken.text);
        ProbeResult result = Check(file);
        EXPECT_EQ(result.exitCode, 1u) << broken.message;
        ASSERT_FALSE(Lines(result.out).empty());
        EXPECT_EQ(Lines(result.out)[0], broken.message);
    }
}

TEST_F(CheckAgainstSim, AMissingFileIsRefusedByTheDriver)
{
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"check", L"Z:\\no\\such\\plant.par"}, result));
    EXPECT_EQ(result.exitCode, 1u);
    ASSERT_FALSE(Lines(result.out).empty());
    EXPECT_EQ(Lines(result.out)[0], "Init failed: Cannot open specified parameter file");
}

TEST_F(CheckAgainstSim, AServerThatIsNotRegisteredIsNamedAsSuch)
{
    GUID unknown{};
    ASSERT_EQ(CoCreateGuid(&unknown), S_OK);
    wchar_t text[40] = {};
    StringFromGUID2(unknown, text, 40);
    auto file = StandardParFile(text, "");
    ProbeResult result = Check(*file);
    EXPECT_EQ(result.exitCode, 1u);
    std::vector<std::string> lines = Lines(result.out);
    lines.resize(2);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Init failed: Cannot create specified OPC server instance",
                                        "tagprobe's own look at the server " + Utf8FromWide(text) +
                                            ": creating the server object failed: 0x80040154 "
                                            "REGDB_E_CLASSNOTREG: the server is not registered on this "
                                            "machine"}));
}

} // namespace

// A copy of tagprobe without tagport.dll beside it: Init is not tried, and check must not call the
// file sound; the server is still asked about the items (no finding: the item is sound).
TEST_F(CheckAgainstSim, ADriverThatCannotBeLoadedIsAnErrorOfTheReviewAndExitOne)
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tagprobe-nodriver-" + std::to_wstring(GetCurrentProcessId());
    std::wstring copy = folder + L"\\tagprobe.exe";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileW((BinaryFolder() + L"tagprobe.exe").c_str(), copy.c_str(), FALSE));
    TempFile file("[server]\r\nCLSID = " + Utf8FromWide(sim.server.clsidText) +
                  "\r\n[channels]\r\n1 = Sim.I4\r\n");
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"check", file.Path(), L"--quiet"}, result, copy));
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    std::string reason = "cannot load " + Utf8FromWide(folder) + "\\tagport.dll (Windows error 126)";
    EXPECT_EQ(Lines(result.err), std::vector<std::string>{"tagprobe: " + reason});
    EXPECT_EQ(TableRows(result.out, "line"), (std::vector<Row>{{"-", "error", "Init not tried: " + reason}}));
    EXPECT_EQ(Lines(result.out).back(), "1 finding, which makes Init or a channel fail");
}
