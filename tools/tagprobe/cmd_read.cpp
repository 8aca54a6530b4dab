// tagprobe read: one read batch, then a table of what every channel delivered.
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/probe_run.h"
#include "tools/tagprobe/read_setup.h"
#include "tools/tagprobe/report_tables.h"

int RunRead(const ProbeOptions& options)
{
    ProbeRun run;
    std::vector<ReadRequest> requests;
    int code = OpenReadRun(options, run, requests);
    if (code == ExitOk) {
        std::vector<ChannelReading> readings;
        BatchEnd end = RunReadBatch(run.session, requests, options.timeoutMs, nullptr, readings);
        PrintTable(ReadingTable(readings, run.listing));
        ReportBatchEnd(end, L"read", options.timeoutMs);
        code = ReadVerdict(readings, end);
    }
    CloseRun(run);
    return code;
}
