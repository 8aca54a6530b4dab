#pragma once
// Channel operands: numbers and ranges (read, watch) and assignments CH[:TYPE]=VALUE (write).

#include <cstdint>
#include <string>
#include <vector>

// The most channel numbers one range operand may name, so that a typo like 0-4000000000 is refused
// instead of queueing billions of requests.
constexpr std::uint32_t kMaxRangeOperand = 100000;

// Appends the numbers of "N" or "FIRST-LAST" to numbers, skipping numbers already listed. False with
// the reason when the operand is not of that form.
bool AppendChannels(const std::wstring& operand, std::vector<std::uint32_t>& numbers, std::wstring& error);

struct Assignment {
    std::uint32_t channel = 0;
    bool hasType = false;
    std::uint32_t type = 0; // the host type named after ":"
    std::wstring text{};    // everything after the first "="
};

// Reads "CH=VALUE" or "CH:TYPE=VALUE". False with the reason when it is not of that form.
bool ParseAssignment(const std::wstring& operand, Assignment& out, std::wstring& error);
