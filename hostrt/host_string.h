#pragma once
// HostString: the host toolkit's counted UTF-16 string. The handle points to a block of the core
// allocator laid out as the host fixes it; a null handle is the empty string.

#include <cstddef>
#include <cstdint>

struct HostStringBlock {
    std::uint32_t header; // the toolkit's own word (its capacity in characters); callers never touch it
    std::uint32_t length; // UTF-16 code units
    wchar_t chars[1];     // length characters; the block has room for header + 1 (a terminator)
};
static_assert(offsetof(HostStringBlock, length) == 4, "host contract: length follows the header word");
static_assert(offsetof(HostStringBlock, chars) == 8, "host contract: characters follow the length");

using HostString = HostStringBlock*;

// No string holds more characters than this (nor does any counted text the driver takes): a source
// block whose length field says more is refused before its memory is read that far.
constexpr std::uint32_t kStringMaxLength = 0x3FFFFFF0;

// Each returns false (and leaves *place as it was) when memory runs out, or when a source string's
// length is above kStringMaxLength. A source string (of StringAppend and StringCopy) may be a block
// the host made: it is read by its length field and characters alone, never by its header word,
// which is the host toolkit's own.
bool StringReserve(HostString* place, std::uint32_t capacity);
bool StringAssign(HostString* place, std::uint32_t maxLen, const wchar_t* text);
bool StringAppendText(HostString* place, std::uint32_t len, const wchar_t* text);
bool StringAppend(HostString* place, HostString other);
bool StringCopy(HostString* place, HostString source);
// A string of count characters, all NUL, for the caller to fill through *chars; the caller then stores
// count (or fewer) in the block's length field. *capacity receives the room in characters. Always a
// real block, for count 0 too, so that the length field can be written.
bool StringAlloc(HostString* place, std::uint32_t count, wchar_t** chars, std::uint32_t* capacity);
// The characters, NUL-terminated, and the length; a null handle gives "" and 0.
void StringChars(HostString* place, const wchar_t** chars, std::uint32_t* length);
void StringView(HostString handle, const wchar_t** chars, std::uint32_t* length);
inline std::uint32_t MinOf(std::uint32_t a, std::uint32_t b)
{
    return a < b ? a : b;
}
