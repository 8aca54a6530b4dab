#pragma once
// The caller's error buffer of LoadParameterFile and the two shapes of its messages: a message alone,
// or "offending text: message". Every message is cut to the buffer's maximum.

#include <cstdint>

// Longest key of an entry, and so the longest offending text a message quotes.
constexpr std::uint32_t kKeyMax = 15;

struct ErrorText {
    std::uint32_t max = 0;   // characters that may be written, not counting the NUL
    wchar_t* text = nullptr; // null: the caller gave no buffer, nothing is written
};

// Writes message; returns false so that a refusing step can return its result.
bool Fail(const ErrorText& err, const wchar_t* message);
// Writes offending (cut to kKeyMax characters), ": " and message; returns false.
bool FailWith(const ErrorText& err, const wchar_t* offending, const wchar_t* message);
