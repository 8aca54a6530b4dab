// Fuzzing build only. Every OpcDriver points its embedded COM objects at their interface tables, so the
// record needs the two tables to exist; the portable parts never call through them, and the COM code
// that fills them in is not part of this build.
#include "connection/sink_objects.h"

struct ShutdownSinkVtbl {};
struct DataCallbackVtbl {};

const ShutdownSinkVtbl kShutdownSinkVtbl{};
const DataCallbackVtbl kDataCallbackVtbl{};
