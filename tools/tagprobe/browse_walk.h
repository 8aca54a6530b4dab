#pragma once
// The server's address space through IOPCBrowseServerAddressSpace: every leaf's full ItemId.

#include <string>
#include <vector>

#include <windows.h>

struct IOPCServer;

// The walk stops at these limits, so that a server whose branches loop cannot keep tagprobe forever.
constexpr std::size_t kMaxBrowseDepth = 32;
constexpr std::size_t kMaxBrowseItems = 100000;

struct BrowseResult {
    HRESULT hr = E_FAIL; // S_OK when the walk completed
    bool hierarchical = false;
    bool truncated = false; // a limit above was reached
    std::vector<std::wstring> itemIds{};
};

// Walks from the root: a flat space in one listing, a hierarchical one branch by branch.
void BrowseItems(IOPCServer* server, BrowseResult& result);
