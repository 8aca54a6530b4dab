#pragma once
// Where 8-bit text in an ANSI code page may be cut: never inside a DBCS pair or a UTF-8 sequence, so
// that a text shortened to a limit converts to whole characters only. The conversions themselves are
// the host runtime's (hostrt/platform.h).

#include <cstdint>

constexpr std::uint32_t kUtf8CodePage = 65001;

// The system ANSI code page (CP_ACP as a number).
std::uint32_t AnsiCodePage();
// True when byte starts a two-byte character in codePage.
bool IsLeadByte(std::uint32_t codePage, char byte);
// Bytes of the longest start of the NUL-ended text that has at most maxBytes bytes and ends between
// whole characters of codePage.
std::uint32_t AnsiCut(std::uint32_t codePage, const char* text, std::uint32_t maxBytes);
