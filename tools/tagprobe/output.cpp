#include "tools/tagprobe/output.h"

#include <mutex>

#include <windows.h>

#include "tools/tagprobe/text_convert.h"

namespace {

// Guards both streams: the driver's worker thread may print a trace line at any moment.
std::mutex outputLock;

void WriteLine(DWORD stream, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    std::wstring line = text + L"\r\n";
    std::lock_guard<std::mutex> hold(outputLock);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        std::string utf8 = Utf8FromWide(line);
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
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
