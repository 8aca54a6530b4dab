#pragma once
// A driver instance for white-box tests of the read and write cycles: a channel table, an in-process
// IOPCAsyncIO2, the instance's own window with its message table, and a host notification that records
// what it is told and may act inside it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "driver/opc_driver.h"
#include "tests/support/trace_capture.h"
#include "tests/support/fake_opc_async_io.h"

// Channels of every test: three scalars, a five-element range, a read-only and a write-only scalar.
constexpr std::uint32_t kChA = 10, kChB = 11, kChC = 12;
constexpr std::uint32_t kRangeFirst = 20, kRangeCount = 5;
constexpr std::uint32_t kReadOnly = 30, kWriteOnly = 31;
constexpr std::uint32_t kUnknown = 99;
constexpr std::uint32_t kUserData = 0x5EED;
// A channel's server handle is its number + this.
constexpr DWORD kHandleOffset = 1000;

struct Notification {
    std::uint32_t userData;
    std::uint32_t kind;
    std::uint32_t zero;
    std::size_t serverCallsBefore; // Read and Write calls the server had seen when the host was told
};

class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Dispatches the messages the cycles posted (notifications, deferred batches).
    void Pump();
    // The synchronous mode: a worker thread that stays alive until the test ends (or one that has
    // already ended), and the read and write events it would wait on.
    void UseSyncMode(bool workerAlive);
    // Channel and ItemId of a number's record as the trace shows it.
    Channel& ChannelOf(std::uint32_t number);
    std::wstring TraceOf(const wchar_t* text, const wchar_t* itemId = nullptr) const;
    std::vector<std::wstring> Traces() { return traces.Take(); }

    OpcDriver* drv = nullptr;
    FakeAsyncIo io;
    TraceCapture traces;
    // Every notification in order, and what runs inside the next ones.
    static std::vector<Notification> notes;
    static std::function<void(std::uint32_t kind)> onNotify;

private:
    static void __cdecl Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);
    static ExchangeTest* current;
    HANDLE worker = nullptr;
    HANDLE workerStop = nullptr;
    std::uint32_t blocksBefore = 0;
};

// Values received from a server, as a completion delivers them.
struct ReadItem {
    DWORD clientHandle;
    VARIANT value;
    WORD quality;
    FILETIME timestamp;
    HRESULT error;
};

ReadItem GoodItem(std::uint32_t channel, std::int32_t value);
VARIANT I4(std::int32_t value);
FILETIME UtcTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms);
// Calls OnReadComplete with the items (cleared afterwards).
HRESULT CompleteRead(OpcDriver& drv, DWORD transactionId, HRESULT masterError, std::vector<ReadItem> items);
// Calls OnWriteComplete for channels with errors.
HRESULT CompleteWrite(OpcDriver& drv, DWORD transactionId, HRESULT masterError,
                      const std::vector<std::uint32_t>& channels, const std::vector<HRESULT>& errors);
