#include "tools/tagprobe/interrupt.h"

namespace {

// The console calls its handler on a thread of its own, without any context: the event is the one
// process-wide thing it can reach.
HANDLE g_interrupt = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    SetEvent(g_interrupt);
    return TRUE;
}

} // namespace

HANDLE InterruptEvent()
{
    if (g_interrupt == nullptr) {
        g_interrupt = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (g_interrupt != nullptr) SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    return g_interrupt;
}
