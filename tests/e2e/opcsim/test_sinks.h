#pragma once
// The client side of the tests: an IOPCDataCallback and an IOPCShutdown that record what the server
// sends (the arrays are the stub's, so values are copied), and a connection helper.

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include "opcda.h"

struct Callback {
    std::string method; // OnDataChange, OnReadComplete, OnWriteComplete, OnCancelComplete
    DWORD transId = 0;
    OPCHANDLE group = 0;
    HRESULT masterQuality = S_OK;
    HRESULT masterError = S_OK;
    std::vector<OPCHANDLE> clients{};
    std::vector<VARIANT> values{}; // copies, cleared by the sink's destructor
    std::vector<WORD> qualities{};
    std::vector<HRESULT> errors{};
    DWORD threadId = 0;      // the client thread the call arrived on
    bool duringCall = false; // arrived while the sink's owner was inside an outgoing call
};

class DataSink : public IOPCDataCallback {
public:
    ~DataSink();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*,
                                           WORD*, FILETIME*, HRESULT*) override;
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*,
                                             WORD*, FILETIME*, HRESULT*) override;
    HRESULT STDMETHODCALLTYPE OnWriteComplete(DWORD, OPCHANDLE, HRESULT, DWORD, OPCHANDLE*,
                                              HRESULT*) override;
    HRESULT STDMETHODCALLTYPE OnCancelComplete(DWORD, OPCHANDLE) override;

    std::vector<Callback> calls{};
    bool inCall = false; // set by a test around its own outgoing call
    LONG refs = 0;       // held by COM; the sink lives on the test's stack

private:
    HRESULT Record(const char* method, DWORD transId, OPCHANDLE group, HRESULT quality, HRESULT error,
                   DWORD count, const OPCHANDLE* clients, const VARIANT* values, const WORD* qualities,
                   const HRESULT* errors);
};

class ShutdownSink : public IOPCShutdown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE ShutdownRequest(LPCWSTR reason) override;

    std::vector<std::wstring> reasons{};
    LONG refs = 0;
};

// Advises `sink` on the connection point `iid` of `container`; the point is kept in *point.
HRESULT AdviseSink(IUnknown* container, REFIID iid, IUnknown* sink, IConnectionPoint** point, DWORD* cookie);
