#pragma once
// The torture host's message loop: it dispatches the host thread's messages (every notification and
// completion arrives through them), watches each live instance after every round, and keeps the
// driver's recent trace for the failure reports. Every wait in the episode goes through it, with a
// deadline.

#include <cstdint>
#include <functional>

#include "tests/torture/episode_state.h"

// Runs the loop until done() holds or timeoutMs has passed; true when done() held.
bool RunUntil(Episode& episode, const std::function<bool()>& done, std::uint32_t timeoutMs);
// Prints the trace lines kept last, after a failure.
void PrintRecentTrace(const Episode& episode);
