#include "tests/support/fake_opc.h"

#include <cstdio>

namespace {

template <class T> T* TaskArray(std::size_t count)
{
    return static_cast<T*>(CoTaskMemAlloc(count == 0 ? 1 : count * sizeof(T)));
}

HRESULT Answer(void** out, void* object)
{
    *out = object;
    if (object == nullptr) return E_NOINTERFACE;
    static_cast<IUnknown*>(object)->AddRef();
    return S_OK;
}

// A container's answer for its one connection point, when it offers it.
HRESULT FindOffered(bool offered, FakeConnectionPoint& own, REFIID iid, IConnectionPoint** point)
{
    bool found = offered && IsEqualIID(iid, own.interfaceId);
    return Answer(reinterpret_cast<void**>(point), found ? &own : nullptr) == S_OK ? S_OK
                                                                                   : CONNECT_E_NOCONNECTION;
}

} // namespace

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::QueryInterface(REFIID iid, void** out)
{
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint);
    return Answer(out, known ? static_cast<IConnectionPoint*>(this) : nullptr);
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::GetConnectionInterface(IID* iid)
{
    *iid = interfaceId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::Advise(IUnknown* newSink, DWORD* cookie)
{
    ++adviseCalls;
    *cookie = 0;
    if (adviseResult != S_OK) return adviseResult;
    std::lock_guard<std::mutex> guard(lock);
    sink = newSink;
    sink->AddRef();
    *cookie = kCookie;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::Unadvise(DWORD cookie)
{
    ++unadviseCalls;
    unadvisedCookie = cookie;
    if (duringUnadvise) duringUnadvise();
    IUnknown* released = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (cookie != kCookie || sink == nullptr) return CONNECT_E_NOCONNECTION;
        released = sink;
        sink = nullptr;
    }
    released->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::EnumConnections(IEnumConnections**)
{
    return E_NOTIMPL;
}

HRESULT FakeConnectionPoint::NotifyShutdown(const wchar_t* reason)
{
    IUnknown* target = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        target = sink;
        if (target != nullptr) target->AddRef();
    }
    if (target == nullptr) return E_FAIL;
    IOPCShutdown* shutdown = nullptr;
    HRESULT hr = target->QueryInterface(IID_IOPCShutdown, reinterpret_cast<void**>(&shutdown));
    if (hr == S_OK) {
        hr = shutdown->ShutdownRequest(reason);
        shutdown->Release();
    }
    target->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE FakeGroup::QueryInterface(REFIID iid, void** out)
{
    void* object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOPCItemMgt))
        object = static_cast<IOPCItemMgt*>(this);
    if (IsEqualIID(iid, IID_IOPCSyncIO) && offerSyncIo) object = static_cast<IOPCSyncIO*>(this);
    if (IsEqualIID(iid, IID_IOPCAsyncIO2) && offerAsyncIo) object = static_cast<IOPCAsyncIO2*>(&asyncIo);
    if (IsEqualIID(iid, IID_IConnectionPointContainer) && offerPoints)
        object = static_cast<IConnectionPointContainer*>(this);
    return Answer(out, object);
}

HRESULT STDMETHODCALLTYPE FakeGroup::AddItems(DWORD count, OPCITEMDEF* items, OPCITEMRESULT** results,
                                              HRESULT** errors)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        for (DWORD i = 0; i < count; ++i) {
            const OPCITEMDEF& def = items[i];
            ItemDefCopy copy;
            copy.accessPathNull = def.szAccessPath == nullptr;
            if (def.szAccessPath != nullptr) copy.accessPath = def.szAccessPath;
            if (def.szItemID != nullptr) copy.itemId = def.szItemID;
            copy.active = def.bActive;
            copy.client = def.hClient;
            copy.blobSize = def.dwBlobSize;
            copy.blobNull = def.pBlob == nullptr;
            copy.requestedType = def.vtRequestedDataType;
            copy.reserved = def.wReserved;
            itemDefs.push_back(copy);
        }
    }
    *results = nullptr;
    *errors = nullptr;
    if (returnResults) {
        *results = TaskArray<OPCITEMRESULT>(count);
        for (DWORD i = 0; i < count; ++i) {
            OPCITEMRESULT& result = (*results)[i];
            result = OPCITEMRESULT{};
            result.hServer = kFirstServerHandle + i;
            result.vtCanonicalDataType = canonicalType;
            result.dwAccessRights = accessRights;
            // A blob the client must free, as a server may return one even when none was asked for.
            result.dwBlobSize = 4;
            result.pBlob = TaskArray<BYTE>(4);
        }
    }
    if (returnErrors) {
        *errors = TaskArray<HRESULT>(count);
        for (DWORD i = 0; i < count; ++i)
            (*errors)[i] = i < itemErrors.size() ? itemErrors[i] : S_OK;
    }
    return addItemsResult;
}

HRESULT STDMETHODCALLTYPE FakeGroup::ValidateItems(DWORD, OPCITEMDEF*, BOOL, OPCITEMRESULT**, HRESULT**)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeGroup::RemoveItems(DWORD, OPCHANDLE*, HRESULT**)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeGroup::SetActiveState(DWORD, OPCHANDLE*, BOOL, HRESULT**)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeGroup::SetClientHandles(DWORD, OPCHANDLE*, OPCHANDLE*, HRESULT**)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeGroup::SetDatatypes(DWORD, OPCHANDLE*, VARTYPE*, HRESULT**)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeGroup::CreateEnumerator(REFIID, LPUNKNOWN*)
{
    return E_NOTIMPL;
}

void FakeGroup::RecordCall(SyncCall call)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        syncCalls.push_back(std::move(call));
    }
    ++callsEntered;
    // Bounded, so that a test that never opens its gate still ends (and fails on what it waited for).
    if (callGate != nullptr) WaitForSingleObject(callGate, kCallGateBoundMs);
}

HRESULT STDMETHODCALLTYPE FakeGroup::Read(OPCDATASOURCE source, DWORD count, OPCHANDLE* handles,
                                          OPCITEMSTATE** states, HRESULT** errors)
{
    RecordCall(SyncCall{true, source, std::vector<OPCHANDLE>(handles, handles + count)});
    *states = TaskArray<OPCITEMSTATE>(count);
    *errors = TaskArray<HRESULT>(count);
    for (DWORD i = 0; i < count; ++i) {
        OPCITEMSTATE& state = (*states)[i];
        state = OPCITEMSTATE{};
        state.hClient = handles[i];
        state.wQuality = 0xC0;
        state.vDataValue.vt = VT_I4;
        state.vDataValue.lVal = static_cast<LONG>(handles[i]);
        (*errors)[i] = S_OK;
    }
    return readResult;
}

HRESULT STDMETHODCALLTYPE FakeGroup::Write(DWORD count, OPCHANDLE* handles, VARIANT*, HRESULT** errors)
{
    RecordCall(SyncCall{false, OPC_DS_CACHE, std::vector<OPCHANDLE>(handles, handles + count)});
    *errors = TaskArray<HRESULT>(count);
    for (DWORD i = 0; i < count; ++i)
        (*errors)[i] = S_OK;
    return writeResult;
}

HRESULT STDMETHODCALLTYPE FakeGroup::EnumConnectionPoints(IEnumConnectionPoints**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeGroup::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    return FindOffered(offerDataPoint, dataPoint, iid, point);
}

std::vector<SyncCall> FakeGroup::SyncCalls()
{
    std::lock_guard<std::mutex> guard(lock);
    return syncCalls;
}

std::vector<ItemDefCopy> FakeGroup::ItemDefs()
{
    std::lock_guard<std::mutex> guard(lock);
    return itemDefs;
}

HRESULT STDMETHODCALLTYPE FakeServer::QueryInterface(REFIID iid, void** out)
{
    void* object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOPCServer))
        object = static_cast<IOPCServer*>(this);
    if (IsEqualIID(iid, IID_IConnectionPointContainer) && offerPoints)
        object = static_cast<IConnectionPointContainer*>(this);
    return Answer(out, object);
}

HRESULT STDMETHODCALLTYPE FakeServer::AddGroup(LPCWSTR name, BOOL active, DWORD rate, OPCHANDLE clientGroup,
                                               LONG* timeBias, FLOAT* deadband, DWORD locale,
                                               OPCHANDLE* serverGroup, DWORD* revisedRate, REFIID iid,
                                               LPUNKNOWN* made)
{
    ++addGroupCalls;
    {
        std::lock_guard<std::mutex> guard(lock);
        lastAddGroup = AddGroupCall{name != nullptr ? name : L"",
                                    active,
                                    rate,
                                    clientGroup,
                                    timeBias != nullptr,
                                    timeBias != nullptr ? *timeBias : -1,
                                    deadband != nullptr,
                                    locale,
                                    iid};
    }
    *serverGroup = kServerGroupHandle;
    *revisedRate = rate;
    *made = nullptr;
    if (FAILED(addGroupResult) || !addGroupGivesGroup) return addGroupResult;
    group.QueryInterface(iid, reinterpret_cast<void**>(made));
    return addGroupResult;
}

HRESULT STDMETHODCALLTYPE FakeServer::GetErrorString(HRESULT, LCID, LPWSTR*)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeServer::GetGroupByName(LPCWSTR, REFIID, LPUNKNOWN*)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeServer::RemoveGroup(OPCHANDLE, BOOL)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeServer::CreateGroupEnumerator(OPCENUMSCOPE, REFIID, LPUNKNOWN*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeServer::GetStatus(OPCSERVERSTATUS** status)
{
    std::size_t turn = static_cast<std::size_t>(getStatusCalls++);
    StatusAnswer answer = statusAnswers[turn < statusAnswers.size() ? turn : statusAnswers.size() - 1];
    {
        std::lock_guard<std::mutex> guard(lock);
        statusTicks.push_back(GetTickCount64());
    }
    *status = nullptr;
    if (!answer.withRecord) return answer.hr;
    *status = TaskArray<OPCSERVERSTATUS>(1);
    **status = OPCSERVERSTATUS{};
    (*status)->dwServerState = static_cast<OPCSERVERSTATE>(answer.state);
    static const wchar_t kVendor[] = L"fake";
    (*status)->szVendorInfo = TaskArray<wchar_t>(sizeof(kVendor) / sizeof(wchar_t));
    CopyMemory((*status)->szVendorInfo, kVendor, sizeof(kVendor));
    return answer.hr;
}

HRESULT STDMETHODCALLTYPE FakeServer::EnumConnectionPoints(IEnumConnectionPoints**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeServer::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    return FindOffered(offerShutdownPoint, shutdownPoint, iid, point);
}

AddGroupCall FakeServer::LastAddGroup()
{
    std::lock_guard<std::mutex> guard(lock);
    return lastAddGroup;
}

std::vector<std::uint64_t> FakeServer::StatusTicks()
{
    std::lock_guard<std::mutex> guard(lock);
    return statusTicks;
}

HRESULT STDMETHODCALLTYPE FakeServerFactory::QueryInterface(REFIID iid, void** out)
{
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
    return Answer(out, known ? static_cast<IClassFactory*>(this) : nullptr);
}

HRESULT STDMETHODCALLTYPE FakeServerFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    createTick = GetTickCount64();
    return server.QueryInterface(iid, out);
}

FakeServerHost::FakeServerHost(FakeServer& server) : factory(server)
{
    CoCreateGuid(&clsid);
    registered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread = std::thread([this] { Run(); });
    // Started() tells a registration that did not come in time from one that failed.
    WaitForSingleObject(registered, kCallGateBoundMs);
}

FakeServerHost::~FakeServerHost()
{
    SetEvent(stop);
    thread.join();
    CloseHandle(registered);
    CloseHandle(stop);
}

void FakeServerHost::Run()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD cookie = 0;
    registerResult = CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    SetEvent(registered);
    if (registerResult == S_OK) {
        WaitForSingleObject(stop, INFINITE);
        CoRevokeClassObject(cookie);
    }
    CoUninitialize();
}

::testing::AssertionResult FakeServerHost::Started() const
{
    if (registerResult == S_OK) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "CoRegisterClassObject failed with 0x" << std::hex << registerResult;
}

HRESULT CallFromMta(const std::function<HRESULT()>& call)
{
    HRESULT result = E_FAIL;
    std::thread mta([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        result = call();
        CoUninitialize();
    });
    mta.join();
    return result;
}

std::string ClsidText(const CLSID& clsid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", clsid.Data1,
                  clsid.Data2, clsid.Data3, clsid.Data4[0], clsid.Data4[1], clsid.Data4[2], clsid.Data4[3],
                  clsid.Data4[4], clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
    return text;
}
