// ShutdownSinkObject: the driver's IOPCShutdown. The server calls it in the apartment that advised it
// (the host's thread in asynchronous mode, the worker in synchronous mode), so it only marks the instance
// and posts; the real work happens in the host's thread through the window.

#include "connection/sink_objects.h"

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include "connection/message_window.h"
#include "connection/sink_unknown.h"
#include "driver/opc_driver.h"

// Slot order of IOPCShutdown: IUnknown's three, then ShutdownRequest.
struct ShutdownSinkVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(ShutdownSinkObject*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(ShutdownSinkObject*);
    ULONG(STDMETHODCALLTYPE* Release)(ShutdownSinkObject*);
    HRESULT(STDMETHODCALLTYPE* ShutdownRequest)(ShutdownSinkObject*, LPCWSTR);
};

namespace {

// With recovery a worker given up on may still hold this sink in its apartment while a newer one holds
// the instance's connection: only the connection's own apartment speaks for its server.
bool NoticeCounts(const OpcDriver& drv)
{
    return drv.reconnectMs == 0 || drv.supervision.connectionThread.load() == GetCurrentThreadId();
}

HRESULT STDMETHODCALLTYPE ShutdownSink_ShutdownRequest(ShutdownSinkObject* self, LPCWSTR)
{
    // The owner is cleared at Done and when the host gives up on a worker: after that nothing of this
    // instance reacts any more.
    OpcDriver* owner = self->owner.load();
    if (owner != nullptr && NoticeCounts(*owner)) {
        // One message for the first notice; the guard of its row lets it through only with ServerDown set.
        // With recovery, ServerDown already set means an attempt is connecting: its notice is kept for
        // when the attempt ends.
        std::uint32_t before = owner->flags.fetch_or(ServerDown);
        if ((before & ServerDown) == 0) {
            PostToWindow(*owner, MsgServerShutdown, 0);
        } else if (owner->reconnectMs != 0) {
            owner->flags.fetch_or(NoticeWhileDown);
        }
    }
    return S_OK;
}

} // namespace

const ShutdownSinkVtbl kShutdownSinkVtbl = {SinkQueryInterface<ShutdownSinkObject, &IID_IOPCShutdown>,
                                            SinkAddRef<ShutdownSinkObject>, SinkRelease<ShutdownSinkObject>,
                                            ShutdownSink_ShutdownRequest};

IUnknown* SinkUnknown(ShutdownSinkObject& sink)
{
    return reinterpret_cast<IUnknown*>(&sink);
}

void DisconnectSink(ShutdownSinkObject& sink)
{
    CoDisconnectObject(SinkUnknown(sink), 0);
}
