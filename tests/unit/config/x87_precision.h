#pragma once
// Runs a piece of a test under one x87 precision setting, as a host may leave it, and restores the
// setting afterwards (gtest's own arithmetic then runs as usual).

#include <float.h>

struct X87Precision {
    const char* name;
    unsigned int control; // _PC_24, _PC_53 or _PC_64
};

constexpr X87Precision kX87Precisions[] = {{"24 bits", _PC_24}, {"53 bits", _PC_53}, {"64 bits", _PC_64}};

template <class Action> void UnderPrecision(const X87Precision& precision, Action action)
{
    unsigned int saved = _controlfp(0, 0);
    _controlfp(precision.control, _MCW_PC);
    action();
    _controlfp(saved, _MCW_PC);
}
