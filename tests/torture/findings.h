#pragma once
// What one episode found: every broken promise, printed the moment it is seen with the episode's seed
// and its time into the episode, so that a failure can be replayed from its line alone.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

struct Findings {
    std::string episode; // "seed 17 Async"
    ULONGLONG startTick = 0;
    std::vector<std::string> failures;
};

Findings StartFindings(std::uint64_t seed, const char* modeName);
void Fail(Findings& findings, const std::string& what);
// A line of the episode's story (its faults, its plan, its outcome), not a failure.
void Tell(const Findings& findings, const std::string& what);
