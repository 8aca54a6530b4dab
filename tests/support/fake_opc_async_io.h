#pragma once
// The one in-process fake of IOPCAsyncIO2: records every Read and Write, answers with a chosen result
// and per-item errors, can run code inside the call before it returns (a server that completes
// re-entrantly, or COM's modal loop dispatching the caller's messages), and can complete each accepted
// call through an IOPCDataCallback inside the call or when the test asks. It is either an object of its
// own or the asynchronous interface of a fake group, whose identity and reference count it then shares.
// Used from one thread at a time: its record is not guarded.

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
    // owner: the object this interface belongs to (QueryInterface, AddRef and Release go to it); null
    // for an object of its own.
    explicit FakeAsyncIo(IUnknown* owner = nullptr) : outer(owner) {}
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

    // Completes the latest call through callback: every item good, a read's value the item's client
    // handle as VT_I4, now as its timestamp. E_FAIL without a call or a callback.
    HRESULT CompleteLatest();

    // What the next calls answer: the result, and per item the error (S_OK past the list's end), or
    // no error array at all.
    HRESULT result = S_OK;
    std::vector<HRESULT> itemErrors;
    bool returnErrors = true;
    // Runs inside Read or Write, after the call was recorded and before it returns.
    std::function<void(const AsyncCall&)> duringCall;
    // Where completions go, the client handle of each server handle, and whether an accepted call
    // completes inside itself (after duringCall) rather than when the test calls CompleteLatest.
    IOPCDataCallback* callback = nullptr;
    std::function<OPCHANDLE(OPCHANDLE serverHandle)> clientHandleOf = [](OPCHANDLE handle) { return handle; };
    bool completeInsideCall = false;

    std::vector<AsyncCall> calls;
    int depth = 0;    // calls running now, one inside the other
    int maxDepth = 0; // the deepest nesting seen

private:
    HRESULT Answer(DWORD count, HRESULT** errors);
    IUnknown* outer = nullptr;
    LONG refs = 0;
};
