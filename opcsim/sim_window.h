// The message-only window of the server's main thread.
#pragma once

#include "opcsim/sim_process.h"

bool CreateSimWindow(SimProcess& sim);

// Every COM object and class-factory lock counts; when the count falls to 0 the linger timer starts.
void ObjectCreated(SimProcess& sim);
void ObjectDestroyed(SimProcess& sim);
