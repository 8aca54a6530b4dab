#include "tools/tagprobe/probe_run.h"

#include <objbase.h>

#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/trace_tap.h"

int OpenRun(const ProbeOptions& options, ProbeRun& run)
{
    std::wstring error;
    // The runtime's thread is a single-threaded apartment; the driver's own CoInitialize then only
    // counts up, and tagprobe's look at the server shares the apartment (also when the driver cannot
    // be loaded: check still asks the server about the items).
    run.comInitialized = SUCCEEDED(CoInitialize(nullptr));
    if (!LoadDriverLibrary(options.wide, run.lib, run.loadError)) {
        PrintError(run.loadError);
        return ExitInitFailed;
    }
    std::wstring file = options.file;
    if (options.subscribe) {
        std::wstring note;
        if (!PrepareSubscribedFile(options.file, run.subscribed, note, error)) {
            PrintError(error);
            return ExitInitFailed;
        }
        if (!note.empty()) PrintLine(note);
        file = run.subscribed.path;
    }
    if (options.trace) run.tracing = StartTraceTap();
    if (!StartSession(run.lib, file, run.session, run.initError)) {
        if (!options.quiet) PrintLine(L"Init failed: " + run.initError);
        return ExitInitFailed;
    }
    if (!ReadParamListing(file, run.listing, error)) {
        PrintError(L"Init succeeded, but tagprobe cannot list the parameter file: " + error);
        return ExitInitFailed;
    }
    if (options.trace && !run.listing.debug)
        PrintLine(L"note: the parameter file does not set debug = true in [server], so the driver writes no "
                  L"trace lines");
    return ExitOk;
}

void CloseRun(ProbeRun& run)
{
    EndSession(run.session);
    ReleaseSubscribedFile(run.subscribed);
    if (run.tracing) StopTraceTap();
    run.tracing = false;
    if (run.comInitialized) CoUninitialize();
    run.comInitialized = false;
    UnloadDriverLibrary(run.lib);
}

std::wstring DriverLine(const ProbeRun& run)
{
    return DriverDescription(run.lib) + (run.lib.wide ? L", W exports" : L", ANSI exports");
}

void PrintInitLine(const ProbeRun& run)
{
    PrintLine(L"Init succeeded: " + DriverLine(run) + L"; the file asks for " +
              (run.listing.synchronous ? L"synchronous" : L"asynchronous") + L" mode");
}
