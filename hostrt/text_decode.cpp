// Decoding of parameter files. Each decoder runs twice, first without output to count the UTF-16
// units, then into a block of that size.
#include "hostrt/text_decode.h"

#include "hostrt/core.h"
#include "hostrt/platform.h"

namespace {

// Reports units needed (out null) or writes them; false at the first invalid sequence. Strict: no
// overlong forms, no surrogates, nothing beyond U+10FFFF, so that a legacy file is never taken for
// UTF-8 by accident.
bool DecodeUtf8(const unsigned char* s, std::uint32_t n, wchar_t* out, std::uint32_t* units)
{
    std::uint32_t count = 0;
    std::uint32_t i = 0;
    while (i < n) {
        std::uint32_t lead = s[i];
        std::uint32_t extra = lead < 0x80                    ? 0
                              : lead >= 0xC2 && lead <= 0xDF ? 1
                              : lead >= 0xE0 && lead <= 0xEF ? 2
                              : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                             : 4;
        if (extra == 4 || n - i <= extra) return false;
        std::uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (std::uint32_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (s[i + k] & 0x3Fu);
        }
        const std::uint32_t kLowest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kLowest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            if (out != nullptr) {
                out[count] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                out[count + 1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            count += 2;
        } else {
            if (out != nullptr) out[count] = static_cast<wchar_t>(code);
            ++count;
        }
        i += extra + 1;
    }
    *units = count;
    return true;
}

// UTF-16 in either byte order; no text has a NUL unit.
bool DecodeUtf16(const unsigned char* s, std::uint32_t n, bool bigEndian, wchar_t* out, std::uint32_t* units)
{
    if (n % 2 != 0) return false;
    for (std::uint32_t i = 0; i < n; i += 2) {
        std::uint32_t unit = bigEndian ? (s[i] << 8u) | s[i + 1] : (s[i + 1] << 8u) | s[i];
        if (unit == 0) return false;
        if (out != nullptr) out[i / 2] = static_cast<wchar_t>(unit);
    }
    *units = n / 2;
    return true;
}

bool HasNul(const unsigned char* s, std::uint32_t n)
{
    for (std::uint32_t i = 0; i < n; ++i)
        if (s[i] == 0) return true;
    return false;
}

bool StartsWith(const unsigned char* s, std::uint32_t n, const char* mark, std::uint32_t markLen)
{
    if (n < markLen) return false;
    for (std::uint32_t i = 0; i < markLen; ++i)
        if (s[i] != static_cast<unsigned char>(mark[i])) return false;
    return true;
}

enum class Encoding { Utf8, Utf16Le, Utf16Be, Ansi };

bool Decode(Encoding encoding, const unsigned char* s, std::uint32_t n, wchar_t* out, std::uint32_t* units)
{
    switch (encoding) {
    case Encoding::Utf8:
        return DecodeUtf8(s, n, out, units);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return DecodeUtf16(s, n, encoding == Encoding::Utf16Be, out, units);
    case Encoding::Ansi:
        break;
    }
    // The code page decides how many bytes form a character; the system knows it, we do not.
    *units = out == nullptr ? PlatformAnsiToWide(reinterpret_cast<const char*>(s), n, nullptr, 0)
                            : PlatformAnsiToWide(reinterpret_cast<const char*>(s), n, out, *units);
    return *units != 0 || n == 0;
}

} // namespace

bool DecodeText(const unsigned char* bytes, std::uint32_t size, wchar_t** text, std::uint32_t* length)
{
    *text = nullptr;
    *length = 0;
    Encoding encoding = Encoding::Utf8;
    std::uint32_t skip = 0;
    if (StartsWith(bytes, size, "\xFF\xFE", 2)) {
        encoding = Encoding::Utf16Le;
        skip = 2;
    } else if (StartsWith(bytes, size, "\xFE\xFF", 2)) {
        encoding = Encoding::Utf16Be;
        skip = 2;
    } else if (StartsWith(bytes, size, "\xEF\xBB\xBF", 3)) {
        skip = 3;
    }
    const unsigned char* body = bytes + skip;
    std::uint32_t n = size - skip;
    std::uint32_t units = 0;
    if (encoding == Encoding::Utf8 && HasNul(body, n)) return false;
    if (!Decode(encoding, body, n, nullptr, &units)) {
        if (skip != 0) return false; // the mark promised an encoding the bytes do not follow
        encoding = Encoding::Ansi;
        if (!Decode(encoding, body, n, nullptr, &units)) return false;
    }
    wchar_t* out = nullptr;
    if (!AllocBlock(out, (units + 1) * static_cast<std::uint32_t>(sizeof(wchar_t)))) return false;
    if (!Decode(encoding, body, n, out, &units)) {
        FreeBlock(out);
        return false;
    }
    out[units] = L'\0';
    *text = out;
    *length = units;
    return true;
}
