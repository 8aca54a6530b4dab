#pragma once
// The builds one run compares: this build's tagport.dll and, when given, a baseline's (an earlier
// commit's DLL), loaded side by side in one process and driven by the same rounds. Absolute times on a
// shared machine move by a factor of two between runs; within one run both builds meet the same load.

#include "tests/support/driver_api.h"

struct Builds {
    const DriverApi* current = nullptr;
    const DriverApi* baseline = nullptr; // null: the tables of this build only
};

// Which of a round's participants goes first, second, third: the order turns each round, so that none
// always follows another's work on the server.
inline int TurnOf(int participant, int round, int participants)
{
    return (participant + round) % participants;
}
