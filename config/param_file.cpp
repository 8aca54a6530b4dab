#include "config/param_file.h"

#include "config/channel_entries.h"
#include "config/error_text.h"
#include "config/server_section.h"
#include "driver/opc_driver.h"
#include "hostrt/param_reader.h"

namespace {

constexpr wchar_t kErrOpen[] = L"Cannot open specified parameter file";
constexpr wchar_t kErrEntryBeforeSection[] = L"Entry before the first section header in PAR file";
constexpr wchar_t kErrNoServer[] = L"Cannot find mandatory [server] section in PAR file";
constexpr wchar_t kErrNoChannels[] = L"Cannot find mandatory [channels] section in PAR file";
constexpr wchar_t kErrNoChannelDefined[] = L"PAR file does not define any channels";

constexpr wchar_t kSectionServer[] = L"server";
constexpr wchar_t kSectionChannels[] = L"channels";

// Entries are taken in file order, so of two conflicting entries the later one is refused.
bool ReadChannelsSection(ParamReader& reader, ChannelTable& table, const ErrorText& err)
{
    wchar_t key[kKeyMax + 1];
    wchar_t itemId[kItemIdMax + 1];
    for (bool more = reader.FirstEntry(kKeyMax, key, kItemIdMax, itemId); more;
         more = reader.NextEntry(kKeyMax, key, kItemIdMax, itemId)) {
        ChannelEntry entry{key, itemId, reader.KeyWasCut(), reader.ValueWasCut()};
        if (!AddChannelEntry(table, entry, err)) return false;
    }
    return table.Count != 0 || Fail(err, kErrNoChannelDefined);
}

bool ReadParameterFile(ParamReader& reader, OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name,
                       const ErrorText& err)
{
    if (name == nullptr) return Fail(err, kErrOpen);
    if (!reader.Open(nameMax, name)) {
        wchar_t key[kKeyMax + 1];
        if (reader.EntryBeforeFirstSection(kKeyMax, key)) return FailWith(err, key, kErrEntryBeforeSection);
        return Fail(err, kErrOpen);
    }
    if (!reader.FindSection(6, kSectionServer)) return Fail(err, kErrNoServer);
    if (!ReadServerSection(reader, drv, err)) return false;
    if (!reader.FindSection(8, kSectionChannels)) return Fail(err, kErrNoChannels);
    return ReadChannelsSection(reader, drv.channels, err);
}

} // namespace

bool LoadParameterFile(OpcDriver& drv, std::uint32_t nameMax, const wchar_t* name, std::uint32_t errMax,
                       wchar_t* err)
{
    ErrorText error{errMax, err};
    ParamReader reader;
    bool ok = ReadParameterFile(reader, drv, nameMax, name, error);
    reader.Close();
    return ok;
}
