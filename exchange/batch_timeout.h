#pragma once
// The limit on a batch (the file's batch_timeout, 30 s by default). A server that dies after accepting an
// asynchronous Read or Write never sends its completion, and a synchronous call into a hung server never
// returns to the worker; nothing else would tell the instance: every later batch would only be deferred
// behind the dead one, and the host would wait for a notification for ever. So each accepted batch runs a
// timer on the instance's window (StartBatchTimeout, exchange/batch.h); when it expires first, the batch
// ends as a failed one. Anyone can post a WM_TIMER with the timer's id, so the deadline is kept in the
// record and decides.

struct OpcDriver;
struct BatchKind;

// The guard of the direction's WM_TIMER: the limit is armed, its deadline has passed, and the batch is
// still outstanding and not inside its issue. False for a timer message that anyone posted early.
bool BatchTimeoutDue(const OpcDriver& drv, const BatchKind& kind);
// The handler: the batch ends as a failed one (its outstanding channels get StatusFailed, a deferred
// batch goes out, the host is notified with the batch's kind). A later completion of it is ignored by
// its transaction id. In synchronous mode the worker held in the call is given up and the other
// direction's batch ends the same way. Then the supervision hears of it (a BatchLimit event).
void OnBatchTimeout(OpcDriver& drv, const BatchKind& kind);
