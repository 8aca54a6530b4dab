#pragma once
// The state check of a freshly created server object: the optional pause, the first status query and,
// for a server that is not configured yet, the wait for it to run.

#include <windows.h>

struct OpcDriver;
struct IOPCServer;

// The longest wait for a server that reports OPC_STATUS_NOCONFIG to report OPC_STATUS_RUNNING, counted
// from the start of the wait; the server is polled every kRunningPollMs plus the query's own time.
constexpr unsigned kRunningWaitMs = 15000;
constexpr unsigned kRunningPollMs = 100;

// True when the server's state is usable (running, or test); otherwise the reason is in lastError.
// pause: first the file's wait_time (false when a probe has already seen the server running).
bool AwaitUsableState(OpcDriver& drv, bool pause);
// The server's state and GetStatus's result: E_POINTER for a success without a status record; any
// other failure as the call gave it (the caller tells a gone server from a refusal).
HRESULT AskServerState(IOPCServer& server, DWORD& state);
// The server's state; false when the query failed, a success without a status record included.
bool QueryState(IOPCServer& server, DWORD& state);
// QueryState, and with the file's wait_running, the wait for a server not configured yet to run.
bool QueryStateAsAsked(const OpcDriver& drv, IOPCServer& server, DWORD& state);
