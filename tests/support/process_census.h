#pragma once
// Counts of what this process holds, for tests that repeat a cycle and check that nothing accumulates.
// GetProcessHandleCount is not reliable under Wine, so handles are counted by probing.

#include <cstdint>

// Open kernel handles of this process: the handle values 4, 8, ... up to a bound that is probed with
// GetHandleInformation.
std::uint32_t OpenHandleCount();
// Threads of this process (a Toolhelp snapshot).
std::uint32_t ThreadCount();
