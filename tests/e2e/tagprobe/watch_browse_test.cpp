// tagprobe watch (repeated batches, only changes printed) and browse (the server's items, and a
// starter parameter file that the driver then accepts).
#include <gtest/gtest.h>

#include <objbase.h>

#include "tests/e2e/tagprobe/probe_process.h"
#include "tools/tagprobe/text_convert.h"
#include "tests/e2e/tagprobe/sim_fixture.h"

namespace {

using Row = std::vector<std::string>;

using WatchAndBrowse = SimSuite;

TEST_F(WatchAndBrowse, WatchPrintsEveryChannelOnceThenOnlyTheChangingOne)
{
    auto file = StandardParFile(sim.server.clsidText, "");
    ProbeResult result;
    ASSERT_TRUE(
        RunProbe({L"watch", file->Path(), L"2", L"15", L"--interval", L"50", L"--count", L"3"}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<std::string> batches;
    for (const auto& line : Lines(result.out))
        if (line.compare(0, 6, "batch ") == 0) batches.push_back(line.substr(0, line.find(" at ")));
    EXPECT_EQ(batches, (std::vector<std::string>{"batch 1", "batch 2", "batch 3"}));
    std::vector<std::string> changed;
    std::string rest = result.out;
    for (std::size_t at = rest.find("batch "); at != std::string::npos; at = rest.find("batch ", at + 1))
        for (const auto& row : TableRows(rest.substr(at), "channel"))
            changed.push_back(row[0]);
    // The ramp moves between batches; the fixed item appears only in the first.
    EXPECT_EQ(changed, (std::vector<std::string>{"2", "15", "15", "15"}));
    EXPECT_EQ(Lines(result.out).back(), "watch: 3 batches, 2 changes");
}

TEST_F(WatchAndBrowse, BrowseListsTheItemsWithTypesAccessAndArraySizes)
{
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"browse", sim.server.clsidText}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(Lines(result.out)[0],
              Utf8FromWide(sim.server.clsidText) + " on this machine: 26 items, flat address space");
    EXPECT_EQ(TableRow(result.out, "item id", "Sim.R8Array"),
              (Row{"Sim.R8Array", "R8[]", "read/write", "5"}));
    EXPECT_EQ(TableRow(result.out, "item id", "Sim.I4Matrix"),
              (Row{"Sim.I4Matrix", "I4[]", "read/write", "6"}));
    EXPECT_EQ(TableRow(result.out, "item id", "Sim.WriteOnly"), (Row{"Sim.WriteOnly", "I4", "write", "-"}));
    EXPECT_EQ(TableRows(result.out, "item id").size(), 26u);
}

TEST_F(WatchAndBrowse, TheStarterFileOfABrowsePassesCheck)
{
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring starter = std::wstring(folder) + L"tagprobe-e2e-starter.par";
    DeleteFileW(starter.c_str());
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"browse", sim.server.clsidText, L"--par", starter}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(Lines(result.out).back(), "wrote the starter parameter file " + Utf8FromWide(starter));

    ASSERT_TRUE(RunProbe({L"check", starter}, result));
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(TableRow(result.out, "channel", "1"), (Row{"1", "Sim.I1", "I1", "read/write"}));
    EXPECT_EQ(TableRow(result.out, "channel", "19-23"), (Row{"19-23", "Sim.R8Array", "R8[]", "read/write"}));
    EXPECT_EQ(TableRows(result.out, "channel").size(), 26u);

    ASSERT_TRUE(RunProbe({L"browse", sim.server.clsidText, L"--par", starter}, result));
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_EQ(Lines(result.err).back(), "tagprobe: " + Utf8FromWide(starter) +
                                            " exists already; tagprobe never overwrites a parameter file");
    DeleteFileW(starter.c_str());
}

TEST_F(WatchAndBrowse, BrowsingAServerThatIsNotRegistered)
{
    ProbeResult result;
    ASSERT_TRUE(RunProbe({L"browse", L"{0F0E0D0C-0B0A-0908-0706-050403020100}"}, result));
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_EQ(Lines(result.err),
              std::vector<std::string>{"tagprobe: cannot create the server "
                                       "{0F0E0D0C-0B0A-0908-0706-050403020100}: 0x80040154 "
                                       "REGDB_E_CLASSNOTREG: the server is not registered on this "
                                       "machine"});
    ASSERT_TRUE(RunProbe({L"browse", L"NoSuch.Server.ProgId"}, result));
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_EQ(Lines(result.err),
              std::vector<std::string>{
                  "tagprobe: NoSuch.Server.ProgId is neither a CLSID in braces nor a registered ProgID"});
}

} // namespace
