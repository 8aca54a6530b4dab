// The scenario's event log: one line per event, appended and flushed at once, so that a test can
// read it while the server runs (and after the server was killed).
#pragma once

#include <string>

#include <windows.h>

struct SimLog {
    HANDLE file = INVALID_HANDLE_VALUE;
};

bool OpenSimLog(SimLog& log, const std::wstring& path);
void WriteSimLog(SimLog& log, const std::string& line); // the line without its '\n'
void CloseSimLog(SimLog& log);                          // safe to repeat
