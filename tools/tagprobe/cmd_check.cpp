// tagprobe check: Init and Done, then what is known of the configuration, each fact with its source:
// the driver (Init's verdict), the parameter file (read with the driver's own reader), or tagprobe's
// own look at the server (the driver has no export for types, access rights or the fall-back). Then
// the review of the file, line by line, and of its items on the server.
#include <algorithm>

#include <objbase.h>

#include "opcda.h"
#include "tools/tagprobe/com_release.h"
#include "tools/tagprobe/commands.h"
#include "tools/tagprobe/exit_codes.h"
#include "tools/tagprobe/file_review.h"
#include "tools/tagprobe/item_review.h"
#include "tools/tagprobe/output.h"
#include "tools/tagprobe/probe_run.h"
#include "tools/tagprobe/report_tables.h"
#include "tools/tagprobe/result_text.h"
#include "tools/tagprobe/server_list.h"
#include "tools/tagprobe/server_look.h"
#include "tools/tagprobe/starter_file.h"
#include "tools/tagprobe/type_names.h"

namespace {

constexpr wchar_t kFromDriver[] = L"driver";
constexpr wchar_t kFromFile[] = L"parameter file";
constexpr wchar_t kFromLook[] = L"tagprobe's look at the server";

std::wstring ModeText(const ParamListing& listing, const ServerLook& look, std::wstring& source)
{
    source = kFromFile;
    if (!listing.host.empty()) return L"synchronous: the file names the host " + listing.host;
    if (listing.synchronous) return L"synchronous: the file asks for it";
    source = std::wstring(kFromFile) + L" + " + kFromLook;
    if (FAILED(look.groupResult)) return L"asynchronous asked for; whether the driver fell back is not known";
    if (look.offersAsyncIo2) return L"asynchronous: the server's group offers IOPCAsyncIO2";
    return L"synchronous: fell back, the server's group offers no IOPCAsyncIO2";
}

TextTable FactTable(const ProbeRun& run, const std::wstring& file, const ServerLook& look)
{
    const ParamListing& listing = run.listing;
    std::wstring modeSource;
    std::wstring mode = ModeText(listing, look, modeSource);
    std::wstring where = listing.host.empty() ? L" on this machine" : L" on " + listing.host;
    std::wstring failure = LookFailure(look);
    TextTable table{{L"fact", L"value", L"source"}, {}};
    table.rows.push_back({L"Init", L"succeeded", kFromDriver});
    table.rows.push_back({L"driver", DriverLine(run), kFromDriver});
    table.rows.push_back({L"file", file, L"command line"});
    table.rows.push_back({L"server", ClsidText(listing.clsid) + where, kFromFile});
    ServerEntry named;
    HRESULT described = DescribeServerClass(listing.clsid, listing.host, named);
    std::wstring namedSource =
        listing.host.empty() ? L"registry of this machine" : L"server list on " + listing.host;
    if (FAILED(described)) named.progId = named.description = L"? (" + ResultText(described) + L")";
    table.rows.push_back({L"progid", named.progId.empty() ? L"-" : named.progId, namedSource});
    table.rows.push_back({L"description", named.description.empty() ? L"-" : named.description, namedSource});
    table.rows.push_back({L"mode", mode, modeSource});
    table.rows.push_back({L"trace", listing.debug ? L"on (debug = true)" : L"off", kFromFile});
    if (!failure.empty()) table.rows.push_back({L"look", failure, kFromLook});
    return table;
}

TextTable ChannelTable(const ParamListing& listing, const ServerLook& look)
{
    TextTable table{{L"channel", L"item id", L"canonical type", L"access"}, {}};
    for (std::size_t i = 0; i < listing.channels.size(); ++i) {
        const ChannelListing& channel = listing.channels[i];
        std::wstring numbers = std::to_wstring(channel.first);
        if (channel.count > 0) numbers += L"-" + std::to_wstring(channel.first + channel.count - 1);
        std::wstring type = L"?";
        std::wstring access = L"?";
        if (i < look.items.size() && look.items[i].error == S_OK) {
            type = VarTypeName(look.items[i].canonical);
            access = AccessText(look.items[i].access);
        } else if (i < look.items.size() && SUCCEEDED(look.itemsResult)) {
            type = L"refused: " + ResultText(look.items[i].error);
        }
        table.rows.push_back({numbers, channel.itemId, type, access});
    }
    return table;
}

// After a failed Init: when the file itself is sound, say what creating the server gives tagprobe.
void DiagnoseServer(const ProbeOptions& options)
{
    ParamListing listing;
    std::wstring error;
    if (!ReadParamListing(options.file, listing, error)) return;
    ServerLook look;
    LookAtServer(listing.clsid, listing.host, {}, look);
    std::wstring failure = LookFailure(look);
    PrintLine(L"tagprobe's own look at the server " + ClsidText(listing.clsid) + L": " +
              (failure.empty() ? L"the server object can be created and accepts a group" : failure));
}

const wchar_t* LevelName(FindingLevel level)
{
    return level == FindingLevel::Error ? L"error" : level == FindingLevel::Warning ? L"warning" : L"note";
}

// What the server says of the items, when the driver accepts [server] and the server can be created.
void ReviewServer(FileReview& review)
{
    if (!review.serverAccepted) return;
    IOPCServer* server = nullptr;
    HRESULT hr = CreateServer(review.clsid, review.host, &server);
    if (SUCCEEDED(hr))
        ReviewItems(server, review);
    else
        review.findings.push_back(Finding{0, FindingLevel::Error,
                                          L"the server " + ClsidText(review.clsid) + L" cannot be created (" +
                                              ResultText(hr) +
                                              L"): Init fails, and the items are not reviewed"});
    ReleaseInterface(server);
}

// Init's own verdict, unless a finding of the file's review carries its text already; a driver that
// could not be loaded is one too, since then nothing says that Init would succeed.
void AddInitVerdict(const ProbeRun& run, FileReview& review)
{
    if (!run.loadError.empty())
        review.findings.push_back(Finding{0, FindingLevel::Error, L"Init not tried: " + run.loadError});
    if (run.initError.empty()) return;
    for (const auto& finding : review.findings)
        if (finding.text == run.initError) return;
    review.findings.push_back(Finding{0, FindingLevel::Error, L"Init: " + run.initError});
}

void PrintReview(const ProbeOptions& options, FileReview& review)
{
    std::stable_sort(review.findings.begin(), review.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    TextTable table{{L"line", L"level", L"finding"}, {}};
    for (const auto& finding : review.findings)
        if (!options.quiet || finding.level != FindingLevel::Note)
            table.rows.push_back({finding.line == 0 ? L"-" : std::to_wstring(finding.line),
                                  LevelName(finding.level), finding.text});
    if (!options.quiet) {
        PrintLine(L"");
        PrintLine(L"review of " + options.file +
                  L": the driver's own reader and checks, and what the server says of the items");
    }
    if (!table.rows.empty()) PrintTable(table);
    std::size_t findings = CountFindings(review.findings, FindingLevel::Warning);
    std::size_t failing = CountFindings(review.findings, FindingLevel::Error);
    std::wstring summary = std::to_wstring(findings) + (findings == 1 ? L" finding" : L" findings");
    if (failing == 1 && findings == 1)
        summary += L", which makes Init or a channel fail";
    else if (failing > 0)
        summary += L", " + (failing == findings ? std::wstring(L"all") : std::to_wstring(failing)) +
                   (failing == 1 ? L" of them makes" : L" of them make") + L" Init or a channel fail";
    PrintLine(summary);
}

} // namespace

int RunCheck(const ProbeOptions& options)
{
    FileReview review;
    ReviewParameterFile(options.file, review);
    ProbeRun run;
    int code = OpenRun(options, run);
    if (code == ExitInitFailed && run.session.initialized && !options.quiet) DiagnoseServer(options);
    if (code == ExitOk && !options.quiet) {
        std::vector<std::wstring> itemIds;
        for (const auto& channel : run.listing.channels)
            itemIds.push_back(channel.itemId);
        ServerLook look;
        LookAtServer(run.listing.clsid, run.listing.host, itemIds, look);
        PrintTable(FactTable(run, options.file, look));
        PrintLine(L"");
        PrintLine(
            L"channels: numbers and ItemIds from the parameter file; canonical types and access rights from "
            L"tagprobe's look at the server");
        PrintTable(ChannelTable(run.listing, look));
    }
    ReviewServer(review);
    AddInitVerdict(run, review);
    CloseRun(run);
    PrintReview(options, review);
    // One verdict for check, whatever failed: Init's own failure is an error of the review as well.
    bool wouldFail = code != ExitOk || CountFindings(review.findings, FindingLevel::Error) > 0;
    return wouldFail ? ExitWouldFail : ExitOk;
}
