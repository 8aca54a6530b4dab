// The batch road against a scripted stand-in for the driver: notifications arrive only through this
// thread's message dispatch, as the driver's do, so these tests show that tagprobe waits the runtime's
// way, stops waiting when a failed issue has finished everything, and survives late notifications.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "convert/value_payload.h"
#include "tools/tagprobe/batch.h"

namespace {

constexpr UINT kFinishMessage = WM_APP + 1; // wParam: kind; lParam: 1 finishes the batch, 0 only notifies

enum class Script { CompleteLater, FailAtIssue, NeverComplete, StaleThenComplete };

// The stand-in's state; the exports below are plain functions, as the DLL's are.
struct FakeDriver {
    Script script = Script::CompleteLater;
    NotifyFn callback = nullptr;
    std::uint32_t userData = 0;
    HWND window = nullptr;
    std::vector<std::uint32_t> requested;
    std::map<std::uint32_t, std::uint32_t> finished; // channel -> status
    std::map<std::uint32_t, HostValue> written;
    std::uint32_t refusedChannel = 0xFFFFFFFFu; // GetInput3 writes nothing for it
    bool deliversTextOnly = false;
    std::wstring initName;
    int doneCalls = 0;
    int disposeCalls = 0;
};

FakeDriver fake;

LRESULT CALLBACK FakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kFinishMessage) return DefWindowProcW(window, message, wParam, lParam);
    if (lParam != 0)
        for (std::uint32_t channel : fake.requested)
            fake.finished[channel] = channel == 3 ? 2u : 0u; // channel 3 always fails
    fake.callback(fake.userData, static_cast<std::uint32_t>(wParam), 0);
    return 0;
}

void __cdecl FakeRequest(DriverHandle, std::uint32_t channel)
{
    fake.requested.push_back(channel);
}
void __cdecl FakeOutputRequest(DriverHandle, std::uint32_t channel, HostValue value)
{
    fake.requested.push_back(channel);
    fake.written[channel] = value;
}

void Issue(std::uint32_t kind)
{
    switch (fake.script) {
    case Script::CompleteLater:
        PostMessageW(fake.window, kFinishMessage, kind, 1);
        break;
    case Script::FailAtIssue:
        for (std::uint32_t channel : fake.requested)
            fake.finished[channel] = 2;
        break;
    case Script::NeverComplete:
        break;
    case Script::StaleThenComplete:
        PostMessageW(fake.window, kFinishMessage, kind, 0);
        PostMessageW(fake.window, kFinishMessage, kind, 1);
        break;
    }
}

void __cdecl FakeInputCompleted(DriverHandle)
{
    Issue(kReadKind);
}
void __cdecl FakeOutputCompleted(DriverHandle)
{
    Issue(kWriteKind);
}

BOOL __cdecl FakeFinalized(DriverHandle, std::uint32_t channel, std::uint32_t* status)
{
    auto found = fake.finished.find(channel);
    if (found == fake.finished.end()) return FALSE;
    *status = found->second;
    return TRUE;
}

void __cdecl FakeGetInput3(DriverHandle, std::uint32_t channel, HostValue* value, std::uint32_t* quality,
                           HostTimestamp* timestamp)
{
    *timestamp = HostTimestamp{49530250, 17, 5, 2024};
    bool text = value->type == TypeText || value->type == TypeWText;
    if (channel == fake.refusedChannel || (fake.deliversTextOnly && !text)) {
        *quality = 0;
        return;
    }
    *quality = 750;
    if (value->type == TypeF64) WritePayload(*value, 2.5);
    if (value->type == TypeU32) WritePayload(*value, channel);
    if (text) { // the session under test uses the W exports: text arrives as UTF-16
        wchar_t* buffer =
            reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(ReadPayload<std::uint32_t>(*value)));
        wcscpy(buffer, L"Tank");
    }
}

DriverHandle __cdecl FakeMake()
{
    return &fake;
}
void __cdecl FakeDone(DriverHandle)
{
    ++fake.doneCalls;
}
void __cdecl FakeDispose(DriverHandle)
{
    ++fake.disposeCalls;
}

BOOL __cdecl FakeInitW(DriverHandle, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax,
                       wchar_t* err, std::uint32_t, std::uint32_t, std::uint32_t userData, NotifyFn callback)
{
    fake.initName.assign(name, nameMax);
    fake.userData = userData;
    fake.callback = callback;
    bool fail = fake.initName == L"broken.par";
    if (fail && errMax >= 5) wcscpy(err, L"Nope!");
    return fail ? FALSE : TRUE;
}

BOOL __cdecl FakeInitA(DriverHandle driver, std::uint32_t nameMax, const char* name, std::uint32_t errMax,
                       char* err, std::uint32_t, std::uint32_t, std::uint32_t userData, NotifyFn callback)
{
    std::wstring wide(name, name + nameMax);
    wchar_t wideErr[64] = {};
    BOOL ok = FakeInitW(driver, static_cast<std::uint32_t>(wide.size()), wide.c_str(), 63, wideErr, 0, 0,
                        userData, callback);
    for (std::uint32_t i = 0; i <= errMax && i < 64; ++i)
        err[i] = static_cast<char>(wideErr[i]);
    return ok;
}

class FakeDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeDriver{};
        WNDCLASSW wc{};
        wc.lpfnWndProc = FakeWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"tagprobe_fake_driver";
        RegisterClassW(&wc);
        fake.window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, nullptr);
        ASSERT_NE(fake.window, nullptr);
        lib.wide = true;
        lib.makeDriver = FakeMake;
        lib.disposeDriver = FakeDispose;
        lib.initW = FakeInitW;
        lib.done = FakeDone;
        lib.inputRequest = FakeRequest;
        lib.inputRequestCompleted = FakeInputCompleted;
        lib.inputFinalized = FakeFinalized;
        lib.getInput3 = FakeGetInput3;
        lib.outputRequest = FakeOutputRequest;
        lib.outputRequestCompleted = FakeOutputCompleted;
        lib.outputFinalized = FakeFinalized;
        std::wstring error;
        ASSERT_TRUE(StartSession(lib, L"plant.par", session, error));
    }

    void TearDown() override
    {
        EndSession(session);
        DestroyWindow(fake.window);
    }

    std::vector<ChannelReading> Read(const std::vector<ReadRequest>& requests, std::uint32_t timeoutMs,
                                     BatchEnd& end)
    {
        std::vector<ChannelReading> readings;
        end = RunReadBatch(session, requests, timeoutMs, nullptr, readings);
        return readings;
    }

    DriverLibrary lib;
    DriverSession session;
};

TEST_F(FakeDriverTest, ReadWaitsForTheNotificationAndFetchesEachValue)
{
    BatchEnd end = BatchEnd::TimedOut;
    auto readings = Read({{1, TypeF64}, {3, TypeF64}, {7, TypeU32}}, 60000, end);
    EXPECT_EQ(end, BatchEnd::Finished);
    EXPECT_EQ(session.notifications[kReadKind], 1);
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_TRUE(IsGoodReading(readings[0]));
    EXPECT_EQ(readings[0].value, L"2.5");
    EXPECT_EQ(readings[0].quality, 750u);
    EXPECT_EQ(readings[0].timestamp.msOfDay, 49530250u);
    EXPECT_TRUE(readings[1].finished);
    EXPECT_EQ(readings[1].status, 2u);
    EXPECT_FALSE(readings[1].delivered) << "a failed channel's value was fetched";
    EXPECT_EQ(readings[2].value, L"7");
}

TEST_F(FakeDriverTest, AFailedIssueIsFinalWithoutANotification)
{
    fake.script = Script::FailAtIssue;
    BatchEnd end = BatchEnd::TimedOut;
    // A wait for a notification that never comes would end in TimedOut.
    auto readings = Read({{1, TypeF64}, {2, TypeF64}}, 30000, end);
    EXPECT_EQ(end, BatchEnd::Finished);
    EXPECT_EQ(session.notifications[kReadKind], 0);
    for (const auto& reading : readings) {
        EXPECT_TRUE(reading.finished);
        EXPECT_EQ(reading.status, 2u);
    }
}

TEST_F(FakeDriverTest, ABatchThatNeverCompletesEndsAtTheTimeoutUnfinished)
{
    fake.script = Script::NeverComplete;
    BatchEnd end = BatchEnd::Finished;
    auto readings = Read({{1, TypeF64}}, 50, end);
    EXPECT_EQ(end, BatchEnd::TimedOut);
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_FALSE(readings[0].finished);
    EXPECT_FALSE(IsGoodReading(readings[0]));
}

TEST_F(FakeDriverTest, ANotificationThatFinishesNothingOnlyRestartsTheWait)
{
    fake.script = Script::StaleThenComplete;
    BatchEnd end = BatchEnd::TimedOut;
    auto readings = Read({{1, TypeF64}}, 60000, end);
    EXPECT_EQ(end, BatchEnd::Finished);
    EXPECT_EQ(session.notifications[kReadKind], 2);
    EXPECT_TRUE(IsGoodReading(readings[0]));
}

TEST_F(FakeDriverTest, ARefusedDeliveryIsToldFromAnyValue)
{
    fake.refusedChannel = 4;
    BatchEnd end = BatchEnd::TimedOut;
    auto readings = Read({{4, TypeF64}}, 60000, end);
    ASSERT_TRUE(readings[0].finished);
    EXPECT_EQ(readings[0].status, 0u);
    EXPECT_FALSE(readings[0].delivered);
    EXPECT_FALSE(IsGoodReading(readings[0]));
}

TEST_F(FakeDriverTest, AnUnknownTypeTakesTheFirstThatIsDelivered)
{
    fake.deliversTextOnly = true;
    BatchEnd end = BatchEnd::TimedOut;
    auto readings = Read({{5, TypeNone}}, 60000, end);
    ASSERT_TRUE(readings[0].delivered);
    EXPECT_EQ(readings[0].type, static_cast<std::uint32_t>(TypeText));
    EXPECT_EQ(readings[0].value, L"\"Tank\"");

    fake.refusedChannel = 6;
    readings = Read({{6, TypeNone}}, 60000, end);
    EXPECT_FALSE(readings[0].delivered);
    EXPECT_EQ(readings[0].type, static_cast<std::uint32_t>(TypeNone));
}

TEST_F(FakeDriverTest, WriteHandsOverTheBoundValueAndWaitsForKindOne)
{
    std::vector<WriteRequest> requests(1);
    requests[0].channel = 9;
    std::wstring reason;
    ASSERT_TRUE(ParseValueText(L"-3", TypeI16, true, requests[0].value, reason));
    std::vector<ChannelWrite> writes;
    BatchEnd end = RunWriteBatch(session, requests, 60000, nullptr, writes);
    EXPECT_EQ(end, BatchEnd::Finished);
    EXPECT_EQ(session.notifications[kWriteKind], 1);
    EXPECT_EQ(session.notifications[kReadKind], 0);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_TRUE(writes[0].finished);
    EXPECT_EQ(writes[0].status, 0u);
    EXPECT_EQ(fake.written[9].type, static_cast<std::uint32_t>(TypeI16));
    EXPECT_EQ(ReadPayload<std::int16_t>(fake.written[9]), -3);
}

TEST_F(FakeDriverTest, EndSessionCallsDoneAndDisposeOnce)
{
    EXPECT_EQ(fake.initName, L"plant.par");
    EndSession(session);
    EndSession(session);
    EXPECT_EQ(fake.doneCalls, 1);
    EXPECT_EQ(fake.disposeCalls, 1);
}

TEST_F(FakeDriverTest, AFailedInitGivesTheDriversTextAndStillOwesDone)
{
    EndSession(session);
    DriverLibrary ansi = lib;
    ansi.wide = false;
    ansi.initW = nullptr;
    ansi.initA = FakeInitA;
    std::wstring error;
    EXPECT_FALSE(StartSession(ansi, L"broken.par", session, error));
    EXPECT_EQ(error, L"Nope!");
    EXPECT_EQ(fake.initName, L"broken.par") << "the ANSI twin was not given the converted name";
    EXPECT_TRUE(session.initialized);
    EndSession(session);
    EXPECT_EQ(fake.doneCalls, 2);
}

} // namespace
