#pragma once
// What the server's event log says was written to it, and the ends of the episode's server processes.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/support/sim_control.h"

// True once none of the processes runs any more (a process that cannot be opened has ended).
bool ProcessesEnded(const std::vector<DWORD>& processes);
// Asks each process that still runs to send its shutdown notice now and end as its scenario says
// (exit-after-shutdown), through the message its own timer posts.
void AskToShutDown(const std::vector<DWORD>& processes);
// Ends each process that still runs, as a crash would; only once the episode needs no server any more.
void EndProcesses(const std::vector<DWORD>& processes);
// How many write lines of the written item carry exactly this value.
std::size_t LoggedWritesOf(const SimServer& server, std::int32_t value);
