#include "tests/e2e/protocol/driver_windows.h"

#include <cstring>

namespace {

constexpr char kDriverClass[] = "Orvex OPC client driver window class";

BOOL CALLBACK CollectDriverWindow(HWND window, LPARAM found)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, kDriverClass) == 0) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> DriverWindowsOfThisThread()
{
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), CollectDriverWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}
