#include "tests/support/trace_capture.h"

#include <mutex>

#include <windows.h>

namespace {

constexpr DWORD kDebugPrint = 0x40010006;     // DBG_PRINTEXCEPTION_C: length with NUL, ANSI text
constexpr DWORD kDebugPrintWide = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C: length with NUL, UTF-16 text

std::mutex capturedLock;
std::vector<std::wstring> captured;
// The ANSI twin that follows a wide exception on the same thread carries the same text.
thread_local bool skipNextAnsi = false;

std::wstring WidenAnsi(const char* text, ULONG_PTR length)
{
    int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &wide[0], units);
    return wide;
}

LONG CALLBACK RecordDebugPrint(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    DWORD code = record->ExceptionCode;
    if ((code != kDebugPrint && code != kDebugPrintWide) || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    ULONG_PTR length = record->ExceptionInformation[0] > 0 ? record->ExceptionInformation[0] - 1 : 0;
    std::wstring text;
    if (code == kDebugPrintWide) {
        text.assign(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]), length);
        skipNextAnsi = true;
    } else if (skipNextAnsi) {
        skipNextAnsi = false;
        return EXCEPTION_CONTINUE_SEARCH;
    } else {
        text = WidenAnsi(reinterpret_cast<const char*>(record->ExceptionInformation[1]), length);
    }
    std::lock_guard<std::mutex> hold(capturedLock);
    captured.push_back(std::move(text));
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

TraceCapture::TraceCapture()
{
    Take();
    handler = AddVectoredExceptionHandler(1, RecordDebugPrint);
}

TraceCapture::~TraceCapture()
{
    if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
    handler = nullptr;
}

std::vector<std::wstring> TraceCapture::Take()
{
    std::lock_guard<std::mutex> hold(capturedLock);
    std::vector<std::wstring> lines;
    lines.swap(captured);
    return lines;
}
