// Asynchronous completions of a group (OnReadComplete, OnWriteComplete, OnDataChange of a refresh,
// OnCancelComplete): delivered after the call returned (posted to the main window, after the scenario's
// delay), inside the call (re-entrant), or from a server thread while the call waits. Periodic updates
// are completions too, sent by subscription.cpp.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "opcda.h"
#include "opcsim/sim_process.h"

struct Group;

struct Completion {
    Group* group = nullptr; // counted
    // Taken from the group when the completion is made: a callback thread reads nothing of the group.
    OPCHANDLE hClientGroup = 0;
    std::string groupText{}; // group=<name> for the log
    SimMethod callback = SimMethod::OnReadComplete;
    DWORD transId = 0;
    DWORD cancelId = 0;
    std::vector<OPCHANDLE> clients{};
    std::vector<VARIANT> values{}; // owned; reads and data changes only
    std::vector<WORD> qualities{};
    std::vector<FILETIME> times{};
    std::vector<HRESULT> errors{};
    ULONGLONG due = 0;
    // The result of a periodic update's call, stored by its thread before it hands the update back.
    HRESULT result = S_OK;
};

// A completion for `group` with a fresh cancel ID; null when out of memory.
Completion* NewCompletion(Group& group, SimMethod callback, DWORD transId);
void FreeCompletion(Completion*& completion); // safe to repeat
// One item of a read or a data change; the completion takes `value` over.
void AddReadResult(Completion& completion, OPCHANDLE client, const VARIANT& value, WORD quality,
                   const FILETIME& time, HRESULT error);

// Calls the sink with the completion as the scenario shapes it (empty first, foreign handles) and writes
// its "callback" lines; the result of the last call. Reads only the completion and the scenario: any
// thread may call it.
HRESULT InvokeCompletion(SimProcess& sim, IOPCDataCallback* sink, Completion& completion);

// The "drop" line of a completion that no sink can take.
void LogDroppedCompletion(SimProcess& sim, const Completion& completion);

// Delivers now or queues, as the scenario says; takes `completion` over.
void DeliverCompletion(SimProcess& sim, Completion* completion);
// The window's handler: delivers every queued completion that is due, in order.
void DeliverDueCompletions(SimProcess& sim);
// A queued completion of `group` with this cancel ID becomes an OnCancelComplete; false when none is queued.
bool CancelCompletion(SimProcess& sim, Group& group, DWORD cancelId);
