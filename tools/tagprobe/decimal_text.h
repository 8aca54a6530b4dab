#pragma once
// Plain decimal numbers on the command line: digits only, no sign, no blanks.

#include <cstdint>
#include <string>

// True with value when text is 1 to 10 decimal digits whose number is at most max.
bool ParseDecimal(const std::wstring& text, std::uint32_t max, std::uint32_t& value);
