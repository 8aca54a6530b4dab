#pragma once
// The driver's two COM objects, embedded in OpcDriver: an interface table first, a reference count that
// is only a diagnostic (reaching 0 frees nothing: the object lives exactly as long as its record) and
// the owning instance. The owner is set by the record's construction and cleared at Done; it is atomic
// because the shutdown sink may run on the worker's thread while the host's thread clears it.

#include <atomic>

struct OpcDriver;
struct IUnknown;
struct ShutdownSinkVtbl;
struct DataCallbackVtbl;

// The interface tables (connection/shutdown_sink.cpp, connection/data_callback.cpp).
extern const ShutdownSinkVtbl kShutdownSinkVtbl;
extern const DataCallbackVtbl kDataCallbackVtbl;

struct ShutdownSinkObject {
    const ShutdownSinkVtbl* vtbl = &kShutdownSinkVtbl;
    volatile long refs = 0;
    std::atomic<OpcDriver*> owner{nullptr};
};

struct DataCallbackObject {
    const DataCallbackVtbl* vtbl = &kDataCallbackVtbl;
    volatile long refs = 0;
    std::atomic<OpcDriver*> owner{nullptr};
};

// The object as COM sees it: its address, whose first word is the interface table.
IUnknown* SinkUnknown(ShutdownSinkObject& sink);
IUnknown* SinkUnknown(DataCallbackObject& sink);

// Drops every reference that COM's stubs in the calling thread's apartment hold on the sink, at once.
// Called in the thread that advised it, before that thread's CoUninitialize: a server that died or
// never unadvised would otherwise keep a reference until the apartment ends, and that last Release
// could reach a record that no longer exists.
void DisconnectSink(ShutdownSinkObject& sink);
void DisconnectSink(DataCallbackObject& sink);
