#pragma once
// The command line COM starts a registered simulation server with: read and replaced, so that a test can
// make the server's class impossible to start for a while (its program missing) and possible again.

#include <string>

#include <windows.h>

#include "tests/support/sim_control.h"

inline std::wstring SimCommandKey(const SimServer& server)
{
    return L"CLSID\\" + server.clsidText + L"\\LocalServer32";
}

// The registered command line; empty when it cannot be read.
inline std::wstring SimCommand(const SimServer& server)
{
    wchar_t command[2048] = {};
    LONG size = sizeof command - sizeof(wchar_t);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, SimCommandKey(server).c_str(), command, &size) != ERROR_SUCCESS)
        return std::wstring();
    return command;
}

inline bool SetSimCommand(const SimServer& server, const std::wstring& command)
{
    return RegSetValueW(HKEY_CLASSES_ROOT, SimCommandKey(server).c_str(), REG_SZ, command.c_str(),
                        static_cast<DWORD>(command.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// A command line whose program does not exist: every start of the class fails at once.
constexpr wchar_t kMissingSimProgram[] = L"\"Z:\\nonexistent\\opcsim.exe\"";
