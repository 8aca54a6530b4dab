#pragma once
// The host's quality level of an OPC quality word.

#include <cstdint>

constexpr std::uint32_t kQualityBad = 0;
constexpr std::uint32_t kQualityUncertain = 500;
constexpr std::uint32_t kQualityGood = 750;

// Only the two quality bits count (mask 0xC0): good 750, uncertain 500, bad and the undefined
// combination 0x80 give 0. Substatus, limit and vendor bits are ignored.
std::uint32_t QualityLevel(std::uint16_t quality);
