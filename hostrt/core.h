#pragma once
// The host's core runtime library as the driver uses it: one allocator, counted text and a clock.
// Counted text: a source is (length, pointer), read up to the length or up to a NUL, whichever comes
// first; a destination is (maximum, pointer) to a buffer of maximum + 1 characters, always terminated.
// Every operation here is safe to call from the host's thread and the worker thread at once.

#include <cstdint>

// Blocks of this size or more are always refused, on every build: a 32-bit host never gives one.
constexpr std::uint32_t kBlockSizeLimit = 0x80000000u;
// Stores a new block of size bytes in *place, or null when the allocation fails (then false).
bool AllocBlock(void** place, std::uint32_t size);
// Frees the block held in *place (nothing if null) and clears the place.
void FreeBlock(void** place);

template <class T> bool AllocBlock(T*& place, std::uint32_t size)
{
    void* block = nullptr;
    bool ok = AllocBlock(&block, size);
    place = static_cast<T*>(block);
    return ok;
}
template <class T> void FreeBlock(T*& place)
{
    void* block = const_cast<void*>(static_cast<const void*>(place));
    FreeBlock(&block);
    place = nullptr;
}

// A gate in front of AllocBlock, for tests that make one chosen allocation fail (the k-th string of
// a conversion, say): called with the size asked for, it answers whether the allocation may go on.
// Null (the start) lets every allocation through. Set only while no other thread allocates.
using AllocationGate = bool (*)(std::uint32_t size);
void SetAllocationGate(AllocationGate gate);

// Blocks and bytes currently allocated by AllocBlock and not yet freed: tests use them to prove
// that nothing leaks.
std::uint32_t LiveBlockCount();
std::uint64_t LiveBlockBytes();

void CopyText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t srcLen, const wchar_t* src);
void JoinText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len1, const wchar_t* text1,
              std::uint32_t len2, const wchar_t* text2);
void AppendText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len, const wchar_t* text);
void PrependText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len, const wchar_t* text);
// Writes value in radix (2 to 36) into dst; *ok is false (and dst empty) when it does not fit in dstMax.
void FormatInt(std::uint32_t value, std::uint32_t dstMax, wchar_t* dst, std::uint32_t radix, bool* ok);
// The value of the whole text in radix: digits only, no sign, blank or prefix (letters of either case
// beyond radix 10). *ok is false for an empty text, any other character, or a value beyond 32 bits.
std::uint32_t ParseInt(std::uint32_t len, const wchar_t* text, std::uint32_t radix, bool* ok);
// Index of the first ch within len characters (stopping at a NUL), or -1.
std::int32_t FindChar(std::uint32_t len, const wchar_t* text, wchar_t ch);
void SliceText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t srcLen, const wchar_t* src,
               std::uint32_t start, std::uint32_t count);
std::uint32_t AnsiLen(std::uint32_t max, const char* text);
std::uint32_t WideLen(std::uint32_t max, const wchar_t* text);
void CopyChars(const wchar_t* src, wchar_t* dst, std::uint32_t count);
std::uint64_t Ticks64();
// Conversions in the system ANSI code page, cut to dstMax on a character boundary, always terminated.
void AnsiToWide(std::uint32_t srcLen, const char* src, std::uint32_t dstMax, wchar_t* dst);
void WideToAnsi(std::uint32_t srcLen, const wchar_t* src, std::uint32_t dstMax, char* dst);
