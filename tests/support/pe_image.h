#pragma once
// Reads what the loader would see of a PE file without loading it: machine, exported names, imported DLLs.

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
    std::uint16_t machine = 0;
    std::vector<std::string> exports;
    std::vector<std::string> imports;
};

// False (with a reason) when the file cannot be read or is not a well-formed PE image.
bool ReadPeImage(const std::wstring& path, PeImage& image, std::string& reason);
