#include "bench/common/message_pump.h"

#include <windows.h>

bool PumpUntil(const bool& done, std::uint32_t timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    MSG msg;
    while (!done) {
        while (!done && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done) break;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    return true;
}
