// Counted-text operations. Sources end at their length or at a NUL; destinations hold max + 1
// characters and are always terminated. Copies use memmove, because callers pass a buffer as both
// source and destination (appending to or slicing their own text).
#include "hostrt/core.h"

#include <cstring>

namespace {

std::uint32_t Smaller(std::uint32_t a, std::uint32_t b)
{
    return a < b ? a : b;
}

void MoveChars(wchar_t* dst, const wchar_t* src, std::uint32_t count)
{
    if (count != 0) std::memmove(dst, src, std::size_t{count} * sizeof(wchar_t));
}

} // namespace

std::uint32_t AnsiLen(std::uint32_t max, const char* text)
{
    std::uint32_t n = 0;
    if (text != nullptr)
        while (n < max && text[n] != '\0')
            ++n;
    return n;
}

std::uint32_t WideLen(std::uint32_t max, const wchar_t* text)
{
    std::uint32_t n = 0;
    if (text != nullptr)
        while (n < max && text[n] != L'\0')
            ++n;
    return n;
}

void CopyChars(const wchar_t* src, wchar_t* dst, std::uint32_t count)
{
    if (src != nullptr && dst != nullptr) MoveChars(dst, src, count);
}

void JoinText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len1, const wchar_t* text1,
              std::uint32_t len2, const wchar_t* text2)
{
    if (dst == nullptr) return;
    std::uint32_t n1 = Smaller(WideLen(len1, text1), dstMax);
    std::uint32_t n2 = Smaller(WideLen(len2, text2), dstMax - n1);
    // The second text goes first: when it is dst itself (prepending), it must move before text1
    // overwrites its start; when text1 is dst (appending), it stays where it is.
    MoveChars(dst + n1, text2, n2);
    MoveChars(dst, text1, n1);
    dst[n1 + n2] = L'\0';
}

void CopyText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t srcLen, const wchar_t* src)
{
    JoinText(dstMax, dst, srcLen, src, 0, nullptr);
}

void AppendText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len, const wchar_t* text)
{
    JoinText(dstMax, dst, dstMax, dst, len, text);
}

void PrependText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t len, const wchar_t* text)
{
    JoinText(dstMax, dst, len, text, dstMax, dst);
}

void SliceText(std::uint32_t dstMax, wchar_t* dst, std::uint32_t srcLen, const wchar_t* src,
               std::uint32_t start, std::uint32_t count)
{
    std::uint32_t n = WideLen(srcLen, src);
    if (start >= n) {
        CopyText(dstMax, dst, 0, nullptr);
        return;
    }
    CopyText(dstMax, dst, Smaller(count, n - start), src + start);
}

std::int32_t FindChar(std::uint32_t len, const wchar_t* text, wchar_t ch)
{
    std::uint32_t n = WideLen(len, text);
    for (std::uint32_t i = 0; i < n && i <= INT32_MAX; ++i)
        if (text[i] == ch) return static_cast<std::int32_t>(i);
    return -1;
}
