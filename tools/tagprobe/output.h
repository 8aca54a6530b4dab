#pragma once
// Everything tagprobe prints goes through here: UTF-8 into files and pipes, UTF-16 onto a console,
// whole lines under one lock, because the driver's worker thread may emit trace lines at any moment.

#include <string>

// Writes text followed by a line break to standard output.
void PrintLine(const std::wstring& text);
// Writes "tagprobe: ", text and a line break to standard error.
void PrintError(const std::wstring& text);
// Writes text and a line break to standard error.
void PrintErrorLine(const std::wstring& text);
