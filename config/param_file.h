#pragma once
// The parameter file of a driver instance: its [server] settings and its [channels] table.

#include <cstdint>

struct OpcDriver;

// Reads the file name (counted UTF-16 text) once into drv, whose fields still hold their construction
// defaults. True when the whole file was read and defines at least one channel; err is then untouched.
// False at the first problem, with its message in err cut to errMax; records and fields stored before
// stay, and Clear of the channel table releases them.
bool LoadParameterFile(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax,
                       wchar_t* err);
