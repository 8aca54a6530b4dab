#pragma once
// Closes the core allocator, so that every AllocBlock fails until Release: the way to reach the
// out-of-memory paths. It works through the allocator's gate, not by exhausting the heap, so it takes
// no time and means the same in a 32-bit and a 64-bit process. No other thread may allocate meanwhile.

class AllocatorSqueeze {
public:
    AllocatorSqueeze() = default;
    ~AllocatorSqueeze() { Release(); }
    AllocatorSqueeze(const AllocatorSqueeze&) = delete;
    AllocatorSqueeze& operator=(const AllocatorSqueeze&) = delete;

    // True when a one-byte AllocBlock fails afterwards.
    bool Squeeze();
    // Opens the allocator again; safe to repeat.
    void Release();

private:
    bool closed = false;
};
