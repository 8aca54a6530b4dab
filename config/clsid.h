#pragma once
// The CLSID of the OPC server as the parameter file writes it.

#include <guiddef.h>

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": exactly 38 characters, digits "0"-"9" and upper-case
// "A"-"F" only, nothing around it. True with *clsid set; false with *clsid left as it was.
bool ParseClsid(const wchar_t* text, GUID* clsid);
