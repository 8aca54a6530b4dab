#pragma once
// The first step of a recovery attempt in asynchronous mode, on a thread of its own so that a server
// that is slow to start, or hangs, never holds the host's thread: it creates the server object in a
// multithreaded apartment of its own, waits the file's wait_time, asks GetStatus, lets everything go
// and posts MsgAttemptDone with supervision.attemptResult 1 when the server reported running (or
// test). The host's thread connects only then.

struct OpcDriver;

// Starts the probe; false when no thread could be started. The probe holds the record and the module
// until its end, so Done and DisposeDriver never wait for it.
bool StartStatusProbe(OpcDriver& drv);
