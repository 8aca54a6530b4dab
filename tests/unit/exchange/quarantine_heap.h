#pragma once
// A heap that catches a use after free: while it is armed, every block the program frees is filled with
// a pattern and kept instead of being given back, so a read through a stale pointer finds the pattern
// (a pointer made of it faults) and a write shows when the blocks are checked. The program is linked
// with --wrap=malloc --wrap=free, so the core allocator's blocks, the record and the channels included,
// all come through here. One thread at a time arms and checks it.

#include <gtest/gtest.h>

class QuarantineHeap {
public:
    QuarantineHeap();
    ~QuarantineHeap();
    QuarantineHeap(const QuarantineHeap&) = delete;
    QuarantineHeap& operator=(const QuarantineHeap&) = delete;

    // Success when every block freed since arming still holds the whole pattern.
    ::testing::AssertionResult Untouched() const;
};
