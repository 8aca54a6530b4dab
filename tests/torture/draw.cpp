#include "tests/torture/draw.h"

namespace {

// splitmix64: every seed, 0 included, gives a well-mixed sequence, and the state is one number.
std::uint64_t NextBits(Draw& draw)
{
    std::uint64_t z = (draw.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

Draw SeededDraw(std::uint64_t seed)
{
    return Draw{seed};
}

std::uint32_t Below(Draw& draw, std::uint32_t bound)
{
    return bound == 0 ? 0 : static_cast<std::uint32_t>(NextBits(draw) % bound);
}

std::uint32_t Between(Draw& draw, std::uint32_t low, std::uint32_t high)
{
    return low + Below(draw, high - low + 1);
}

bool Chance(Draw& draw, std::uint32_t percent)
{
    return Below(draw, 100) < percent;
}
