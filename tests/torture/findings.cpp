#include "tests/torture/findings.h"

#include <cstdio>

namespace {

void Print(const Findings& findings, const char* label, const std::string& what)
{
    std::printf("%s [%s +%llums] %s\n", label, findings.episode.c_str(),
                static_cast<unsigned long long>(GetTickCount64() - findings.startTick), what.c_str());
}

} // namespace

Findings StartFindings(std::uint64_t seed, const char* modeName)
{
    Findings findings;
    findings.episode = "seed " + std::to_string(seed) + " " + modeName;
    findings.startTick = GetTickCount64();
    return findings;
}

void Fail(Findings& findings, const std::string& what)
{
    findings.failures.push_back(what);
    Print(findings, "FAIL", what);
}

void Tell(const Findings& findings, const std::string& what)
{
    Print(findings, "    ", what);
}
