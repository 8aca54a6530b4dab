#include "tests/e2e/opcsim/test_sinks.h"

DataSink::~DataSink()
{
    for (Callback& c : calls) {
        for (VARIANT& v : c.values)
            VariantClear(&v);
    }
}

HRESULT DataSink::QueryInterface(REFIID iid, void** out)
{
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOPCDataCallback)) return E_NOINTERFACE;
    *out = static_cast<IOPCDataCallback*>(this);
    AddRef();
    return S_OK;
}

HRESULT DataSink::Record(const char* method, DWORD transId, OPCHANDLE group, HRESULT quality, HRESULT error,
                         DWORD count, const OPCHANDLE* clients, const VARIANT* values, const WORD* qualities,
                         const HRESULT* errors)
{
    Callback c;
    c.method = method;
    c.transId = transId;
    c.group = group;
    c.masterQuality = quality;
    c.masterError = error;
    c.threadId = GetCurrentThreadId();
    c.duringCall = inCall;
    for (DWORD i = 0; i < count; ++i) {
        c.clients.push_back(clients[i]);
        c.errors.push_back(errors[i]);
        if (qualities != nullptr) c.qualities.push_back(qualities[i]);
        if (values == nullptr) continue;
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, const_cast<VARIANT*>(&values[i])); // the API lacks const
        c.values.push_back(copy);
    }
    calls.push_back(c);
    return S_OK;
}

HRESULT DataSink::OnDataChange(DWORD transId, OPCHANDLE group, HRESULT quality, HRESULT error, DWORD count,
                               OPCHANDLE* clients, VARIANT* values, WORD* qualities, FILETIME*,
                               HRESULT* errors)
{
    return Record("OnDataChange", transId, group, quality, error, count, clients, values, qualities, errors);
}

HRESULT DataSink::OnReadComplete(DWORD transId, OPCHANDLE group, HRESULT quality, HRESULT error, DWORD count,
                                 OPCHANDLE* clients, VARIANT* values, WORD* qualities, FILETIME*,
                                 HRESULT* errors)
{
    return Record("OnReadComplete", transId, group, quality, error, count, clients, values, qualities,
                  errors);
}

HRESULT DataSink::OnWriteComplete(DWORD transId, OPCHANDLE group, HRESULT error, DWORD count,
                                  OPCHANDLE* clients, HRESULT* errors)
{
    return Record("OnWriteComplete", transId, group, S_OK, error, count, clients, nullptr, nullptr, errors);
}

HRESULT DataSink::OnCancelComplete(DWORD transId, OPCHANDLE group)
{
    return Record("OnCancelComplete", transId, group, S_OK, S_OK, 0, nullptr, nullptr, nullptr, nullptr);
}

HRESULT ShutdownSink::QueryInterface(REFIID iid, void** out)
{
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOPCShutdown)) return E_NOINTERFACE;
    *out = static_cast<IOPCShutdown*>(this);
    AddRef();
    return S_OK;
}

HRESULT ShutdownSink::ShutdownRequest(LPCWSTR reason)
{
    reasons.push_back(reason != nullptr ? reason : L"(null)");
    return S_OK;
}

HRESULT AdviseSink(IUnknown* container, REFIID iid, IUnknown* sink, IConnectionPoint** point, DWORD* cookie)
{
    *point = nullptr;
    IConnectionPointContainer* points = nullptr;
    HRESULT hr = container->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    if (FAILED(hr)) return hr;
    hr = points->FindConnectionPoint(iid, point);
    points->Release();
    if (FAILED(hr)) return hr;
    return (*point)->Advise(sink, cookie);
}
