#pragma once
// Subscribe, asynchronous mode: after every connection (Init, a recovery) the group is refreshed once
// from the server's cache, so that every channel gets its first value through OnDataChange without
// waiting for it to change. (The worker of synchronous mode reads the cache itself:
// connection/worker_subscription.h.)

struct OpcDriver;

// IOPCAsyncIO2::Refresh2 (OPC_DS_CACHE) as one of the instance's server calls. A refusal is traced and
// otherwise ignored: the channels then report as never read until their first change, and a server that
// has gone is noticed by the status query. False when the record was freed inside the call.
bool RequestFirstValues(OpcDriver& drv);
