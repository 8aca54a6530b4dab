// HostString blocks: header word = capacity in characters, then the length and room for capacity + 1
// characters, so that the text can always be terminated in place. An operation that needs a larger
// block builds the new one before it frees the old one, so that a failure leaves the string as it was
// and a source inside the string's own block stays readable while it is copied.
#include "hostrt/host_string.h"

#include "hostrt/core.h"

namespace {

constexpr std::uint32_t kBlockHead = offsetof(HostStringBlock, chars);

// The block size for a capacity, or 0 when it would not fit in 32 bits.
std::uint32_t BlockSize(std::uint32_t capacity)
{
    std::uint64_t size = kBlockHead + (std::uint64_t{capacity} + 1) * sizeof(wchar_t);
    return size > UINT32_MAX ? 0 : static_cast<std::uint32_t>(size);
}

HostString NewBlock(std::uint32_t capacity)
{
    std::uint32_t size = BlockSize(capacity);
    HostString block = nullptr;
    if (size == 0 || !AllocBlock(block, size)) return nullptr;
    block->header = capacity;
    block->length = 0;
    block->chars[0] = L'\0';
    return block;
}

// The length of a string of this toolkit's making, never beyond the block's room: the driver writes
// the length field itself.
std::uint32_t LengthOf(HostString handle)
{
    return handle == nullptr ? 0 : MinOf(handle->length, handle->header);
}

// The length of a string to be read, whoever made its block: its length field alone.
bool SourceLength(HostString handle, std::uint32_t* length)
{
    *length = handle == nullptr ? 0 : handle->length;
    return *length <= kStringMaxLength;
}

const wchar_t* CharsOf(HostString handle)
{
    return handle == nullptr ? nullptr : handle->chars;
}

// A block with room for needed characters whose first keep characters are those of the string at
// *place: its own block when that is large enough, else a new one of the preferred capacity (or of
// the needed one when memory is short). The replaced block goes to *old, for the caller to free once
// it has read what it needs from it.
HostString RoomFor(HostString* place, std::uint32_t needed, std::uint32_t preferred, std::uint32_t keep,
                   HostString* old)
{
    *old = nullptr;
    HostString current = *place;
    if (current != nullptr && current->header >= needed) return current;
    HostString block = NewBlock(preferred);
    if (block == nullptr && preferred != needed) block = NewBlock(needed);
    if (block == nullptr) return nullptr;
    CopyChars(CharsOf(current), block->chars, keep);
    *old = current;
    return block;
}

// The string becomes its first keep characters followed by exactly count characters of text (a
// HostString may hold NUL characters). Appending grows by half again, so repeated appends stay linear.
bool PutChars(HostString* place, std::uint32_t keep, std::uint32_t count, const wchar_t* text)
{
    if (place == nullptr) return false;
    std::uint64_t total = std::uint64_t{keep} + count;
    if (total > UINT32_MAX) return false;
    if (total == 0 && *place == nullptr) return true; // a null handle already is the empty string
    std::uint32_t needed = static_cast<std::uint32_t>(total);
    std::uint32_t preferred = needed;
    if (keep != 0 && BlockSize(needed + needed / 2) != 0) preferred = needed + needed / 2;
    HostString old = nullptr;
    HostString block = RoomFor(place, needed, preferred, keep, &old);
    if (block == nullptr) return false;
    CopyChars(text, block->chars + keep, count);
    block->length = needed;
    block->chars[needed] = L'\0';
    FreeBlock(old);
    *place = block;
    return true;
}

} // namespace

bool StringReserve(HostString* place, std::uint32_t capacity)
{
    if (place == nullptr) return false;
    HostString old = nullptr;
    HostString block = RoomFor(place, capacity, capacity, 0, &old);
    if (block == nullptr) return false;
    block->length = 0;
    block->chars[0] = L'\0';
    FreeBlock(old);
    *place = block;
    return true;
}

bool StringAssign(HostString* place, std::uint32_t maxLen, const wchar_t* text)
{
    return PutChars(place, 0, WideLen(maxLen, text), text);
}

bool StringAppendText(HostString* place, std::uint32_t len, const wchar_t* text)
{
    return place != nullptr && PutChars(place, LengthOf(*place), WideLen(len, text), text);
}

bool StringAppend(HostString* place, HostString other)
{
    std::uint32_t count = 0;
    return place != nullptr && SourceLength(other, &count) &&
           PutChars(place, LengthOf(*place), count, CharsOf(other));
}

bool StringCopy(HostString* place, HostString source)
{
    if (place != nullptr && *place == source) return true;
    std::uint32_t count = 0;
    return SourceLength(source, &count) && PutChars(place, 0, count, CharsOf(source));
}

bool StringAlloc(HostString* place, std::uint32_t count, wchar_t** chars, std::uint32_t* capacity)
{
    // Always a real block, even for count 0: the caller writes the length field next.
    if (place == nullptr) return false;
    HostString old = nullptr;
    HostString block = RoomFor(place, count, count, 0, &old);
    if (block == nullptr) return false;
    // Zeroed, so that characters the caller leaves unwritten never show an earlier content.
    for (std::uint32_t i = 0; i <= count; ++i)
        block->chars[i] = L'\0';
    block->length = count;
    FreeBlock(old);
    *place = block;
    if (chars != nullptr) *chars = block->chars;
    if (capacity != nullptr) *capacity = block->header;
    return true;
}

void StringView(HostString handle, const wchar_t** chars, std::uint32_t* length)
{
    std::uint32_t n = LengthOf(handle);
    if (handle != nullptr) handle->chars[n] = L'\0'; // the caller may have shortened the length
    if (chars != nullptr) *chars = handle == nullptr ? L"" : handle->chars;
    if (length != nullptr) *length = n;
}

void StringChars(HostString* place, const wchar_t** chars, std::uint32_t* length)
{
    StringView(place == nullptr ? nullptr : *place, chars, length);
}
