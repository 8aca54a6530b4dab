#include "connection/status_probe.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/com_util.h"
#include "connection/holding_thread.h"
#include "connection/last_error.h"
#include "connection/message_window.h"
#include "connection/recovery_messages.h"
#include "connection/server_connection.h"
#include "connection/server_state.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kErrNotRunning[] = L"Server not running";

// The reason of a failure goes to lastError, which the host reads only after the probe's message.
bool ServerRunning(OpcDriver& drv)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return false;
    IOPCServer* server = nullptr;
    DWORD state = 0;
    bool running = false;
    if (!CreateServerObject(drv, server)) {
        ReportFailure(drv, kErrCreateServer);
    } else {
        if (drv.waitTimeMs != 0) Sleep(drv.waitTimeMs);
        // The same wait as Init's with wait_running: a server that is still being configured after its
        // restart is waited for here, in the probe's thread.
        running = QueryStateAsAsked(drv, *server, state) &&
                  (state == OPC_STATUS_RUNNING || state == OPC_STATUS_TEST);
        if (!running) ReportFailure(drv, kErrNotRunning);
    }
    ReleaseInterface(server);
    CoUninitialize();
    return running;
}

DWORD WINAPI ProbeMain(void* driver)
{
    OpcDriver& drv = *static_cast<OpcDriver*>(driver);
    drv.supervision.attemptResult.store(ServerRunning(drv) ? 1u : 0u);
    // After Done the window is gone and nothing is posted.
    PostToWindow(drv, MsgAttemptDone, drv.supervision.attempts);
    EndHoldingThread(drv, 0);
}

} // namespace

bool StartStatusProbe(OpcDriver& drv)
{
    HANDLE thread = StartHoldingThread(drv, ProbeMain);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}
