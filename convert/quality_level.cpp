#include "convert/quality_level.h"

namespace {

constexpr std::uint16_t kQualityMask = 0xC0;
constexpr std::uint16_t kOpcGood = 0xC0;
constexpr std::uint16_t kOpcUncertain = 0x40;

} // namespace

std::uint32_t QualityLevel(std::uint16_t quality)
{
    switch (quality & kQualityMask) {
    case kOpcGood:
        return kQualityGood;
    case kOpcUncertain:
        return kQualityUncertain;
    default:
        return kQualityBad;
    }
}
