#pragma once
// The instance's own calls to the server from the host's thread. While such a call waits, COM's modal
// loop may dispatch messages of the host's thread: under Wine only COM's own, on some Windows versions
// posted ones too, and with them the host's own code, which may call any export. So around each call
// the instance counts itself inside, and what could pull the ground from under the caller waits for the
// outermost call's return: the host's notifications and the shutdown notice (held back by the window,
// connection/message_window.h), Done and DisposeDriver (asked for inside, carried out afterwards).

struct OpcDriver;

void EnterServerCall(OpcDriver& drv);
// Leaves one level. Leaving the outermost one carries out a Done asked for meanwhile (or by the caller)
// and frees the record after a DisposeDriver, or else posts again what the window held back. False when
// the record was freed: the caller must not touch it any more.
bool LeaveServerCall(OpcDriver& drv);
