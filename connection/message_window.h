#pragma once
// Every instance owns one hidden window in the host's thread: whatever must reach that thread from
// elsewhere (the worker's completions, the server's shutdown notice, deferred batches, notifications)
// arrives there as a posted message. Messages are posted with both parameters 0, which are never read.

#include <cstdint>

#include <windows.h>

struct OpcDriver;

constexpr std::uint32_t MsgIssueRead = 1025;
constexpr std::uint32_t MsgIssueWrite = 1026;
constexpr std::uint32_t MsgSyncReadDone = 1027;
constexpr std::uint32_t MsgSyncWriteDone = 1028;
constexpr std::uint32_t MsgServerShutdown = 1029;
// The host's notification of a finished batch, delivered from the window rather than from inside the
// server's callback (a host that fires the next batch from its callback must not nest inside COM).
constexpr std::uint32_t MsgNotifyRead = 1030;
constexpr std::uint32_t MsgNotifyWrite = 1031;

// Creates the instance's window (registering the process-wide class first when needed) and stores the
// instance in its user data. False when no window could be made: nothing would ever reach the instance.
bool CreateDriverWindow(OpcDriver& drv);
// Takes the window from the instance (window becomes null at once, so a worker posts nothing more to
// it) and destroys it; safe to repeat.
void DestroyDriverWindow(OpcDriver& drv);
// Posts message to the instance's window; false when it has none. Safe from any thread.
bool PostToWindow(OpcDriver& drv, std::uint32_t message);

// The class's window procedure: messages 1025 to 1032 and the timers (WM_TIMER) go to their
// handlers, every other to DefWindowProcA.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
