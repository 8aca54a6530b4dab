// The state of one simulation server process: its scenario, log, simulated device, the objects alive,
// the call counters the behaviours look at, and the completions waiting for delivery.
#pragma once

#include <deque>
#include <vector>

#include <windows.h>

#include "opcsim/address_space.h"
#include "opcsim/scenario.h"
#include "opcsim/sim_log.h"

struct Completion;
struct ServerObject;

// Window messages and timers of the process window.
constexpr UINT kMsgDeliver = WM_APP + 1;
constexpr UINT kMsgShutdown = WM_APP + 2;
constexpr UINT kMsgUpdateSent = WM_APP + 3; // lParam: the Completion a callback thread hands back
constexpr UINT_PTR kTimerLinger = 1;
constexpr UINT_PTR kTimerDeliver = 2;
constexpr UINT_PTR kTimerShutdown = 3;
constexpr UINT_PTR kTimerExit = 4;
constexpr UINT_PTR kTimerChangesStop = 5;
constexpr UINT_PTR kTimerUpdateFirst = 0x100; // and above: one update timer per group

struct SimProcess {
    Scenario scenario{};
    SimLog log{};
    AddressSpace space{};
    HWND window = nullptr;      // message-only window of the main thread: posted completions and timers
    HANDLE quitEvent = nullptr; // set when the process must end: idle too long, or its parent died
    LONG liveObjects = 0;       // objects and class-factory locks; 0 starts the linger timer
    DWORD calls[static_cast<int>(SimMethod::Count)] = {};
    std::deque<Completion*> pending{}; // posted completions in delivery order
    DWORD nextCancelId = 1;
    std::vector<ServerObject*> servers{}; // not counted: each removes itself when it ends
    bool shutdownSent = false;
    bool changesStopArmed = false; // the scenario's "changes stop": armed once, with the first server object
    bool changesStopped = false;   // no periodic update is sent any more
    UINT_PTR nextUpdateTimer = kTimerUpdateFirst; // the next group's update timer id
    DWORD classCookie = 0; // of CoRegisterClassObject, revoked before an exit the scenario asks for
};
