#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/param_file.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "tests/support/temp_file.h"
#include "tests/support/leak_check.h"
#include "tests/unit/config/x87_precision.h"

namespace {

constexpr char kClsidLine[] = "CLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\n";
constexpr wchar_t kSentinel[] = L"untouched";
constexpr std::uint32_t kErrMax = 127;

std::string ParFile(const std::string& server, const std::string& channels)
{
    return "[server]\n" + std::string(kClsidLine) + server + "[channels]\n" + channels;
}

// One driver record per test, loaded from a file of the test's text. TearDown clears the channel
// table as Done does and frees the record: every block the load took must then be back.
class ParameterFileTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        MakeRecord();
    }
    void TearDown() override
    {
        FreeRecord();
        LeakCheckedTest::TearDown();
    }

    void MakeRecord()
    {
        drv = MakeDriverRecord();
        ASSERT_NE(drv, nullptr);
    }
    void FreeRecord()
    {
        if (drv == nullptr) return;
        drv->channels.Clear();
        FreeDriverRecord(drv);
    }
    // A fresh record for the next case of a table.
    void Renew()
    {
        FreeRecord();
        MakeRecord();
    }

    bool Load(const std::string& text, std::uint32_t errMax = kErrMax)
    {
        TempFile file(text);
        EXPECT_TRUE(file.IsWritten());
        std::wcscpy(err, kSentinel);
        return LoadParameterFile(*drv, kHostNameMax, file.Path().c_str(), errMax, err);
    }

    std::vector<std::uint32_t> Firsts() const
    {
        std::vector<std::uint32_t> firsts;
        OrderedItem* item = nullptr;
        for (bool more = drv->channels.First(&item); more; more = drv->channels.Next(item, &item))
            firsts.push_back(static_cast<Channel*>(item)->firstNumber);
        return firsts;
    }

    std::wstring ItemIdOf(std::uint32_t number) const
    {
        const Channel* channel = FindChannel(drv->channels, number);
        if (channel == nullptr) return L"<no channel>";
        return channel->itemId == nullptr ? std::wstring()
                                          : std::wstring(channel->itemId->chars, channel->itemId->length);
    }

    OpcDriver* drv = nullptr;
    wchar_t err[kErrMax + 64] = {};
};

struct Refusal {
    const char* name;
    std::string file;
    const wchar_t* message;
};

std::string Repeat(char c, std::size_t n)
{
    return std::string(n, c);
}

const Refusal kRefusals[] = {
    {"EntryBeforeTheFirstSection",
     "CLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\n[server]\n[channels]\n1=a\n",
     L"CLSID: Entry before the first section header in PAR file"},
    {"LongEntryBeforeTheFirstSection",
     "; settings\nwait_time_in_seconds=2\n[server]\n" + std::string(kClsidLine),
     L"wait_time_in_se: Entry before the first section header in PAR file"},
    {"BrokenFirstHeader", "[server\n" + std::string(kClsidLine) + "[channels]\n1=a\n",
     L"[server: Entry before the first section header in PAR file"},
    {"NoServerSection", "[channels]\n1=a\n", L"Cannot find mandatory [server] section in PAR file"},
    {"NoClsid", "[server]\nsync=true\n[channels]\n1=a\n",
     L"Cannot find mandatory CLSID parameter in [server] section of PAR file"},
    {"LowerCaseClsid", "[server]\nCLSID={01234567-89ab-CDEF-0F1E-2D3C4B5A6978}\n[channels]\n1=a\n",
     L"Error in server CLSID specified in PAR file"},
    {"ClsidWithoutBraces", "[server]\nCLSID=01234567-89AB-CDEF-0F1E-2D3C4B5A6978\n[channels]\n1=a\n",
     L"Error in server CLSID specified in PAR file"},
    {"ClsidLongerThan511",
     "[server]\nCLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}" + Repeat(' ', 1) + Repeat('0', 600) +
         "\n[channels]\n1=a\n",
     L"Error in server CLSID specified in PAR file"},
    {"ClsidTwice", ParFile(kClsidLine, "1=a\n"), L"CLSID: Duplicate key in [server] section of PAR file"},
    {"NoChannelsSection", "[server]\n" + std::string(kClsidLine),
     L"Cannot find mandatory [channels] section in PAR file"},
    {"EmptyChannelsSection", ParFile("", ""), L"PAR file does not define any channels"},
    {"ScalarNotANumber", ParFile("", "7x=a\n"),
     L"7x: Wrong channel number in [channels] section of PAR file"},
    {"NumberBeyond32Bits", ParFile("", "4294967296=a\n"),
     L"4294967296: Wrong channel number in [channels] section of PAR file"},
    {"RangeFirstNotANumber", ParFile("", "x-9=a\n"),
     L"x: Wrong channel number in [channels] section of PAR file"},
    {"RangeLastNotANumber", ParFile("", "1-9x=a\n"),
     L"9x: Wrong channel number in [channels] section of PAR file"},
    {"RangeWithoutLast", ParFile("", "7-=a\n"), L": Wrong channel number in [channels] section of PAR file"},
    {"RangeWithoutFirst", ParFile("", "-7=a\n"), L": Wrong channel number in [channels] section of PAR file"},
    {"RangeWithTwoHyphens", ParFile("", "1-2-3=a\n"),
     L"2-3: Wrong channel number in [channels] section of PAR file"},
    {"KeyLongerThan15", ParFile("", "1000000-10000000=a\n"),
     L"1000000-1000000: Wrong channel number in [channels] section of PAR file"},
    {"DescendingRange", ParFile("", "19-10=a\n"), L"19-10: Illegal range of array indexes"},
    {"RangeOverEveryNumber", ParFile("", "0-4294967295=a\n"),
     L"0-4294967295: Illegal range of array indexes"},
    {"RangeLongerThanTheLimit", ParFile("", "0-178956970=a\n"),
     L"0-178956970: Illegal range of array indexes"},
    {"RangeThatCannotBeAllocated", ParFile("", "1-178956970=a\n"),
     L"1-178956970: Not enough memory for channel in [channels] section of PAR file"},
    {"ScalarTwice", ParFile("", "7=a\n7=b\n"),
     L"7: Duplicate channel number in [channels] section of PAR file"},
    {"ScalarInsideEarlierRange", ParFile("", "1-9=a\n5=b\n"),
     L"5: Duplicate channel number in [channels] section of PAR file"},
    {"RangeOverEarlierScalar", ParFile("", "5=a\n1-9=b\n"),
     L"1-9: Duplicate channel number in [channels] section of PAR file"},
    {"RangesSharingANumber", ParFile("", "1-5=a\n5-9=b\n"),
     L"5-9: Duplicate channel number in [channels] section of PAR file"},
    {"ScalarAtTheTopTwice", ParFile("", "4294967295=a\n4294967295=b\n"),
     L"4294967295: Duplicate channel number in [channels] section of PAR file"},
    {"RangeUpToTheTop", ParFile("", "9999-4294967295=a\n"),
     L"9999-4294967295: Illegal range of array indexes"},
    {"ItemIdLongerThan511", ParFile("", "7=" + Repeat('x', 512) + "\n"),
     L"7: ItemId longer than 511 characters in [channels] section of PAR file"},
    {"RangeItemIdLongerThan511", ParFile("", "1-3=" + Repeat('x', 600) + "\n"),
     L"1-3: ItemId longer than 511 characters in [channels] section of PAR file"},
    {"HostLongerThan259", ParFile("host=" + Repeat('h', 260) + "\n", "1=a\n"),
     L"host: Wrong value in [server] section of PAR file"},
    {"HostTwice", ParFile("host=a\nhost=b\n", "1=a\n"),
     L"host: Duplicate key in [server] section of PAR file"},
    {"SyncNotABoolean", ParFile("sync=maybe\n", "1=a\n"),
     L"sync: Wrong value in [server] section of PAR file"},
    {"SyncTwice", ParFile("sync=true\nsync=false\n", "1=a\n"),
     L"sync: Duplicate key in [server] section of PAR file"},
    {"WaitRunningNotABoolean", ParFile("wait_running=2\n", "1=a\n"),
     L"wait_running: Wrong value in [server] section of PAR file"},
    {"DebugNotABoolean", ParFile("debug=\n", "1=a\n"), L"debug: Wrong value in [server] section of PAR file"},
    {"WaitTimeNotANumber", ParFile("wait_time=soon\n", "1=a\n"),
     L"wait_time: Wrong value in [server] section of PAR file"},
    {"WaitTimeNegative", ParFile("wait_time=-1\n", "1=a\n"),
     L"wait_time: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
    {"WaitTimeBarelyNegative", ParFile("wait_time=-0.0004\n", "1=a\n"),
     L"wait_time: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
    {"WaitTimeTwice", ParFile("wait_time=1\nwait_time=2\n", "1=a\n"),
     L"wait_time: Duplicate key in [server] section of PAR file"},
    {"UpdateRateOfEndlessMilliseconds", ParFile("update_rate=4294967.2951\n", "1=a\n"),
     L"update_rate: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
    {"UpdateRateHuge", ParFile("update_rate=1e300\n", "1=a\n"),
     L"update_rate: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
    {"UpdateRateNotANumber", ParFile("update_rate=1,5\n", "1=a\n"),
     L"update_rate: Wrong value in [server] section of PAR file"},
};

// A file with several faults reports the first one in reading order: the [server] section before
// [channels], its keys in their documented order, entries in file order, and within one range key
// its first part, then its second, then its order, then the overlap with earlier entries.
const Refusal kFirstFaultWins[] = {
    {"BadClsidBeforeMissingChannels", "[server]\nCLSID={bad}\n",
     L"Error in server CLSID specified in PAR file"},
    {"MissingServerBeforeMissingChannels", "[other]\nk=v\n",
     L"Cannot find mandatory [server] section in PAR file"},
    {"StrayEntryBeforeEverything", "7x=a\n[other]\n",
     L"7x: Entry before the first section header in PAR file"},
    {"ClsidBeforeLaterKeys", "[server]\nwait_time=soon\nCLSID={bad}\nsync=maybe\n[channels]\n1=a\n",
     L"Error in server CLSID specified in PAR file"},
    {"KeysInTheirOrderNotFileOrder", ParFile("update_rate=-1\nsync=maybe\n", "1=a\n"),
     L"sync: Wrong value in [server] section of PAR file"},
    {"ServerKeyBeforeChannelEntry", ParFile("debug=2\n", "x=a\n"),
     L"debug: Wrong value in [server] section of PAR file"},
    {"DescendingRangeBeforeOverlap", ParFile("", "5=a\n9-3=b\n"), L"9-3: Illegal range of array indexes"},
    {"FirstPartBeforeSecondPart", ParFile("", "x-9x=a\n"),
     L"x: Wrong channel number in [channels] section of PAR file"},
    {"EarlierEntryBeforeLaterEntry", ParFile("", "1-9=a\n5=b\n7x=c\n"),
     L"5: Duplicate channel number in [channels] section of PAR file"},
};

class ParameterFileRefusal : public ParameterFileTest, public testing::WithParamInterface<Refusal> {};

std::string RefusalName(const testing::TestParamInfo<Refusal>& info)
{
    return info.param.name;
}

// TearDown then proves that Clear after the failed load leaves no block behind.
TEST_P(ParameterFileRefusal, FailsWithItsMessage)
{
    EXPECT_FALSE(Load(GetParam().file));
    EXPECT_STREQ(err, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParameterFileRefusal, testing::ValuesIn(kRefusals), RefusalName);

INSTANTIATE_TEST_SUITE_P(FirstFaultWins, ParameterFileRefusal, testing::ValuesIn(kFirstFaultWins),
                         RefusalName);

TEST_F(ParameterFileTest, MissingFileCannotBeOpened)
{
    std::wcscpy(err, kSentinel);
    EXPECT_FALSE(LoadParameterFile(*drv, kHostNameMax, L"Z:\\no\\such\\folder\\file.par", kErrMax, err));
    EXPECT_STREQ(err, L"Cannot open specified parameter file");
    std::wcscpy(err, kSentinel);
    EXPECT_FALSE(LoadParameterFile(*drv, kHostNameMax, nullptr, kErrMax, err));
    EXPECT_STREQ(err, L"Cannot open specified parameter file");
}

TEST_F(ParameterFileTest, MessageIsCutToTheCallersMaximum)
{
    EXPECT_FALSE(Load(ParFile("", "7x=a\n"), 10));
    EXPECT_STREQ(err, L"7x: Wrong ");
    Renew();
    EXPECT_FALSE(Load(ParFile("", "7x=a\n"), 1));
    EXPECT_STREQ(err, L"7");
    Renew();
    EXPECT_FALSE(Load(ParFile("", ""), 0));
    EXPECT_STREQ(err, L"");
}

TEST_F(ParameterFileTest, MissingErrorBufferStillFails)
{
    TempFile file(ParFile("", "7x=a\n"));
    ASSERT_TRUE(file.IsWritten());
    EXPECT_FALSE(LoadParameterFile(*drv, kHostNameMax, file.Path().c_str(), kErrMax, nullptr));
}

TEST_F(ParameterFileTest, SuccessLeavesTheErrorBufferAlone)
{
    EXPECT_TRUE(Load(ParFile("", "1=a\n")));
    EXPECT_STREQ(err, kSentinel);
}

TEST_F(ParameterFileTest, RecordsBeforeARefusedEntryStay)
{
    EXPECT_FALSE(Load(ParFile("", "1=a\n2=b\nx=c\n3=d\n")));
    EXPECT_EQ(drv->channels.Count, 2u);
    EXPECT_EQ(Firsts(), (std::vector<std::uint32_t>{1, 2}));
}

TEST_F(ParameterFileTest, AbsentKeysKeepTheDefaults)
{
    std::wcscpy(drv->hostName, L"garbage");
    ASSERT_TRUE(Load(ParFile("", "1=a\n"))) << err;
    EXPECT_EQ(drv->flags.load(), 0u);
    EXPECT_EQ(drv->waitTimeMs, 0u);
    EXPECT_EQ(drv->updateRateMs, 86400000u);
    EXPECT_STREQ(drv->hostName, L"");
    EXPECT_EQ(drv->serverClsid.Data1, 0x01234567u);
    EXPECT_EQ(drv->serverClsid.Data4[7], 0x78);
}

struct ServerKeys {
    std::string lines;
    std::uint32_t flags;
    const wchar_t* hostName;
};

TEST_F(ParameterFileTest, HostAndSwitchesSetTheirFlags)
{
    const ServerKeys cases[] = {
        {"host=plant-pc\n", SyncIo, L"plant-pc"},
        {"host=\n", SyncIo, L""}, // a host without a name: the local machine, in synchronous mode
        {"sync=true\n", SyncIo, L""},
        {"sync=false\n", 0, L""},
        {"host=plant-pc\nsync=false\n", SyncIo, L"plant-pc"}, // flags are only ever set
        {"sync=false\nhost=plant-pc\n", SyncIo, L"plant-pc"},
        {"wait_running=true\n", WaitRunning, L""},
        {"wait_running=false\n", 0, L""},
        {"debug=true\n", Trace, L""},
        {"debug=false\n", 0, L""},
        {"sync=true\nwait_running=true\ndebug=true\n", SyncIo | WaitRunning | Trace, L""},
        {"host=" + Repeat('h', 259) + "\n", SyncIo, nullptr},
    };
    for (const ServerKeys& c : cases) {
        SCOPED_TRACE(c.lines);
        Renew();
        ASSERT_TRUE(Load(ParFile(c.lines, "1=a\n"))) << err;
        EXPECT_EQ(drv->flags.load(), c.flags);
        EXPECT_EQ(std::wstring(drv->hostName), c.hostName != nullptr ? c.hostName : std::wstring(259, L'h'));
    }
}

struct Seconds {
    std::string lines;
    std::uint32_t waitTimeMs;
    std::uint32_t updateRateMs;
};

TEST_F(ParameterFileTest, SecondsBecomeMillisecondsTruncatedTowardZero)
{
    const Seconds cases[] = {
        {"wait_time=2.5\n", 2500, 86400000},
        {"wait_time=0.0004\n", 0, 86400000},
        {"wait_time=1.9999\n", 1999, 86400000},
        {"wait_time=0\n", 0, 86400000},
        {"update_rate=0.5\n", 0, 500},
        {"update_rate=0\n", 0, 0},
        {"update_rate=86400\n", 0, 86400000}, // the same as no key: an inactive group
        {"update_rate=4294967.2945\n", 0, 4294967294u},
        {"wait_time=4294967.2949\nupdate_rate=1\n", 4294967294u, 1000},
    };
    for (const Seconds& c : cases) {
        SCOPED_TRACE(c.lines);
        Renew();
        ASSERT_TRUE(Load(ParFile(c.lines, "1=a\n"))) << err;
        EXPECT_EQ(drv->waitTimeMs, c.waitTimeMs);
        EXPECT_EQ(drv->updateRateMs, c.updateRateMs);
    }
}

// The same file must give the same times in every host, whatever x87 precision the host runs with.
TEST_F(ParameterFileTest, TimesAreExactUnderEveryPrecision)
{
    const Seconds cases[] = {
        {"wait_time=4.35\nupdate_rate=0.29\n", 4350, 290},
        {"wait_time=4294967.294\nupdate_rate=0.001\n", 4294967294u, 1},
        {"wait_time=1.9999\nupdate_rate=4.35e2\n", 1999, 435000},
    };
    for (const X87Precision& precision : kX87Precisions) {
        for (const Seconds& c : cases) {
            SCOPED_TRACE(std::string(precision.name) + ": " + c.lines);
            Renew();
            bool loaded = false;
            TempFile file(ParFile(c.lines, "1=a\n"));
            ASSERT_TRUE(file.IsWritten());
            UnderPrecision(precision, [&] {
                loaded = LoadParameterFile(*drv, kHostNameMax, file.Path().c_str(), kErrMax, err);
            });
            EXPECT_TRUE(loaded) << err;
            EXPECT_EQ(drv->waitTimeMs, c.waitTimeMs);
            EXPECT_EQ(drv->updateRateMs, c.updateRateMs);
        }
    }
}

// Keys the driver does not know are ignored, whatever their value and however often they are given;
// the known keys around them are read as usual.
TEST_F(ParameterFileTest, UnknownServerKeysAreIgnored)
{
    ASSERT_TRUE(Load(ParFile("vendor_option=maybe\nvendor_option=twice\nwait_time=2.5\ntimeout=-1\n"
                             "CLSID_backup={bad}\nsync_mode=x\nhost_name=\n",
                             "1=a\n")))
        << err;
    EXPECT_STREQ(err, kSentinel);
    EXPECT_EQ(drv->flags.load(), 0u);
    EXPECT_EQ(drv->waitTimeMs, 2500u);
    EXPECT_EQ(drv->updateRateMs, 86400000u);
    EXPECT_STREQ(drv->hostName, L"");
    EXPECT_EQ(drv->serverClsid.Data1, 0x01234567u);
}

TEST_F(ParameterFileTest, EntriesMakeScalarsAndRangesInFileOrder)
{
    ASSERT_TRUE(Load(ParFile("", "20=c\n1-5=a\n10=b\n6-6=d\n")));
    EXPECT_EQ(drv->channels.Count, 4u);
    EXPECT_EQ(Firsts(), (std::vector<std::uint32_t>{1, 6, 10, 20}));
    EXPECT_EQ(ItemIdOf(3), L"a");
    EXPECT_EQ(ItemIdOf(6), L"d");
    EXPECT_EQ(ItemIdOf(10), L"b");
    EXPECT_EQ(ItemIdOf(20), L"c");
    const Channel* range = FindChannel(drv->channels, 1);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->count, 5u);
    EXPECT_NE(range->elements, nullptr);
    const Channel* single = FindChannel(drv->channels, 6);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->count, 1u); // "6-6" is an array of one element, not a scalar
    EXPECT_NE(single->elements, nullptr);
    EXPECT_EQ(FindChannel(drv->channels, 20)->count, 0u);
}

TEST_F(ParameterFileTest, ScalarRightAfterARangeIsAccepted)
{
    ASSERT_TRUE(Load(ParFile("", "1-9=a\n10=b\n"))) << err;
    EXPECT_EQ(drv->channels.Count, 2u);
    EXPECT_EQ(FindChannel(drv->channels, 10)->count, 0u);
}

TEST_F(ParameterFileTest, ScalarAtTheTopIsAccepted)
{
    ASSERT_TRUE(Load(ParFile("", "4294967295=a\n0=b\n"))) << err;
    EXPECT_EQ(Firsts(), (std::vector<std::uint32_t>{0, 4294967295u}));
}

TEST_F(ParameterFileTest, ItemIdOf511CharactersAndEmptyItemIdAreKept)
{
    ASSERT_TRUE(Load(ParFile("", "1=" + Repeat('x', 511) + "\n2=\n"))) << err;
    EXPECT_EQ(ItemIdOf(1), std::wstring(511, L'x'));
    EXPECT_EQ(ItemIdOf(2), L"");
}

} // namespace
