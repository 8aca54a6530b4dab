#pragma once
// A thread of the driver's own that outlives what the host waits for (the worker, a status probe): it
// holds the instance's record and the module, and lets go of both as its very last act.

#include <windows.h>

struct OpcDriver;

// Starts main with the record as its argument, holding both; null (nothing held) when it cannot start.
HANDLE StartHoldingThread(OpcDriver& drv, LPTHREAD_START_ROUTINE main);
// Lets go of the record (which may be freed here: nothing of it is touched afterwards) and of the
// module, and ends the thread.
[[noreturn]] void EndHoldingThread(OpcDriver& drv, DWORD exitCode);
