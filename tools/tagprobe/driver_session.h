#pragma once
// One driver instance driven as the runtime drives it: MakeDriver, Init with a notification callback,
// batches, Done and DisposeDriver, all in this thread, which runs a message loop while it waits.

#include <cstdint>
#include <string>

#include <windows.h>

#include "tools/tagprobe/driver_library.h"

constexpr std::uint32_t kReadKind = 0;
constexpr std::uint32_t kWriteKind = 1;

struct DriverSession {
    const DriverLibrary* lib = nullptr;
    DriverHandle driver = nullptr;
    bool initialized = false;            // Init was called (Done is owed, whatever Init returned)
    volatile LONG notifications[2] = {}; // per kind: how often the driver called back
    volatile LONG oddNotifications = 0;  // callbacks with a kind other than 0 or 1, or a non-zero third word
    std::uint32_t userData = 0;          // the session's slot in tools/common/user_data.h while it runs
};

// MakeDriver, then Init with the parameter file in the family's width. False with the driver's error
// text (or why Init could not even be called); the session must still be ended with EndSession.
bool StartSession(const DriverLibrary& lib, const std::wstring& parameterFile, DriverSession& session,
                  std::wstring& error);
// Done and DisposeDriver; safe to repeat and after a failed start.
void EndSession(DriverSession& session);

enum class WaitOutcome { Notified, TimedOut, Interrupted };

// Runs the message loop until the driver has called back with kind more often than seen, timeoutMs
// have passed, or interrupt (may be null) is signalled.
WaitOutcome WaitForNotification(DriverSession& session, std::uint32_t kind, LONG seen,
                                std::uint32_t timeoutMs, HANDLE interrupt);
// Runs the message loop for ms milliseconds; false when interrupt (may be null) ended it early.
bool PauseWithMessages(std::uint32_t ms, HANDLE interrupt);
