#include "connection/recovery_trace.h"

#include <cstdint>

#include "driver/debug_trace.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

constexpr wchar_t kTraceNotice[] = L"Reconnect: IOPCShutdown->ShutdownRequest(...), server lost";
constexpr wchar_t kTraceGone[] = L"Reconnect: server or connection gone (hr = 0x";
constexpr wchar_t kTraceGoneEnd[] = L"), server lost";
constexpr wchar_t kTraceLimit[] = L"Reconnect: batch time limit expired, server lost";
constexpr wchar_t kTraceAttempt[] = L"Reconnect: attempt ";
constexpr wchar_t kTraceFailed[] = L"Reconnect: attempt failed (";
constexpr wchar_t kTraceRecovered[] = L"Reconnect: connected again";
constexpr wchar_t kTracePostponed[] = L"Reconnect: attempt postponed, ";
constexpr wchar_t kTracePostponedEnd[] = L" workers still held in calls to the server";

// Long enough for the longest line: a prefix, the last error text and a closing parenthesis.
constexpr std::uint32_t kLineMax = 64 + kLastErrorMax;

class Line {
public:
    void Add(const wchar_t* text)
    {
        while (*text != L'\0' && length < kLineMax)
            chars[length++] = *text++;
    }
    // value in radix, with leading zeros to at least minDigits digits.
    void AddNumber(std::uint32_t value, std::uint32_t radix, std::uint32_t minDigits)
    {
        wchar_t digits[33];
        FormatInt(value, 32, digits, radix, nullptr);
        for (std::uint32_t n = WideLen(32, digits); n < minDigits; ++n)
            Add(L"0");
        Add(digits);
    }
    void Emit(const OpcDriver& drv) const { EmitTrace(drv, nullptr, length, chars); }

private:
    wchar_t chars[kLineMax] = {};
    std::uint32_t length = 0;
};

} // namespace

void TraceLoss(const OpcDriver& drv, SupervisionEvent event, HRESULT hr)
{
    Line line;
    switch (event) {
    case SupervisionEvent::ShutdownNotice:
        line.Add(kTraceNotice);
        break;
    case SupervisionEvent::ServerGone:
        line.Add(kTraceGone);
        line.AddNumber(static_cast<std::uint32_t>(hr), 16, 8);
        line.Add(kTraceGoneEnd);
        break;
    default:
        line.Add(kTraceLimit);
        break;
    }
    line.Emit(drv);
}

void TraceAttempt(const OpcDriver& drv)
{
    Line line;
    line.Add(kTraceAttempt);
    line.AddNumber(drv.supervision.attempts, 10, 1);
    line.Emit(drv);
}

void TraceAttemptFailed(const OpcDriver& drv)
{
    Line line;
    line.Add(kTraceFailed);
    line.Add(drv.lastError);
    line.Add(L")");
    line.Emit(drv);
}

void TraceRecovered(const OpcDriver& drv)
{
    Line line;
    line.Add(kTraceRecovered);
    line.Emit(drv);
}

void TraceAttemptPostponed(const OpcDriver& drv, std::uint32_t stuckWorkers)
{
    Line line;
    line.Add(kTracePostponed);
    line.AddNumber(stuckWorkers, 10, 1);
    line.Add(kTracePostponedEnd);
    line.Emit(drv);
}
