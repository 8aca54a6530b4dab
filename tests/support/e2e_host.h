#pragma once
// The end-to-end test host: one driver instance driven through the exports exactly as the runtime drives
// it (from tagport.dll loaded with LoadLibraryW, or from a test program that links the driver in), its
// parameter file, the notifications it receives, and, when the test asks for it, a simulation server of
// its own with the standard items bound to the standard channels. The host's thread dispatches messages
// only while a test waits, as a host's message loop would.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "convert/value_payload.h"
#include "convert/value_record.h"
#include "tests/support/driver_api.h"
#include "tests/support/sim_control.h"
#include "tests/support/temp_file.h"

enum class Mode { Async, Sync };
enum class Width { Ansi, Wide };

// Channels of the standard parameter file, each bound to the standard item of its name (sim_items.h).
constexpr std::uint32_t kI1 = 1, kI2 = 2, kI4 = 3, kUI1 = 4, kUI2 = 5, kUI4 = 6, kInt = 7, kUInt = 8, kR4 = 9,
                        kR8 = 10, kBool = 11, kText = 12, kCy = 13, kDate = 14, kError = 15, kI8 = 16,
                        kReadOnly = 17, kWriteOnly = 18, kBadQuality = 19, kUncertain = 20;
constexpr std::uint32_t kR8Array = 30;   // 30-34: Sim.R8Array
constexpr std::uint32_t kTextArray = 40; // 40-42: Sim.BSTRArray
constexpr std::uint32_t kNoChannel = 99;
// The [channels] section of the standard parameter file.
extern const char kStandardChannels[];

// The userData of the first host alive; a host started while others run gets the next free number.
constexpr std::uint32_t kHostUserData = 0xC0FFEE;
// What InputFinalized/OutputFinalized give back while a channel is not finished.
constexpr std::uint32_t kPending = 0xDEADBEEF;
// The longest a test waits for something the driver or the server does at once.
constexpr std::uint32_t kWaitMs = 20000;

struct HostNote {
    std::uint32_t userData;
    std::uint32_t kind;
    std::uint32_t zero;
};

struct Delivered {
    HostValue value;
    std::uint32_t quality;
    HostTimestamp timestamp;
};

class E2eHost {
public:
    E2eHost() = default;
    E2eHost(const E2eHost&) = delete;
    E2eHost& operator=(const E2eHost&) = delete;
    ~E2eHost() { Stop(); }

    // MakeDriver and Init (ANSI or W) on a parameter file of this text, after the end of an instance
    // made before; text, when given, receives the error buffer (ASCII) that Init filled with at most
    // errMax characters. False when Init failed; the instance then stays for Stop, as a host keeps it
    // for Done.
    bool Init(const DriverApi& api, const std::string& parameters, Width width = Width::Ansi,
              std::string* text = nullptr, std::uint32_t errMax = 127);
    // Registers the standard items plus behaviours (scenario lines) as the host's own server under a
    // fresh CLSID and makes an instance in mode with the standard channels and the trace on.
    ::testing::AssertionResult Start(const DriverApi& api, Mode mode, const std::string& behaviours = "");
    // An instance in mode with the standard channels and the trace on, on another host's server (which
    // stays that host's to remove).
    ::testing::AssertionResult Join(const DriverApi& api, Mode mode, const SimServer& server);
    // Done alone, as a host that disposes of the instance later; safe to repeat.
    void Done();
    // Done unless it was called, and DisposeDriver; then the host's own server's registration and log go.
    // Safe to repeat.
    void Stop();

    void RequestRead(std::initializer_list<std::uint32_t> channels);
    // InputRequest of the channels, then InputRequestCompleted.
    void FireRead(std::initializer_list<std::uint32_t> channels = {});
    void RequestWrite(std::uint32_t channel, const HostValue& value);
    void FireWrite();
    // Waits (pumping) until count notifications have come in all.
    ::testing::AssertionResult WaitNotified(std::size_t count);
    // One read batch of the channels and its notification.
    ::testing::AssertionResult ReadBatch(std::initializer_list<std::uint32_t> channels);
    // Waits (pumping) until the read of the channel is finished, whatever its status.
    ::testing::AssertionResult WaitRead(std::uint32_t channel);

    // InputFinalized/OutputFinalized of the channel: its status, or kPending while it is not finished.
    std::uint32_t ReadStatus(std::uint32_t channel);
    std::uint32_t WriteStatus(std::uint32_t channel);
    // GetInput3 (or GetInput3W when wide) into places filled with sentinels.
    Delivered Get(std::uint32_t channel, std::uint32_t type, bool wide = false);

    // The host's own server (Start); an empty record otherwise.
    const SimServer& Sim() const { return sim; }
    OpcDriver* Instance() const { return instance; }
    std::uint32_t UserData() const { return userData; }
    std::vector<HostNote> notes;
    // More [server] lines for the parameter file of the next Start ("key = value\n" each).
    std::string serverKeys;
    // Runs inside each notification, after it was recorded.
    std::function<void(std::uint32_t kind)> onNotify;

private:
    static void __cdecl Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);
    bool TakeSlot();
    void LeaveSlot();
    // Done unless it was called, and DisposeDriver; the server stays.
    void EndInstance();

    // The hosts alive now, found by their userData (kHostUserData + index).
    static constexpr std::uint32_t kMaxHosts = 4;
    static E2eHost* hosts[kMaxHosts];
    std::uint32_t userData = 0;
    const DriverApi* api = nullptr;
    OpcDriver* instance = nullptr;
    bool done = false;
    SimServer sim{};
    std::unique_ptr<TempFile> parFile;
};

// "sync = yes\n" in synchronous mode, nothing in asynchronous mode (the default).
std::string ModeLines(Mode mode);
// A parameter file: [server] naming sim's CLSID, then serverLines, then channels (its section header
// included).
std::string ParameterText(const SimServer& sim, const std::string& serverLines, const std::string& channels);

// The windows of the driver's class that this thread owns.
std::vector<HWND> DriverWindows();
// ASCII text as UTF-16, and back (everything these tests compare is ASCII).
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

inline const char* ModeName(Mode mode)
{
    return mode == Mode::Async ? "Async" : "Sync";
}
inline void PrintTo(Mode mode, std::ostream* out)
{
    *out << ModeName(mode);
}
inline std::string ModeTestName(const ::testing::TestParamInfo<Mode>& info)
{
    return ModeName(info.param);
}

// The method name a scenario line uses for this mode's read or write call.
inline const char* ReadCall(Mode mode)
{
    return mode == Mode::Async ? "AsyncRead" : "SyncRead";
}
inline const char* WriteCall(Mode mode)
{
    return mode == Mode::Async ? "AsyncWrite" : "SyncWrite";
}

template <class T> HostValue Value(std::uint32_t type, T datum)
{
    HostValue value{type, {}};
    WritePayload(value, datum);
    return value;
}
// A value of type whose payload is filled with a sentinel, to see what a call wrote into it.
HostValue Asking(std::uint32_t type);
