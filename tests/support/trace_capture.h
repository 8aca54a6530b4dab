#pragma once
// Captures what this process writes to the debugger output (OutputDebugStringW) while an instance is
// alive. Without an attached debugger the system raises one exception per call, which a vectored
// handler sees before anything else: Wine raises only the ANSI one (0x40010006), Windows 10 and later
// the wide one (0x4001000A) first and then the ANSI one, which is then skipped. Characters outside the
// ANSI code page come back as "?" under Wine, so traced ItemIds in tests should be ASCII.

#include <string>
#include <vector>

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every text written since construction or since the last Take, in order; empties the record.
    std::vector<std::wstring> Take();
    bool IsInstalled() const { return handler != nullptr; }

private:
    void* handler = nullptr;
};
