#pragma once
// Which failures of a server call mean that the server or the connection to it is gone, rather than
// that the server refused the call.

#include <windows.h>

// True for the transport and RPC results that COM gives when the server's process has ended or cannot
// be reached, or when the object the call went to no longer exists on its side:
// RPC_S_SERVER_UNAVAILABLE (0x800706BA), RPC_S_CALL_FAILED (0x800706BE), RPC_S_CALL_FAILED_DNE
// (0x800706BF), RPC_E_DISCONNECTED (0x80010108), CO_E_OBJNOTCONNECTED (0x800401FD), RPC_E_SERVER_DIED
// (0x80010007), RPC_E_SERVER_DIED_DNE (0x80010012) and RPC_E_INVALID_OBJECT (0x80010114).
// Everything else, RPC_E_SERVERFAULT (an exception inside a server that still runs) included, is the
// server's answer.
bool IsServerGone(HRESULT hr);
