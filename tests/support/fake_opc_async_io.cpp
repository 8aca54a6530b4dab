#include "tests/support/fake_opc_async_io.h"

#include <objbase.h>

FakeAsyncIo::~FakeAsyncIo()
{
    for (AsyncCall& call : calls) {
        for (VARIANT& value : call.values)
            VariantClear(&value);
    }
}

HRESULT STDMETHODCALLTYPE FakeAsyncIo::QueryInterface(REFIID iid, void** out)
{
    if (outer != nullptr) return outer->QueryInterface(iid, out);
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOPCAsyncIO2)) return E_NOINTERFACE;
    *out = static_cast<IOPCAsyncIO2*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE FakeAsyncIo::AddRef()
{
    if (outer != nullptr) return outer->AddRef();
    return static_cast<ULONG>(InterlockedIncrement(&refs));
}

ULONG STDMETHODCALLTYPE FakeAsyncIo::Release()
{
    if (outer != nullptr) return outer->Release();
    return static_cast<ULONG>(InterlockedDecrement(&refs));
}

HRESULT FakeAsyncIo::Answer(DWORD count, HRESULT** errors)
{
    // The answer is fixed when the call begins: code run inside may already set the next call's.
    const HRESULT answer = result;
    ++depth;
    if (depth > maxDepth) maxDepth = depth;
    // A copy: a call made from inside may grow the record and move its entries.
    const AsyncCall current = calls.back();
    if (duringCall) duringCall(current);
    if (completeInsideCall && SUCCEEDED(answer)) CompleteLatest();
    --depth;
    *errors = nullptr;
    if (returnErrors && SUCCEEDED(answer)) {
        *errors = static_cast<HRESULT*>(CoTaskMemAlloc(count * sizeof(HRESULT)));
        for (DWORD i = 0; i < count; ++i)
            (*errors)[i] = i < itemErrors.size() ? itemErrors[i] : S_OK;
    }
    return answer;
}

HRESULT FakeAsyncIo::CompleteLatest()
{
    if (calls.empty() || callback == nullptr) return E_FAIL;
    const AsyncCall call = calls.back();
    DWORD count = static_cast<DWORD>(call.handles.size());
    std::vector<OPCHANDLE> clients;
    std::vector<HRESULT> errors(count, S_OK);
    for (DWORD handle : call.handles)
        clients.push_back(clientHandleOf(handle));
    if (call.isWrite)
        return callback->OnWriteComplete(call.transactionId, 0, S_OK, count, clients.data(), errors.data());
    std::vector<VARIANT> values(count);
    std::vector<WORD> qualities(count, 0xC0);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    std::vector<FILETIME> times(count, now);
    for (DWORD i = 0; i < count; ++i) {
        VariantInit(&values[i]);
        values[i].vt = VT_I4;
        values[i].lVal = static_cast<LONG>(clients[i]);
    }
    return callback->OnReadComplete(call.transactionId, 0, S_OK, S_OK, count, clients.data(), values.data(),
                                    qualities.data(), times.data(), errors.data());
}

HRESULT STDMETHODCALLTYPE FakeAsyncIo::Read(DWORD count, OPCHANDLE* handles, DWORD transactionId,
                                            DWORD* cancelId, HRESULT** errors)
{
    AsyncCall call;
    call.handles.assign(handles, handles + count);
    call.transactionId = transactionId;
    calls.push_back(call);
    *cancelId = transactionId;
    return Answer(count, errors);
}

HRESULT STDMETHODCALLTYPE FakeAsyncIo::Write(DWORD count, OPCHANDLE* handles, VARIANT* values,
                                             DWORD transactionId, DWORD* cancelId, HRESULT** errors)
{
    AsyncCall call;
    call.isWrite = true;
    call.handles.assign(handles, handles + count);
    call.values.resize(count);
    for (DWORD i = 0; i < count; ++i) {
        VariantInit(&call.values[i]);
        VariantCopy(&call.values[i], &values[i]);
    }
    call.transactionId = transactionId;
    calls.push_back(call);
    *cancelId = transactionId;
    return Answer(count, errors);
}

HRESULT STDMETHODCALLTYPE FakeAsyncIo::Refresh2(OPCDATASOURCE, DWORD, DWORD*)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeAsyncIo::Cancel2(DWORD)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeAsyncIo::SetEnable(BOOL)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE FakeAsyncIo::GetEnable(BOOL*)
{
    return E_NOTIMPL;
}
