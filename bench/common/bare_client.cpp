#include "bench/common/bare_client.h"

#include <ocidl.h>

#include "bench/common/message_pump.h"

namespace {

constexpr wchar_t kGroupName[] = L"BareGroup";
constexpr DWORD kInactiveRateMs = 86400000; // the driver's default: an inactive group, read from the device
constexpr std::uint32_t kCompletionTimeoutMs = 120000;

template <class T> void ReleaseInterface(T*& p)
{
    if (p != nullptr) p->Release();
    p = nullptr;
}

bool AllSucceeded(DWORD count, const HRESULT* errors)
{
    if (errors == nullptr) return false;
    for (DWORD i = 0; i < count; ++i) {
        if (errors[i] != S_OK) return false;
    }
    return true;
}

} // namespace

// Answers one outstanding transaction at a time; the arrays are the stub's and are only looked at.
class BareSink final : public IOPCDataCallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOPCDataCallback)) return E_NOINTERFACE;
        *out = static_cast<IOPCDataCallback*>(this);
        AddRef();
        return S_OK;
    }
    // Not ownership: the client deletes the sink after it disconnected it.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*,
                                           WORD*, FILETIME*, HRESULT*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD transId, OPCHANDLE, HRESULT, HRESULT masterError,
                                             DWORD count, OPCHANDLE*, VARIANT*, WORD*, FILETIME*,
                                             HRESULT* errors) override
    {
        Complete(transId, masterError, count, errors);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnWriteComplete(DWORD transId, OPCHANDLE, HRESULT masterError, DWORD count,
                                              OPCHANDLE*, HRESULT* errors) override
    {
        Complete(transId, masterError, count, errors);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCancelComplete(DWORD, OPCHANDLE) override { return S_OK; }

    void Expect(DWORD transId, DWORD count)
    {
        expectedId = transId;
        expectedCount = count;
        done = false;
        ok = false;
    }

    bool done = false;
    bool ok = false;

private:
    void Complete(DWORD transId, HRESULT masterError, DWORD count, const HRESULT* errors)
    {
        if (transId != expectedId || done) return;
        ok = masterError == S_OK && count == expectedCount && AllSucceeded(count, errors);
        done = true;
    }

    LONG refs = 0;
    DWORD expectedId = 0;
    DWORD expectedCount = 0;
};

namespace {

HRESULT AddItems(BareClient& client, const ParItems& items)
{
    DWORD count = static_cast<DWORD>(items.itemIds.size());
    std::vector<OPCITEMDEF> defs(count);
    for (DWORD i = 0; i < count; ++i) {
        OPCITEMDEF& def = defs[i];
        def.szAccessPath = const_cast<LPWSTR>(L""); // the IDL lacks const; the server only reads them
        def.szItemID = const_cast<LPWSTR>(items.itemIds[i].c_str());
        def.bActive = TRUE;
        def.hClient = items.channels[i];
        def.vtRequestedDataType = VT_EMPTY;
    }
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = client.group->AddItems(count, defs.data(), &results, &errors);
    if (hr == S_OK && results != nullptr) {
        for (DWORD i = 0; i < count; ++i)
            client.handles.push_back(results[i].hServer);
    } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
    }
    for (DWORD i = 0; results != nullptr && i < count; ++i)
        CoTaskMemFree(results[i].pBlob);
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
    client.values.resize(count);
    for (VARIANT& value : client.values) {
        VariantInit(&value);
        V_VT(&value) = VT_R8;
    }
    return hr;
}

HRESULT AdviseSink(BareClient& client)
{
    IConnectionPointContainer* points = nullptr;
    HRESULT hr =
        client.group->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    if (FAILED(hr)) return hr;
    hr = points->FindConnectionPoint(IID_IOPCDataCallback, &client.dataPoint);
    ReleaseInterface(points);
    if (FAILED(hr)) return hr;
    client.sink = new BareSink;
    return client.dataPoint->Advise(static_cast<IOPCDataCallback*>(client.sink), &client.cookie);
}

void FillValues(BareClient& client, double base)
{
    for (std::size_t i = 0; i < client.values.size(); ++i)
        V_R8(&client.values[i]) = base + static_cast<double>(i);
}

DWORD Count(const BareClient& client)
{
    return static_cast<DWORD>(client.handles.size());
}

} // namespace

HRESULT ConnectBareClient(BareClient& client, const ParItems& items, std::string& failedStep)
{
    failedStep = "CoCreateInstance";
    HRESULT hr = CoCreateInstance(items.clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                  IID_IOPCServer, reinterpret_cast<void**>(&client.server));
    if (FAILED(hr)) return hr;
    failedStep = "AddGroup";
    LONG timeBias = 0;
    OPCHANDLE serverGroup = 0;
    DWORD revisedRate = 0;
    hr = client.server->AddGroup(kGroupName, FALSE, kInactiveRateMs, 1, &timeBias, nullptr,
                                 LOCALE_SYSTEM_DEFAULT, &serverGroup, &revisedRate, IID_IOPCItemMgt,
                                 reinterpret_cast<IUnknown**>(&client.group));
    if (FAILED(hr)) return hr;
    failedStep = "AddItems";
    hr = AddItems(client, items);
    if (FAILED(hr)) return hr;
    failedStep = "QueryInterface(IOPCSyncIO)";
    hr = client.group->QueryInterface(IID_IOPCSyncIO, reinterpret_cast<void**>(&client.syncIo));
    if (FAILED(hr)) return hr;
    failedStep = "QueryInterface(IOPCAsyncIO2)";
    hr = client.group->QueryInterface(IID_IOPCAsyncIO2, reinterpret_cast<void**>(&client.asyncIo));
    if (FAILED(hr)) return hr;
    failedStep = "Advise(IOPCDataCallback)";
    return AdviseSink(client);
}

void ReleaseBareClient(BareClient& client)
{
    if (client.dataPoint != nullptr && client.cookie != 0) client.dataPoint->Unadvise(client.cookie);
    client.cookie = 0;
    ReleaseInterface(client.dataPoint);
    if (client.sink != nullptr) {
        CoDisconnectObject(static_cast<IOPCDataCallback*>(client.sink), 0);
        delete client.sink;
        client.sink = nullptr;
    }
    ReleaseInterface(client.asyncIo);
    ReleaseInterface(client.syncIo);
    ReleaseInterface(client.group);
    ReleaseInterface(client.server);
    client.handles.clear();
    client.values.clear();
}

bool BareAsyncRead(BareClient& client)
{
    DWORD id = ++client.transactionId;
    client.sink->Expect(id, Count(client));
    DWORD cancelId = 0;
    HRESULT* errors = nullptr;
    HRESULT hr = client.asyncIo->Read(Count(client), client.handles.data(), id, &cancelId, &errors);
    CoTaskMemFree(errors);
    return hr == S_OK && PumpUntil(client.sink->done, kCompletionTimeoutMs) && client.sink->ok;
}

bool BareSyncRead(BareClient& client)
{
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = client.syncIo->Read(OPC_DS_DEVICE, Count(client), client.handles.data(), &states, &errors);
    bool ok = hr == S_OK && states != nullptr && AllSucceeded(Count(client), errors);
    for (DWORD i = 0; states != nullptr && i < Count(client); ++i)
        VariantClear(&states[i].vDataValue);
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    return ok;
}

bool BareAsyncWrite(BareClient& client, double base)
{
    FillValues(client, base);
    DWORD id = ++client.transactionId;
    client.sink->Expect(id, Count(client));
    DWORD cancelId = 0;
    HRESULT* errors = nullptr;
    HRESULT hr = client.asyncIo->Write(Count(client), client.handles.data(), client.values.data(), id,
                                       &cancelId, &errors);
    CoTaskMemFree(errors);
    return hr == S_OK && PumpUntil(client.sink->done, kCompletionTimeoutMs) && client.sink->ok;
}

bool BareSyncWrite(BareClient& client, double base)
{
    FillValues(client, base);
    HRESULT* errors = nullptr;
    HRESULT hr = client.syncIo->Write(Count(client), client.handles.data(), client.values.data(), &errors);
    bool ok = hr == S_OK && AllSucceeded(Count(client), errors);
    CoTaskMemFree(errors);
    return ok;
}
