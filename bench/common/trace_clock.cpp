#include "bench/common/trace_clock.h"

#include <atomic>
#include <cstring>

#include <windows.h>

#include "bench/common/bench_timing.h"

namespace {

constexpr DWORD kDebugPrint = 0x40010006; // DBG_PRINTEXCEPTION_C: length with NUL, ANSI text

// The driver's trace texts around its server calls, without the line end.
constexpr const char* kStartLines[] = {"IOPCAsyncIO2->Read(...)", "IOPCAsyncIO2->Write(...)",
                                       "IOPCSyncIO->Read( OPC_DS_DEVICE, ...)",
                                       "IOPCSyncIO->Read( OPC_DS_CACHE, ...)", "IOPCSyncIO->Write(...)"};
constexpr const char* kEndLines[] = {"IOPCDataCallback->OnReadComplete(...)",
                                     "IOPCDataCallback->OnWriteComplete(...)", "IOPCSyncIO->Read() returned",
                                     "IOPCSyncIO->Write() returned"};

// Written by the handler on whichever thread traces (the host's, or the synchronous worker), read by the
// host's thread after the batch's notification: the flags publish the times.
std::atomic<bool> started{false};
std::atomic<bool> ended{false};
double startMs = 0;
double endMs = 0;

template <std::size_t N> bool IsOneOf(const char* text, std::size_t length, const char* const (&lines)[N])
{
    for (const char* line : lines) {
        if (std::strlen(line) == length && std::strncmp(text, line, length) == 0) return true;
    }
    return false;
}

LONG CALLBACK NoteTraceLine(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != kDebugPrint || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    double now = NowMs();
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    std::size_t length = std::strcspn(text, "\r\n");
    if (!started.load() && IsOneOf(text, length, kStartLines)) {
        startMs = now;
        started.store(true);
    } else if (started.load() && !ended.load() && IsOneOf(text, length, kEndLines)) {
        endMs = now;
        ended.store(true);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool InstallTraceClock()
{
    return AddVectoredExceptionHandler(1, NoteTraceLine) != nullptr;
}

void ArmTraceClock()
{
    ended.store(false);
    started.store(false);
}

CallWindow TakeCallWindow()
{
    CallWindow window;
    window.complete = started.load() && ended.load();
    if (window.complete) {
        window.startMs = startMs;
        window.endMs = endMs;
    }
    return window;
}
