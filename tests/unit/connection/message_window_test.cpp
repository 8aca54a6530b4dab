// The hidden window of an instance, its class, and the shutdown notice handled through it.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "connection/supervision.h"
#include "tests/support/fake_opc.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

constexpr char kClassName[] = "Orvex OPC client driver window class";

class MessageWindow : public DriverRecordTest {
protected:
    void SetUp() override
    {
        DriverRecordTest::SetUp();
        ASSERT_TRUE(CreateDriverWindow(*drv));
    }

    void HoldFakeConnection() { HoldFakeAsyncConnection(*drv, server); }

    void ExpectConnectionDropped()
    {
        EXPECT_EQ(drv->server, nullptr);
        EXPECT_EQ(drv->serverPoints, nullptr);
        EXPECT_EQ(drv->shutdownPoint, nullptr);
        EXPECT_EQ(drv->itemMgt, nullptr);
        EXPECT_EQ(drv->asyncIo, nullptr);
        EXPECT_EQ(drv->groupPoints, nullptr);
        EXPECT_EQ(drv->dataPoint, nullptr);
        // The server is going away: nothing is called on it, not even Release.
        EXPECT_EQ(server.refs, 0);
        EXPECT_EQ(server.group.refs, 0);
        EXPECT_EQ(server.shutdownPoint.unadviseCalls, 0);
        EXPECT_EQ(server.group.dataPoint.unadviseCalls, 0);
    }

    FakeServer server;
};

TEST_F(MessageWindow, IsAHiddenTopLevelWindowTitledWithTwoBlanksThatKnowsItsInstance)
{
    EXPECT_EQ(GetParent(drv->window), nullptr);
    EXPECT_EQ(GetAncestor(drv->window, GA_PARENT), GetDesktopWindow());
    EXPECT_FALSE(IsWindowVisible(drv->window));
    char title[8] = {};
    EXPECT_EQ(GetWindowTextA(drv->window, title, sizeof title), 2);
    EXPECT_STREQ(title, "  ");
    EXPECT_EQ(GetWindowLongPtrA(drv->window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(drv));
}

TEST_F(MessageWindow, TwoInstancesShareOneClass)
{
    OpcDriver* other = MakeDriverRecord();
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(CreateDriverWindow(*other));
    EXPECT_NE(other->window, drv->window);
    EXPECT_EQ(GetClassLongA(other->window, GCW_ATOM), GetClassLongA(drv->window, GCW_ATOM));
    char name[64] = {};
    GetClassNameA(drv->window, name, sizeof name);
    EXPECT_STREQ(name, kClassName);
    FreeDriverRecord(other);
}

// A limit near 2^32 ms plus the timer's slack must not wrap into a timer of a few milliseconds.
TEST_F(MessageWindow, ADeadlineTimerNearTheTopOfTheRangeDoesNotFireEarly)
{
    constexpr UINT_PTR kDeadlineTimer = 9;
    StartDeadlineTimer(*drv, kDeadlineTimer, 0xFFFFFFF0u);
    bool fired = false;
    DWORD start = GetTickCount();
    MSG msg;
    while (!fired && GetTickCount() - start < 400) {
        if (PeekMessageA(&msg, drv->window, WM_TIMER, WM_TIMER, PM_REMOVE))
            fired = msg.wParam == kDeadlineTimer;
        else
            Sleep(10);
    }
    StopWindowTimer(*drv, kDeadlineTimer);
    EXPECT_FALSE(fired);
}

TEST_F(MessageWindow, DestroyTakesTheWindowAndIsSafeToRepeat)
{
    HWND window = drv->window;
    DestroyDriverWindow(*drv);
    EXPECT_EQ(drv->window, nullptr);
    EXPECT_FALSE(IsWindow(window));
    DestroyDriverWindow(*drv);
    EXPECT_FALSE(PostToWindow(*drv, MsgIssueRead, 0)) << "nothing is posted once the window is gone";
}

// The window's mechanism with a table of the test's own: a row's handler runs only past its guard, a
// WM_TIMER row only for its timer, and a row that waits for server calls is held back and reposted.
struct TestRoutes {
    static bool open;
    static int handled;
    static int reposted;
};
bool TestRoutes::open = false;
int TestRoutes::handled = 0;
int TestRoutes::reposted = 0;

TEST_F(MessageWindow, RoutesOnlyThroughItsInstancesTableAndOnlyPastTheGuard)
{
    constexpr UINT kOwn = 1040;
    constexpr UINT_PTR kOwnTimer = 7;
    auto guard = [](const OpcDriver&, WPARAM) { return TestRoutes::open; };
    auto handle = [](OpcDriver&, WPARAM) { ++TestRoutes::handled; };
    const MessageRoute rows[] = {
        {kOwn, 0, "test", guard, handle, nullptr},
        {WM_TIMER, kOwnTimer, "test", guard, handle, nullptr},
        {kOwn + 1, 0, "test", guard, handle, [](OpcDriver&) { ++TestRoutes::reposted; }}};
    const MessageTable table{rows, 3};
    const MessageTable* own = drv->messages;
    drv->messages = &table;
    TestRoutes::open = false;
    TestRoutes::handled = TestRoutes::reposted = 0;
    SendMessageA(drv->window, kOwn, 0, 0);
    EXPECT_EQ(TestRoutes::handled, 0) << "the guard was passed by";
    TestRoutes::open = true;
    SendMessageA(drv->window, kOwn, 0, 0);
    SendMessageA(drv->window, WM_TIMER, kOwnTimer + 1, 0);
    SendMessageA(drv->window, MsgIssueRead, 0, 0);
    EXPECT_EQ(TestRoutes::handled, 1) << "only the row's message, and a timer only by its id";
    SendMessageA(drv->window, WM_TIMER, kOwnTimer, 0);
    EXPECT_EQ(TestRoutes::handled, 2);

    drv->serverCallDepth = 1;
    SendMessageA(drv->window, kOwn + 1, 0, 0);
    EXPECT_EQ(TestRoutes::handled, 2) << "ran inside a server call";
    drv->serverCallDepth = 0;
    RepostDeferredMessages(*drv);
    RepostDeferredMessages(*drv);
    EXPECT_EQ(TestRoutes::reposted, 1) << "held back once, posted again once";
    drv->messages = own;
}

TEST_F(MessageWindow, AStrayShutdownMessageChangesNothing)
{
    HoldFakeConnection();
    std::uint32_t flagsBefore = drv->flags.load();
    SendMessageA(drv->window, MsgServerShutdown, 0, 0);
    EXPECT_EQ(drv->flags.load(), flagsBefore);
    EXPECT_EQ(drv->server, &server) << "a foreign 1029 must not leave the instance half dead";
    EXPECT_EQ(drv->dataPoint, &server.group.dataPoint);
    drv->server = nullptr;
    drv->serverPoints = nullptr;
    drv->shutdownPoint = nullptr;
    drv->itemMgt = nullptr;
    drv->asyncIo = nullptr;
    drv->groupPoints = nullptr;
    drv->dataPoint = nullptr;
}

TEST_F(MessageWindow, ShutdownInAsynchronousModeDropsEveryPointerAndEndsTheHostsComInitialisation)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    SetFlag(*drv, ComInit);
    HoldFakeConnection();
    SetFlag(*drv, ServerDown);
    SendMessageA(drv->window, MsgServerShutdown, 0, 0);
    ExpectConnectionDropped();
    EXPECT_FALSE(HasFlag(*drv, ComInit));
    // The driver's CoUninitialize balanced the one above: a new CoInitialize starts a fresh apartment.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST_F(MessageWindow, ShutdownNotifiesOncePerOutstandingDirection)
{
    SetFlag(*drv, ServerDown | ReadActive | ReadAgain | WriteActive);
    SendMessageA(drv->window, MsgServerShutdown, 0, 0);
    EXPECT_FALSE(HasFlag(*drv, ReadActive | ReadAgain | WriteActive | WriteAgain));
    WPARAM number = 0;
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyRead, &number));
    EXPECT_EQ(number, 1u) << "the direction's first notification";
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyWrite));
    EXPECT_FALSE(TakePosted(drv->window, MsgIssueRead)) << "the deferred batch is dropped";
    SetFlag(*drv, ReadActive);
    SendMessageA(drv->window, MsgServerShutdown, 0, 0);
    EXPECT_FALSE(TakePosted(drv->window, MsgNotifyRead)) << "the notice is handled once";
    EXPECT_FALSE(TakePosted(drv->window, MsgNotifyWrite));
    ClearFlag(*drv, ReadActive);
}

TEST_F(MessageWindow, ShutdownWithoutOutstandingBatchesNotifiesNobody)
{
    SetFlag(*drv, ServerDown | WriteActive);
    SendMessageA(drv->window, MsgServerShutdown, 0, 0);
    EXPECT_FALSE(TakePosted(drv->window, MsgNotifyRead));
    EXPECT_TRUE(TakePosted(drv->window, MsgNotifyWrite));
}

TEST_F(MessageWindow, DoneAfterAnUnhandledShutdownNoticeDropsTheConnectionWithoutCallingTheServer)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    SetFlag(*drv, ComInit);
    HoldFakeConnection();
    SetFlag(*drv, ServerDown | ReadActive);
    Done(*drv);
    ExpectConnectionDropped();
    EXPECT_EQ(drv->window, nullptr);
    EXPECT_EQ(drv->channels.Count, 0u);
}

TEST_F(MessageWindow, DisposeDriverFromHostCodeInsideDonesOwnCallsFreesTheRecordOnceDoneHasFinished)
{
    FakeConnectionPoint& point = server.group.dataPoint;
    drv->dataPoint = &point;
    point.AddRef();
    SetFlag(*drv, DataAdvised);
    OpcDriver* record = drv;
    bool keptWhileDoneRan = false;
    point.duringUnadvise = [&] {
        FreeDriverRecord(drv);
        keptWhileDoneRan = record->disposeAsked && record->window != nullptr;
    };
    Done(*record);
    EXPECT_TRUE(keptWhileDoneRan) << "the record was freed under the Done that was releasing it";
    EXPECT_EQ(drv, nullptr);
    EXPECT_EQ(point.unadviseCalls, 1);
    EXPECT_EQ(point.refs, 0);
}

class WindowClassTaken : public DriverRecordTest {};

TEST_F(WindowClassTaken, InitFailsWithAClearTextWhenNoWindowCanBeMade)
{
    // Another registration of the class name for this module makes the driver's own fail.
    UnregisterWindowClass();
    WNDCLASSA foreign{};
    foreign.lpfnWndProc = DefWindowProcA;
    foreign.hInstance = GetModuleHandleW(nullptr);
    foreign.lpszClassName = kClassName;
    ASSERT_NE(RegisterClassA(&foreign), 0);

    wchar_t err[128] = L"sentinel";
    EXPECT_FALSE(Init(*drv, 259, L"unused.par", 127, err, 0, nullptr));
    EXPECT_STREQ(err, L"Cannot create driver window");
    EXPECT_EQ(drv->window, nullptr);

    // The failed registration is not remembered: once the name is free, the next instance gets a window.
    ASSERT_TRUE(UnregisterClassA(kClassName, GetModuleHandleW(nullptr)));
    EXPECT_TRUE(CreateDriverWindow(*drv));
}

} // namespace
