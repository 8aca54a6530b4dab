#pragma once
// The connection steps report a failure as one fixed sentence in the instance's lastError, which Init
// passes on to the host.

#include "driver/opc_driver.h"
#include "hostrt/core.h"

// Replaces lastError with text (whole; every text is shorter than lastError); returns false so that a
// failing step can return its result.
inline bool ReportFailure(OpcDriver& drv, const wchar_t* text)
{
    CopyText(kLastErrorMax, drv.lastError, kLastErrorMax, text);
    return false;
}
