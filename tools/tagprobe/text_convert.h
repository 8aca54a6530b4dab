#pragma once
// Text between UTF-16 and the ANSI code page (CP_ACP), the two widths of the driver's export families.

#include <cstddef>
#include <string>

std::wstring WideFromAnsi(const char* text, std::size_t length);
// False when a character has no exact counterpart in the ANSI code page; ansi is then unusable.
bool AnsiFromWide(const std::wstring& text, std::string& ansi);
