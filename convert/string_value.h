#pragma once
// Filling a HostValue with text the value owns (TypeString). A value that already holds a string keeps
// its block when the block is large enough, so that repeated reads of a text item do not reallocate.

#include <cstdint>

#include "convert/value_record.h"

// Makes value a TypeString of exactly count characters and gives their buffer (all NUL) to fill.
// False, with value untouched, when memory runs out.
bool PrepareStringValue(HostValue& value, std::uint32_t count, wchar_t** chars);
// Makes value a TypeString holding the count UTF-16 code units at chars, NUL characters included.
bool AssignStringValue(HostValue& value, const wchar_t* chars, std::uint32_t count);
