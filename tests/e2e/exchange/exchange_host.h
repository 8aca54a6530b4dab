#pragma once
// A test host for the read and write cycles end to end: the driver's exports (from tagport.dll, or
// linked in), one instance whose parameter file binds the simulation server's standard items to
// channels, a notification that records what it is told, and a fresh simulation server per test.
// The host's thread pumps messages only while it waits, as a host's message loop would.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/channel_table.h"
#include "convert/value_payload.h"
#include "convert/value_record.h"
#include "tests/support/driver_api.h"
#include "tests/support/sim_control.h"
#include "tests/support/temp_file.h"

enum class Mode { Async, Sync };

// Channels of the parameter file, each bound to the standard item of its name.
constexpr std::uint32_t kI1 = 1, kI2 = 2, kI4 = 3, kUI1 = 4, kUI2 = 5, kUI4 = 6, kInt = 7, kUInt = 8, kR4 = 9,
                        kR8 = 10, kBool = 11, kText = 12, kCy = 13, kDate = 14, kError = 15, kI8 = 16,
                        kReadOnly = 17, kWriteOnly = 18, kBadQuality = 19, kUncertain = 20;
constexpr std::uint32_t kR8Array = 30;   // 30-34: Sim.R8Array
constexpr std::uint32_t kTextArray = 40; // 40-42: Sim.BSTRArray
constexpr std::uint32_t kNoChannel = 99;
// The userData of the first host; a second host running at the same time gets the next number.
constexpr std::uint32_t kHostUserData = 0xC0FFEE;
// What InputFinalized/OutputFinalized give back while a channel is not finished.
constexpr std::uint32_t kPending = 0xDEADBEEF;

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

class ExchangeHost {
public:
    ExchangeHost() = default;
    ExchangeHost(const ExchangeHost&) = delete;
    ExchangeHost& operator=(const ExchangeHost&) = delete;
    ~ExchangeHost() { Stop(); }

    // Registers the standard items plus behaviours (scenario lines) and makes an instance in mode.
    ::testing::AssertionResult Start(const DriverApi& api, Mode mode, const std::string& behaviours = "");
    // Done and DisposeDriver, then the server's registration goes; safe to repeat.
    void Stop();

    void RequestRead(std::initializer_list<std::uint32_t> channels);
    void FireRead();
    void RequestWrite(std::uint32_t channel, const HostValue& value);
    void FireWrite();
    // Waits (pumping) until count notifications have come in all.
    ::testing::AssertionResult WaitNotified(std::size_t count);
    // One read batch of the channels and its notification.
    ::testing::AssertionResult ReadBatch(std::initializer_list<std::uint32_t> channels);

    std::uint32_t ReadStatus(std::uint32_t channel);
    std::uint32_t WriteStatus(std::uint32_t channel);
    // GetInput3 (or GetInput3W when wide) into places filled with sentinels.
    Delivered Get(std::uint32_t channel, std::uint32_t type, bool wide = false);

    const SimServer& Sim() const { return sim; }
    OpcDriver* Instance() const { return instance; }
    std::vector<HostNote> notes;
    // More [server] lines for the parameter file of the next Start ("key = value\n" each).
    std::string serverKeys;
    // Runs inside each notification, after it was recorded.
    std::function<void(std::uint32_t kind)> onNotify;

private:
    static void __cdecl Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);
    // The hosts alive now, found by their userData (kHostUserData + index).
    static ExchangeHost* hosts[2];
    std::uint32_t userData = 0;
    const DriverApi* api = nullptr;
    OpcDriver* instance = nullptr;
    SimServer sim{};
    TempFile* parFile = nullptr;
};

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
