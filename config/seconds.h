#pragma once
// Times of the parameter file: seconds, as the reader's real number, to whole milliseconds.

#include <cstdint>

// The milliseconds of a time given in seconds. The value is first taken to the nearest microsecond,
// so that a time written with up to six decimals counts exactly as written (4.35 is 4350 ms although
// its nearest double lies below 4.35), then cut toward zero to the millisecond. Integer arithmetic on
// the double's bits: the result does not depend on the x87 precision the host runs with.
// False for a negative or not-a-number value, and for 4294967295 ms or more (INFINITE to the waits that
// use a time); ms is then untouched.
bool SecondsToMilliseconds(double seconds, std::uint32_t* ms);
