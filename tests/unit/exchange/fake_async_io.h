#pragma once
// An in-process IOPCAsyncIO2 that records every Read and Write, answers with a chosen result and
// per-item errors, and can run code inside the call, before it returns, as a server that completes
// re-entrantly does.

#include <functional>
#include <vector>

#include <windows.h>

#include "opcda.h"

struct AsyncCall {
    bool isWrite = false;
    std::vector<DWORD> handles;
    std::vector<VARIANT> values; // copies of what Write received
    DWORD transactionId = 0;
};

class FakeAsyncIo : public IOPCAsyncIO2 {
public:
    FakeAsyncIo() = default;
    FakeAsyncIo(const FakeAsyncIo&) = delete;
    FakeAsyncIo& operator=(const FakeAsyncIo&) = delete;
    ~FakeAsyncIo();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(DWORD count, OPCHANDLE* handles, DWORD transactionId, DWORD* cancelId,
                                   HRESULT** errors) override;
    HRESULT STDMETHODCALLTYPE Write(DWORD count, OPCHANDLE* handles, VARIANT* values, DWORD transactionId,
                                    DWORD* cancelId, HRESULT** errors) override;
    HRESULT STDMETHODCALLTYPE Refresh2(OPCDATASOURCE source, DWORD transactionId, DWORD* cancelId) override;
    HRESULT STDMETHODCALLTYPE Cancel2(DWORD cancelId) override;
    HRESULT STDMETHODCALLTYPE SetEnable(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetEnable(BOOL* enable) override;

    // What the next calls answer: the result, and per item the error (S_OK past the list's end), or
    // no error array at all.
    HRESULT result = S_OK;
    std::vector<HRESULT> itemErrors;
    bool returnErrors = true;
    // Runs inside Read or Write, after the call was recorded and before it returns.
    std::function<void(const AsyncCall&)> duringCall;

    std::vector<AsyncCall> calls;
    int depth = 0;    // calls running now, one inside the other
    int maxDepth = 0; // the deepest nesting seen

private:
    HRESULT Answer(DWORD count, HRESULT** errors);
    LONG refs = 0;
};
