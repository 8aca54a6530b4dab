#include "tools/tagprobe/output.h"

#include <windows.h>

namespace {

// Guards the two streams; initialised on first use, before any second thread can print.
CRITICAL_SECTION& OutputLock()
{
    static CRITICAL_SECTION lock;
    static const bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

void WriteLine(DWORD stream, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    std::wstring line = text + L"\r\n";
    EnterCriticalSection(&OutputLock());
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                        nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &utf8[0], bytes,
                                nullptr, nullptr);
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    LeaveCriticalSection(&OutputLock());
}

} // namespace

void PrintLine(const std::wstring& text)
{
    WriteLine(STD_OUTPUT_HANDLE, text);
}

void PrintError(const std::wstring& text)
{
    WriteLine(STD_ERROR_HANDLE, L"tagprobe: " + text);
}

void PrintErrorLine(const std::wstring& text)
{
    WriteLine(STD_ERROR_HANDLE, text);
}
