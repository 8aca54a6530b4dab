// The behaviours on demand, applied at the entry of every server call: counting, crash, hang, delay
// and forced results; per-item errors; and the shutdown notice after a number of calls.
#pragma once

#include <string>

#include <windows.h>

#include "opcsim/sim_process.h"

struct CallGate {
    HRESULT forced = S_OK; // a failure: return it at once; a success code other than S_OK: return it instead
    bool replaces = false;
};

// Counts the call, then crashes, hangs or waits as the scenario asks; returns the forced result.
CallGate EnterCall(SimProcess& sim, SimMethod method);
// The result the call returns: the forced success code when there is one, else `hr`.
HRESULT LeaveCall(SimProcess& sim, SimMethod method, const CallGate& gate, HRESULT hr);

// One "call <Method> <details> hr=0x..." line, written when the call returns.
void LogCall(SimProcess& sim, SimMethod method, const std::string& details, HRESULT hr);

HRESULT ItemError(const SimProcess& sim, SimMethod method, const std::wstring& itemId); // S_OK when none
// Counts the completion; true when the scenario says that this one is never sent.
bool CompletionHangs(SimProcess& sim, SimMethod callback);
DWORD DelayOf(const SimProcess& sim, SimMethod method);

// Waits while serving incoming COM calls (other clients keep being served); false when the process quits.
bool PumpingWait(SimProcess& sim, DWORD ms);
