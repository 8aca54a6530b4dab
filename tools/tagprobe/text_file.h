#pragma once
// Parameter files that tagprobe writes: plain ASCII when the text is, else UTF-8 with a byte-order mark,
// both of which the driver's reader takes as written.

#include <string>

// Writes text to a new file (never over an existing one). False with the reason.
bool WriteNewTextFile(const std::wstring& path, const std::wstring& text, std::wstring& error);
// Writes text to a new file of a name of its own in the temporary folder, which goes into path. False
// with the reason, and nothing left behind.
bool WriteTempTextFile(const std::wstring& text, std::wstring& path, std::wstring& error);
