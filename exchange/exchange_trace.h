#pragma once
// Trace texts of the read and write cycles as (characters, length) pairs taken from literals, so that
// each text is written once and its length is never counted by hand.

#include <cstddef>
#include <cstdint>

#include "driver/debug_trace.h"

struct TraceText {
    const wchar_t* text;
    std::uint32_t length;
};

template <std::size_t N> constexpr TraceText MakeTraceText(const wchar_t (&text)[N])
{
    return TraceText{text, static_cast<std::uint32_t>(N - 1)};
}

inline void TraceLine(const OpcDriver& drv, const Channel* channel, TraceText line)
{
    EmitTrace(drv, channel, line.length, line.text);
}
