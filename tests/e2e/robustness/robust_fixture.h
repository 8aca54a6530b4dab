#pragma once
// What the robustness tests share: the end-to-end test host against its own simulation server, in the mode
// of the test's parameter, with the time each export call took, and the bound every export must meet.

#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"

// No export may keep the host longer than the driver's own longest wait (30 s for a worker to stop)
// plus room for a loaded machine.
constexpr ULONGLONG kExportBoundMs = 40000;
// A call the driver makes without waiting on anything of its own: a dead server's connection fails fast.
constexpr ULONGLONG kQuickCallMs = 5000;

// How long action took, in milliseconds.
inline ULONGLONG Timed(const std::function<void()>& action)
{
    ULONGLONG start = GetTickCount64();
    action();
    return GetTickCount64() - start;
}

class RobustE2E : public ExchangeE2E {
protected:
    // Done and DisposeDriver as the host calls them (and the server's registration removed, which takes
    // no time worth counting); the time it took. The server's log is gone afterwards.
    ULONGLONG EndInstance()
    {
        return Timed([&] { host.Stop(); });
    }
    // A scenario line for the read or write call of this mode.
    std::string Behaviour(const std::string& what, bool write, const std::string& rest = "") const
    {
        return "behaviour " + what + " " + (write ? WriteCall(mode()) : ReadCall(mode())) +
               (rest.empty() ? "" : " " + rest) + "\n";
    }
};
