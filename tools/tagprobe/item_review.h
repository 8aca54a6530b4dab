#pragma once
// What the server says of the channels' items, as review findings: every ItemId it does not accept
// (IOPCItemMgt::ValidateItems), with its own error text and the closest names that browsing finds; a
// range bound to a scalar item or a single channel bound to an array item (from the canonical types);
// and items whose access rights do not allow reading (a warning: a channel the runtime only writes
// works).

#include "tools/tagprobe/file_review.h"

struct IOPCServer;

// Appends the findings about review.channels; nothing is added to the server (the items are only
// validated, in a group of tagprobe's own that is removed again).
void ReviewItems(IOPCServer* server, FileReview& review);
