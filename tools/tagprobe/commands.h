#pragma once
// tagprobe's commands; each returns the process's exit code (exit_codes.h).

#include "tools/tagprobe/options.h"

int RunVersion(const ProbeOptions& options);
int RunCheck(const ProbeOptions& options);
int RunRead(const ProbeOptions& options);
int RunWrite(const ProbeOptions& options);
int RunWatch(const ProbeOptions& options);
int RunBrowse(const ProbeOptions& options);
int RunServers(const ProbeOptions& options);
