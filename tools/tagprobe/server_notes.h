#pragma once
// What the driver does with each key of [server] that it accepted: the resolved mode, times in
// milliseconds, and what the update rate means for the group and for reads.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tagprobe/file_review.h"

struct OpcDriver;

struct KeyLine {
    std::uint32_t line = 0;
    std::wstring key{};
    std::wstring value{};
};

// Appends one note per key (keys: the known keys of [server] in file order) and one for the mode, at
// headerLine, from the values the driver read into drv.
void AddServerNotes(const std::vector<KeyLine>& keys, std::uint32_t headerLine, const OpcDriver& drv,
                    std::vector<Finding>& notes);
