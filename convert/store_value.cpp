#include "convert/caller_exchange.h"

#include <cstdint>

#include "convert/code_page.h"
#include "convert/string_value.h"
#include "convert/value_payload.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "hostrt/platform.h"

namespace {

// The longest TypeText kept, in characters of the caller's width (bytes for ANSI text).
constexpr std::uint32_t kTextMax = 255;

// 8-bit text as exactly the UTF-16 code units it converts to: in a DBCS code page that is fewer than
// its bytes, and a string sized by bytes would end in characters nobody wrote.
bool AssignAnsiString(HostValue& slot, const char* text, std::uint32_t bytes)
{
    std::uint32_t units = PlatformAnsiToWide(text, bytes, nullptr, 0);
    wchar_t* chars = nullptr;
    if (!PrepareStringValue(slot, units, &chars)) return false;
    if (units != 0) PlatformAnsiToWide(text, bytes, chars, units);
    return true;
}

bool StoreText(const HostValue& source, HostValue& slot, bool wide)
{
    const void* text = ReadPayload<const void*>(source);
    if (text == nullptr) return false;
    if (wide) {
        const auto* chars = static_cast<const wchar_t*>(text);
        return AssignStringValue(slot, chars, WideLen(kTextMax, chars));
    }
    const auto* bytes = static_cast<const char*>(text);
    return AssignAnsiString(slot, bytes, AnsiCut(AnsiCodePage(), bytes, kTextMax));
}

// Counted text is taken whole, NULs included; its length is the host's promise about its buffer.
bool StoreTextBuf(const HostValue& source, HostValue& slot, bool wide)
{
    std::uint32_t length = ReadPayload<std::uint32_t>(source, kBufLengthOffset);
    const void* text = ReadPayload<const void*>(source, kBufPointerOffset);
    if (length > kStringMaxLength || (length != 0 && text == nullptr)) return false;
    if (wide) return AssignStringValue(slot, static_cast<const wchar_t*>(text), length);
    return AssignAnsiString(slot, static_cast<const char*>(text), length);
}

// The host's string stays the host's: the slot gets a copy of its own. StringCopy reads the host's
// block by its length field alone.
bool StoreString(const HostValue& source, HostValue& slot)
{
    HostString copy = nullptr;
    if (!StringCopy(&copy, ReadPayload<HostString>(source))) return false;
    slot.type = TypeString;
    WritePayload(slot, copy);
    return true;
}

} // namespace

bool StoreValue(const HostValue& source, HostValue& slot, bool wide)
{
    ReleaseValue(slot);
    switch (source.type) {
    case TypeText:
        return StoreText(source, slot, wide);
    case TypeTextBuf:
        return StoreTextBuf(source, slot, wide);
    case TypeString:
        return StoreString(source, slot);
    default:
        slot = source;
        return true;
    }
}
