#pragma once
// Init and Done of an instance: the connection part of Init (after the parameter file) with the
// fall-back from asynchronous to synchronous mode, and the tear-down. Both run in the host's thread.

#include <cstdint>

struct OpcDriver;

using NotifyCallback = void(__cdecl*)(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero);

// True when the instance is connected and ready; otherwise err holds one text (cut to errMax).
bool Init(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax, wchar_t* err,
          std::uint32_t userData, NotifyCallback callback);
// Releases the connection, the worker thread, the channel table and the window; safe after any Init.
// Called inside one of the instance's own server calls (host code run by COM's modal loop), it takes
// effect when the outermost call has returned.
void Done(OpcDriver& drv);
// Done's work, carried out by LeaveServerCall (connection/server_call.h); safe to repeat.
void TearDownInstance(OpcDriver& drv);

// Process attach and detach: the module handle and the process-wide window class.
void RecordModuleInstance(void* moduleInstance);
void UnregisterWindowClass();
