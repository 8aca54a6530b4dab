#pragma once
// The items of the group: one per channel, added in one AddItems call.

struct OpcDriver;

// Adds one item per channel of the table and binds every channel to its item; true only when the server
// accepted all of them. Otherwise no channel is bound and lastError names the first refused channel, or
// the file as a whole.
bool AddChannelItems(OpcDriver& drv);
