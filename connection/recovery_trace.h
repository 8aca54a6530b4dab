#pragma once
// The trace lines of recovery, written only when the file asks for the trace:
//   "Reconnect: IOPCShutdown->ShutdownRequest(...), server lost"
//   "Reconnect: server or connection gone (hr = 0x800706BA), server lost"
//   "Reconnect: batch time limit expired, server lost"
//   "Reconnect: attempt 3"
//   "Reconnect: attempt failed (Cannot create specified OPC server instance)"
//   "Reconnect: connected again"

#include <windows.h>

#include "connection/supervision.h"

struct OpcDriver;

void TraceLoss(const OpcDriver& drv, LossCause cause, HRESULT hr);
void TraceAttempt(const OpcDriver& drv);
// With the attempt's reason from lastError.
void TraceAttemptFailed(const OpcDriver& drv);
void TraceRecovered(const OpcDriver& drv);
