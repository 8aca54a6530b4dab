#pragma once
// What one fuzz target checks on each input, given as its bytes and as the file that holds them: null
// when every promise held, else what broke. Each target program defines it once (reader_target.cpp,
// load_target.cpp).

#include <cstddef>
#include <cstdint>

const char* RunTarget(const std::uint8_t* data, std::size_t size, const wchar_t* path);
