#pragma once
// Ctrl+C and Ctrl+Break end a watch between two batches instead of killing tagprobe in the middle of
// one, so that Done still runs and the server sees a clean goodbye.

#include <windows.h>

// A manual-reset event that the console's Ctrl+C or Ctrl+Break signals, created with its handler on
// the first call; null when it cannot be created.
HANDLE InterruptEvent();
