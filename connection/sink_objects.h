#pragma once
// The driver's two COM objects, embedded in OpcDriver: an interface table first, a reference count that
// is only a diagnostic (reaching 0 frees nothing: the object lives exactly as long as its record) and
// the owning instance.

struct OpcDriver;
struct ShutdownSinkVtbl;
struct DataCallbackVtbl;

struct ShutdownSinkObject {
    const ShutdownSinkVtbl* vtbl = nullptr;
    volatile long refs = 0;
    OpcDriver* owner = nullptr;
};

struct DataCallbackObject {
    const DataCallbackVtbl* vtbl = nullptr;
    volatile long refs = 0;
    OpcDriver* owner = nullptr;
};
