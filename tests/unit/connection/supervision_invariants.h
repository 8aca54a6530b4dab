#pragma once
// The invariants of each state of the supervision (written in connection/supervision.h), as a test sees
// them in the record.

#include <gtest/gtest.h>

struct OpcDriver;

::testing::AssertionResult SupervisionInvariantsHold(const OpcDriver& drv);
