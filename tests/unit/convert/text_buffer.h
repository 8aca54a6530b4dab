#pragma once
// A host's text buffer for delivery tests: larger than the 256 characters a host gives, and filled with
// a guard character, so that a test can prove where a delivery stopped writing.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

template <class Char> struct HostTextBuffer {
    static constexpr std::size_t kSize = 300;
    static constexpr Char kGuard = static_cast<Char>('#');
    Char chars[kSize];

    HostTextBuffer()
    {
        for (Char& ch : chars)
            ch = kGuard;
    }

    // The NUL-terminated text at the start of the buffer.
    std::basic_string<Char> Text() const { return std::basic_string<Char>(chars); }

    // Nothing written from index from on.
    ::testing::AssertionResult UntouchedFrom(std::size_t from) const
    {
        for (std::size_t i = from; i < kSize; ++i)
            if (chars[i] != kGuard) return ::testing::AssertionFailure() << "written at index " << i;
        return ::testing::AssertionSuccess();
    }
};
