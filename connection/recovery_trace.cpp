#include "connection/recovery_trace.h"

#include <cstdint>
#include <cwchar>

#include "driver/debug_trace.h"
#include "driver/opc_driver.h"

namespace {

constexpr wchar_t kTraceNotice[] = L"Reconnect: IOPCShutdown->ShutdownRequest(...), server lost";
constexpr wchar_t kTraceGone[] = L"Reconnect: server or connection gone (hr = 0x";
constexpr wchar_t kTraceGoneEnd[] = L"), server lost";
constexpr wchar_t kTraceLimit[] = L"Reconnect: batch time limit expired, server lost";
constexpr wchar_t kTraceAttempt[] = L"Reconnect: attempt ";
constexpr wchar_t kTraceFailed[] = L"Reconnect: attempt failed (";
constexpr wchar_t kTraceRecovered[] = L"Reconnect: connected again";

// Long enough for the longest line: a prefix, the last error text and a closing parenthesis.
constexpr std::uint32_t kLineMax = 64 + kLastErrorMax;

class Line {
public:
    void Add(const wchar_t* text)
    {
        while (*text != L'\0' && length < kLineMax)
            chars[length++] = *text++;
    }
    void AddHex(std::uint32_t value)
    {
        for (int shift = 28; shift >= 0; shift -= 4) {
            wchar_t digit[2] = {L"0123456789ABCDEF"[(value >> shift) & 0xF], L'\0'};
            Add(digit);
        }
    }
    void AddDecimal(std::uint32_t value)
    {
        wchar_t digits[11];
        int count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) {
            wchar_t digit[2] = {digits[--count], L'\0'};
            Add(digit);
        }
    }
    void Emit(const OpcDriver& drv) const { EmitTrace(drv, nullptr, length, chars); }

private:
    wchar_t chars[kLineMax] = {};
    std::uint32_t length = 0;
};

} // namespace

void TraceLoss(const OpcDriver& drv, LossCause cause, HRESULT hr)
{
    Line line;
    switch (cause) {
    case LossCause::ShutdownNotice:
        line.Add(kTraceNotice);
        break;
    case LossCause::ServerGone:
        line.Add(kTraceGone);
        line.AddHex(static_cast<std::uint32_t>(hr));
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
    line.AddDecimal(drv.supervision.attempts);
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
