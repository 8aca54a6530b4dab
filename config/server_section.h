#pragma once
// The [server] section of the parameter file: which OPC server, where, and the switches.

#include "config/error_text.h"

class ParamReader;
struct OpcDriver;

// Reads the keys of the current section (the reader stands on [server]) into the instance's
// configuration fields, in the order CLSID, host, sync, wait_running, debug, wait_time, update_rate,
// batch_timeout, reconnect.
// False, with the message in err, at the first key that is refused; fields read before keep their values.
bool ReadServerSection(ParamReader& reader, OpcDriver& drv, const ErrorText& err);
