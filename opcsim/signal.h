// Simulated signals: the value of an item with a signal as a function of the time since start.
#pragma once

#include <windows.h>

#include "opcsim/scenario.h"

// ramp: low to high over one period, then again; sine: around the middle of low..high; random:
// uniform in low..high (a fixed-seed sequence, so runs repeat); toggle: low for half a period, then high.
double SignalValue(const Signal& signal, ULONGLONG elapsedMs, unsigned& randomState);
