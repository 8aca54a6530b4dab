// Text in the system ANSI code page. The system conversions fail instead of cutting when the
// destination is too small, so the cut is made here, always between whole characters: never inside
// a DBCS pair or a surrogate pair.
#include "hostrt/core.h"

#include "hostrt/platform.h"

namespace {

bool IsHighSurrogate(wchar_t ch)
{
    return ch >= 0xD800 && ch <= 0xDBFF;
}

// Units of the character that starts at text[i]: 2 for a complete surrogate pair, else 1.
std::uint32_t CharUnits(const wchar_t* text, std::uint32_t i, std::uint32_t n)
{
    return IsHighSurrogate(text[i]) && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF ? 2 : 1;
}

} // namespace

void AnsiToWide(std::uint32_t srcLen, const char* src, std::uint32_t dstMax, wchar_t* dst)
{
    if (dst == nullptr) return;
    dst[0] = L'\0';
    std::uint32_t n = AnsiLen(srcLen, src);
    std::uint32_t need = PlatformAnsiToWide(src, n, nullptr, 0);
    if (need == 0) return;
    if (need <= dstMax) {
        dst[PlatformAnsiToWide(src, n, dst, need)] = L'\0';
        return;
    }
    // Too long: convert whole into a temporary, then keep what fits without splitting a pair.
    wchar_t* whole = nullptr;
    if (!AllocBlock(whole, static_cast<std::uint32_t>(need * sizeof(wchar_t)))) return;
    std::uint32_t got = PlatformAnsiToWide(src, n, whole, need);
    std::uint32_t keep = 0;
    while (keep < got) {
        std::uint32_t units = CharUnits(whole, keep, got);
        if (keep + units > dstMax) break;
        keep += units;
    }
    CopyChars(whole, dst, keep);
    dst[keep] = L'\0';
    FreeBlock(whole);
}

void WideToAnsi(std::uint32_t srcLen, const wchar_t* src, std::uint32_t dstMax, char* dst)
{
    if (dst == nullptr) return;
    dst[0] = '\0';
    std::uint32_t n = WideLen(srcLen, src);
    std::uint32_t need = PlatformWideToAnsi(src, n, nullptr, 0);
    if (need == 0) return;
    // Too long: find the longest run of whole characters whose bytes fit, one character at a time
    // (a character is one or two bytes in a DBCS code page, up to four in UTF-8).
    std::uint32_t units = n;
    if (need > dstMax) {
        units = 0;
        need = 0;
        while (units < n) {
            std::uint32_t charUnits = CharUnits(src, units, n);
            std::uint32_t bytes = PlatformWideToAnsi(src + units, charUnits, nullptr, 0);
            if (need + bytes > dstMax) break;
            need += bytes;
            units += charUnits;
        }
    }
    dst[PlatformWideToAnsi(src, units, dst, need)] = '\0';
}
