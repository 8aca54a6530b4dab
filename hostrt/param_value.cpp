// Value forms of the parameter file. Reals are checked against our own grammar first and only then
// converted by std::from_chars, which never looks at the locale.
#include "hostrt/param_value.h"

#include <charconv>

namespace {

wchar_t AsciiLower(wchar_t ch)
{
    return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// Index after the run of digits that starts at i.
std::uint32_t SkipDigits(std::uint32_t len, const wchar_t* text, std::uint32_t i)
{
    while (i < len && IsDigit(text[i]))
        ++i;
    return i;
}

bool IsSign(wchar_t ch)
{
    return ch == L'+' || ch == L'-';
}

// Whether text is exactly a number of the documented grammar.
bool IsRealText(std::uint32_t len, const wchar_t* text)
{
    std::uint32_t i = len != 0 && IsSign(text[0]) ? 1 : 0;
    std::uint32_t intEnd = SkipDigits(len, text, i);
    std::uint32_t digits = intEnd - i;
    i = intEnd;
    if (i < len && text[i] == L'.') {
        std::uint32_t fracEnd = SkipDigits(len, text, i + 1);
        digits += fracEnd - (i + 1);
        i = fracEnd;
    }
    if (digits == 0) return false;
    if (i < len && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        if (i < len && IsSign(text[i])) ++i;
        std::uint32_t expEnd = SkipDigits(len, text, i);
        if (expEnd == i) return false;
        i = expEnd;
    }
    return i == len;
}

} // namespace

bool SameName(std::uint32_t len1, const wchar_t* text1, std::uint32_t len2, const wchar_t* text2)
{
    if (len1 != len2) return false;
    for (std::uint32_t i = 0; i < len1; ++i)
        if (AsciiLower(text1[i]) != AsciiLower(text2[i])) return false;
    return true;
}

bool ParseBoolText(std::uint32_t len, const wchar_t* text, bool* value)
{
    struct Word {
        const wchar_t* text;
        std::uint32_t len;
        bool value;
    };
    static const Word kWords[] = {{L"true", 4, true}, {L"false", 5, false}, {L"yes", 3, true},
                                  {L"no", 2, false},  {L"on", 2, true},     {L"off", 3, false},
                                  {L"1", 1, true},    {L"0", 1, false}};
    for (const Word& word : kWords) {
        if (SameName(len, text, word.len, word.text)) {
            *value = word.value;
            return true;
        }
    }
    return false;
}

bool ParseRealText(std::uint32_t len, const wchar_t* text, double* value)
{
    constexpr std::uint32_t kMaxRealText = 255; // far beyond any digits a double can hold
    if (len > kMaxRealText || !IsRealText(len, text)) return false;
    char narrow[kMaxRealText + 1];
    std::uint32_t start = text[0] == L'+' ? 1 : 0; // from_chars takes no plus sign
    std::uint32_t n = 0;
    for (std::uint32_t i = start; i < len; ++i)
        narrow[n++] = static_cast<char>(text[i]);
    double result = 0;
    std::from_chars_result parsed = std::from_chars(narrow, narrow + n, result);
    if (parsed.ec != std::errc() || parsed.ptr != narrow + n) return false;
    *value = result;
    return true;
}
