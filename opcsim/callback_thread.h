// Calls into a client's sink from a thread of its own (a multithreaded apartment), as servers with
// worker threads do: the sink is marshalled to the thread, so the main apartment keeps serving.
#pragma once

#include <functional>

#include <windows.h>
#include <objbase.h>

// Starts the call; the thread handle (close it), or null when the thread cannot start (nothing called).
HANDLE StartCallbackThread(IUnknown* sink, REFIID iid, std::function<void(IUnknown*)> call);
