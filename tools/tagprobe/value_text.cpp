#include "tools/tagprobe/value_text.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "convert/value_payload.h"
#include "tools/tagprobe/text_convert.h"
#include "tools/tagprobe/type_names.h"

namespace {

struct IntegerRange {
    std::uint32_t type;
    std::int64_t low;
    std::int64_t high;
};

constexpr IntegerRange kIntegerRanges[] = {
    {TypeU8, 0, 255},    {TypeU16, 0, 65535},      {TypeU32, 0, 4294967295LL},
    {TypeI8, -128, 127}, {TypeI16, -32768, 32767}, {TypeI32, -2147483648LL, 2147483647LL},
};

// More digits than any 32-bit number has: the text is out of range whatever they are.
constexpr std::size_t kMaxDigits = 12;

enum class NumberCheck { Ok, NotANumber, OutOfRange };

NumberCheck ParseInteger(const std::wstring& text, std::int64_t& number)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i == text.size()) return NumberCheck::NotANumber;
    std::int64_t magnitude = 0;
    for (std::size_t digits = 0; i < text.size(); ++i, ++digits) {
        if (text[i] < L'0' || text[i] > L'9') return NumberCheck::NotANumber;
        if (digits == kMaxDigits) return NumberCheck::OutOfRange;
        magnitude = magnitude * 10 + (text[i] - L'0');
    }
    number = negative ? -magnitude : magnitude;
    return NumberCheck::Ok;
}

bool ParseIntegerValue(const std::wstring& text, const IntegerRange& range, HostValue& value,
                       std::wstring& reason)
{
    std::int64_t number = 0;
    NumberCheck check = ParseInteger(text, number);
    if (check == NumberCheck::Ok && (number < range.low || number > range.high))
        check = NumberCheck::OutOfRange;
    if (check == NumberCheck::NotANumber) {
        reason = L"is not a whole number";
        return false;
    }
    if (check == NumberCheck::OutOfRange) {
        reason = L"is out of range for " + HostTypeName(range.type) + L" (" + std::to_wstring(range.low) +
                 L" to " + std::to_wstring(range.high) + L")";
        return false;
    }
    // The low bytes of the two's complement word are the value in every width (little-endian).
    WritePayload(value, static_cast<std::uint32_t>(number));
    return true;
}

// Plain decimal notation only: no blanks, no hexadecimal, no "inf" or "nan" (never a setpoint).
bool LooksDecimal(const std::wstring& text)
{
    if (text.empty()) return false;
    for (wchar_t ch : text)
        if (!((ch >= L'0' && ch <= L'9') || ch == L'.' || ch == L'+' || ch == L'-' || ch == L'e' ||
              ch == L'E'))
            return false;
    return true;
}

bool ParseRealValue(const std::wstring& text, bool single, HostValue& value, std::wstring& reason)
{
    wchar_t* end = nullptr;
    double number = LooksDecimal(text) ? std::wcstod(text.c_str(), &end) : 0.0;
    if (end == nullptr || *end != L'\0' || end == text.c_str()) {
        reason = L"is not a number";
        return false;
    }
    if (!std::isfinite(number) || (single && std::fabs(number) > FLT_MAX)) {
        reason = single ? L"is out of range for f32" : L"is out of range for f64";
        return false;
    }
    if (single)
        WritePayload(value, static_cast<float>(number));
    else
        WritePayload(value, number);
    return true;
}

bool ParseBoolValue(const std::wstring& text, HostValue& value, std::wstring& reason)
{
    static const wchar_t* const kWords[2][4] = {{L"false", L"0", L"off", L"no"},
                                                {L"true", L"1", L"on", L"yes"}};
    for (std::uint8_t truth = 0; truth < 2; ++truth) {
        for (const wchar_t* word : kWords[truth]) {
            if (_wcsicmp(word, text.c_str()) == 0) {
                WritePayload(value, truth);
                return true;
            }
        }
    }
    reason = L"is not true or false";
    return false;
}

bool ParseTextValue(const std::wstring& text, std::uint32_t type, bool wide, ProbeValue& out,
                    std::wstring& reason)
{
    bool inCallerWidth = type == TypeText || type == TypeTextBuf;
    bool asAnsi = inCallerWidth && !wide;
    if (asAnsi && !AnsiFromWide(text, out.ansi)) {
        reason = L"cannot be written in this machine's ANSI code page (use --wide)";
        return false;
    }
    out.wide = text;
    std::size_t units = asAnsi ? out.ansi.size() : text.size();
    if ((type == TypeText || type == TypeWText) && units > kTextValueMax) {
        reason =
            L"is longer than " + std::to_wstring(kTextValueMax) + L" characters (use textbuf or wtextbuf)";
        return false;
    }
    return true;
}

void WritePointer(HostValue& value, const void* pointer, std::size_t offset)
{
    WritePayload(value, pointer, offset);
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

template <class Char> std::size_t TerminatedLength(const Char* text, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && text[n] != 0)
        ++n;
    return n;
}

// The text a slot of a text type holds: NUL-ended for text and wtext, counted for the buf types.
std::wstring SlotText(const DeliverySlot& slot, bool wide)
{
    bool counted = slot.value.type == TypeTextBuf || slot.value.type == TypeWTextBuf;
    bool ansi = !wide && (slot.value.type == TypeText || slot.value.type == TypeTextBuf);
    std::size_t length = DeliverySlot::kTextUnits;
    if (counted) {
        std::uint32_t delivered = ReadPayload<std::uint32_t>(slot.value, kBufLengthOffset);
        if (delivered < length) length = delivered;
    } else {
        length = ansi ? TerminatedLength(slot.ansi, length) : TerminatedLength(slot.wide, length);
    }
    return ansi ? WideFromAnsi(slot.ansi, length) : std::wstring(slot.wide, length);
}

std::wstring FormatNumber(const HostValue& value)
{
    switch (value.type) {
    case TypeBool:
        return ReadPayload<std::uint8_t>(value) != 0 ? L"true" : L"false";
    case TypeF32:
        return FormatReal(ReadPayload<float>(value), true);
    case TypeF64:
        return FormatReal(ReadPayload<double>(value), false);
    default:
        return std::to_wstring(IntegerOf(value));
    }
}

} // namespace

bool ParseValueText(const std::wstring& text, std::uint32_t type, bool wide, ProbeValue& out,
                    std::wstring& reason)
{
    out = ProbeValue{};
    out.value.type = type;
    bool ok = false;
    if (type == TypeBool) {
        ok = ParseBoolValue(text, out.value, reason);
    } else if (type == TypeF32 || type == TypeF64) {
        ok = ParseRealValue(text, type == TypeF32, out.value, reason);
    } else if (IsTextType(type) && type != TypeString) {
        ok = ParseTextValue(text, type, wide, out, reason);
        if (ok) out.shown = Quoted(text);
        return ok;
    } else {
        for (const auto& range : kIntegerRanges)
            if (range.type == type) ok = ParseIntegerValue(text, range, out.value, reason);
        if (!ok && reason.empty()) reason = L"cannot be given as " + HostTypeName(type);
    }
    if (ok) out.shown = FormatNumber(out.value);
    return ok;
}

HostValue BindValue(ProbeValue& value, bool wide)
{
    HostValue bound = value.value;
    bool ansi = !wide && (bound.type == TypeText || bound.type == TypeTextBuf);
    const void* text = ansi ? static_cast<const void*>(value.ansi.c_str()) : value.wide.c_str();
    std::uint32_t length = static_cast<std::uint32_t>(ansi ? value.ansi.size() : value.wide.size());
    if (bound.type == TypeText || bound.type == TypeWText) {
        WritePointer(bound, text, 0);
    } else if (bound.type == TypeTextBuf || bound.type == TypeWTextBuf) {
        WritePayload(bound, length, kBufLengthOffset);
        WritePointer(bound, text, kBufPointerOffset);
    }
    return bound;
}

void PrepareSlot(DeliverySlot& slot, std::uint32_t type, bool wide, std::uint8_t sentinel)
{
    slot.value.type = type;
    std::memset(slot.value.payload, sentinel, sizeof slot.value.payload);
    std::memset(slot.ansi, sentinel, sizeof slot.ansi);
    for (wchar_t& unit : slot.wide)
        unit = static_cast<wchar_t>(sentinel * 0x101);
    bool ansi = !wide && (type == TypeText || type == TypeTextBuf);
    const void* buffer = ansi ? static_cast<const void*>(slot.ansi) : slot.wide;
    if (type == TypeText || type == TypeWText) {
        WritePointer(slot.value, buffer, 0);
    } else if (type == TypeTextBuf || type == TypeWTextBuf) {
        WritePayload(slot.value, DeliverySlot::kTextUnits, kBufLengthOffset);
        WritePointer(slot.value, buffer, kBufPointerOffset);
    }
}

bool SlotWasWritten(const DeliverySlot& slot, bool wide, std::uint8_t sentinel)
{
    std::uint32_t type = slot.value.type;
    if (!IsTextType(type)) {
        for (std::uint8_t byte : slot.value.payload)
            if (byte != sentinel) return true;
        return false;
    }
    if ((type == TypeTextBuf || type == TypeWTextBuf) &&
        ReadPayload<std::uint32_t>(slot.value, kBufLengthOffset) != DeliverySlot::kTextUnits)
        return true;
    bool ansi = !wide && (type == TypeText || type == TypeTextBuf);
    return ansi ? static_cast<std::uint8_t>(slot.ansi[0]) != sentinel
                : slot.wide[0] != static_cast<wchar_t>(sentinel * 0x101);
}

std::wstring FormatSlot(const DeliverySlot& slot, bool wide)
{
    return IsTextType(slot.value.type) ? Quoted(SlotText(slot, wide)) : FormatNumber(slot.value);
}

std::wstring FormatReal(double value, bool single)
{
    if (std::isnan(value)) return L"nan";
    if (std::isinf(value)) return value < 0 ? L"-inf" : L"inf";
    char text[400] = {};
    int precision = 1;
    for (; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        double back = std::strtod(text, nullptr);
        if (single ? static_cast<float>(back) == static_cast<float>(value) : back == value) break;
    }
    // "%g" turns to an exponent from 10^precision up; plant values read better without one while
    // they stay short.
    const char* exponent = std::strchr(text, 'e');
    int power = exponent != nullptr ? std::atoi(exponent + 1) : 0;
    if (exponent != nullptr && power >= -5 && power < 17)
        std::snprintf(text, sizeof text, "%.*f", precision - 1 - power > 0 ? precision - 1 - power : 0,
                      value);
    return std::wstring(text, text + std::strlen(text));
}
