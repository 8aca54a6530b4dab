#include "tests/unit/exchange/exchange_fixture.h"

#include <objbase.h>

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"
#include "hostrt/core.h"
#include "idl/opc_constants.h"
#include "tests/support/wait.h"

std::vector<Notification> ExchangeTest::notes;
std::function<void(std::uint32_t kind)> ExchangeTest::onNotify;
ExchangeTest* ExchangeTest::current = nullptr;

namespace {

// Unit tests link the driver into the test program: its module handle stands for the DLL's, and the
// instance's window is the driver's own, routed through the instance's message table.
class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { RecordModuleInstance(GetModuleHandleW(nullptr)); }
};

const ::testing::Environment* const moduleEnvironment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

DWORD WINAPI WaitForStop(void* stop)
{
    WaitForSingleObject(static_cast<HANDLE>(stop), INFINITE);
    return 0;
}

void AddTestChannel(OpcDriver& drv, std::uint32_t first, std::uint32_t count, DWORD rights,
                    const wchar_t* itemId)
{
    ASSERT_TRUE(AddChannel(drv.channels, first, count, itemId));
    Channel* channel = FindChannel(drv.channels, first);
    ASSERT_NE(channel, nullptr);
    channel->accessRights = rights;
    channel->serverHandle = first + kHandleOffset;
}

} // namespace

void ExchangeTest::SetUp()
{
    blocksBefore = LiveBlockCount();
    notes.clear();
    onNotify = nullptr;
    current = this;
    drv = MakeDriverRecord();
    ASSERT_NE(drv, nullptr);
    ASSERT_TRUE(CreateDriverWindow(*drv));
    AddTestChannel(*drv, kChA, 0, OPC_READABLE | OPC_WRITEABLE, L"chA");
    AddTestChannel(*drv, kChB, 0, OPC_READABLE | OPC_WRITEABLE, L"chB");
    AddTestChannel(*drv, kChC, 0, OPC_READABLE | OPC_WRITEABLE, L"chC");
    AddTestChannel(*drv, kRangeFirst, kRangeCount, OPC_READABLE | OPC_WRITEABLE, L"range");
    AddTestChannel(*drv, kReadOnly, 0, OPC_READABLE, L"readOnly");
    AddTestChannel(*drv, kWriteOnly, 0, OPC_WRITEABLE, L"writeOnly");
    drv->notify = Notify;
    drv->userData = kUserData;
    drv->asyncIo = &io;
    drv->ready = true;
    SetFlag(*drv, Trace);
    traces.Take();
}

void ExchangeTest::TearDown()
{
    if (drv != nullptr) {
        DestroyDriverWindow(*drv); // what is still posted is dropped with it
        drv->asyncIo = nullptr;
        if (drv->readEvent != nullptr) CloseHandle(drv->readEvent);
        if (drv->writeEvent != nullptr) CloseHandle(drv->writeEvent);
        if (drv->thread != nullptr) CloseHandle(drv->thread);
        // No connection to end (no Done): the last holder's release clears the table and the batches.
        ReleaseDriverRecord(drv);
    }
    if (worker != nullptr) {
        SetEvent(workerStop);
        EXPECT_EQ(WaitForSingleObject(worker, 30000), WAIT_OBJECT_0) << "the stand-in worker's end";
        CloseHandle(worker);
        CloseHandle(workerStop);
    }
    current = nullptr;
    onNotify = nullptr;
    EXPECT_EQ(LiveBlockCount(), blocksBefore) << "blocks of the core allocator leaked";
}

void ExchangeTest::Pump()
{
    PumpMessages();
}

void ExchangeTest::UseSyncMode(bool workerAlive)
{
    workerStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    worker = CreateThread(nullptr, 0, WaitForStop, workerStop, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    if (!workerAlive) {
        SetEvent(workerStop);
        ASSERT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    }
    drv->asyncIo = nullptr;
    // The driver's own handle: one that gives up on its worker closes it.
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), worker, GetCurrentProcess(), &drv->thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    drv->readEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    drv->writeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SetFlag(*drv, ThreadMode);
}

Channel& ExchangeTest::ChannelOf(std::uint32_t number)
{
    return *FindChannel(drv->channels, number);
}

std::wstring ExchangeTest::TraceOf(const wchar_t* text, const wchar_t* itemId) const
{
    std::wstring line = text;
    if (itemId != nullptr) line += std::wstring(L" (ItemId = ") + itemId + L")";
    return line + L"\r\n";
}

void __cdecl ExchangeTest::Notify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero)
{
    notes.push_back(Notification{userData, kind, zero, current != nullptr ? current->io.calls.size() : 0});
    if (onNotify) onNotify(kind);
}

VARIANT I4(std::int32_t value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

FILETIME UtcTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms)
{
    SYSTEMTIME utc{year, month, 0, day, hour, minute, second, ms};
    FILETIME time{};
    SystemTimeToFileTime(&utc, &time);
    return time;
}

ReadItem GoodItem(std::uint32_t channel, std::int32_t value)
{
    return ReadItem{channel, I4(value), OPC_QUALITY_GOOD, UtcTime(2024, 5, 17, 13, 45, 30, 250), S_OK};
}

HRESULT CompleteRead(OpcDriver& drv, DWORD transactionId, HRESULT masterError, std::vector<ReadItem> items)
{
    std::vector<DWORD> handles;
    std::vector<VARIANT> values;
    std::vector<WORD> qualities;
    std::vector<FILETIME> times;
    std::vector<HRESULT> errors;
    for (const ReadItem& item : items) {
        handles.push_back(item.clientHandle);
        values.push_back(item.value);
        qualities.push_back(item.quality);
        times.push_back(item.timestamp);
        errors.push_back(item.error);
    }
    HRESULT hr = OnReadComplete(drv, transactionId, 0, S_OK, masterError, static_cast<DWORD>(items.size()),
                                handles.data(), values.data(), qualities.data(), times.data(), errors.data());
    for (VARIANT& value : values)
        VariantClear(&value);
    return hr;
}

HRESULT CompleteWrite(OpcDriver& drv, DWORD transactionId, HRESULT masterError,
                      const std::vector<std::uint32_t>& channels, const std::vector<HRESULT>& errors)
{
    std::vector<DWORD> handles(channels.begin(), channels.end());
    return OnWriteComplete(drv, transactionId, 0, masterError, static_cast<DWORD>(handles.size()),
                           handles.data(), errors.data());
}
