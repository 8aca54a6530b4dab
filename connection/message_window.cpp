#include "connection/message_window.h"

#include "connection/lifecycle.h"
#include "connection/recovery.h"
#include "connection/recovery_messages.h"
#include "connection/server_shutdown.h"
#include "driver/opc_driver.h"
#include "exchange/batch_timeout.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"

namespace {

// Process-wide: the module's instance handle (saved at process attach) and the class atom, 0 while
// the class is not registered.
HINSTANCE moduleInstance = nullptr;
ATOM classAtom = 0;
// Two host threads may run their first Init at once; the loser of an unguarded race would overwrite
// the atom with the 0 of its failed registration.
SRWLOCK classLock = SRWLOCK_INIT;

constexpr char kClassName[] = "Orvex OPC client driver window class";
constexpr char kWindowTitle[] = "  ";

void RegisterWindowClass()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = kClassName;
    // 0 when it fails; the next Init tries again.
    classAtom = RegisterClassA(&windowClass);
}

ATOM WindowClass()
{
    AcquireSRWLockExclusive(&classLock);
    if (classAtom == 0) RegisterWindowClass();
    ATOM atom = classAtom;
    ReleaseSRWLockExclusive(&classLock);
    return atom;
}

// The window handle is read by the worker and by the shutdown sink, which may run on the worker's
// thread, while the host's thread takes it away at Done: every access is interlocked.
void* volatile* WindowSlot(OpcDriver& drv)
{
    return reinterpret_cast<void* volatile*>(&drv.window);
}

} // namespace

void RecordModuleInstance(void* instance)
{
    classAtom = 0;
    moduleInstance = static_cast<HINSTANCE>(instance);
}

void UnregisterWindowClass()
{
    // Unconditional, as at every process detach; without a class it fails harmlessly.
    UnregisterClassA(MAKEINTATOM(classAtom), moduleInstance);
    classAtom = 0;
}

bool CreateDriverWindow(OpcDriver& drv)
{
    ATOM atom = WindowClass();
    if (atom == 0) return false;
    // A top-level window that is never shown: no parent, style 0, every position and size the default.
    HWND window = CreateWindowExA(0, MAKEINTATOM(atom), kWindowTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, moduleInstance, nullptr);
    if (window == nullptr) return false;
    SetWindowLongA(window, GWL_USERDATA, static_cast<LONG>(reinterpret_cast<LONG_PTR>(&drv)));
    InterlockedExchangePointer(WindowSlot(drv), window);
    return true;
}

void DestroyDriverWindow(OpcDriver& drv)
{
    HWND window = static_cast<HWND>(InterlockedExchangePointer(WindowSlot(drv), nullptr));
    if (window != nullptr) DestroyWindow(window);
}

bool PostToWindow(OpcDriver& drv, std::uint32_t message)
{
    HWND window = static_cast<HWND>(InterlockedCompareExchangePointer(WindowSlot(drv), nullptr, nullptr));
    return window != nullptr && PostMessageA(window, message, 0, 0) != FALSE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool ours = (message >= MsgIssueRead && message <= MsgAttemptDone) || message == WM_TIMER;
    if (!ours) return DefWindowProcA(window, message, wParam, lParam);
    // Null for a message that arrives before the instance is stored.
    auto* drv = reinterpret_cast<OpcDriver*>(static_cast<LONG_PTR>(GetWindowLongA(window, GWL_USERDATA)));
    if (drv == nullptr) return 0;
    // Each handler checks the instance's state first: a top-level window also receives stray posts.
    switch (message) {
    case MsgIssueRead:
        InputRequestCompleted(*drv);
        break;
    case MsgIssueWrite:
        OutputRequestCompleted(*drv);
        break;
    case MsgSyncReadDone:
        SyncReadComplete(*drv);
        break;
    case MsgSyncWriteDone:
        SyncWriteComplete(*drv);
        break;
    case MsgServerShutdown:
        OnServerShutdown(*drv);
        break;
    case MsgNotifyRead:
        DeliverReadNotification(*drv);
        break;
    case MsgAttemptDone:
        OnAttemptDone(*drv);
        break;
    case WM_TIMER:
        if (wParam == kReconnectTimerId) {
            OnReconnectTimer(*drv);
        } else {
            OnBatchTimeout(*drv, wParam);
        }
        break;
    default:
        DeliverWriteNotification(*drv);
        break;
    }
    return 0;
}
