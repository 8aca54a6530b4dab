#include "fuzz/param_exercise.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "config/channel_table.h"
#include "config/error_text.h"
#include "config/param_file.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"
#include "hostrt/host_string.h"
#include "hostrt/param_reader.h"

namespace {

// Init hands the file name over in a buffer of 259 characters.
constexpr std::uint32_t kNameMax = 259;
// Longest text the exercise itself measures (names and keys of its own tables).
constexpr std::uint32_t kTextMax = 0xFFFF;
constexpr wchar_t kUntouched[] = L"untouched";

// The same questions over several sections (one of each case, one absent, the empty name), keys and
// buffer sizes: the driver's own limits, buffers for the terminator only, and tiny ones that cut almost
// everything.
constexpr const wchar_t* kSections[] = {L"server", L"channels", L"CHANNELS", L"absent", L""};
constexpr const wchar_t* kKeys[] = {L"CLSID", L"host", L"sync", L"wait_time", L"update_rate", L"1", L""};
struct Limits {
    std::uint32_t keyMax;
    std::uint32_t valueMax;
};
constexpr Limits kLimits[] = {{15, 511}, {0, 0}, {1, 2}};

// A caller's buffer of max + 1 units followed by a guard, so that a write past the terminator's place
// shows even where no sanitizer watches (under Wine).
class GuardedText {
public:
    explicit GuardedText(std::uint32_t max) : max(max), units(std::size_t{max} + 1 + kGuard, kFill) {}
    wchar_t* Data() { return units.data(); }
    const wchar_t* Data() const { return units.data(); }
    std::uint32_t Max() const { return max; }
    // Terminated within max + 1 units, and nothing written beyond them.
    bool Sound() const
    {
        for (std::size_t i = std::size_t{max} + 1; i < units.size(); ++i)
            if (units[i] != kFill) return false;
        return WideLen(max + 1, units.data()) <= max;
    }

private:
    static constexpr std::size_t kGuard = 8;
    static constexpr wchar_t kFill = 0xA5A5;
    std::uint32_t max;
    std::vector<wchar_t> units;
};

std::uint32_t Len(const wchar_t* text)
{
    return WideLen(kTextMax, text);
}

bool SameText(const wchar_t* a, const wchar_t* b)
{
    std::uint32_t n = Len(a);
    if (n != Len(b)) return false;
    for (std::uint32_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The read operations on one key must agree with each other and with KeyCount.
const char* AskKey(ParamReader& reader, bool hasSection, std::uint32_t keyLen, const wchar_t* key)
{
    std::uint32_t count = reader.KeyCount(keyLen, key);
    if (!hasSection && count != 0) return "a key found without a current section";
    GuardedText value(kItemIdMax);
    bool hasText = reader.ReadText(keyLen, key, value.Max(), value.Data());
    if (hasText != (count != 0)) return "ReadText and KeyCount disagree";
    if (hasText && !value.Sound()) return "ReadText wrote beyond its buffer";
    bool flag = false;
    if (reader.ReadBool(keyLen, key, &flag) && !hasText) return "ReadBool found a key that ReadText did not";
    double real = 0.0;
    if (reader.ReadReal(keyLen, key, &real)) {
        if (!hasText) return "ReadReal found a key that ReadText did not";
        if (!std::isfinite(real)) return "ReadReal delivered NaN or infinity";
    }
    return nullptr;
}

// An entry that was delivered whole must be found by its key, and when the key is unique ReadText must
// deliver the same value.
const char* CheckEntry(ParamReader& reader, const GuardedText& key, const GuardedText& value)
{
    std::uint32_t keyLen = Len(key.Data());
    const char* broken = AskKey(reader, true, keyLen, key.Data());
    if (broken != nullptr) return broken;
    if (reader.KeyCount(keyLen, key.Data()) == 0) return "a delivered key is not found";
    if (reader.KeyCount(keyLen, key.Data()) != 1) return nullptr;
    GuardedText again(value.Max());
    reader.ReadText(keyLen, key.Data(), again.Max(), again.Data());
    if (reader.ValueWasCut() || !SameText(again.Data(), value.Data()))
        return "ReadText and the entry walk deliver different values";
    return nullptr;
}

const char* WalkEntries(ParamReader& reader, bool hasSection, Limits limits)
{
    GuardedText key(limits.keyMax);
    GuardedText value(limits.valueMax);
    std::uint32_t delivered = 0;
    for (bool more = reader.FirstEntry(key.Max(), key.Data(), value.Max(), value.Data()); more;
         more = reader.NextEntry(key.Max(), key.Data(), value.Max(), value.Data())) {
        if (!hasSection) return "an entry delivered without a current section";
        if (++delivered > reader.entryCount) return "the entries never end";
        if (!key.Sound() || !value.Sound()) return "an entry written beyond its buffers";
        if (reader.KeyWasCut() || reader.ValueWasCut()) continue; // a cut text names something else
        const char* broken = CheckEntry(reader, key, value);
        if (broken != nullptr) return broken;
    }
    return nullptr;
}

const char* AskSections(ParamReader& reader, bool opened)
{
    for (const wchar_t* section : kSections) {
        bool hasSection = reader.FindSection(Len(section), section);
        if (hasSection && !opened) return "a section found in a file that did not open";
        for (const Limits& limits : kLimits) {
            const char* broken = WalkEntries(reader, hasSection, limits);
            if (broken != nullptr) return broken;
        }
        for (const wchar_t* key : kKeys) {
            const char* broken = AskKey(reader, hasSection, Len(key), key);
            if (broken != nullptr) return broken;
        }
    }
    return nullptr;
}

const char* AskReader(const wchar_t* path)
{
    ParamReader reader;
    bool opened = reader.Open(kNameMax, path);
    std::uint32_t entries = reader.entryCount;
    // Opening again closes first, and must find the same file.
    if (reader.Open(kNameMax, path) != opened || reader.entryCount != entries) {
        reader.Close();
        return "a second Open read another file";
    }
    const char* broken = AskSections(reader, opened);
    reader.Close();
    reader.Close();
    if (broken == nullptr && (reader.isOpen || reader.FindSection(Len(kSections[0]), kSections[0])))
        broken = "the reader answers after Close";
    return broken;
}

// The table must hold ordered, disjoint records within the limits, each found by its numbers.
const char* CheckTable(const ChannelTable& table)
{
    std::uint32_t walked = 0;
    std::uint64_t lowestFree = 0; // the lowest number above every record walked so far
    OrderedItem* item = nullptr;
    for (bool more = table.First(&item); more; more = table.Next(item, &item)) {
        if (++walked > table.Count) return "the table walk never ends";
        Channel& channel = *static_cast<Channel*>(item);
        std::uint32_t span = channel.count == 0 ? 1 : channel.count;
        std::uint64_t last = std::uint64_t{channel.firstNumber} + span - 1;
        if (channel.firstNumber < lowestFree) return "records out of order or overlapping";
        if (last > UINT32_MAX) return "a range beyond channel 4294967295";
        if (channel.count > kMaxRangeCount) return "a range beyond the element limit";
        if ((channel.count != 0) != (channel.elements != nullptr)) return "elements do not match the kind";
        if (channel.count != 0 && (channel.elements[0].type != TypeNone ||
                                   ChannelSlot(channel, static_cast<std::uint32_t>(last)).type != TypeNone))
            return "a new element is not TypeNone";
        if (channel.itemId != nullptr && channel.itemId->length > kItemIdMax) return "an ItemId beyond 511";
        if (FindChannel(table, channel.firstNumber) != &channel ||
            FindChannel(table, static_cast<std::uint32_t>(last)) != &channel)
            return "a record is not found by its numbers";
        if (FindOverlap(table, channel.firstNumber, span) != &channel)
            return "a record is not found by its range";
        lowestFree = last + 1;
    }
    return walked == table.Count ? nullptr : "the table walk missed records";
}

// The numbers that a [channels] key names, as the table stores them (count 0 for a scalar); false when
// it names none.
bool KeyNumbers(const wchar_t* key, std::uint32_t& first, std::uint64_t& count)
{
    bool ok = false;
    std::int32_t hyphen = FindChar(kKeyMax, key, L'-');
    if (hyphen < 0) {
        first = ParseInt(kKeyMax, key, 10, &ok);
        count = 0;
        return ok;
    }
    wchar_t part[kKeyMax + 1];
    SliceText(kKeyMax, part, kKeyMax, key, 0, static_cast<std::uint32_t>(hyphen));
    first = ParseInt(kKeyMax, part, 10, &ok);
    if (!ok) return false;
    SliceText(kKeyMax, part, kKeyMax, key, static_cast<std::uint32_t>(hyphen) + 1, kKeyMax);
    std::uint64_t last = ParseInt(kKeyMax, part, 10, &ok);
    count = last + 1 - first;
    return ok && last >= first;
}

const char* CheckStored(const ChannelTable& table, const wchar_t* key, const wchar_t* itemId)
{
    std::uint32_t first = 0;
    std::uint64_t count = 0;
    if (!KeyNumbers(key, first, count)) return "a loaded file has an entry that names no channel";
    const Channel* channel = FindChannel(table, first);
    if (channel == nullptr || channel->firstNumber != first || channel->count != count)
        return "an entry is not stored as written";
    const wchar_t* chars = nullptr;
    StringView(channel->itemId, &chars, nullptr);
    return SameText(chars, itemId) ? nullptr : "an ItemId is not stored as written";
}

// After a successful load, every entry of [channels] is in the table exactly as the file writes it, and
// nothing else is.
const char* CheckEntriesStored(const wchar_t* path, const ChannelTable& table)
{
    ParamReader reader;
    const char* broken = nullptr;
    std::uint32_t entries = 0;
    wchar_t key[kKeyMax + 1];
    wchar_t itemId[kItemIdMax + 1];
    if (!reader.Open(kNameMax, path) || !reader.FindSection(Len(kSections[1]), kSections[1]))
        broken = "a loaded file does not read again";
    for (bool more = broken == nullptr && reader.FirstEntry(kKeyMax, key, kItemIdMax, itemId);
         more && broken == nullptr; more = reader.NextEntry(kKeyMax, key, kItemIdMax, itemId)) {
        ++entries;
        // A cut key or ItemId names other channels or another item than the file: never loaded.
        broken = reader.KeyWasCut() || reader.ValueWasCut() ? "a file with a cut key or ItemId loaded"
                                                            : CheckStored(table, key, itemId);
    }
    reader.Close();
    if (broken == nullptr && entries != table.Count) broken = "the table holds other records than the file";
    return broken;
}

const char* CheckLoad(const wchar_t* path, const OpcDriver& drv, const LoadOutcome& outcome,
                      const GuardedText& err)
{
    if (!err.Sound()) return "the error text overran its buffer";
    bool untouched = SameText(err.Data(), kUntouched);
    if (outcome.loaded) {
        if (!untouched) return "a successful load wrote an error text";
        if (drv.channels.Count == 0) return "a load without channels succeeded";
        if (drv.waitTimeMs == UINT32_MAX || drv.updateRateMs == UINT32_MAX) return "a time became INFINITE";
    } else if (untouched || err.Data()[0] == L'\0') {
        return "a failed load gave no error text";
    }
    if (WideLen(kHostNameMax + 1, drv.hostName) > kHostNameMax) return "the host name is not terminated";
    const char* broken = CheckTable(drv.channels);
    if (broken == nullptr && outcome.loaded) broken = CheckEntriesStored(path, drv.channels);
    return broken;
}

} // namespace

const char* ExerciseReader(const wchar_t* path)
{
    std::uint32_t blocks = LiveBlockCount();
    const char* broken = AskReader(path);
    if (broken == nullptr && LiveBlockCount() != blocks) broken = "the reader leaked blocks";
    return broken;
}

const char* ExerciseLoad(const wchar_t* path, LoadOutcome& outcome, void (*afterLoad)())
{
    std::uint32_t blocks = LiveBlockCount();
    std::unique_ptr<OpcDriver> drv(new OpcDriver());
    GuardedText err(kLoadErrMax);
    CopyText(err.Max(), err.Data(), Len(kUntouched), kUntouched);
    outcome.loaded = LoadParameterFile(*drv, kNameMax, path, err.Max(), err.Data());
    if (afterLoad != nullptr) afterLoad();
    outcome.channelCount = drv->channels.Count;
    CopyText(kLoadErrMax, outcome.err, err.Max(), err.Data());
    const char* broken = CheckLoad(path, *drv, outcome, err);
    drv->channels.Clear();
    if (broken == nullptr && (drv->channels.Count != 0 || drv->channels.root != nullptr))
        broken = "Clear left records behind";
    drv.reset();
    if (broken == nullptr && LiveBlockCount() != blocks) broken = "the load leaked blocks";
    return broken;
}
