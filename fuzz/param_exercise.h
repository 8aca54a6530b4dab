#pragma once
// What every parameter file must survive, whatever its bytes: the reader's questions and
// LoadParameterFile are run over it and each of their promises is checked. The fuzz targets (native)
// and the regression test (under Wine) share this, so that a kept input is replayed exactly as the
// fuzzer ran it.

#include <cstdint>

// The caller's error buffer of the load, as Init passes it.
constexpr std::uint32_t kLoadErrMax = 127;

struct LoadOutcome {
    bool loaded = false;
    std::uint32_t channelCount = 0;
    wchar_t err[kLoadErrMax + 1] = {}; // the message of a failed load; untouched after a success
};

// Opens a ParamReader on the file (NUL-terminated name) and asks it every kind of question, over
// several sections, keys and buffer sizes. Null when every promise held and nothing leaked, else a
// fixed text naming the first broken one.
const char* ExerciseReader(const wchar_t* path);

// LoadParameterFile on a fresh record, a walk over the channel table it built, then Clear as Done
// does it. Null when every promise held and every block came back, else a fixed text naming the
// first broken one; outcome tells what the load made of the file. afterLoad, when given, runs as soon
// as LoadParameterFile has returned, before any check allocates (the fuzz target ends an injected
// allocation fault there).
const char* ExerciseLoad(const wchar_t* path, LoadOutcome& outcome, void (*afterLoad)() = nullptr);
