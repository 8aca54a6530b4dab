#pragma once
// The parsed form of a parameter file: one record per section header and per entry, in file order,
// pointing into the decoded text.

#include <cstdint>

struct ParamEntry {
    std::uint32_t header = 0;   // index of the header above the entry (of a header: its own)
    std::uint32_t keyStart = 0; // the key, or the section name of a header
    std::uint32_t keyLength = 0;
    std::uint32_t valueStart = 0;
    std::uint32_t valueLength = 0;
    bool isHeader = false;
    bool isCurrent = false; // of a header: named like the current section (repeated headers merge)
};

// The first entry that stands before every section header, when the text has one.
struct StrayEntry {
    bool found = false;
    std::uint32_t keyStart = 0;
    std::uint32_t keyLength = 0;
};

// Splits the text into headers and entries (a new block of the core allocator in *entries, or null
// for a file without any). False when memory runs out, or when an entry comes before the first
// section header: such a file is malformed, and its entry would otherwise be lost without a word;
// *stray then tells which entry it is, so that the caller can say so.
bool ParseParamText(const wchar_t* text, std::uint32_t length, ParamEntry** entries, std::uint32_t* count,
                    StrayEntry* stray);
