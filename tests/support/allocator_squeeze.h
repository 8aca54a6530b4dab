#pragma once
// Takes every block the core allocator can still give, down to single bytes, so that the next
// AllocBlock fails: the way to reach the out-of-memory paths. The C runtime's heap runs dry with it, so
// between Squeeze and Release call only the code under test (no assertions, no std::string).

#include <cstdint>

class AllocatorSqueeze {
public:
    AllocatorSqueeze() = default;
    ~AllocatorSqueeze() { Release(); }
    AllocatorSqueeze(const AllocatorSqueeze&) = delete;
    AllocatorSqueeze& operator=(const AllocatorSqueeze&) = delete;

    // True when a one-byte AllocBlock fails afterwards.
    bool Squeeze();
    // Gives every taken block back; safe to repeat.
    void Release();

private:
    static constexpr std::uint32_t kMaxBlocks = 1u << 16;
    void* blocks[kMaxBlocks] = {};
    std::uint32_t count = 0;
};
