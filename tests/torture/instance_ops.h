#pragma once
// What the torture host does with one instance, each export timed against its bound and each answer
// checked against the driver's promises: making and ending it, firing its batches (while connected and
// while lost), and watching it lose its server and come back.

#include <cstdint>

#include "tests/torture/episode_state.h"

// MakeDriver and Init on the episode's server; false (reported) when Init fails.
bool MakeInstance(Episode& episode, std::uint32_t index);
// Done and DisposeDriver.
void EndInstance(Episode& episode, Instance& instance);
// Sees whether the instance is lost, and checks what it reports on the way into and out of a loss.
void ObserveState(Episode& episode, Instance& instance);
// One read batch (the ramp, the written item or both) or one write batch of a fresh value. A batch of
// a direction whose last batch is not settled is skipped while connected; false when skipped.
bool FireRead(Episode& episode, Instance& instance, bool withRamp, bool withTarget);
bool FireWrite(Episode& episode, Instance& instance);
