#include "config/clsid.h"

#include <cstdint>

#include "hostrt/core.h"

namespace {

// The text is measured only this far: anything longer is no CLSID either.
constexpr std::uint32_t kTextMax = 511;
constexpr std::uint32_t kClsidLength = 38;

struct DigitGroup {
    std::uint8_t at;     // position of the first digit
    std::uint8_t digits; // number of digits
};

// In the order of the GUID's fields: Data1, Data2, Data3, then the eight bytes of Data4.
constexpr DigitGroup kGroups[] = {{1, 8},  {10, 4}, {15, 4}, {20, 2}, {22, 2}, {25, 2},
                                  {27, 2}, {29, 2}, {31, 2}, {33, 2}, {35, 2}};
constexpr std::uint32_t kGroupCount = sizeof kGroups / sizeof kGroups[0];

bool ReadHexGroup(const wchar_t* text, DigitGroup group, std::uint32_t& value)
{
    value = 0;
    for (std::uint32_t i = group.at; i < group.at + group.digits; ++i) {
        wchar_t c = text[i];
        std::uint32_t digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = c - L'0';
        } else if (c >= L'A' && c <= L'F') {
            digit = c - L'A' + 10;
        } else {
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

} // namespace

bool ParseClsid(const wchar_t* text, GUID* clsid)
{
    if (WideLen(kTextMax, text) != kClsidLength || text[0] != L'{' || text[37] != L'}' || text[9] != L'-' ||
        text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
        return false;
    std::uint32_t values[kGroupCount];
    for (std::uint32_t i = 0; i < kGroupCount; ++i) {
        if (!ReadHexGroup(text, kGroups[i], values[i])) return false;
    }
    GUID parsed{};
    parsed.Data1 = values[0];
    parsed.Data2 = static_cast<std::uint16_t>(values[1]);
    parsed.Data3 = static_cast<std::uint16_t>(values[2]);
    for (std::uint32_t i = 0; i < 8; ++i)
        parsed.Data4[i] = static_cast<std::uint8_t>(values[3 + i]);
    *clsid = parsed;
    return true;
}
