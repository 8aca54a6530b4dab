#pragma once
// --trace: the driver writes its trace lines with OutputDebugStringW, which without a debugger raises
// one exception per line; a vectored handler sees it first and prints the line as "trace  <text>".

// Starts printing trace lines; false when the handler could not be installed.
bool StartTraceTap();
// Stops printing; safe to repeat.
void StopTraceTap();
