#pragma once
// The trace lines of recovery, written only when the file asks for the trace:
//   "Reconnect: IOPCShutdown->ShutdownRequest(...), server lost"
//   "Reconnect: server or connection gone (hr = 0x800706BA), server lost"
//   "Reconnect: batch time limit expired, server lost"
//   "Reconnect: attempt 3"
//   "Reconnect: attempt failed (Cannot create specified OPC server instance)"
//   "Reconnect: connected again"
//   "Reconnect: attempt postponed, 4 workers still held in calls to the server"

#include <cstdint>

#include <windows.h>

#include "connection/supervision_state.h"

struct OpcDriver;

// event is one of the losses.
void TraceLoss(const OpcDriver& drv, SupervisionEvent event, HRESULT hr);
void TraceAttempt(const OpcDriver& drv);
// With the attempt's reason from lastError.
void TraceAttemptFailed(const OpcDriver& drv);
void TraceRecovered(const OpcDriver& drv);
void TraceAttemptPostponed(const OpcDriver& drv, std::uint32_t stuckWorkers);
