#include "tests/unit/connection/connection_test_support.h"

#include <string>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "tests/support/fake_opc.h"

namespace {

// Unit tests link the driver into the test program: its module handle stands for the DLL's.
class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { RecordModuleInstance(GetModuleHandleW(nullptr)); }
};

const ::testing::Environment* const moduleEnvironment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

} // namespace

void DriverRecordTest::SetUp()
{
    LeakCheckedTest::SetUp();
    drv = MakeDriverRecord();
    ASSERT_NE(drv, nullptr);
}

void DriverRecordTest::TearDown()
{
    FreeDriverRecord(drv);
    LeakCheckedTest::TearDown();
}

void DriverRecordTest::AddTestChannel(std::uint32_t first, std::uint32_t count)
{
    std::wstring itemId = L"item" + std::to_wstring(first);
    ASSERT_TRUE(AddChannel(drv->channels, first, count, itemId.c_str()));
}

void HoldFakeAsyncConnection(OpcDriver& drv, FakeServer& server)
{
    drv.server = &server;
    drv.serverPoints = &server;
    drv.shutdownPoint = &server.shutdownPoint;
    drv.itemMgt = &server.group;
    drv.asyncIo = &server.group.asyncIo;
    drv.groupPoints = &server.group;
    drv.dataPoint = &server.group.dataPoint;
    SetFlag(drv, ShutdownAdvised | DataAdvised);
}

bool TakePosted(HWND window, std::uint32_t message, WPARAM* wParam)
{
    MSG msg;
    if (PeekMessageW(&msg, window, message, message, PM_REMOVE) == FALSE) return false;
    if (wParam != nullptr) *wParam = msg.wParam;
    return true;
}

::testing::AssertionResult WaitForPosted(HWND window, std::uint32_t message, std::uint32_t timeoutMs,
                                         WPARAM* wParam)
{
    ULONGLONG start = GetTickCount64();
    while (!TakePosted(window, message, wParam)) {
        if (GetTickCount64() - start >= timeoutMs)
            return ::testing::AssertionFailure()
                   << "message " << message << " not posted within " << timeoutMs << " ms";
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    return ::testing::AssertionSuccess();
}
