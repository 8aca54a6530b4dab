#pragma once
// What every command on a parameter file shares: the DLL of the chosen family, COM in this thread,
// the trace tap, the driver instance after Init, and tagprobe's own listing of the file.

#include <string>

#include "tools/tagprobe/driver_library.h"
#include "tools/tagprobe/driver_session.h"
#include "tools/tagprobe/options.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/subscribed_file.h"

struct ProbeRun {
    DriverLibrary lib{};
    DriverSession session{};
    ParamListing listing{};
    SubscribedFile subscribed{}; // the file the instance loads with --subscribe
    bool comInitialized = false;
    bool tracing = false;
    std::wstring loadError{}; // why tagport.dll could not be loaded; Init was then not called
    std::wstring initError{}; // Init's error text when it failed
};

// Loads the DLL, calls Init on the parameter file (with --subscribe, on a copy that sets subscribe when
// the file does not) and reads the listing; prints what failed (Init's text only without --quiet).
// ExitOk when the driver is ready, else the exit code to end with. CloseRun is owed in every case.
int OpenRun(const ProbeOptions& options, ProbeRun& run);
// Done, DisposeDriver, the copy of the file, the trace tap, COM and the DLL, in that order; safe to
// repeat.
void CloseRun(ProbeRun& run);

// "Orvex OPC Client Driver 3.1, ANSI exports".
std::wstring DriverLine(const ProbeRun& run);
// Prints the line that opens the output of a command after a successful Init: the driver, the family
// and the mode that the file asks for.
void PrintInitLine(const ProbeRun& run);
