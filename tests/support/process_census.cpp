#include "tests/support/process_census.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

// Handle values are small multiples of 4 handed out lowest-free first; a process of these tests stays
// far below this bound.
constexpr std::uintptr_t kHighestProbedHandle = 0x4000;

} // namespace

std::uint32_t OpenHandleCount()
{
    std::uint32_t count = 0;
    for (std::uintptr_t value = 4; value <= kHighestProbedHandle; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

std::uint32_t ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    std::uint32_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
