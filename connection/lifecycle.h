#pragma once
// Init and Done of an instance: the connection part of Init (after the parameter file) with the
// fall-back from asynchronous to synchronous mode, and the tear-down. Both run in the host's thread.

#include <cstdint>

struct OpcDriver;

using NotifyCallback = void(__cdecl*)(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);

// True when the instance is connected and ready; otherwise err holds one text (cut to errMax).
bool Init(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax, wchar_t* err,
          std::uint32_t userData, NotifyCallback callback);
// Releases the connection, the worker thread, the channel table and the window (the supervision's
// TearDown, connection/supervision.h); safe after any Init and safe to repeat. Called inside one of the
// instance's own server calls (host code run by COM's modal loop), it takes effect when the outermost
// call has returned.
void Done(OpcDriver& drv);
