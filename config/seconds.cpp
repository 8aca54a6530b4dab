#include "config/seconds.h"

#include <cstring>

namespace {

constexpr std::uint64_t kMicrosecondsPerSecond = 1000000;
constexpr std::uint64_t kMillisecondsLimit = 4294967295;
constexpr std::uint64_t kLow32 = 0xFFFFFFFFu;

struct Wide {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
};

void AddTo(Wide& sum, std::uint64_t addend)
{
    sum.low += addend;
    if (sum.low < addend) ++sum.high;
}

// mantissa * 10^6 without loss: the mantissa has 53 bits, the product up to 73.
Wide TimesMillion(std::uint64_t mantissa)
{
    std::uint64_t upper = (mantissa >> 32) * kMicrosecondsPerSecond; // below 2^41
    Wide product{upper >> 32, (upper & kLow32) << 32};
    AddTo(product, (mantissa & kLow32) * kMicrosecondsPerSecond);
    return product;
}

// (mantissa * 2^-shift) seconds in microseconds, rounded to the nearest (halves up).
// shift is at least 21 here, since the value is below 2^32.
std::uint64_t RoundedMicroseconds(std::uint64_t mantissa, std::uint32_t shift)
{
    Wide scaled = TimesMillion(mantissa);
    std::uint32_t half = shift - 1;
    if (half < 64)
        AddTo(scaled, std::uint64_t{1} << half);
    else
        scaled.high += std::uint64_t{1} << (half - 64);
    if (shift < 64) return (scaled.low >> shift) | (scaled.high << (64 - shift));
    return scaled.high >> (shift - 64);
}

} // namespace

bool SecondsToMilliseconds(double seconds, std::uint32_t* ms)
{
    // Comparisons are exact at any precision; NaN fails the first one. Below 2^32 s the shift stays in
    // the range RoundedMicroseconds handles.
    if (!(seconds >= 0.0 && seconds < 4294967296.0)) return false;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    std::uint32_t exponent = static_cast<std::uint32_t>(bits >> 52) & 0x7FF;
    std::uint64_t micro = 0;
    // Zero and subnormals (exponent 0) are far below half a microsecond; so is anything shifted by
    // 75 bits or more (below 2^-22 s).
    if (exponent != 0 && 1075 - exponent < 75) {
        std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        micro = RoundedMicroseconds(mantissa, 1075 - exponent);
    }
    std::uint64_t milli = micro / 1000;
    if (milli >= kMillisecondsLimit) return false;
    *ms = static_cast<std::uint32_t>(milli);
    return true;
}
