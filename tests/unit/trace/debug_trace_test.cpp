#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "config/param_file.h"
#include "driver/debug_trace.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "tests/support/allocator_squeeze.h"
#include "tests/support/temp_file.h"
#include "tests/support/trace_capture.h"
#include "tests/support/leak_check.h"

namespace {

using Lines = std::vector<std::wstring>;

constexpr wchar_t kRead[] = L"IOPCAsyncIO2->Read(...)";
constexpr wchar_t kFailed[] = L"ItemReadComplete: VariantToValue failed";

// Every test owns a capture and a table with one channel that has an ItemId and one that has none.
class DebugTraceTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        ASSERT_TRUE(capture.IsInstalled());
        ASSERT_TRUE(AddChannel(table, 7, 0, L"Random.Int4"));
        ASSERT_TRUE(AddChannel(table, 8, 0, L""));
    }
    void TearDown() override
    {
        table.Clear();
        LeakCheckedTest::TearDown();
    }

    TraceCapture capture;
    ChannelTable table;
};

// The capture itself, proven with a known text before it is trusted with the driver's lines.
TEST_F(DebugTraceTest, CaptureSeesAKnownText)
{
    OutputDebugStringW(L"known text\r\n");
    EXPECT_EQ(capture.Take(), (Lines{L"known text\r\n"}));
    EXPECT_EQ(capture.Take(), Lines{});
}

TEST_F(DebugTraceTest, LineWithoutChannelIsTheTextAndALineBreak)
{
    DebugTrace(nullptr, 23, kRead);
    EXPECT_EQ(capture.Take(), (Lines{L"IOPCAsyncIO2->Read(...)\r\n"}));
}

TEST_F(DebugTraceTest, ChannelFailureNamesTheItemId)
{
    DebugTrace(FindChannel(table, 7), 39, kFailed);
    EXPECT_EQ(capture.Take(), (Lines{L"ItemReadComplete: VariantToValue failed (ItemId = Random.Int4)\r\n"}));
}

TEST_F(DebugTraceTest, ChannelWithoutItemIdGivesTheBareText)
{
    DebugTrace(FindChannel(table, 8), 39, kFailed);
    Channel noId; // never had an ItemId assigned
    DebugTrace(&noId, 39, kFailed);
    EXPECT_EQ(capture.Take(), (Lines{L"ItemReadComplete: VariantToValue failed\r\n",
                                     L"ItemReadComplete: VariantToValue failed\r\n"}));
}

TEST_F(DebugTraceTest, OnlyTheGivenLengthOfTheTextIsWritten)
{
    DebugTrace(nullptr, 12, kRead);
    EXPECT_EQ(capture.Take(), (Lines{L"IOPCAsyncIO2\r\n"}));
}

// The line's string starts with room for 128 characters and must grow past it.
TEST_F(DebugTraceTest, LongTextAndLongItemIdAreWrittenWhole)
{
    std::wstring text(300, L't');
    std::wstring itemId(511, L'i');
    ASSERT_TRUE(AddChannel(table, 9, 0, itemId.c_str()));
    DebugTrace(FindChannel(table, 9), 300, text.c_str());
    EXPECT_EQ(capture.Take(), (Lines{text + L" (ItemId = " + itemId + L")\r\n"}));
}

TEST_F(DebugTraceTest, WithoutMemoryNothingIsWritten)
{
    auto squeeze = std::make_unique<AllocatorSqueeze>();
    bool squeezed = squeeze->Squeeze();
    DebugTrace(FindChannel(table, 7), 39, kFailed);
    squeeze->Release();
    ASSERT_TRUE(squeezed);
    EXPECT_EQ(capture.Take(), Lines{});
}

struct DebugKey {
    const char* line;
    bool traced;
};

// The instance's trace follows the "debug" key of its parameter file.
TEST_F(DebugTraceTest, EmitTraceWritesOnlyWhenTheFileSetsDebug)
{
    const DebugKey cases[] = {{"", false}, {"debug=false\n", false}, {"debug=true\n", true}};
    for (const DebugKey& c : cases) {
        SCOPED_TRACE(c.line);
        OpcDriver* drv = MakeDriverRecord();
        ASSERT_NE(drv, nullptr);
        TempFile file(std::string("[server]\nCLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\n") + c.line +
                      "[channels]\n7=Random.Int4\n");
        wchar_t err[128] = {};
        bool loaded = LoadParameterFile(*drv, kHostNameMax, file.Path().c_str(), 127, err);
        EmitTrace(*drv, nullptr, 23, kRead);
        EmitTrace(*drv, FindChannel(drv->channels, 7), 39, kFailed);
        drv->channels.Clear();
        FreeDriverRecord(drv);
        ASSERT_TRUE(loaded) << err;
        Lines expected;
        if (c.traced)
            expected = {L"IOPCAsyncIO2->Read(...)\r\n",
                        L"ItemReadComplete: VariantToValue failed (ItemId = Random.Int4)\r\n"};
        EXPECT_EQ(capture.Take(), expected);
    }
}

} // namespace
