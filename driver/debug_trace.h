#pragma once
// The debug trace: one line per OPC call and per channel failure on the debugger output, when the
// parameter file sets "debug". There is no log file and no level; the trace never changes behaviour.

#include <cstddef>
#include <cstdint>

class Channel;
struct OpcDriver;

// Writes text (length characters), then " (ItemId = <ItemId>)" when a channel with a non-empty ItemId
// is given, then CR LF, through OutputDebugStringW. It does not test the Trace flag. Each call builds
// its own string, so the host's thread and the worker may trace at once; without memory nothing is written.
void DebugTrace(const Channel* channel, std::uint32_t length, const wchar_t* text);

// DebugTrace when the instance's parameter file switched the trace on, else nothing.
void EmitTrace(const OpcDriver& drv, const Channel* channel, std::uint32_t length, const wchar_t* text);
// EmitTrace of a literal without a channel.
template <std::size_t N> void EmitTraceLine(const OpcDriver& drv, const wchar_t (&text)[N])
{
    EmitTrace(drv, nullptr, static_cast<std::uint32_t>(N - 1), text);
}
