// tagprobe servers, ProgIDs on the command line, and check's review of a file and its items, against
// the simulation server registered as the scripts register it: with a ProgID and in the DA 2.0
// component category. Another machine cannot be reached here: only its failure path is tested.
#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tests/e2e/tagprobe/sim_fixture.h"
#include "tools/tagprobe/text_convert.h"

namespace {

using Row = std::vector<std::string>;

constexpr wchar_t kProgId[] = L"TagprobeE2E.Review.1";
constexpr wchar_t kDescription[] = L"tagprobe end-to-end server";
constexpr wchar_t kCategoryDa20[] = L"{63D5F432-CFE4-11D1-B2C8-0060083BA1FB}";

bool SetDefaultValue(const std::wstring& key, const std::wstring& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = value.empty()
                  ? ERROR_SUCCESS
                  : RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

// What scripts/sim-register adds to a scenario's registration.
::testing::AssertionResult RegisterProgId(const SimServer& server)
{
    std::wstring clsidKey = L"CLSID\\" + server.clsidText;
    bool ok = SetDefaultValue(clsidKey, kDescription) && SetDefaultValue(clsidKey + L"\\ProgID", kProgId) &&
              SetDefaultValue(clsidKey + L"\\Implemented Categories\\" + kCategoryDa20, L"") &&
              SetDefaultValue(kProgId, kDescription) &&
              SetDefaultValue(std::wstring(kProgId) + L"\\CLSID", server.clsidText);
    return ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "cannot register the ProgID";
}

class ServersAndReview : public SimSuite {
protected:
    static void SetUpTestSuite()
    {
        StartSuite("behaviour lacks server IOPCBrowseServerAddressSpace\n");
        ASSERT_TRUE(RegisterProgId(sim.server));
    }
    static void TearDownTestSuite()
    {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
        SimSuite::TearDownTestSuite();
    }

    static std::string Clsid() { return Utf8FromWide(sim.server.clsidText); }

    static ProbeResult Run(const std::vector<std::wstring>& args)
    {
        ProbeResult result;
        EXPECT_TRUE(RunProbe(args, result));
        return result;
    }

    static std::string ParFile(const std::string& clsid, const std::string& body)
    {
        return "[server]\r\nCLSID = " + clsid + "\r\n" + body;
    }
};

TEST_F(ServersAndReview, ServersListsTheRegisteredScenarioByProgId)
{
    ProbeResult result = Run({L"servers"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(Lines(result.out)[0].rfind(
                  "OPC DA servers on this machine (component categories OPC DA 1.0 and 2.0): ", 0),
              0u);
    EXPECT_EQ(TableRow(result.out, "progid", Utf8FromWide(kProgId)),
              (Row{Utf8FromWide(kProgId), Clsid(), "2.0", Utf8FromWide(kDescription)}));
    // The suite's second server is registered without a category: it is no OPC DA server to the list.
    for (const auto& row : TableRows(result.out, "progid"))
        EXPECT_NE(row[1], Utf8FromWide(other.server.clsidText));
}

TEST_F(ServersAndReview, AnotherMachinesServerListFailsAtOnceWithTheReason)
{
    ProbeResult result = Run({L"servers", L"plant-pc"});
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_EQ(result.out, "");
    // Remote activation does not exist under Wine; on Windows the code names what stood in the way.
    EXPECT_EQ(Lines(result.err),
              (std::vector<std::string>{"tagprobe: cannot ask the OPC server list (OpcEnum) on "
                                        "plant-pc: 0x80040154 REGDB_E_CLASSNOTREG: the server "
                                        "is not registered on this machine"}));
    result = Run({L"browse", kProgId, L"plant-pc"});
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_EQ(Lines(result.err), (std::vector<std::string>{
                                     "tagprobe: cannot ask the OPC server list (OpcEnum) on plant-pc for the "
                                     "ProgID " +
                                     Utf8FromWide(kProgId) +
                                     ": 0x80040154 REGDB_E_CLASSNOTREG: the server is not registered on "
                                     "this machine"}));
}

TEST_F(ServersAndReview, BrowseTakesAProgIdAndAnUnknownOneIsAUsageError)
{
    ProbeResult result = Run({L"browse", kProgId});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(Lines(result.out)[0], Clsid() + " on this machine: 26 items, flat address space");
    result = Run({L"browse", L"TagprobeE2E.NoSuch.1"});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(Lines(result.err),
              std::vector<std::string>{"tagprobe: TagprobeE2E.NoSuch.1 is neither a CLSID in "
                                       "braces nor a registered ProgID"});
}

TEST_F(ServersAndReview, CheckNamesTheProgIdAndDescriptionOfTheFilesClsid)
{
    TempFile file(ParFile(Clsid(), "[channels]\r\n1 = Sim.I4\r\n"));
    ProbeResult result = Run({L"check", file.Path()});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "fact", "progid"),
              (Row{"progid", Utf8FromWide(kProgId), "registry of this machine"}));
    EXPECT_EQ(TableRow(result.out, "fact", "description"),
              (Row{"description", Utf8FromWide(kDescription), "registry of this machine"}));
    EXPECT_EQ(Lines(result.out).back(), "0 findings");
}

TEST_F(ServersAndReview, CheckReportsEveryKindOfFindingAtItsLine)
{
    TempFile file(ParFile(Clsid(), "udpate_rate = 0.5\r\n" // 3
                                   "wait_time = 2.5\r\n"   // 4
                                   "debug = maybe\r\n"     // 5
                                   "[channels]\r\n"        // 6
                                   "1 = Sim.I4\r\n"        // 7
                                   "2 = Sim.BadQualty\r\n" // 8
                                   "3-5 = Sim.R8\r\n"      // 9
                                   "6 = Sim.R8Array\r\n"   // 10
                                   "7 = Sim.WriteOnly\r\n" // 11
                                   "8x = Sim.I4\r\n"       // 12
                                   "[extra]\r\n"           // 13
                                   "sync = true\r\n"));    // 14
    ProbeResult result = Run({L"check", file.Path()});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err; // Init fails: the driver refuses debug
    EXPECT_EQ(Lines(result.out)[0], "Init failed: debug: Wrong value in [server] section of PAR file");
    std::vector<Row> expected = {
        {"1", "note",
         "mode: asynchronous (IOPCAsyncIO2, results in the runtime's thread); synchronous when the server's "
         "group "
         "offers no IOPCAsyncIO2"},
        {"2", "note", "CLSID = " + Clsid() + ": the server the driver connects to"},
        {"3", "warning", "udpate_rate: not a key the driver reads; did you mean update_rate?"},
        {"4", "note",
         "wait_time = 2.5: a pause of 2500 ms after the server object is created, before its first status "
         "query"},
        {"5", "error", "debug: Wrong value in [server] section of PAR file"},
        {"8", "error",
         "channel 2: the server does not accept the ItemId Sim.BadQualty: 0xC0040007 \"The item is no longer "
         "available in the server address space.\"; did you mean Sim.BadQuality?"},
        {"9", "error",
         "channels 3-5: a range, but Sim.R8 is a scalar item (R8): every read and write of the range "
         "fails"},
        {"10", "error",
         "channel 6: a single channel, but Sim.R8Array is an array item (R8[]): every read of the channel "
         "fails; "
         "give it a range FIRST-LAST"},
        {"11", "warning",
         "channel 7: Sim.WriteOnly does not allow reading (access: write): a read of the channel reports "
         "\"wrong "
         "direction\""},
        {"12", "error", "8x: Wrong channel number in [channels] section of PAR file"},
        {"13", "warning", "[extra]: a section the driver does not read; its 1 entry is ignored"},
        {"14", "warning", "sync: a key of [server], in [extra], which the driver does not read"},
    };
    EXPECT_EQ(TableRows(result.out, "line"), expected);
    EXPECT_EQ(Lines(result.out).back(), "9 findings, 5 of them make Init or a channel fail");
}

TEST_F(ServersAndReview, AFindingThatFailsAChannelGivesExitOneAndQuietPrintsOnlyFindings)
{
    TempFile file(ParFile(Clsid(), "udpate_rate = 0.5\r\n[channels]\r\n1 = Sim.I4\r\n3-5 = Sim.R8\r\n"));
    ProbeResult result = Run({L"check", file.Path(), L"--quiet"});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const std::string range =
        "channels 3-5: a range, but Sim.R8 is a scalar item (R8): every read and write of the range fails";
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{
                  "line  level    finding", "----  -------  " + std::string(range.size(), '-'),
                  "3     warning  udpate_rate: not a key the driver reads; did you mean "
                  "update_rate?",
                  "6     error    " + range, "2 findings, 1 of them makes Init or a channel fail"}));

    TempFile warned(ParFile(Clsid(), "udpate_rate = 0.5\r\n[channels]\r\n1 = Sim.I4\r\n"));
    result = Run({L"check", warned.Path(), L"--quiet"});
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err; // the driver ignores the key: Init succeeds
    EXPECT_EQ(Lines(result.out).back(), "1 finding");
}

TEST_F(ServersAndReview, AMisspeltItemIdFailsInitAndTheReviewSaysWhich)
{
    TempFile file(ParFile(Clsid(), "[channels]\r\n1 = Sim.I4\r\n2 = Sim.Uncertian\r\n"));
    ProbeResult result = Run({L"check", file.Path(), L"--quiet"});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    EXPECT_EQ(
        TableRows(result.out, "line"),
        (std::vector<Row>{
            {"-", "error", "Init: Cannot create channel specified in PAR file number: 2"},
            {"5", "error",
             "channel 2: the server does not accept the ItemId Sim.Uncertian: 0xC0040007 \"The item is no "
             "longer available in the server address space.\"; did you mean Sim.Uncertain?"}}));
}

TEST_F(ServersAndReview, AServerWithoutBrowsingGetsFindingsWithoutSuggestions)
{
    TempFile file(ParFile(Utf8FromWide(other.server.clsidText), "[channels]\r\n1 = Sim.BadQualty\r\n"));
    ProbeResult result = Run({L"check", file.Path(), L"--quiet"});
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    EXPECT_EQ(
        TableRow(result.out, "line", "4"),
        (Row{"4", "error",
             "channel 1: the server does not accept the ItemId Sim.BadQualty: 0xC0040007 \"The item is no "
             "longer available in the server address space.\"; the server offers no browsing "
             "(IOPCBrowseServerAddressSpace), so no names can be suggested"}));
}

} // namespace
