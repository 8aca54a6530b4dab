#pragma once
// Control of the simulation server (opcsim.exe, beside the test programs) for end-to-end tests: a
// scenario registered under a fresh CLSID in this Wine prefix, its event log, and its process.
// COM launches the server on the first CoCreateInstance of the CLSID (about 1 s under Wine); the server
// stays for the scenario's linger time after its last object, so tests of one scenario share it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

struct SimServer {
    CLSID clsid{};
    std::wstring clsidText{};    // "{XXXXXXXX-...}", as a parameter file names a server
    std::wstring scenarioPath{}; // empty when the scenario file is not ours to delete
    std::wstring logPath{};
    bool ownsScenario = false;
};

// Writes the scenario text to a temporary file and registers it under a fresh CLSID
// (HKCR\CLSID\{...}\LocalServer32 = "opcsim.exe --clsid {...} --log <log> <scenario>").
::testing::AssertionResult RegisterSimScenario(const std::string& scenarioText, SimServer& server);
// The same for an existing scenario file (e.g. examples/plant.scenario), given by its Windows path.
::testing::AssertionResult RegisterSimScenarioFile(const std::wstring& scenarioPath, SimServer& server);
// Removes the registration, the log and a scenario file of our own; safe to repeat. After a failure in
// the running test the log and the scenario stay, and their paths are printed.
void UnregisterSimScenario(SimServer& server);

// The log's lines so far, and those that start with `prefix`.
std::vector<std::string> ReadSimLog(const SimServer& server);
std::vector<std::string> SimLogLines(const SimServer& server, const std::string& prefix);
// Pumps messages until the log holds `count` lines starting with `prefix`.
::testing::AssertionResult WaitForSimLog(const SimServer& server, const std::string& prefix,
                                         std::size_t count, std::uint32_t timeoutMs);

// Every server process the log saw start, in order; the latest of them (0 when none); and its forced
// end: for crash and hang tests, which then need a fresh CLSID (COM may keep the dead class registered).
std::vector<DWORD> SimServerProcessIds(const SimServer& server);
DWORD SimServerProcessId(const SimServer& server);
::testing::AssertionResult KillSimServer(const SimServer& server);
// Ends a process as a crash would and waits (bounded) for its end; false when it could not be opened or
// did not end.
bool EndProcess(DWORD pid);
// Suspends (or resumes) every thread of the server's latest process: a server frozen so answers
// nothing, not even the release of its objects.
::testing::AssertionResult FreezeSimServer(const SimServer& server, bool freeze);

// The folder of the running test program, where opcsim.exe and the other binaries are.
std::wstring BinaryFolder();
