#pragma once
// One episode of the campaign: draws its faults and its host from the seed, runs the fault phase, makes
// the server steady, expects good data again, ends the instances and checks that the process got back
// what it had. Every broken promise is printed with the seed; true when none was.

#include <cstdint>

#include "tests/support/driver_api.h"
#include "tests/support/e2e_host.h"

bool RunEpisode(const DriverApi& api, std::uint64_t seed, Mode mode);
