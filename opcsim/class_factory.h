// The class object the server registers for its CLSID: every CreateInstance makes a new server object.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "opcsim/sim_process.h"

// The factory lives as long as the process (a static object); its reference count means nothing.
IClassFactory* SimClassFactory(SimProcess& sim);
