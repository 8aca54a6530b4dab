#pragma once
// The few operating-system services the host runtime needs, kept here so that the rest of hostrt/
// stays portable (it can then also be built natively, with -fshort-wchar, for fuzzing).

#include <cstdint>

// Milliseconds since an arbitrary start; never goes backwards.
std::uint64_t PlatformTicks();

// Converts srcLen units in the system ANSI code page. With dst null, returns the units the whole text
// needs; otherwise the units written (at most dstCap). Returns 0 when the text does not fit or cannot
// be converted: the system refuses to cut, so callers cut themselves.
std::uint32_t PlatformAnsiToWide(const char* src, std::uint32_t srcLen, wchar_t* dst, std::uint32_t dstCap);
std::uint32_t PlatformWideToAnsi(const wchar_t* src, std::uint32_t srcLen, char* dst, std::uint32_t dstCap);

// Reads the whole file named by the NUL-terminated path into a new block of the core allocator
// (*data, *size). False, with *data null, when it cannot be opened or read, is larger than maxBytes,
// or memory runs out.
bool PlatformReadFile(const wchar_t* path, std::uint32_t maxBytes, unsigned char** data, std::uint32_t* size);
