#include "tools/tagprobe/trace_tap.h"

#include <string>

#include <windows.h>

#include "tools/tagprobe/output.h"
#include "tools/tagprobe/text_convert.h"

namespace {

constexpr DWORD kDebugPrint = 0x40010006;     // DBG_PRINTEXCEPTION_C: length with NUL, ANSI text
constexpr DWORD kDebugPrintWide = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C: length with NUL, UTF-16 text

void* g_handler = nullptr; // the installed handler; the vectored handler API has no context argument

// Windows 10 and later raise the wide exception first and then the ANSI one with the same text;
// Wine raises only the ANSI one.
thread_local bool skipNextAnsi = false;

void PrintTraceLine(std::wstring text)
{
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    PrintLine(L"trace  " + text);
}

LONG CALLBACK OnDebugPrint(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    DWORD code = record->ExceptionCode;
    if ((code != kDebugPrint && code != kDebugPrintWide) || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    std::size_t length = record->ExceptionInformation[0] > 0 ? record->ExceptionInformation[0] - 1 : 0;
    if (code == kDebugPrintWide) {
        skipNextAnsi = true;
        PrintTraceLine(
            std::wstring(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]), length));
    } else if (skipNextAnsi) {
        skipNextAnsi = false;
    } else {
        PrintTraceLine(WideFromAnsi(reinterpret_cast<const char*>(record->ExceptionInformation[1]), length));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool StartTraceTap()
{
    if (g_handler == nullptr) g_handler = AddVectoredExceptionHandler(1, OnDebugPrint);
    return g_handler != nullptr;
}

void StopTraceTap()
{
    if (g_handler != nullptr) RemoveVectoredExceptionHandler(g_handler);
    g_handler = nullptr;
}
