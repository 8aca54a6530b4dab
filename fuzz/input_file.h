#pragma once
// The fuzz input as a file: the reader and LoadParameterFile take a file name, and the product API
// gains nothing for fuzzing.

#include <cstddef>
#include <cstdint>

// Replaces the content of this process's input file (in $TMPDIR, else /tmp) with the bytes. Returns
// its NUL-terminated name, or null when the file cannot be written.
const wchar_t* WriteInputFile(const std::uint8_t* data, std::size_t size);
