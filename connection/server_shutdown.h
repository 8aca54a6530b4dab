#pragma once
// The server's shutdown notice, handled in the host's thread: the instance drops its connection without
// a call to the server (which is going away) and stays inert until Done.

struct OpcDriver;

// The guard of MsgServerShutdown: the shutdown sink has set ServerDown and the notice has not been
// handled yet. A stray message finds it false and changes nothing.
bool ShutdownNoticeAwaited(const OpcDriver& drv);
// The connection's part of MsgServerShutdown, once: stops the worker and drops every interface pointer
// without releasing it (the batches outstanding are ended by the exchange's part). Does nothing unless
// the notice is awaited. With `reconnect` the instance is lost instead (connection/recovery.h).
void OnServerShutdown(OpcDriver& drv);
// Posts the notice's message again, after it was held back inside one of the instance's server calls.
void RepostShutdownNotice(OpcDriver& drv);
// The part of OnServerShutdown that Done also needs when the notice's message was not handled yet:
// everything but the notifications.
void DropConnection(OpcDriver& drv);
// Forgets every interface pointer of the connection without releasing it, and the flags that went with
// them (the thread whose apartment holds them may no longer be this one).
void ForgetConnection(OpcDriver& drv);
// In a worker's thread the host has given up on: disconnects the sinks from this apartment's stubs and
// ends the thread's COM initialisation, touching nothing else of the record.
void LeaveApartment(OpcDriver& drv);
// In the thread that owns the connection, once the server went away: disconnects the sinks from this
// apartment's stubs, ends the thread's COM initialisation and forgets every interface pointer without
// releasing it.
void LeaveDeadServer(OpcDriver& drv);
