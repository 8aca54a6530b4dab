#pragma once
// tagprobe's exit codes: scripts and plant engineers read them as the verdict of a run.

enum ExitCode : int {
    ExitOk = 0,            // every channel answered as asked
    ExitChannelFailed = 1, // the driver started, but some channel failed
    ExitWouldFail = 1,     // check: a finding would make Init or a channel fail (Init's own failure too)
    ExitInitFailed = 2,    // the driver, the parameter file or the server could not be brought up (not check)
    ExitUsage = 3,         // the command line was wrong; nothing was tried
};

// The worse of two verdicts (a higher code is worse).
inline int WorseExit(int a, int b)
{
    return a > b ? a : b;
}
