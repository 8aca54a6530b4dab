// watch --subscribe's file: the user's file when it subscribes already, else a copy with subscribe = true
// in [server] that the driver's own reader loads with every other line as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/temp_file.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/subscribed_file.h"
#include "tools/tagprobe/text_convert.h"

namespace {

constexpr char kClsidLine[] = "CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n";

struct PlanCase {
    std::string text;
    SubscribeKey key;
    std::string copy; // the copy's text; empty when no copy is made
};

TEST(PlanSubscribedCopy, AddsTheKeyBelowTheFirstServerHeaderOrMakesItsValueTrue)
{
    std::string clsid = kClsidLine;
    const PlanCase cases[] = {
        {"[server]\r\n" + clsid + "[channels]\r\n1 = A\r\n", SubscribeKey::Absent,
         "[server]\r\nsubscribe = true\r\n" + clsid + "[channels]\r\n1 = A\r\n"},
        // The file's own line breaks stay, blanks and case in the header too.
        {"; plant\n  [ Server ]  \nupdate_rate = 0.5\n[channels]\n1 = A", SubscribeKey::Absent,
         "; plant\n  [ Server ]  \r\nsubscribe = true\nupdate_rate = 0.5\n[channels]\n1 = A"},
        // Repeated headers form one section: the first one takes the key.
        {"[channels]\r\n1 = A\r\n[server]\r\nhost =\r\n[server]\r\n" + clsid, SubscribeKey::Absent,
         "[channels]\r\n1 = A\r\n[server]\r\nsubscribe = true\r\nhost =\r\n[server]\r\n" + clsid},
        {"[channels]\r\n1 = A\r\n[server]", SubscribeKey::Absent,
         "[channels]\r\n1 = A\r\n[server]\r\nsubscribe = true"},
        {"[server]\r\n" + clsid + "Subscribe =   no  \r\n[channels]\r\n1 = A\r\n", SubscribeKey::Off,
         "[server]\r\n" + clsid + "Subscribe =   true  \r\n[channels]\r\n1 = A\r\n"},
        {"[server]\r\n" + clsid + "SUBSCRIBE = Yes\r\n[channels]\r\n1 = A\r\n", SubscribeKey::On, ""},
        // What the driver refuses runs as it is, so that Init names the fault in the user's own file.
        {"[server]\r\nsubscribe = 1\r\nsubscribe = 1\r\n", SubscribeKey::Refused, ""},
        {"[server]\r\nsubscribe = maybe\r\n", SubscribeKey::Refused, ""},
        {"[channels]\r\n1 = A\r\n[option]\r\nsubscribe = 1\r\n", SubscribeKey::Refused, ""},
        {"1 = A\r\n[server]\r\n", SubscribeKey::Refused, ""},
        {std::string("[server]\0\r\n", 11), SubscribeKey::Refused, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TempFile file(c.text);
        ASSERT_TRUE(file.IsWritten());
        SubscribedCopy plan = PlanSubscribedCopy(file.Path());
        EXPECT_EQ(plan.key, c.key);
        EXPECT_EQ(Utf8FromWide(plan.text), c.copy);
    }
    EXPECT_EQ(PlanSubscribedCopy(L"Z:\\no\\such\\plant.par").key, SubscribeKey::Refused);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// UTF-16 with a mark and an ItemId outside ASCII: the copy is UTF-8, and the driver's reader must see the
// same channels in it, with the subscription and its rate.
TEST(PrepareSubscribedFile, TheCopyLoadsWithTheSameChannelsAndIsDeletedOnRelease)
{
    std::wstring text = L"[server]\r\nCLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n[channels]\r\n"
                        L"1 = Pl\x00E4nt.Level\r\n10-12 = Plant.Profile\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>(ch >> 8);
    }
    TempFile file(bytes);
    ASSERT_TRUE(file.IsWritten());
    SubscribedFile prepared;
    std::wstring note;
    std::wstring error;
    ASSERT_TRUE(PrepareSubscribedFile(file.Path(), prepared, note, error)) << Utf8FromWide(error);
    EXPECT_NE(prepared.copy, file.Path());
    EXPECT_EQ(prepared.path, prepared.copy);
    EXPECT_EQ(
        note,
        L"note: " + file.Path() +
            L" does not set subscribe in [server]; the driver loads a copy of it with subscribe = true");

    ParamListing listing;
    ASSERT_TRUE(ReadParamListing(prepared.path, listing, error)) << Utf8FromWide(error);
    EXPECT_TRUE(listing.subscribe);
    EXPECT_EQ(listing.updateRateMs, 1000u);
    ASSERT_EQ(listing.channels.size(), 2u);
    EXPECT_EQ(listing.channels[0].itemId, L"Pl\x00E4nt.Level");
    EXPECT_EQ(listing.channels[1].first, 10u);
    EXPECT_EQ(listing.channels[1].count, 3u);
    ASSERT_TRUE(ReadParamListing(file.Path(), listing, error));
    EXPECT_FALSE(listing.subscribe) << "the user's file was written";

    std::wstring copy = prepared.copy;
    ReleaseSubscribedFile(prepared);
    EXPECT_FALSE(Exists(copy));
    EXPECT_TRUE(prepared.copy.empty());
    ReleaseSubscribedFile(prepared);
    EXPECT_TRUE(Exists(file.Path())) << "a second release deleted another file";
}

TEST(PrepareSubscribedFile, AFileThatSubscribesOrThatTheDriverRefusesRunsAsItIs)
{
    const std::string texts[] = {
        std::string("[server]\r\n") + kClsidLine + "subscribe = on\r\n[channels]\r\n1 = A\r\n",
        "[server]\r\nsubscribe = maybe\r\n[channels]\r\n1 = A\r\n",
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        TempFile file(text);
        ASSERT_TRUE(file.IsWritten());
        SubscribedFile prepared;
        std::wstring note = L"sentinel";
        std::wstring error;
        ASSERT_TRUE(PrepareSubscribedFile(file.Path(), prepared, note, error));
        EXPECT_EQ(prepared.path, file.Path());
        EXPECT_TRUE(prepared.copy.empty());
        EXPECT_EQ(note, L"");
        ReleaseSubscribedFile(prepared);
        EXPECT_TRUE(Exists(file.Path())) << "the release deleted the user's file";
    }
}

} // namespace
