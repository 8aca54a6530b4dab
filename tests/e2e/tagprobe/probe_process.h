#pragma once
// tagprobe.exe (beside the test program) run as a child process, its output captured in files: a
// server that COM launches from it inherits its standard handles, and a pipe would stay open until
// that server ends.

#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

struct ProbeResult {
    DWORD exitCode = 0xFFFFFFFFu;
    std::string out; // standard output, UTF-8
    std::string err; // standard error, UTF-8
};

// Runs tagprobe with args and waits for it (at most 120 s, then it is ended by its handle). program:
// another copy of tagprobe.exe to run; empty for the one beside the test program.
::testing::AssertionResult RunProbe(const std::vector<std::wstring>& args, ProbeResult& result,
                                    const std::wstring& program = {});

// The lines of text, without line breaks.
std::vector<std::string> Lines(const std::string& text);

// The rows of the first table whose header line starts with firstHeader, cut into cells at the
// columns its rule line ("-----  ---") marks; cells are trimmed.
std::vector<std::vector<std::string>> TableRows(const std::string& text, const std::string& firstHeader);
// The row of that table whose first cell is key; empty when there is none.
std::vector<std::string> TableRow(const std::string& text, const std::string& firstHeader,
                                  const std::string& key);

// Whether text holds line as one whole line.
bool HasLine(const std::string& text, const std::string& line);
