#pragma once
// Text between UTF-16 and the ANSI code page (CP_ACP), the two widths of the driver's export families,
// and UTF-8 for what tagprobe writes to files.

#include <cstddef>
#include <string>

std::wstring WideFromAnsi(const char* text, std::size_t length);
std::string Utf8FromWide(const std::wstring& text);
// False when a character has no exact counterpart in the ANSI code page; ansi is then unusable.
bool AnsiFromWide(const std::wstring& text, std::string& ansi);
