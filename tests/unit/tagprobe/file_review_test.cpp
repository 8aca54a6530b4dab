// The review of a parameter file without a server: where the driver's reader and checks refuse or
// ignore something, at which line, and what the driver does with each accepted key.
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/temp_file.h"
#include "tools/tagprobe/file_review.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/text_convert.h"

namespace {

constexpr char kClsidLine[] = "CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n";

struct Expected {
    std::uint32_t line;
    FindingLevel level;
    std::string text;
};

std::vector<Expected> Review(const std::string& text, FileReview& review)
{
    TempFile file(text);
    EXPECT_TRUE(file.IsWritten());
    ReviewParameterFile(file.Path(), review);
    std::vector<Expected> found;
    for (const auto& finding : review.findings)
        found.push_back(Expected{finding.line, finding.level, Utf8FromWide(finding.text)});
    return found;
}

std::vector<Expected> WithoutNotes(const std::vector<Expected>& all)
{
    std::vector<Expected> kept;
    for (const auto& e : all)
        if (e.level != FindingLevel::Note) kept.push_back(e);
    return kept;
}

void ExpectFindings(const std::vector<Expected>& found, const std::vector<Expected>& expected)
{
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(found[i].line, expected[i].line);
        EXPECT_EQ(found[i].level, expected[i].level);
        EXPECT_EQ(found[i].text, expected[i].text);
    }
}

TEST(ReviewParameterFile, KeysAndSectionsTheDriverDoesNotReadAreWarningsAtTheirLines)
{
    FileReview review;
    std::vector<Expected> found = Review(std::string("; plant\r\n[server]\r\n") + kClsidLine +
                                             "udpate_rate = 0.5\r\n" // 4
                                             "colour = blue\r\n"     // 5
                                             "7 = Plant.Pump\r\n"    // 6
                                             "[chanels\r\n"          // 7
                                             "[channels]\r\n"        // 8
                                             "1 = Plant.Level\r\n"   // 9
                                             "[Sever]\r\n"           // 10
                                             "wait_time = 2\r\n"     // 11
                                             "[server]\r\n"          // 12
                                             "= 0.5\r\n",            // 13
                                         review);
    ExpectFindings(
        WithoutNotes(found),
        {
            {4, FindingLevel::Warning, "udpate_rate: not a key the driver reads; did you mean update_rate?"},
            {5, FindingLevel::Warning, "colour: not a key the driver reads; it is ignored"},
            {6, FindingLevel::Warning,
             "7: a channel in [server]; the driver reads channels only in [channels], so the runtime gets "
             "\"no "
             "channel\" for it"},
            {7, FindingLevel::Warning,
             "[chanels: not a section header (no closing bracket); the driver takes it for a key of [server] "
             "and "
             "ignores it"},
            {10, FindingLevel::Warning,
             "[Sever]: a section the driver does not read; its 1 entry is ignored; did you mean [server]?"},
            {11, FindingLevel::Warning,
             "wait_time: a key of [server], in [Sever], which the driver does not read"},
            {13, FindingLevel::Warning, "a line without a key (it starts with \"=\"); the driver ignores it"},
        });
    EXPECT_TRUE(review.serverAccepted);
    ASSERT_EQ(review.channels.size(), 1u);
    EXPECT_EQ(review.channels[0].line, 9u);
    EXPECT_EQ(review.channels[0].itemId, L"Plant.Level");
}

TEST(ReviewParameterFile, EveryRefusalOfTheDriverIsAnErrorWithTheDriversTextAndTheReviewGoesOn)
{
    FileReview review;
    std::vector<Expected> found = Review(std::string("[server]\r\n") + kClsidLine +
                                             "debug = maybe\r\n"    // 3
                                             "wait_time = -1\r\n"   // 4
                                             "update_rate = 1\r\n"  // 5
                                             "update_rate = 2\r\n"  // 6
                                             "[channels]\r\n"       // 7
                                             "7x = A\r\n"           // 8
                                             "1-5 = B\r\n"          // 9
                                             "3 = C\r\n"            // 10
                                             "19-10 = D\r\n"        // 11
                                             "wait_running = E\r\n" // 12
                                             "20 = F\r\n",          // 13
                                         review);
    ExpectFindings(
        WithoutNotes(found),
        {
            {3, FindingLevel::Error, "debug: Wrong value in [server] section of PAR file"},
            {4, FindingLevel::Error,
             "wait_time: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"},
            {6, FindingLevel::Error, "update_rate: Duplicate key in [server] section of PAR file"},
            {8, FindingLevel::Error, "7x: Wrong channel number in [channels] section of PAR file"},
            {10, FindingLevel::Error, "3: Duplicate channel number in [channels] section of PAR file"},
            {11, FindingLevel::Error, "19-10: Illegal range of array indexes"},
            {12, FindingLevel::Error,
             "wait_running: Wrong channel number in [channels] section of PAR file (wait_running is a key of "
             "[server])"},
        });
    // The channels the driver accepted, with their lines, for the look at the server.
    ASSERT_EQ(review.channels.size(), 2u);
    EXPECT_EQ(review.channels[0].first, 1u);
    EXPECT_EQ(review.channels[0].count, 5u);
    EXPECT_EQ(review.channels[0].line, 9u);
    EXPECT_EQ(review.channels[1].first, 20u);
    EXPECT_EQ(review.channels[1].line, 13u);
}

TEST(ReviewParameterFile, AcceptedKeysGetNotesWithTheResolvedModeAndTimesInMilliseconds)
{
    FileReview review;
    std::vector<Expected> found = Review(std::string("[server]\r\n") + kClsidLine +
                                             "wait_time = 2.5\r\n"   // 3
                                             "update_rate = 0.5\r\n" // 4
                                             "batch_timeout = 5\r\n" // 5
                                             "reconnect = 10\r\n"    // 6
                                             "sync = yes\r\n"        // 7
                                             "[channels]\r\n1 = A\r\n",
                                         review);
    ExpectFindings(
        found, {
                   {1, FindingLevel::Note,
                    "mode: synchronous mode (a worker thread with IOPCSyncIO), the file asks for it"},
                   {2, FindingLevel::Note,
                    "CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}: the server the driver connects to"},
                   {3, FindingLevel::Note,
                    "wait_time = 2.5: a pause of 2500 ms after the server object is created, before its "
                    "first status "
                    "query"},
                   {4, FindingLevel::Note,
                    "update_rate = 0.5: the group is active with a requested update rate of 500 ms: the "
                    "server refreshes "
                    "its cache at that rate and synchronous reads come from the cache (OPC_DS_CACHE); "
                    "asynchronous reads "
                    "always go to the device"},
                   {5, FindingLevel::Note,
                    "batch_timeout = 5: a batch that the server has not answered within 5000 ms ends as "
                    "failed, in both "
                    "modes (without the key: 30000 ms)"},
                   {6, FindingLevel::Note,
                    "reconnect = 10: an instance that loses its server tries the whole connection again "
                    "every 10000 ms"},
                   {7, FindingLevel::Note, "sync = yes: synchronous mode (a worker thread with IOPCSyncIO)"},
               });
    EXPECT_EQ(CountFindings(review.findings, FindingLevel::Warning), 0u);
}

// The text is the loader's own, whatever it says: the review only carries it.
TEST(ReviewParameterFile, WhatTheDriverRefusesAsAWholeIsOneErrorForTheFileWithTheLoadersText)
{
    const std::string texts[] = {
        "[channels]\r\n1 = A\r\n",                                   // no [server]
        std::string("[server]\r\n") + kClsidLine,                    // no [channels]
        std::string("[server]\r\n") + kClsidLine + "[channels]\r\n", // no channel
        "1 = A\r\n[server]\r\n",                                     // an entry before any section
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        TempFile file(text);
        ParamListing listing;
        std::wstring loaderText;
        ASSERT_FALSE(ReadParamListing(file.Path(), listing, loaderText));
        ASSERT_FALSE(loaderText.empty());
        FileReview review;
        std::vector<Expected> found = WithoutNotes(Review(text, review));
        ExpectFindings(found, {{0, FindingLevel::Error, Utf8FromWide(loaderText)}});
    }
}

// One key at a time after the CLSID: the note on its line (3) and the mode on the [server] line (1).
TEST(ReviewParameterFile, EachAcceptedKeysNoteSaysWhatTheDriverDoesWithIt)
{
    struct Case {
        const char* line;
        const char* mode;
        const char* note;
    };
    const char* async =
        "mode: asynchronous (IOPCAsyncIO2, results in the runtime's thread); synchronous when the "
        "server's group offers no IOPCAsyncIO2";
    const Case cases[] = {
        {"host = plant-pc",
         "mode: synchronous mode (a worker thread with IOPCSyncIO), the file names the host plant-pc",
         "host = plant-pc: the server on plant-pc (remote activation), in synchronous mode (a worker thread "
         "with "
         "IOPCSyncIO)"},
        {"host =", "mode: synchronous mode (a worker thread with IOPCSyncIO), the file asks for it",
         "host, empty: the server on this machine, in synchronous mode (a worker thread with IOPCSyncIO)"},
        {"sync = off", async,
         "sync = off: false: no effect (the driver never clears a mode the file selects)"},
        {"wait_running = yes", async,
         "wait_running = yes: Init waits up to 15000 ms for a server that reports that it is not yet "
         "configured"},
        {"debug = 1", async,
         "debug = 1: the driver writes trace lines to the debugger output (tagprobe --trace shows them)"},
        {"wait_time = 0.0004", async, "wait_time = 0.0004: no pause"},
        {"update_rate = 86400", async,
         "update_rate = 86400: 86400 s is the driver's \"no update rate\": the group is inactive, "
         "synchronous "
         "reads go to the device (OPC_DS_DEVICE)"},
        {"reconnect = 0", async, "reconnect = 0: off: an instance that loses its server stays without it"},
        {"subscribe = yes", async,
         "subscribe = yes: read batches are answered from the server's data changes, without a call to the "
         "server; the group is active at 1000 ms (1000 ms when the file sets no update_rate); after 10000 ms "
         "without any call the driver asks the server for its status, so a server that dies silently is "
         "noticed"},
        {"subscribe = no", async, "subscribe = no: false: every read batch is a call to the server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        FileReview review;
        std::vector<Expected> found =
            Review(std::string("[server]\r\n") + kClsidLine + c.line + "\r\n[channels]\r\n1 = A\r\n", review);
        ASSERT_EQ(found.size(), 3u);
        EXPECT_EQ(found[0].text, c.mode);
        EXPECT_EQ(found[2].line, 3u);
        EXPECT_EQ(found[2].level, FindingLevel::Note);
        EXPECT_EQ(found[2].text, c.note);
    }
}

// The status query comes after reconnect's time without a call, else after ten times the update rate.
TEST(ReviewParameterFile, TheSubscriptionNoteNamesTheGroupsRateAndTheSilenceBeforeAStatusQuery)
{
    struct Case {
        const char* lines;
        const char* rate;
        const char* silence;
    };
    const Case cases[] = {
        {"update_rate = 0.25\r\nsubscribe = 1\r\n", "the group is active at 250 ms (",
         "after 2500 ms without"},
        {"update_rate = 0.25\r\nreconnect = 5\r\nsubscribe = 1\r\n", "the group is active at 250 ms (",
         "after 5000 ms without"},
        {"update_rate = 86400\r\nsubscribe = 1\r\n", "the group is active at 1000 ms (",
         "after 10000 ms without"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        FileReview review;
        std::vector<Expected> found =
            Review(std::string("[server]\r\n") + kClsidLine + c.lines + "[channels]\r\n1 = A\r\n", review);
        ASSERT_FALSE(found.empty());
        const std::string& note = found.back().text;
        EXPECT_EQ(note.compare(0, 13, "subscribe = 1"), 0) << note;
        EXPECT_NE(note.find(c.rate), std::string::npos) << note;
        EXPECT_NE(note.find(c.silence), std::string::npos) << note;
    }
}

// 4.35 lies just below 4.35 as a double: a plain product with 1000 cut to 4349 ms, the driver takes 4350.
TEST(ReviewParameterFile, EveryTimeIsTheDriversOwnMillisecondsOfTheSeconds)
{
    FileReview review;
    std::vector<Expected> found = Review(std::string("[server]\r\n") + kClsidLine +
                                             "wait_time = 4.35\r\n"     // 3
                                             "update_rate = 4.35\r\n"   // 4
                                             "batch_timeout = 4.35\r\n" // 5
                                             "reconnect = 4.35\r\n"     // 6
                                             "[channels]\r\n1 = A\r\n",
                                         review);
    ASSERT_EQ(found.size(), 6u);
    const char* expected[] = {
        "wait_time = 4.35: a pause of 4350 ms after",
        "update_rate = 4.35: the group is active with a requested update rate of 4350 ms:",
        "batch_timeout = 4.35: a batch that the server has not answered within 4350 ms ends",
        "reconnect = 4.35: an instance that loses its server tries the whole connection again every 4350 ms",
    };
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(found[i + 2].line, i + 3);
        EXPECT_EQ(found[i + 2].text.compare(0, std::strlen(expected[i]), expected[i]), 0)
            << found[i + 2].text;
    }
    // Just below the limit as written, but the driver's microseconds reach 4294967295 ms: the driver's
    // own refusal, at its line.
    found = Review(std::string("[server]\r\n") + kClsidLine +
                       "batch_timeout = 4294967.2949999\r\n[channels]\r\n1 = A\r\n",
                   review);
    ExpectFindings(
        WithoutNotes(found),
        {{3, FindingLevel::Error,
          "batch_timeout: Time out of range (0 to 4294967.294 seconds) in [server] section of PAR file"}});
    found = Review(std::string("[server]\r\n") + kClsidLine +
                       "reconnect = 4294967.294\r\n[channels]\r\n1 = A\r\n",
                   review);
    EXPECT_EQ(found.back().text, "reconnect = 4294967.294: an instance that loses its server tries the whole "
                                 "connection again every 4294967294 ms");
}

TEST(ReviewParameterFile, ASupervisionTimeThatIsNoNumberOfSecondsIsTheDriversRefusal)
{
    FileReview review;
    std::vector<Expected> found = Review(
        std::string("[server]\r\n") + kClsidLine + "reconnect = soon\r\n[channels]\r\n1 = A\r\n", review);
    ExpectFindings(WithoutNotes(found),
                   {{3, FindingLevel::Error, "reconnect: Wrong value in [server] section of PAR file"}});
}

TEST(ReviewParameterFile, ABadClsidEndsTheReviewOfServerAtItsLine)
{
    FileReview review;
    std::vector<Expected> found =
        Review("[server]\r\nwait_time = 1\r\nCLSID = {not-a-clsid}\r\n[channels]\r\n1 = A\r\n", review);
    ExpectFindings(found, {{3, FindingLevel::Error, "Error in server CLSID specified in PAR file"}});
    EXPECT_FALSE(review.serverAccepted);
    EXPECT_EQ(review.channels.size(), 1u);
}

} // namespace
