// The Windows side of code_page.h.
#include "convert/code_page.h"

#include <windows.h>

std::uint32_t AnsiCodePage()
{
    return GetACP();
}

bool IsLeadByte(std::uint32_t codePage, char byte)
{
    return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(byte)) != FALSE;
}
