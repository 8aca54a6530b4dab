// Asynchronous completions of a group (OnReadComplete, OnWriteComplete, OnDataChange of a refresh,
// OnCancelComplete): delivered after the call returned (posted to the main window, after the scenario's
// delay), inside the call (re-entrant), or from a server thread while the call waits.
#pragma once

#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "opcda.h"
#include "opcsim/sim_process.h"

struct Group;

struct Completion {
    Group* group = nullptr; // counted
    SimMethod callback = SimMethod::OnReadComplete;
    DWORD transId = 0;
    DWORD cancelId = 0;
    std::vector<OPCHANDLE> clients{};
    std::vector<VARIANT> values{}; // owned; reads and data changes only
    std::vector<WORD> qualities{};
    std::vector<FILETIME> times{};
    std::vector<HRESULT> errors{};
    ULONGLONG due = 0;
};

// A completion for `group` with a fresh cancel ID; null when out of memory.
Completion* NewCompletion(Group& group, SimMethod callback, DWORD transId);
void FreeCompletion(Completion*& completion); // safe to repeat

// Delivers now or queues, as the scenario says; takes `completion` over.
void DeliverCompletion(SimProcess& sim, Completion* completion);
// The window's handler: delivers every queued completion that is due, in order.
void DeliverDueCompletions(SimProcess& sim);
// A queued completion of `group` with this cancel ID becomes an OnCancelComplete; false when none is queued.
bool CancelCompletion(SimProcess& sim, Group& group, DWORD cancelId);
