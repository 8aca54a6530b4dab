#pragma once
// A destination buffer for counted-text tests: pre-filled with a guard character (after an optional
// initial text), so that a test can prove that an operation wrote nothing beyond dstMax + 1 characters.

#include <gtest/gtest.h>

#include <string>

template <class Char> struct GuardedBuffer {
    static constexpr std::uint32_t kSize = 64;
    static constexpr Char kGuard = static_cast<Char>('#');
    Char chars[kSize];
    Char before[kSize];

    explicit GuardedBuffer(const Char* initial = nullptr)
    {
        for (Char& ch : chars)
            ch = kGuard;
        std::uint32_t i = 0;
        for (; initial != nullptr && initial[i] != 0; ++i)
            chars[i] = initial[i];
        if (initial != nullptr) chars[i] = 0;
        for (std::uint32_t k = 0; k < kSize; ++k)
            before[k] = chars[k];
    }

    std::basic_string<Char> Text() const { return std::basic_string<Char>(chars); }

    // Nothing written after the room of dstMax characters and the terminator.
    ::testing::AssertionResult UntouchedAfter(std::uint32_t dstMax) const
    {
        for (std::uint64_t i = std::uint64_t{dstMax} + 1; i < kSize; ++i)
            if (chars[i] != before[i]) return ::testing::AssertionFailure() << "written at index " << i;
        return ::testing::AssertionSuccess();
    }
};
