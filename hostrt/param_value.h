#pragma once
// How the parameter-file reader reads booleans and reals out of value text.

#include <cstdint>

// true/false, yes/no, on/off, 1/0 in any ASCII case; false (and *value untouched) for anything else.
bool ParseBoolText(std::uint32_t len, const wchar_t* text, bool* value);
// A decimal number with a point (never a comma, whatever the locale) and an optional exponent:
// [+|-] digits [. digits] [e|E [+|-] digits], with at least one digit before the exponent. False
// (and *value untouched) for anything else, for NaN or infinity, and for a number beyond the range of
// a double (too large, or so small that it would become 0).
bool ParseRealText(std::uint32_t len, const wchar_t* text, double* value);

// The ASCII case-insensitive equality of two counted texts, by which keys and sections match.
bool SameName(std::uint32_t len1, const wchar_t* text1, std::uint32_t len2, const wchar_t* text2);
