#pragma once
// Runs a piece of a test under one x87 precision setting, as a host may leave it, and restores the
// setting afterwards (gtest's own arithmetic then runs as usual).

#include <float.h>

struct X87Precision {
    const char* name;
    unsigned int control; // _PC_24, _PC_53 or _PC_64
};

#if defined(__i386__)
constexpr X87Precision kX87Precisions[] = {{"24 bits", _PC_24}, {"53 bits", _PC_53}, {"64 bits", _PC_64}};

template <class Action> void UnderPrecision(const X87Precision& precision, Action action)
{
    unsigned int saved = _controlfp(0, 0);
    _controlfp(precision.control, _MCW_PC);
    action();
    _controlfp(saved, _MCW_PC);
}
#else
// x86_64 does its arithmetic in SSE2, whose one precision is the 53-bit one: the tests run under it
// alone, and the x87 settings are reported as skipped (seconds_test.cpp).
constexpr X87Precision kX87Precisions[] = {{"53 bits (SSE2)", 0}};

template <class Action> void UnderPrecision(const X87Precision&, Action action)
{
    action();
}
#endif
