#include "tests/support/wait.h"

#include <windows.h>

namespace {

// How long one idle round may last when no message arrives: a condition that another thread changes
// without posting anything is still noticed quickly.
constexpr DWORD kPollIntervalMs = 5;

} // namespace

std::uint32_t PumpMessages()
{
    std::uint32_t count = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

::testing::AssertionResult WaitUntil(const std::function<bool()>& predicate, std::uint32_t timeoutMs,
                                     const char* description)
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        if (predicate()) return ::testing::AssertionSuccess();
        PumpMessages();
        if (predicate()) return ::testing::AssertionSuccess();
        if (GetTickCount64() - start >= timeoutMs)
            return ::testing::AssertionFailure()
                   << "timed out after " << timeoutMs << " ms waiting for " << description;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollIntervalMs, QS_ALLINPUT);
    }
}
