#pragma once
// The server's shutdown notice, handled in the host's thread: the instance drops its connection without
// a call to the server (which is going away) and stays inert until Done.

struct OpcDriver;

// The handling of MsgServerShutdown. Ignored unless ServerDown is set (a stray message changes nothing);
// safe to repeat. Stops the worker, drops every interface pointer without releasing it, then posts the
// host's notification once for each direction whose batch was outstanding, so that a host waiting for
// it goes on to see StatusServerDown. With `reconnect` the instance is lost instead (connection/recovery.h).
void OnServerShutdown(OpcDriver& drv);
// Ends the outstanding batch of each direction: no longer active, a deferred one dropped, the host
// notified once per direction.
void EndOutstandingBatches(OpcDriver& drv);
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
