#pragma once
// The host's wait for a batch: this thread dispatches its messages (the driver's window, and COM's
// incoming calls to this apartment) until a flag set by one of them holds. It sleeps only until the
// next message arrives, so the measured time is not rounded up to any poll interval.

#include <cstdint>

// True as soon as done is true; false when timeoutMs passed first.
bool PumpUntil(const bool& done, std::uint32_t timeoutMs);
