#pragma once
// A test host for Init and Done end to end: tagport.dll loaded as the host loads it (LoadLibraryW and
// GetProcAddress), a simulation server per scenario, parameter files, and a notification callback that
// records what it is told. The host's thread dispatches messages only while a test waits.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/driver_api.h"
#include "tests/support/sim_control.h"
#include "tests/support/temp_file.h"

enum class Width { Ansi, Wide };

// Channels bound to the items of every scenario here: two scalars and a range starting at 10.
constexpr std::uint32_t kLevel = 1;
constexpr std::uint32_t kPump = 2;
constexpr std::uint32_t kProfile = 10;
constexpr char kProfileItem[] = "Plant.Profile";
// What InputFinalized leaves in its status while the channel is not finished.
constexpr std::uint32_t kPending = 0xDEADBEEF;
// The longest a test waits for something the driver or the server does at once.
constexpr std::uint32_t kWaitMs = 20000;

struct HostNote {
    std::uint32_t userData;
    std::uint32_t kind;
    std::uint32_t zero;
};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers the plant items plus behaviour lines (scenario syntax) under a fresh CLSID in sim.
    ::testing::AssertionResult Serve(const std::string& behaviours = "");
    // A parameter file naming sim's CLSID, then serverLines, then the channels.
    std::wstring ParFile(const std::string& serverLines);
    // MakeDriver and Init (ANSI or W) with the file; text receives the error buffer (ASCII).
    bool Connect(OpcDriver*& instance, const std::string& serverLines, Width width = Width::Ansi,
                 std::string* text = nullptr, std::uint32_t errMax = 127);
    // Done and DisposeDriver; the instance becomes null.
    void Release(OpcDriver*& instance);
    // InputFinalized of the channel: its status, or kPending while the read is not finished.
    std::uint32_t ReadStatus(OpcDriver* instance, std::uint32_t channel);
    // InputRequest of the channel and InputRequestCompleted.
    void FireRead(OpcDriver* instance, std::uint32_t channel);
    ::testing::AssertionResult WaitNotified(std::size_t count);

    DriverApi api;
    SimServer sim;
    static std::vector<HostNote> notes;
    static constexpr std::uint32_t kUserData = 0x5A5A;

private:
    static void __cdecl Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);

    std::vector<std::unique_ptr<TempFile>> files;
    std::vector<SimServer> servers;
};

// The windows of the driver's class that this thread owns.
std::vector<HWND> DriverWindows();
// ASCII text as UTF-16, and back (everything these tests compare is ASCII).
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
