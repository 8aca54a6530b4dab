#pragma once
// Read batches answered from the server's data changes (subscribe) against read batches that call the
// server, on the same items in the same rounds; the server calls of the subscribed batches; and the time
// from a change at the server to its arrival in the channel. Markdown on stdout.

#include <string>

#include "bench/exchange/builds.h"

bool RunSubscriptionTable(const Builds& builds, const std::string& folder);
