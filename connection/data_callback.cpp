// DataCallbackObject: the driver's IOPCDataCallback, advised on the group in asynchronous mode. COM calls
// it in the host's thread; read and write completions go to the exchange, and with subscribe so do data
// changes (in synchronous mode the worker's apartment receives them and queues them for the host's thread).

#include "connection/sink_objects.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/first_values.h"
#include "connection/sink_unknown.h"
#include "connection/worker_subscription.h"
#include "driver/opc_driver.h"
#include "exchange/subscription.h"
#include "exchange/read_cycle.h"
#include "exchange/write_cycle.h"

// Slot order of IOPCDataCallback: IUnknown's three, then its four methods.
struct DataCallbackVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(DataCallbackObject*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(DataCallbackObject*);
    ULONG(STDMETHODCALLTYPE* Release)(DataCallbackObject*);
    HRESULT(STDMETHODCALLTYPE* OnDataChange)
    (DataCallbackObject*, DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*, WORD*, FILETIME*,
     HRESULT*);
    HRESULT(STDMETHODCALLTYPE* OnReadComplete)
    (DataCallbackObject*, DWORD, OPCHANDLE, HRESULT, HRESULT, DWORD, OPCHANDLE*, VARIANT*, WORD*, FILETIME*,
     HRESULT*);
    HRESULT(STDMETHODCALLTYPE* OnWriteComplete)
    (DataCallbackObject*, DWORD, OPCHANDLE, HRESULT, DWORD, OPCHANDLE*, HRESULT*);
    HRESULT(STDMETHODCALLTYPE* OnCancelComplete)(DataCallbackObject*, DWORD, OPCHANDLE);
};

namespace {

// Used with subscribe only; the arrays belong to the stub. In the host's thread (asynchronous mode) the
// channels take the change at once; the worker (synchronous mode) copies it for the host's thread.
HRESULT STDMETHODCALLTYPE DataCallback_OnDataChange(DataCallbackObject* self, DWORD transactionId, OPCHANDLE,
                                                    HRESULT, HRESULT masterError, DWORD count,
                                                    OPCHANDLE* clientHandles, VARIANT* values,
                                                    WORD* qualities, FILETIME* timestamps, HRESULT* errors)
{
    OpcDriver* owner = self->owner.load();
    if (owner == nullptr || !HasFlag(*owner, Subscribe)) return S_OK;
    if (HasFlag(*owner, ThreadMode)) {
        QueueDataChange(*owner, masterError, count, clientHandles, values, qualities, timestamps, errors);
    } else {
        ApplyDataChange(*owner, masterError, count, clientHandles, values, qualities, timestamps, errors);
        NoteFirstValues(*owner, transactionId);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DataCallback_OnReadComplete(DataCallbackObject* self, DWORD transactionId,
                                                      OPCHANDLE groupHandle, HRESULT masterQuality,
                                                      HRESULT masterError, DWORD count,
                                                      OPCHANDLE* clientHandles, VARIANT* values,
                                                      WORD* qualities, FILETIME* timestamps, HRESULT* errors)
{
    OpcDriver* owner = self->owner.load();
    if (owner == nullptr) return S_OK;
    return OnReadComplete(*owner, transactionId, groupHandle, masterQuality, masterError, count,
                          clientHandles, values, qualities, timestamps, errors);
}

HRESULT STDMETHODCALLTYPE DataCallback_OnWriteComplete(DataCallbackObject* self, DWORD transactionId,
                                                       OPCHANDLE groupHandle, HRESULT masterError,
                                                       DWORD count, OPCHANDLE* clientHandles, HRESULT* errors)
{
    OpcDriver* owner = self->owner.load();
    if (owner == nullptr) return S_OK;
    return OnWriteComplete(*owner, transactionId, groupHandle, masterError, count, clientHandles, errors);
}

HRESULT STDMETHODCALLTYPE DataCallback_OnCancelComplete(DataCallbackObject*, DWORD, OPCHANDLE)
{
    return S_OK;
}

} // namespace

const DataCallbackVtbl kDataCallbackVtbl = {SinkQueryInterface<DataCallbackObject, &IID_IOPCDataCallback>,
                                            SinkAddRef<DataCallbackObject>,
                                            SinkRelease<DataCallbackObject>,
                                            DataCallback_OnDataChange,
                                            DataCallback_OnReadComplete,
                                            DataCallback_OnWriteComplete,
                                            DataCallback_OnCancelComplete};

IUnknown* SinkUnknown(DataCallbackObject& sink)
{
    return reinterpret_cast<IUnknown*>(&sink);
}

void DisconnectSink(DataCallbackObject& sink)
{
    CoDisconnectObject(SinkUnknown(sink), 0);
}
