#pragma once
// In-process fakes of the OPC server objects, for tests that need exact control over each answer. They
// live in the test (on its stack or as members), never delete themselves, and count their references so
// that a test can check every reference was given back. They may also be reached through the proxy/stub
// from another apartment (see FakeServerHost), so everything they record is guarded.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "tests/support/fake_opc_async_io.h"

// A connection point that keeps the advised sink (with a reference, as a real one does) until Unadvise.
// The longest a fake holds a call at its gate, or its host waits for its registration: far beyond any
// test's own waits, so that a test that never opens a gate ends all the same.
constexpr DWORD kCallGateBoundMs = 60000;

class FakeConnectionPoint : public IConnectionPoint {
public:
    static constexpr DWORD kCookie = 0x5EED;

    explicit FakeConnectionPoint(REFIID iid) : interfaceId(iid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    // Calls IOPCShutdown::ShutdownRequest on the advised sink, from the calling thread; E_FAIL without one.
    HRESULT NotifyShutdown(const wchar_t* reason);

    IID interfaceId;
    HRESULT adviseResult = S_OK;
    // Runs at the start of Unadvise, in the caller's thread: what COM's modal loop may run there.
    std::function<void()> duringUnadvise;
    std::atomic<long> refs{0};
    std::atomic<int> adviseCalls{0};
    std::atomic<int> unadviseCalls{0};
    std::atomic<DWORD> unadvisedCookie{0};

private:
    std::mutex lock;
    IUnknown* sink = nullptr;
};

struct ItemDefCopy {
    bool accessPathNull = true;
    std::wstring accessPath;
    std::wstring itemId;
    BOOL active = FALSE;
    OPCHANDLE client = 0;
    DWORD blobSize = 0;
    bool blobNull = true;
    VARTYPE requestedType = 0;
    WORD reserved = 0;
};

struct SyncCall {
    bool isRead = true;
    OPCDATASOURCE source = OPC_DS_CACHE;
    std::vector<OPCHANDLE> handles;
};

// A group: IOPCItemMgt, IOPCSyncIO, IOPCAsyncIO2 (the one asynchronous fake, sharing the group's
// identity and reference count) and its IConnectionPointContainer, each of which can be withheld.
class FakeGroup : public IOPCItemMgt, public IOPCSyncIO, public IConnectionPointContainer {
public:
    // Item i gets the server handle kFirstServerHandle + i.
    static constexpr OPCHANDLE kFirstServerHandle = 100;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE AddItems(DWORD count, OPCITEMDEF* items, OPCITEMRESULT** results,
                                       HRESULT** errors) override;
    HRESULT STDMETHODCALLTYPE ValidateItems(DWORD, OPCITEMDEF*, BOOL, OPCITEMRESULT**, HRESULT**) override;
    HRESULT STDMETHODCALLTYPE RemoveItems(DWORD, OPCHANDLE*, HRESULT**) override;
    HRESULT STDMETHODCALLTYPE SetActiveState(DWORD, OPCHANDLE*, BOOL, HRESULT**) override;
    HRESULT STDMETHODCALLTYPE SetClientHandles(DWORD, OPCHANDLE*, OPCHANDLE*, HRESULT**) override;
    HRESULT STDMETHODCALLTYPE SetDatatypes(DWORD, OPCHANDLE*, VARTYPE*, HRESULT**) override;
    HRESULT STDMETHODCALLTYPE CreateEnumerator(REFIID, LPUNKNOWN*) override;

    HRESULT STDMETHODCALLTYPE Read(OPCDATASOURCE source, DWORD count, OPCHANDLE* handles,
                                   OPCITEMSTATE** states, HRESULT** errors) override;
    HRESULT STDMETHODCALLTYPE Write(DWORD count, OPCHANDLE* handles, VARIANT* values,
                                    HRESULT** errors) override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // The calls of IOPCSyncIO so far, in order.
    std::vector<SyncCall> SyncCalls();
    std::vector<ItemDefCopy> ItemDefs();

    bool offerAsyncIo = true;
    bool offerSyncIo = true;
    bool offerPoints = true;
    bool offerDataPoint = true;
    HRESULT addItemsResult = S_OK;
    std::vector<HRESULT> itemErrors; // by item index; items beyond it are S_OK
    bool returnResults = true;
    bool returnErrors = true;
    VARTYPE canonicalType = VT_I4;
    DWORD accessRights = 3; // OPC_READABLE | OPC_WRITEABLE
    HRESULT readResult = S_OK;
    HRESULT writeResult = S_OK;
    // When set, each sync Read and Write waits for this event before answering: a server that hangs.
    HANDLE callGate = nullptr;
    std::atomic<int> callsEntered{0};

    FakeConnectionPoint dataPoint{IID_IOPCDataCallback};
    FakeAsyncIo asyncIo{static_cast<IOPCItemMgt*>(this)};
    std::atomic<long> refs{0};

private:
    void RecordCall(SyncCall call);

    std::mutex lock;
    std::vector<ItemDefCopy> itemDefs;
    std::vector<SyncCall> syncCalls;
};

struct StatusAnswer {
    HRESULT hr = S_OK;
    DWORD state = OPC_STATUS_RUNNING;
    bool withRecord = true;
};

struct AddGroupCall {
    std::wstring name;
    BOOL active = FALSE;
    DWORD rate = 0;
    OPCHANDLE clientHandle = 0;
    bool timeBiasGiven = false;
    LONG timeBias = -1;
    bool deadbandGiven = false;
    DWORD locale = 0;
    IID iid{};
};

// The server object: IOPCServer and its IConnectionPointContainer with the IOPCShutdown point.
class FakeServer : public IOPCServer, public IConnectionPointContainer {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE AddGroup(LPCWSTR name, BOOL active, DWORD rate, OPCHANDLE clientGroup,
                                       LONG* timeBias, FLOAT* deadband, DWORD locale, OPCHANDLE* serverGroup,
                                       DWORD* revisedRate, REFIID iid, LPUNKNOWN* group) override;
    HRESULT STDMETHODCALLTYPE GetErrorString(HRESULT, LCID, LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE GetGroupByName(LPCWSTR, REFIID, LPUNKNOWN*) override;
    HRESULT STDMETHODCALLTYPE GetStatus(OPCSERVERSTATUS** status) override;
    HRESULT STDMETHODCALLTYPE RemoveGroup(OPCHANDLE, BOOL) override;
    HRESULT STDMETHODCALLTYPE CreateGroupEnumerator(OPCENUMSCOPE, REFIID, LPUNKNOWN*) override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    AddGroupCall LastAddGroup();
    // GetTickCount64 of each GetStatus call so far.
    std::vector<std::uint64_t> StatusTicks();

    static constexpr OPCHANDLE kServerGroupHandle = 0x6A;

    std::vector<StatusAnswer> statusAnswers{StatusAnswer{}}; // answered in turn; the last one repeats
    HRESULT addGroupResult = S_OK;
    bool addGroupGivesGroup = true;
    bool offerPoints = true;
    bool offerShutdownPoint = true;
    std::atomic<int> getStatusCalls{0};
    std::atomic<int> addGroupCalls{0};

    FakeGroup group;
    FakeConnectionPoint shutdownPoint{IID_IOPCShutdown};
    std::atomic<long> refs{0};

private:
    std::mutex lock;
    AddGroupCall lastAddGroup;
    std::vector<std::uint64_t> statusTicks;
};

// Makes the server object on CreateInstance, as COM's activation of a local server would.
class FakeServerFactory : public IClassFactory {
public:
    explicit FakeServerFactory(FakeServer& made) : server(made) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    std::atomic<long> refs{0};
    std::atomic<std::uint64_t> createTick{0}; // GetTickCount64 of the latest CreateInstance

private:
    FakeServer& server;
};

// The fake server registered as a local server class under a fresh CLSID, from a multithreaded
// apartment on a thread of its own: a thread of any other apartment (the host's thread, the worker)
// reaches it through COM activation and the registered proxy/stub, as if it ran in another process.
class FakeServerHost {
public:
    explicit FakeServerHost(FakeServer& server);
    ~FakeServerHost();
    FakeServerHost(const FakeServerHost&) = delete;
    FakeServerHost& operator=(const FakeServerHost&) = delete;

    // Succeeds once the class is registered.
    ::testing::AssertionResult Started() const;

    CLSID clsid{};
    FakeServerFactory factory;

private:
    void Run();

    HANDLE registered = nullptr;
    HANDLE stop = nullptr;
    HRESULT registerResult = E_PENDING;
    std::thread thread;
};

// Runs call on a fresh thread in the multithreaded apartment (where FakeServerHost's objects and the
// proxies they hold live) and returns its result.
HRESULT CallFromMta(const std::function<HRESULT()>& call);

// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as a parameter file names a CLSID.
std::string ClsidText(const CLSID& clsid);
