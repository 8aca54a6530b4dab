#pragma once
// tagprobe's review of a parameter file, line by line, as a reviewer would read it: sections and keys
// the driver does not read, the values and channel entries the driver refuses (found by the driver's
// own reader and checks, so the review never disagrees with Init), and what the driver does with each
// key it accepts. What the server says of the items is added by the item review.

#include <cstdint>
#include <string>
#include <vector>

#include <guiddef.h>

enum class FindingLevel {
    Note,    // what the driver does with an accepted key
    Warning, // the driver ignores something the author may have meant
    Error,   // Init would fail, or a channel would
};

struct Finding {
    std::uint32_t line = 0; // 0: the file as a whole
    FindingLevel level = FindingLevel::Note;
    std::wstring text{};
};

struct ReviewedChannel {
    std::uint32_t first = 0;
    std::uint32_t count = 0; // 0: a scalar channel; else the elements of a range
    std::wstring itemId{};
    std::uint32_t line = 0;
};

struct FileReview {
    std::vector<Finding> findings{};
    bool serverAccepted = false; // the driver accepts [server]; clsid and host are then its values
    GUID clsid{};
    std::wstring host{};
    std::vector<ReviewedChannel> channels{}; // the entries the driver accepts, in file order
};

void ReviewParameterFile(const std::wstring& file, FileReview& review);

// "channel 7" or "channels 20-29".
std::wstring ChannelName(std::uint32_t first, std::uint32_t count);
// Whether some finding is at least a warning, or an error.
std::size_t CountFindings(const std::vector<Finding>& findings, FindingLevel atLeast);
