#pragma once
// What the connection's unit tests share: a record made as MakeDriver makes it, channels, a window of the
// driver's class, and a look at the messages posted to it.

#include <cstdint>

#include <windows.h>

#include <gtest/gtest.h>

#include "driver/opc_driver.h"
#include "tests/support/leak_check.h"

// A record from MakeDriverRecord, given back with FreeDriverRecord (which runs Done first).
class DriverRecordTest : public LeakCheckedTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a scalar (count 0) or range channel with the ItemId "item<first>".
    void AddTestChannel(std::uint32_t first, std::uint32_t count = 0);

    OpcDriver* drv = nullptr;
};

class FakeServer;
// Every connection pointer of an asynchronous instance, pointing at the fake's objects (whose references
// are counted from 0), advised as after Init.
void HoldFakeAsyncConnection(OpcDriver& drv, FakeServer& server);

// True (and removed from the queue, its wParam in *wParam when given) when message is waiting for window.
bool TakePosted(HWND window, std::uint32_t message, WPARAM* wParam = nullptr);
// Takes message from the queue of window as soon as it arrives, dispatching nothing (so no handler of
// the exchange runs); fails after timeoutMs.
::testing::AssertionResult WaitForPosted(HWND window, std::uint32_t message, std::uint32_t timeoutMs,
                                         WPARAM* wParam = nullptr);
