#pragma once
// The window's message and timer of recovery (connection/supervision.h).

#include <cstdint>

#include <windows.h>

// Posted by the probe thread or the attempt's worker once it knows whether the attempt can go on.
constexpr std::uint32_t MsgAttemptDone = 1032;
// The timer that starts the next attempt, `reconnect` seconds after the loss or the failed attempt.
constexpr UINT_PTR kReconnectTimerId = 1032;
// supervision.attemptResult while the attempt's thread has not answered (0 failed, 1 connected).
constexpr std::uint32_t kAttemptPending = 2;
