// Periodic OnDataChange (subscription updates): each group that is active, enabled and has an advised
// IOPCDataCallback moves its active items on at its update rate, as a cache read would, and sends one
// OnDataChange (transaction id 0) with the items that changed since it last sent them. The update goes
// from a server thread of its own that the main thread does not wait for: a client that has died or
// stopped dispatching holds up only that thread, and its group's next update.
#pragma once

#include <windows.h>

#include "opcsim/sim_process.h"

struct Group;

// Runs the group's timer at its rate while the group is active and enabled, stops it otherwise; called
// after each change of the three.
void ScheduleUpdates(Group& group);
// The group ends: its timer stops. Safe to repeat.
void StopUpdates(Group& group);
// Every active item goes into the group's next update, as for a client that has seen nothing.
void ForgetSentValues(Group& group);

// The window's handlers: a timer fired (false when it is no update timer); a callback thread handed its
// update back (kMsgUpdateSent), which ends the update. A client found gone gets no more updates until
// it advises again.
bool RunUpdateTimer(SimProcess& sim, UINT_PTR timerId);
void UpdateSent(Completion* update);

// The scenario's "changes stop", armed once with the process's first server object: it takes effect at
// once, or when kTimerChangesStop fires (StopChanges).
void ArmChangesStop(SimProcess& sim);
void StopChanges(SimProcess& sim);
