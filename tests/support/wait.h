#pragma once
// The one way tests wait: poll a condition while pumping this thread's messages, because an instance's
// hidden window (completions, shutdown notices, notifications) receives nothing unless the thread that
// created it dispatches. No fixed sleeps: the wait ends as soon as the condition holds.

#include <cstdint>
#include <functional>

#include <gtest/gtest.h>

// Dispatches every message waiting in this thread's queue; returns how many were dispatched.
std::uint32_t PumpMessages();

// Success as soon as predicate() is true; failure naming description after timeoutMs milliseconds.
// Messages are dispatched between polls, and the thread sleeps only until new input arrives or a
// short poll interval ends, so a condition changed by another thread is seen within that interval.
::testing::AssertionResult WaitUntil(const std::function<bool()>& predicate, std::uint32_t timeoutMs,
                                     const char* description);
