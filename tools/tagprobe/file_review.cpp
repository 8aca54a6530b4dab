#include "tools/tagprobe/file_review.h"

#include <algorithm>

#include "config/channel_entries.h"
#include "config/server_keys.h"
#include "config/server_section.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "hostrt/param_entry.h"
#include "hostrt/param_reader.h"
#include "hostrt/param_value.h"
#include "tools/tagprobe/name_suggest.h"
#include "tools/tagprobe/param_listing.h"
#include "tools/tagprobe/server_notes.h"

namespace {

constexpr wchar_t kServer[] = L"server";
constexpr wchar_t kChannels[] = L"channels";
constexpr std::uint32_t kMessageMax = 255;

// The file as the driver's reader parsed it, with the line of every record.
struct ParsedFile {
    ParamReader reader{};
    std::vector<std::uint32_t> lineStarts{};
};

bool OpenParsed(const std::wstring& file, ParsedFile& parsed)
{
    if (!parsed.reader.Open(static_cast<std::uint32_t>(file.size()), file.c_str())) return false;
    const wchar_t* text = parsed.reader.text;
    std::uint32_t length = parsed.reader.textLength;
    parsed.lineStarts.assign(1, 0);
    // The same line ends as the reader's: CR LF, LF, or a lone CR.
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] == L'\r' && i + 1 < length && text[i + 1] == L'\n') ++i;
        if (text[i] == L'\r' || text[i] == L'\n') parsed.lineStarts.push_back(i + 1);
    }
    return true;
}

std::uint32_t LineOf(const ParsedFile& parsed, std::uint32_t index)
{
    std::uint32_t offset = parsed.reader.entries[index].keyStart;
    auto after = std::upper_bound(parsed.lineStarts.begin(), parsed.lineStarts.end(), offset);
    return static_cast<std::uint32_t>(after - parsed.lineStarts.begin());
}

std::wstring KeyOf(const ParsedFile& parsed, std::uint32_t index)
{
    const ParamEntry& entry = parsed.reader.entries[index];
    return std::wstring(parsed.reader.text + entry.keyStart, entry.keyLength);
}

std::wstring ValueOf(const ParsedFile& parsed, std::uint32_t index)
{
    const ParamEntry& entry = parsed.reader.entries[index];
    return std::wstring(parsed.reader.text + entry.valueStart, entry.valueLength);
}

bool Named(const std::wstring& text, const wchar_t* name)
{
    return SameName(static_cast<std::uint32_t>(text.size()), text.c_str(), WideLen(kKeyMax, name), name);
}

bool IsKnownSection(const std::wstring& name)
{
    return Named(name, kServer) || Named(name, kChannels);
}

bool IsServerKey(const std::wstring& key)
{
    return FindServerKey(static_cast<std::uint32_t>(key.size()), key.c_str()) != nullptr;
}

// "7" or "10-19": what a channel entry's key looks like.
bool LooksLikeChannel(const std::wstring& key)
{
    std::size_t hyphen = key.find(L'-');
    std::wstring first = key.substr(0, hyphen);
    std::wstring last = hyphen == std::wstring::npos ? L"0" : key.substr(hyphen + 1);
    auto digits = [](const std::wstring& part) {
        return !part.empty() && part.find_first_not_of(L"0123456789") == std::wstring::npos;
    };
    return digits(first) && digits(last);
}

void Add(FileReview& review, std::uint32_t line, FindingLevel level, const std::wstring& text)
{
    review.findings.push_back(Finding{line, level, text});
}

std::wstring UnknownKeyText(const std::wstring& key)
{
    std::vector<std::wstring> names;
    for (const auto& known : kServerKeys)
        names.emplace_back(known.name);
    std::vector<std::wstring> closest = ClosestNames(key, names, 1);
    if (closest.empty()) return key + L": not a key the driver reads; it is ignored";
    return key + L": not a key the driver reads; did you mean " + closest[0] + L"?";
}

void ReviewServerEntry(const ParsedFile& parsed, std::uint32_t index, FileReview& review)
{
    std::wstring key = KeyOf(parsed, index);
    std::uint32_t line = LineOf(parsed, index);
    if (IsServerKey(key)) return;
    if (key.empty())
        Add(review, line, FindingLevel::Warning,
            L"a line without a key (it starts with \"=\"); the driver ignores it");
    else if (LooksLikeChannel(key))
        Add(review, line, FindingLevel::Warning,
            key +
                L": a channel in [server]; the driver reads channels only in [channels], so the runtime gets "
                L"\"no channel\" for it");
    else if (!key.empty() && key[0] == L'[')
        Add(review, line, FindingLevel::Warning,
            key +
                L": not a section header (no closing bracket); the driver takes it for a key of [server] and "
                L"ignores it");
    else
        Add(review, line, FindingLevel::Warning, UnknownKeyText(key));
}

void ReviewSection(const ParsedFile& parsed, std::uint32_t header, FileReview& review)
{
    const ParamReader& reader = parsed.reader;
    std::wstring name = KeyOf(parsed, header);
    std::uint32_t entries = 0;
    for (std::uint32_t i = header + 1; i < reader.entryCount && !reader.entries[i].isHeader; ++i)
        ++entries;
    std::vector<std::wstring> closest = ClosestNames(name, {kServer, kChannels}, 1);
    Add(review, LineOf(parsed, header), FindingLevel::Warning,
        L"[" + name + L"]: a section the driver does not read; its " + std::to_wstring(entries) +
            (entries == 1 ? L" entry is" : L" entries are") + L" ignored" +
            (closest.empty() ? L"" : L"; did you mean [" + closest[0] + L"]?"));
    for (std::uint32_t i = header + 1; i < reader.entryCount && !reader.entries[i].isHeader; ++i) {
        std::wstring key = KeyOf(parsed, i);
        if (IsServerKey(key))
            Add(review, LineOf(parsed, i), FindingLevel::Warning,
                key + L": a key of [server], in [" + name + L"], which the driver does not read");
    }
}

// Sections and keys the driver does not read, and known keys in the wrong place.
void ReviewLayout(const ParsedFile& parsed, FileReview& review)
{
    const ParamReader& reader = parsed.reader;
    for (std::uint32_t i = 0; i < reader.entryCount; ++i) {
        const ParamEntry& entry = reader.entries[i];
        std::wstring section = KeyOf(parsed, entry.header);
        if (entry.isHeader && !IsKnownSection(section)) ReviewSection(parsed, i, review);
        if (!entry.isHeader && Named(section, kServer)) ReviewServerEntry(parsed, i, review);
    }
}

// The entries of the current section, in file order, as the reader delivers them.
std::vector<std::uint32_t> CurrentEntries(const ParamReader& reader)
{
    std::vector<std::uint32_t> indexes;
    for (std::uint32_t i = 0; i < reader.entryCount; ++i)
        if (!reader.entries[i].isHeader && reader.entries[reader.entries[i].header].isCurrent)
            indexes.push_back(i);
    return indexes;
}

// Runs the driver's own reading of [server] until it accepts the section. Each refusal becomes a
// finding at the line of the key it quotes, and that line is hidden from the next run (its key
// emptied, so that no key matches it), as if it were not there; of a key given twice, the later lines
// are refused and the first is judged alone. A refusal that quotes no key is the CLSID's, which the
// driver reads first, so nothing after it can be judged.
void ReviewServerValues(ParsedFile& parsed, FileReview& review)
{
    ParamReader& reader = parsed.reader;
    for (std::uint32_t round = 0; round <= reader.entryCount; ++round) {
        if (!reader.FindSection(6, kServer)) return;
        OpcDriver* drv = MakeDriverRecord();
        if (drv == nullptr) return;
        wchar_t text[kMessageMax + 1] = {};
        bool accepted = ReadServerSection(reader, *drv, ErrorText{kMessageMax, text});
        std::vector<std::uint32_t> entries = CurrentEntries(reader);
        if (accepted) {
            std::vector<KeyLine> keys;
            for (std::uint32_t index : entries)
                if (IsServerKey(KeyOf(parsed, index)))
                    keys.push_back(
                        KeyLine{LineOf(parsed, index), KeyOf(parsed, index), ValueOf(parsed, index)});
            AddServerNotes(keys, LineOf(parsed, reader.currentSection), *drv, review.findings);
            review.serverAccepted = true;
            review.clsid = drv->serverClsid;
            review.host = drv->hostName;
        }
        drv->channels.Clear();
        FreeDriverRecord(drv);
        if (accepted) return;
        std::wstring message = text;
        std::size_t colon = message.find(L": ");
        std::wstring quoted = colon == std::wstring::npos ? std::wstring() : message.substr(0, colon);
        std::vector<std::uint32_t> named;
        for (std::uint32_t index : entries)
            if (!quoted.empty() && Named(KeyOf(parsed, index), quoted.c_str())) named.push_back(index);
        if (named.empty()) {
            std::uint32_t at = reader.currentSection;
            for (std::uint32_t index : entries)
                if (Named(KeyOf(parsed, index), L"CLSID") && at == reader.currentSection) at = index;
            Add(review, LineOf(parsed, at), FindingLevel::Error, message);
            return;
        }
        for (std::size_t k = named.size() > 1 ? 1 : 0; k < named.size(); ++k) {
            Add(review, LineOf(parsed, named[k]), FindingLevel::Error, message);
            reader.entries[named[k]].keyLength = 0;
        }
    }
}

// The first channel number of an entry key that the driver accepted.
std::uint32_t FirstNumber(const wchar_t* key)
{
    wchar_t part[kKeyMax + 1];
    std::int32_t hyphen = FindChar(kKeyMax, key, L'-');
    SliceText(kKeyMax, part, kKeyMax, key, 0, hyphen < 0 ? kKeyMax : static_cast<std::uint32_t>(hyphen));
    bool ok = false;
    return ParseInt(kKeyMax, part, 10, &ok);
}

// Every entry of [channels] through the driver's own check, each against the entries accepted
// before it, as the driver reads them; a refused one is a finding, and the review goes on.
void ReviewChannels(ParsedFile& parsed, FileReview& review)
{
    ParamReader& reader = parsed.reader;
    if (!reader.FindSection(8, kChannels)) return;
    OpcDriver* drv = MakeDriverRecord();
    if (drv == nullptr) return;
    for (std::uint32_t index : CurrentEntries(reader)) {
        const ParamEntry& record = reader.entries[index];
        wchar_t key[kKeyMax + 1];
        wchar_t itemId[kItemIdMax + 1];
        CopyText(kKeyMax, key, record.keyLength, reader.text + record.keyStart);
        CopyText(kItemIdMax, itemId, record.valueLength, reader.text + record.valueStart);
        ChannelEntry entry{key, itemId, record.keyLength > kKeyMax, record.valueLength > kItemIdMax};
        wchar_t text[kMessageMax + 1] = {};
        if (!AddChannelEntry(drv->channels, entry, ErrorText{kMessageMax, text})) {
            std::wstring whole = KeyOf(parsed, index);
            std::wstring hint = IsServerKey(whole) ? L" (" + whole + L" is a key of [server])" : L"";
            Add(review, LineOf(parsed, index), FindingLevel::Error, text + hint);
            continue;
        }
        const Channel* channel = FindChannel(drv->channels, FirstNumber(key));
        if (channel != nullptr)
            review.channels.push_back(
                ReviewedChannel{channel->firstNumber, channel->count, itemId, LineOf(parsed, index)});
    }
    drv->channels.Clear();
    FreeDriverRecord(drv);
}

// The driver's verdict on the whole file, when no line-by-line finding carries it already (a file
// that cannot be read, a missing section, a file without channels).
void AddLoaderVerdict(const std::wstring& file, FileReview& review)
{
    ParamListing listing;
    std::wstring error;
    if (ReadParamListing(file, listing, error)) return;
    for (const auto& finding : review.findings)
        if (finding.level == FindingLevel::Error && finding.text.compare(0, error.size(), error) == 0) return;
    Add(review, 0, FindingLevel::Error, error);
}

} // namespace

void ReviewParameterFile(const std::wstring& file, FileReview& review)
{
    review = FileReview{};
    ParsedFile parsed;
    if (OpenParsed(file, parsed)) {
        ReviewLayout(parsed, review);
        ReviewChannels(parsed, review);
        // Last: it hides refused lines from the reader.
        ReviewServerValues(parsed, review);
    }
    parsed.reader.Close();
    AddLoaderVerdict(file, review);
    std::stable_sort(review.findings.begin(), review.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
}

std::wstring ChannelName(std::uint32_t first, std::uint32_t count)
{
    if (count == 0) return L"channel " + std::to_wstring(first);
    return L"channels " + std::to_wstring(first) + L"-" + std::to_wstring(first + count - 1);
}

std::size_t CountFindings(const std::vector<Finding>& findings, FindingLevel atLeast)
{
    return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(), [&](const Finding& f) {
        return static_cast<int>(f.level) >= static_cast<int>(atLeast);
    }));
}
