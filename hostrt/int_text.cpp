// Unsigned 32-bit numbers as text, in radix 2 to 36 (digits beyond 9 are letters, upper case written,
// either case read).
#include "hostrt/core.h"

namespace {

constexpr std::uint32_t kMinRadix = 2;
constexpr std::uint32_t kMaxRadix = 36;
constexpr wchar_t kDigits[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool RadixValid(std::uint32_t radix)
{
    return radix >= kMinRadix && radix <= kMaxRadix;
}

// The digit's value, or kMaxRadix when ch is no digit in any radix.
std::uint32_t DigitValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') return static_cast<std::uint32_t>(ch - L'0');
    if (ch >= L'A' && ch <= L'Z') return static_cast<std::uint32_t>(ch - L'A') + 10;
    if (ch >= L'a' && ch <= L'z') return static_cast<std::uint32_t>(ch - L'a') + 10;
    return kMaxRadix;
}

void SetFlag(bool* ok, bool value)
{
    if (ok != nullptr) *ok = value;
}

} // namespace

void FormatInt(std::uint32_t value, std::uint32_t dstMax, wchar_t* dst, std::uint32_t radix, bool* ok)
{
    SetFlag(ok, false);
    if (dst == nullptr) return;
    dst[0] = L'\0';
    if (!RadixValid(radix)) return;
    wchar_t reversed[32]; // 32 binary digits at most
    std::uint32_t n = 0;
    do {
        reversed[n++] = kDigits[value % radix];
        value /= radix;
    } while (value != 0);
    if (n > dstMax) return;
    for (std::uint32_t i = 0; i < n; ++i)
        dst[i] = reversed[n - 1 - i];
    dst[n] = L'\0';
    SetFlag(ok, true);
}

std::uint32_t ParseInt(std::uint32_t len, const wchar_t* text, std::uint32_t radix, bool* ok)
{
    // Digits only: no sign, no blanks, no prefix. A channel number written " 5" or "+5" is a
    // mistake the user should see, not a guess we make.
    SetFlag(ok, false);
    std::uint32_t n = WideLen(len, text);
    if (n == 0 || !RadixValid(radix)) return 0;
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t digit = DigitValue(text[i]);
        if (digit >= radix) return 0;
        if (value > (UINT32_MAX - digit) / radix) return 0; // beyond 32 bits
        value = value * radix + digit;
    }
    SetFlag(ok, true);
    return value;
}
