#pragma once
// One entry of the [channels] section: a channel number or a range first-last, bound to an ItemId.

#include "config/channel_table.h"
#include "config/error_text.h"

struct ChannelEntry {
    const wchar_t* key = nullptr;    // as the reader delivered it, at most kKeyMax characters
    const wchar_t* itemId = nullptr; // at most kItemIdMax characters
    bool keyWasCut = false;          // the file's key was longer than kKeyMax
    bool itemIdWasCut = false;       // the file's ItemId was longer than kItemIdMax
};

// Checks the entry's key, looks for a channel number it shares with a stored record, and adds its
// record. False, with the message in err, when the entry is refused; the table is then unchanged.
bool AddChannelEntry(ChannelTable& table, const ChannelEntry& entry, const ErrorText& err);
