#include <string>

#include <windows.h>

#include <gtest/gtest.h>

#include "bench/common/bench_timing.h"
#include "bench/common/message_pump.h"
#include "bench/common/trace_clock.h"

namespace {

// A message-only window whose one message sets a flag, as the driver's notification does.
constexpr UINT kSetFlag = WM_APP + 1;

LRESULT CALLBACK FlagWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kSetFlag) return DefWindowProcW(window, message, wParam, lParam);
    *reinterpret_cast<bool*>(lParam) = true;
    return 0;
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = FlagWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"BenchPumpTest";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"BenchPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (window != nullptr) DestroyWindow(window);
        UnregisterClassW(L"BenchPumpTest", GetModuleHandleW(nullptr));
    }
    HWND window = nullptr;
};

TEST_F(Pump, EndsWhenAPostedMessageSetsTheFlag)
{
    bool done = false;
    ASSERT_TRUE(PostMessageW(window, kSetFlag, 0, reinterpret_cast<LPARAM>(&done)));
    EXPECT_TRUE(PumpUntil(done, 60000));
    EXPECT_TRUE(done);
}

TEST_F(Pump, LeavesMessagesAfterTheOneThatSetTheFlag)
{
    bool done = false;
    bool later = false;
    ASSERT_TRUE(PostMessageW(window, kSetFlag, 0, reinterpret_cast<LPARAM>(&done)));
    ASSERT_TRUE(PostMessageW(window, kSetFlag, 0, reinterpret_cast<LPARAM>(&later)));
    EXPECT_TRUE(PumpUntil(done, 60000));
    EXPECT_FALSE(later) << "the next batch's notification must wait for its own pump";
    EXPECT_TRUE(PumpUntil(later, 60000));
}

TEST_F(Pump, ReturnsAtOnceWhenTheFlagAlreadyHolds)
{
    bool done = true;
    bool other = false;
    ASSERT_TRUE(PostMessageW(window, kSetFlag, 0, reinterpret_cast<LPARAM>(&other)));
    EXPECT_TRUE(PumpUntil(done, 0));
    EXPECT_FALSE(other);
    EXPECT_TRUE(PumpUntil(other, 60000));
}

TEST_F(Pump, FailsWhenNothingSetsTheFlagInTime)
{
    bool done = false;
    EXPECT_FALSE(PumpUntil(done, 0));
}

// The driver's texts as OutputDebugStringW writes them, with the line end of its trace.
void Trace(const wchar_t* text)
{
    OutputDebugStringW((std::wstring(text) + L"\r\n").c_str());
}

class TraceClock : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InstallTraceClock()); }
    void SetUp() override { ArmTraceClock(); }
};

struct CallLines {
    const wchar_t* start;
    const wchar_t* end;
};

class TraceClockCalls : public TraceClock, public ::testing::WithParamInterface<CallLines> {};

TEST_P(TraceClockCalls, OpenTheWindowAtTheCallAndCloseItAtItsEnd)
{
    Trace(GetParam().start);
    double between = NowMs();
    EXPECT_FALSE(TakeCallWindow().complete);
    Trace(GetParam().end);
    CallWindow window = TakeCallWindow();
    ASSERT_TRUE(window.complete);
    EXPECT_LE(window.startMs, between);
    EXPECT_GE(window.endMs, between);
}

INSTANTIATE_TEST_SUITE_P(
    DriverTexts, TraceClockCalls,
    ::testing::Values(CallLines{L"IOPCAsyncIO2->Read(...)", L"IOPCDataCallback->OnReadComplete(...)"},
                      CallLines{L"IOPCAsyncIO2->Write(...)", L"IOPCDataCallback->OnWriteComplete(...)"},
                      CallLines{L"IOPCSyncIO->Read( OPC_DS_DEVICE, ...)", L"IOPCSyncIO->Read() returned"},
                      CallLines{L"IOPCSyncIO->Read( OPC_DS_CACHE, ...)", L"IOPCSyncIO->Read() returned"},
                      CallLines{L"IOPCSyncIO->Write(...)", L"IOPCSyncIO->Write() returned"}));

TEST_F(TraceClock, AnEndBeforeAnyStartIsNoWindow)
{
    Trace(L"IOPCDataCallback->OnReadComplete(...)");
    EXPECT_FALSE(TakeCallWindow().complete);
}

TEST_F(TraceClock, OtherLinesNeitherOpenNorCloseIt)
{
    Trace(L"InputRequestCompleted: hr = S_FALSE (ItemId = Bench.T000001)");
    Trace(L"IOPCAsyncIO2->Read(...) and more");
    EXPECT_FALSE(TakeCallWindow().complete);
    Trace(L"IOPCAsyncIO2->Read(...)");
    Trace(L"ItemReadComplete: VariantToValue failed (ItemId = Bench.T000001)");
    EXPECT_FALSE(TakeCallWindow().complete);
}

TEST_F(TraceClock, TheFirstStartAndTheFirstEndCount)
{
    Trace(L"IOPCAsyncIO2->Read(...)");
    double afterFirstStart = NowMs();
    Trace(L"IOPCAsyncIO2->Read(...)");
    Trace(L"IOPCDataCallback->OnReadComplete(...)");
    double afterFirstEnd = NowMs();
    Trace(L"IOPCDataCallback->OnReadComplete(...)");
    CallWindow window = TakeCallWindow();
    ASSERT_TRUE(window.complete);
    EXPECT_LE(window.startMs, afterFirstStart);
    EXPECT_LE(window.endMs, afterFirstEnd);
}

TEST_F(TraceClock, ArmingForgetsTheLastBatch)
{
    Trace(L"IOPCSyncIO->Write(...)");
    Trace(L"IOPCSyncIO->Write() returned");
    ASSERT_TRUE(TakeCallWindow().complete);
    ArmTraceClock();
    EXPECT_FALSE(TakeCallWindow().complete);
}

} // namespace
