// ISO 8601 texts (UTC, "2024-05-17T13:44:59.123") to and from OLE DATE values and FILETIMEs.
#pragma once

#include <string>

#include <windows.h>

bool ParseOleDate(const std::string& text, double& date);
std::string FormatOleDate(double date);
bool ParseFileTime(const std::string& text, FILETIME& time);
FILETIME FileTimeNow();
