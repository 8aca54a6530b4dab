#pragma once
// The limit on an asynchronous batch. A server that dies after accepting a Read or Write never sends its
// completion, and nothing else would tell the instance: every later batch would only be deferred behind
// the dead one, and the host would wait for a notification for ever. So each accepted asynchronous batch
// runs a timer on the instance's window; when it expires first, the batch ends as a failed one.

#include <cstdint>

#include <windows.h>

struct OpcDriver;
struct BatchKind;

// The longest wait for an asynchronous completion, the bound the driver uses for its other waits too.
constexpr UINT kBatchTimeoutMs = 30000;

// Starts (or restarts) the direction's timer for the batch just issued.
void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind);
// Stops the direction's timer; harmless when none runs.
void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind);
// WM_TIMER of the instance's window: the batch of the timer's direction, if still outstanding, ends as a
// failed one (its outstanding channels get StatusFailed, a deferred batch goes out, the host is notified
// with the batch's kind). A later completion of it is ignored by its transaction id.
void OnBatchTimeout(OpcDriver& drv, UINT_PTR timerId);
