#pragma once
// The state check of a freshly created server object: the optional pause, the first status query and,
// for a server that is not configured yet, the wait for it to run.

struct OpcDriver;

// The longest wait for a server that reports OPC_STATUS_NOCONFIG to report OPC_STATUS_RUNNING, counted
// from the start of the wait; the server is polled every kRunningPollMs plus the query's own time.
constexpr unsigned kRunningWaitMs = 15000;
constexpr unsigned kRunningPollMs = 100;

// True when the server's state is usable (running, or test); otherwise the reason is in lastError.
bool AwaitUsableState(OpcDriver& drv);
