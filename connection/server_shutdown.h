#pragma once
// The server's shutdown notice, handled in the host's thread: the instance drops its connection without
// a call to the server (which is going away) and stays inert until Done.

struct OpcDriver;

// The handling of MsgServerShutdown. Ignored unless ServerDown is set (a stray message changes nothing);
// safe to repeat. Stops the worker, drops every interface pointer without releasing it, then posts the
// host's notification once for each direction whose batch was outstanding, so that a host waiting for
// it goes on to see StatusServerDown.
void OnServerShutdown(OpcDriver& drv);
// The part of OnServerShutdown that Done also needs when the notice's message was not handled yet:
// everything but the notifications.
void DropConnection(OpcDriver& drv);
// In the thread that owns the connection, once the server went away: disconnects the sinks from this
// apartment's stubs, ends the thread's COM initialisation and forgets every interface pointer without
// releasing it.
void LeaveDeadServer(OpcDriver& drv);
