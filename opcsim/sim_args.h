// The command line of opcsim.exe: --clsid {GUID} [--log <path>] <scenario file>, to which COM
// appends -Embedding when it launches the server.
#pragma once

#include <string>

#include <windows.h>

struct SimArgs {
    CLSID clsid{};
    std::wstring logPath{}; // overrides the scenario's "log" line
    std::wstring scenario{};
};

// False with an error text when the line is not of that form.
bool ParseSimArgs(int argc, wchar_t** argv, SimArgs& args, std::string& error);
