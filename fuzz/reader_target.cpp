// Fuzz target: the parameter-file reader's every question over the input.
#include "fuzz/fuzz_entry.h"

#include "fuzz/param_exercise.h"

const char* RunTarget(const std::uint8_t*, std::size_t, const wchar_t* path)
{
    return ExerciseReader(path);
}
