#include "tools/tagprobe/subscribed_file.h"

#include <windows.h>

#include "config/server_keys.h"
#include "hostrt/param_entry.h"
#include "hostrt/param_reader.h"
#include "hostrt/param_value.h"
#include "tools/tagprobe/text_file.h"

namespace {

constexpr wchar_t kServer[] = L"server";
constexpr std::uint32_t kServerLength = 6;
constexpr std::uint32_t kSubscribeLength =
    static_cast<std::uint32_t>(sizeof kKeySubscribe / sizeof(wchar_t) - 1);

// The subscribe entry of [server], the current section; reader.entryCount when there is none.
std::uint32_t SubscribeEntry(const ParamReader& reader)
{
    for (std::uint32_t i = 0; i < reader.entryCount; ++i) {
        const ParamEntry& entry = reader.entries[i];
        if (!entry.isHeader && reader.entries[entry.header].isCurrent &&
            SameName(entry.keyLength, reader.text + entry.keyStart, kSubscribeLength, kKeySubscribe))
            return i;
    }
    return reader.entryCount;
}

// Where the line that holds offset ends, before its line break.
std::uint32_t LineEnd(const ParamReader& reader, std::uint32_t offset)
{
    while (offset < reader.textLength && reader.text[offset] != L'\r' && reader.text[offset] != L'\n')
        ++offset;
    return offset;
}

SubscribedCopy PlanServerSection(const ParamReader& reader)
{
    SubscribedCopy plan;
    std::wstring text(reader.text, reader.textLength);
    std::uint32_t count = reader.KeyCount(kSubscribeLength, kKeySubscribe);
    if (count == 0) {
        // A line of its own right below the first [server] header: the file's other lines keep their
        // places and their line breaks, whichever the file uses.
        std::uint32_t at = LineEnd(reader, reader.entries[reader.currentSection].keyStart);
        plan.key = SubscribeKey::Absent;
        plan.text = text.insert(at, std::wstring(L"\r\n") + kKeySubscribe + L" = true");
        return plan;
    }
    const ParamEntry& entry = reader.entries[SubscribeEntry(reader)];
    bool on = false;
    if (count > 1 || !ParseBoolText(entry.valueLength, reader.text + entry.valueStart, &on)) return plan;
    plan.key = on ? SubscribeKey::On : SubscribeKey::Off;
    if (!on) plan.text = text.replace(entry.valueStart, entry.valueLength, L"true");
    return plan;
}

} // namespace

SubscribedCopy PlanSubscribedCopy(const std::wstring& file)
{
    SubscribedCopy plan;
    ParamReader reader;
    if (reader.Open(static_cast<std::uint32_t>(file.size()), file.c_str()) &&
        reader.FindSection(kServerLength, kServer))
        plan = PlanServerSection(reader);
    reader.Close();
    return plan;
}

bool PrepareSubscribedFile(const std::wstring& file, SubscribedFile& prepared, std::wstring& note,
                           std::wstring& error)
{
    ReleaseSubscribedFile(prepared);
    note.clear();
    prepared.path = file;
    SubscribedCopy plan = PlanSubscribedCopy(file);
    if (plan.key != SubscribeKey::Off && plan.key != SubscribeKey::Absent) return true;
    if (!WriteTempTextFile(plan.text, prepared.copy, error)) {
        error = L"cannot write a copy of " + file + L" with subscribe = true: " + error;
        return false;
    }
    prepared.path = prepared.copy;
    note = L"note: " + file +
           (plan.key == SubscribeKey::Off ? L" sets subscribe = false"
                                          : L" does not set subscribe in [server]") +
           L"; the driver loads a copy of it with subscribe = true";
    return true;
}

void ReleaseSubscribedFile(SubscribedFile& prepared)
{
    if (!prepared.copy.empty()) DeleteFileW(prepared.copy.c_str());
    prepared.copy.clear();
    prepared.path.clear();
}
