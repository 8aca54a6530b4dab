// The scenario's shutdown notice: IOPCShutdown::ShutdownRequest to every advised client, each from a
// thread of its own, so that a client that does not dispatch incoming calls blocks only that thread.
#include "opcsim/server_object.h"

#include "opcsim/callback_thread.h"
#include "opcsim/connection_point.h"
#include "opcsim/text_util.h"

void SendShutdownNotices(SimProcess& sim)
{
    if (sim.shutdownSent) return;
    sim.shutdownSent = true;
    std::wstring reason = sim.scenario.shutdown.reason;
    WriteSimLog(sim.log, "shutdown-notice reason=" + Quote(Utf8FromWide(reason)) +
                             " clients=" + std::to_string(sim.servers.size()));
    for (ServerObject* server : sim.servers) {
        IUnknown* sink = ConnectedSink(server->shutdownPoint);
        if (sink == nullptr) continue;
        SimLog* log = &sim.log;
        HANDLE thread = StartCallbackThread(sink, IID_IOPCShutdown, [log, reason](IUnknown* s) {
            if (s == nullptr) return;
            IOPCShutdown* shutdown = reinterpret_cast<IOPCShutdown*>(s);
            HRESULT hr = shutdown->lpVtbl->ShutdownRequest(shutdown, reason.c_str());
            WriteSimLog(*log, "shutdown reason=" + Quote(Utf8FromWide(reason)) + " hr=" + HexHResult(hr));
        });
        if (thread != nullptr) CloseHandle(thread);
        ReleaseInterface(sink);
    }
    if (sim.scenario.exitAfterShutdown)
        SetTimer(sim.window, kTimerExit, sim.scenario.exitAfterShutdownMs, nullptr);
}
