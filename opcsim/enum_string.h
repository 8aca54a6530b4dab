// An IEnumString over a fixed list of texts, as IOPCBrowseServerAddressSpace returns.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <objidl.h>

#include "opcsim/sim_process.h"

// A new enumerator with one reference in *out; E_OUTOFMEMORY.
HRESULT CreateEnumString(SimProcess& sim, const std::vector<std::wstring>& texts, IEnumString** out);
