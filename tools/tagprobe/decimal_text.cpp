#include "tools/tagprobe/decimal_text.h"

bool ParseDecimal(const std::wstring& text, std::uint32_t max, std::uint32_t& value)
{
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t number = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9') return false;
        number = number * 10 + static_cast<std::uint64_t>(ch - L'0');
    }
    if (number > max) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}
