#include "connection/message_window.h"

#include "driver/opc_driver.h"

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

// The row of the instance's table for message (and for WM_TIMER its timer id), with its index; null
// when the table has none.
const MessageRoute* FindRoute(const OpcDriver& drv, UINT message, WPARAM wParam, std::uint32_t& index)
{
    if (drv.messages == nullptr) return nullptr;
    for (index = 0; index < drv.messages->count; ++index) {
        const MessageRoute& route = drv.messages->routes[index];
        if (route.message == message && (message != WM_TIMER || route.timerId == wParam)) return &route;
    }
    return nullptr;
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
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&drv));
    InterlockedExchangePointer(WindowSlot(drv), window);
    return true;
}

void DestroyDriverWindow(OpcDriver& drv)
{
    HWND window = static_cast<HWND>(InterlockedExchangePointer(WindowSlot(drv), nullptr));
    if (window != nullptr) DestroyWindow(window);
}

bool PostToWindow(OpcDriver& drv, std::uint32_t message, WPARAM wParam)
{
    HWND window = static_cast<HWND>(InterlockedCompareExchangePointer(WindowSlot(drv), nullptr, nullptr));
    return window != nullptr && PostMessageA(window, message, wParam, 0) != FALSE;
}

void StartWindowTimer(OpcDriver& drv, UINT_PTR timerId, std::uint32_t ms)
{
    if (drv.window != nullptr) SetTimer(drv.window, timerId, ms, nullptr);
}

void StartDeadlineTimer(OpcDriver& drv, UINT_PTR timerId, std::uint32_t ms)
{
    // Saturated rather than wrapped: a limit near 2^32 ms must not become a timer of a few ms.
    std::uint32_t withSlack = ms > UINT32_MAX - kTimerSlackMs ? UINT32_MAX : ms + kTimerSlackMs;
    StartWindowTimer(drv, timerId, withSlack);
}

void StopWindowTimer(OpcDriver& drv, UINT_PTR timerId)
{
    if (drv.window != nullptr) KillTimer(drv.window, timerId);
}

void RepostDeferredMessages(OpcDriver& drv)
{
    std::uint32_t deferred = drv.deferredRoutes;
    drv.deferredRoutes = 0;
    for (std::uint32_t index = 0; deferred != 0 && drv.messages != nullptr && index < drv.messages->count;
         ++index) {
        if ((deferred & (1u << index)) != 0) drv.messages->routes[index].repost(drv);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Null for a message that arrives before the instance is stored.
    auto* drv = reinterpret_cast<OpcDriver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    std::uint32_t index = 0;
    const MessageRoute* route = drv == nullptr ? nullptr : FindRoute(*drv, message, wParam, index);
    if (route == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (!route->accepts(*drv, wParam)) return 0;
    if (route->repost != nullptr && drv->serverCallDepth > 0) {
        drv->deferredRoutes |= 1u << index;
        return 0;
    }
    // The handler may end the instance (the host's notification): nothing of it is touched afterwards.
    route->handle(*drv, wParam);
    return 0;
}
