#pragma once
// The limit on a batch (the file's batch_timeout, 30 s by default). A server that dies after accepting an
// asynchronous Read or Write never sends its completion, and a synchronous call into a hung server never
// returns to the worker; nothing else would tell the instance: every later batch would only be deferred
// behind the dead one, and the host would wait for a notification for ever. So each accepted batch runs a
// timer on the instance's window; when it expires first, the batch ends as a failed one.

#include <cstdint>

#include <windows.h>

struct OpcDriver;
struct BatchKind;

// Starts (or restarts) the direction's timer for the batch just issued.
void StartBatchTimeout(OpcDriver& drv, const BatchKind& kind);
// Stops the direction's timer; harmless when none runs.
void StopBatchTimeout(OpcDriver& drv, const BatchKind& kind);
// WM_TIMER of the instance's window: the batch of the timer's direction, if still outstanding, ends as a
// failed one (its outstanding channels get StatusFailed, a deferred batch goes out, the host is notified
// with the batch's kind). A later completion of it is ignored by its transaction id. In synchronous mode
// the worker held in the call is given up and the other direction's batch ends the same way. With
// `reconnect` the instance has then lost its server.
void OnBatchTimeout(OpcDriver& drv, UINT_PTR timerId);
