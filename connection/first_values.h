#pragma once
// Subscribe, asynchronous mode: after every connection (Init, a recovery) the group is refreshed once
// from the server's cache, so that every channel gets its first value through OnDataChange without
// waiting for it to change. (The worker of synchronous mode reads the cache itself:
// connection/worker_subscription.h.)

#include <windows.h>

struct OpcDriver;

// IOPCAsyncIO2::Refresh2 (OPC_DS_CACHE) as one of the instance's server calls. A refusal is traced and
// otherwise ignored: the channels then report as never read until their first change, and a server that
// has gone is noticed by the status query. With waitForThem (Init) the call returns once the refresh's
// OnDataChange has been stored, or after batch_timeout, so that the host's first batch finds the values;
// COM delivers the change meanwhile as it does inside any call. False when the record was freed inside
// the call.
bool RequestFirstValues(OpcDriver& drv, bool waitForThem);
// The data callback's OnDataChange carried transactionId: the refresh's answer has been stored.
void NoteFirstValues(OpcDriver& drv, DWORD transactionId);
