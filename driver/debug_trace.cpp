#include "driver/debug_trace.h"

#include <windows.h>

#include "config/channel_table.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"

namespace {

constexpr std::uint32_t kLineReserve = 128;
constexpr wchar_t kItemIdOpen[] = L" (ItemId = ";
constexpr wchar_t kItemIdClose[] = L")";
constexpr wchar_t kLineEnd[] = L"\r\n";

bool HasItemId(const Channel* channel)
{
    return channel != nullptr && channel->itemId != nullptr && channel->itemId->length != 0;
}

} // namespace

void DebugTrace(const Channel* channel, std::uint32_t length, const wchar_t* text)
{
    HostString line = nullptr;
    bool ok = StringReserve(&line, kLineReserve) && StringAssign(&line, length, text);
    if (ok && HasItemId(channel)) {
        ok = StringAppendText(&line, 11, kItemIdOpen) && StringAppend(&line, channel->itemId) &&
             StringAppendText(&line, 1, kItemIdClose);
    }
    if (ok && StringAppendText(&line, 2, kLineEnd)) {
        const wchar_t* chars = nullptr;
        std::uint32_t count = 0;
        StringChars(&line, &chars, &count);
        OutputDebugStringW(chars);
    }
    FreeBlock(line);
}

void EmitTrace(const OpcDriver& drv, const Channel* channel, std::uint32_t length, const wchar_t* text)
{
    if (HasFlag(drv, Trace)) DebugTrace(channel, length, text);
}
