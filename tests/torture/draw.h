#pragma once
// The campaign's only source of chance: a seeded generator, so that an episode's seed fixes every fault
// and every host action it draws, and the same seed replays the same episode.

#include <cstdint>

struct Draw {
    std::uint64_t state = 0;
};

Draw SeededDraw(std::uint64_t seed);
// A number in [0, bound); 0 when bound is 0.
std::uint32_t Below(Draw& draw, std::uint32_t bound);
// A number in [low, high].
std::uint32_t Between(Draw& draw, std::uint32_t low, std::uint32_t high);
bool Chance(Draw& draw, std::uint32_t percent);
