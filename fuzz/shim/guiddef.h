#pragma once
// Fuzzing build only: the GUID record of the Windows headers, in its 16-byte layout.

#include <cstdint>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "the Windows layout");
