#pragma once
// Turns the bytes of a text file into UTF-16, recognising the encoding by its byte-order mark.

#include <cstdint>

// A UTF-16 (LE or BE) or UTF-8 byte-order mark decides the encoding; without one the bytes are UTF-8
// when they are valid UTF-8, else text in the system ANSI code page (older files). False when the
// bytes are no text: a NUL anywhere, an odd number of UTF-16 bytes, invalid UTF-8 after a UTF-8 mark.
// On success *text is a new block of the core allocator holding *length characters and a NUL.
bool DecodeText(const unsigned char* bytes, std::uint32_t size, wchar_t** text, std::uint32_t* length);
