// The process window (message-only) and the object count: posted completions, periodic updates, the
// shutdown notice, and the end of the process once it has been idle for the scenario's linger time.
#include "opcsim/sim_window.h"

#include "opcsim/completions.h"
#include "opcsim/server_object.h"
#include "opcsim/subscription.h"

namespace {

LRESULT CALLBACK SimWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SimProcess* sim = reinterpret_cast<SimProcess*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (sim == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == kMsgDeliver || (message == WM_TIMER && wParam == kTimerDeliver)) {
        DeliverDueCompletions(*sim);
        return 0;
    }
    if (message == kMsgShutdown || (message == WM_TIMER && wParam == kTimerShutdown)) {
        KillTimer(window, kTimerShutdown);
        SendShutdownNotices(*sim);
        return 0;
    }
    if (message == kMsgUpdateSent) {
        UpdateSent(reinterpret_cast<Completion*>(lParam));
        return 0;
    }
    if (message == WM_TIMER && wParam == kTimerChangesStop) {
        StopChanges(*sim);
        return 0;
    }
    if (message == WM_TIMER && RunUpdateTimer(*sim, wParam)) return 0;
    if (message == WM_TIMER && wParam == kTimerExit) {
        // The scenario's end after its shutdown notice: the main loop revokes the class and exits.
        KillTimer(window, kTimerExit);
        SetEvent(sim->quitEvent);
        return 0;
    }
    if (message == WM_TIMER && wParam == kTimerLinger) {
        KillTimer(window, kTimerLinger);
        if (sim->liveObjects == 0) SetEvent(sim->quitEvent);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool CreateSimWindow(SimProcess& sim)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = SimWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"opcsim";
    RegisterClassW(&wc);
    sim.window =
        CreateWindowExW(0, L"opcsim", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (sim.window == nullptr) return false;
    SetWindowLongPtrW(sim.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sim));
    return true;
}

void ObjectCreated(SimProcess& sim)
{
    if (InterlockedIncrement(&sim.liveObjects) == 1) KillTimer(sim.window, kTimerLinger);
}

void ObjectDestroyed(SimProcess& sim)
{
    if (InterlockedDecrement(&sim.liveObjects) == 0)
        SetTimer(sim.window, kTimerLinger, sim.scenario.lingerMs, nullptr);
}
