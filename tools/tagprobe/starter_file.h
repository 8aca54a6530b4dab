#pragma once
// A starter parameter file from a browsed address space: the [server] section and one channel per
// item, numbered from 1, an array item taking a range as long as its element count.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/tagprobe/server_look.h"

// The file's text; items[i] describes itemIds[i] (an item the server refused gets a comment only).
std::wstring StarterFileText(const GUID& clsid, const std::wstring& host,
                             const std::vector<std::wstring>& itemIds, const std::vector<ItemFacts>& items);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, the form a parameter file requires.
std::wstring ClsidText(const GUID& clsid);
