#pragma once
// What the recovery tests share: an exchange host whose file asks for recovery, the instance's view of
// being lost and back, and control over what the next server process does (its scenario file, or a
// registration that cannot start it at all).

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/exchange/e2e_fixture.h"
#include "tests/e2e/recovery/sim_registration.h"
#include "tests/support/sim_items.h"
#include "tests/support/wait.h"

constexpr std::uint32_t kRecoveryWaitMs = 20000;
// Short enough that no test waits long, long enough that a loaded machine answers a batch in time.
constexpr char kRecoveryKeys[] = "reconnect = 0.3\nbatch_timeout = 3\n";

class RecoveryE2E : public ExchangeE2E {
protected:
    ::testing::AssertionResult StartWith(const std::string& keys, const std::string& behaviours)
    {
        host.serverKeys = keys;
        return Start(behaviours);
    }
    // The instance (the host's own, or another) reports every channel as on a lost server.
    ::testing::AssertionResult WaitLost() { return WaitLost(host); }
    ::testing::AssertionResult WaitLost(E2eHost& instance)
    {
        return WaitUntil([&] { return instance.ReadStatus(kI4) == StatusServerDown; }, kRecoveryWaitMs,
                         "the instance losing its server");
    }
    // Back: every channel as never exchanged.
    ::testing::AssertionResult WaitBack() { return WaitBack(host); }
    ::testing::AssertionResult WaitBack(E2eHost& instance)
    {
        return WaitUntil([&] { return instance.ReadStatus(kI4) == StatusFailed; }, kRecoveryWaitMs,
                         "the instance connected again");
    }
    // The scenario the next server process starts with: the standard items and behaviours.
    bool NextScenario(const std::string& behaviours = "") const
    {
        std::string text = std::string(kSimStandardItems) + behaviours;
        HANDLE file = CreateFileW(host.Sim().scenarioPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == text.size();
    }
    // Makes the server's class impossible to start (its program is missing), or possible again.
    bool BreakRegistration()
    {
        savedCommand = SimCommand(host.Sim());
        return !savedCommand.empty() && SetSimCommand(host.Sim(), kMissingSimProgram);
    }
    bool RestoreRegistration() { return SetSimCommand(host.Sim(), savedCommand); }
    // True once the trace has shown a line that starts with prefix; every line is kept for later looks.
    bool SawTrace(const std::string& prefix)
    {
        for (std::string& line : TraceLines())
            seen.push_back(line);
        return std::any_of(seen.begin(), seen.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
    // How many trace lines so far start with prefix.
    std::size_t TraceCount(const std::string& prefix)
    {
        SawTrace(prefix);
        return static_cast<std::size_t>(std::count_if(
            seen.begin(), seen.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    }
    // How many server processes have started so far.
    std::size_t ServerStarts() const { return Logged("start pid=").size(); }
    std::size_t ServerWrites(const std::string& prefix) const { return Logged("write " + prefix).size(); }

private:
    std::wstring savedCommand;
    std::vector<std::string> seen;
};
