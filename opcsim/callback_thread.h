// Calls into a client's sink from a thread of its own (a multithreaded apartment), as servers with
// worker threads do: the sink is marshalled to the thread, so the main apartment keeps serving.
#pragma once

#include <functional>

#include <windows.h>
#include <objbase.h>

// Starts the call; the thread handle (close it), or null when the thread cannot start (nothing called).
// Once started, `call` always runs in the thread: with the sink, or with null when the sink could not be
// unmarshalled there (its client has gone), so that what the call hands back is never lost.
HANDLE StartCallbackThread(IUnknown* sink, REFIID iid, std::function<void(IUnknown*)> call);
