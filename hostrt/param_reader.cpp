// ParamReader: reads the whole file once at Open, then answers every question from the parsed
// records. The syntax is documented in docs/param-syntax.md.
#include "hostrt/param_reader.h"

#include "hostrt/core.h"
#include "hostrt/param_entry.h"
#include "hostrt/param_value.h"
#include "hostrt/platform.h"
#include "hostrt/text_decode.h"

namespace {

// A parameter file is a few kilobytes; anything near this is not one, and reading it would only
// tie up memory.
constexpr std::uint32_t kMaxFileBytes = 64u << 20;

bool InCurrentSection(const ParamReader& reader, std::uint32_t index)
{
    const ParamEntry& entry = reader.entries[index];
    return !entry.isHeader && reader.entries[entry.header].isCurrent;
}

// The first entry of the current section at or after from whose key is key, or entryCount.
std::uint32_t NextWithKey(const ParamReader& reader, std::uint32_t from, std::uint32_t keyLen,
                          const wchar_t* key)
{
    std::uint32_t n = WideLen(keyLen, key);
    if (!reader.hasSection) return reader.entryCount;
    for (std::uint32_t i = from; i < reader.entryCount; ++i) {
        const ParamEntry& entry = reader.entries[i];
        if (InCurrentSection(reader, i) && SameName(entry.keyLength, reader.text + entry.keyStart, n, key))
            return i;
    }
    return reader.entryCount;
}

// The first entry of the current section with key, or null when there is none.
const ParamEntry* FirstWithKey(const ParamReader& reader, std::uint32_t keyLen, const wchar_t* key)
{
    std::uint32_t i = NextWithKey(reader, 0, keyLen, key);
    return i < reader.entryCount ? &reader.entries[i] : nullptr;
}

// Copies a counted piece of the text into a caller's buffer, cut to max; true when it was cut.
bool Deliver(const ParamReader& reader, std::uint32_t start, std::uint32_t length, std::uint32_t max,
             wchar_t* dst)
{
    CopyText(max, dst, length, reader.text + start);
    return length > max;
}

// Name of the file as a NUL-terminated copy for the system, or false.
bool TerminatedName(std::uint32_t nameLen, const wchar_t* name, wchar_t** copy)
{
    std::uint32_t n = WideLen(nameLen, name);
    if (n == 0 || n >= UINT32_MAX / sizeof(wchar_t)) return false;
    if (!AllocBlock(*copy, (n + 1) * static_cast<std::uint32_t>(sizeof(wchar_t)))) return false;
    CopyText(n, *copy, n, name);
    return true;
}

bool Load(ParamReader& reader, std::uint32_t nameLen, const wchar_t* name)
{
    wchar_t* path = nullptr;
    if (!TerminatedName(nameLen, name, &path)) return false;
    unsigned char* bytes = nullptr;
    std::uint32_t size = 0;
    bool ok = PlatformReadFile(path, kMaxFileBytes, &bytes, &size);
    FreeBlock(path);
    ok = ok && DecodeText(bytes, size, &reader.text, &reader.textLength);
    FreeBlock(bytes);
    if (!ok) return false;
    StrayEntry stray;
    if (ParseParamText(reader.text, reader.textLength, &reader.entries, &reader.entryCount, &stray))
        return true;
    reader.hasStray = stray.found;
    if (stray.found)
        CopyText(ParamReader::kStrayKeyMax, reader.strayKey, stray.keyLength, reader.text + stray.keyStart);
    return false;
}

} // namespace

bool ParamReader::Open(std::uint32_t nameLen, const wchar_t* name)
{
    Close();
    hasStray = false;
    strayKey[0] = L'\0';
    isOpen = Load(*this, nameLen, name);
    if (!isOpen) Close();
    return isOpen;
}

bool ParamReader::EntryBeforeFirstSection(std::uint32_t keyMax, wchar_t* keyBuf) const
{
    if (hasStray) CopyText(keyMax, keyBuf, kStrayKeyMax, strayKey);
    return hasStray;
}

void ParamReader::Close()
{
    FreeBlock(entries);
    FreeBlock(text);
    textLength = 0;
    entryCount = 0;
    currentSection = 0;
    nextEntry = 0;
    isOpen = false;
    hasSection = false;
    keyCut = false;
    valueCut = false;
}

bool ParamReader::FindSection(std::uint32_t len, const wchar_t* name)
{
    // A failed search leaves no current section, so that reads cannot answer from the previous one.
    std::uint32_t n = WideLen(len, name);
    hasSection = false;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        ParamEntry& entry = entries[i];
        entry.isCurrent = entry.isHeader && SameName(entry.keyLength, text + entry.keyStart, n, name);
        if (entry.isCurrent && !hasSection) {
            hasSection = true;
            currentSection = i;
        }
    }
    nextEntry = hasSection ? currentSection : entryCount;
    return hasSection;
}

bool ParamReader::ReadText(std::uint32_t keyLen, const wchar_t* key, std::uint32_t dstMax, wchar_t* dst)
{
    const ParamEntry* entry = FirstWithKey(*this, keyLen, key);
    keyCut = false;
    valueCut = false;
    if (entry == nullptr) return false;
    valueCut = Deliver(*this, entry->valueStart, entry->valueLength, dstMax, dst);
    return true;
}

bool ParamReader::ReadBool(std::uint32_t keyLen, const wchar_t* key, bool* value)
{
    const ParamEntry* entry = FirstWithKey(*this, keyLen, key);
    return entry != nullptr && value != nullptr &&
           ParseBoolText(entry->valueLength, text + entry->valueStart, value);
}

bool ParamReader::ReadReal(std::uint32_t keyLen, const wchar_t* key, double* value)
{
    const ParamEntry* entry = FirstWithKey(*this, keyLen, key);
    return entry != nullptr && value != nullptr &&
           ParseRealText(entry->valueLength, text + entry->valueStart, value);
}

std::uint32_t ParamReader::KeyCount(std::uint32_t keyLen, const wchar_t* key) const
{
    std::uint32_t count = 0;
    for (std::uint32_t i = NextWithKey(*this, 0, keyLen, key); i < entryCount;
         i = NextWithKey(*this, i + 1, keyLen, key))
        ++count;
    return count;
}

bool ParamReader::FirstEntry(std::uint32_t keyMax, wchar_t* keyBuf, std::uint32_t valMax, wchar_t* valBuf)
{
    nextEntry = hasSection ? currentSection : entryCount;
    return NextEntry(keyMax, keyBuf, valMax, valBuf);
}

bool ParamReader::NextEntry(std::uint32_t keyMax, wchar_t* keyBuf, std::uint32_t valMax, wchar_t* valBuf)
{
    keyCut = false;
    valueCut = false;
    while (nextEntry < entryCount && !InCurrentSection(*this, nextEntry))
        ++nextEntry;
    if (nextEntry >= entryCount) return false;
    const ParamEntry& entry = entries[nextEntry++];
    keyCut = Deliver(*this, entry.keyStart, entry.keyLength, keyMax, keyBuf);
    valueCut = Deliver(*this, entry.valueStart, entry.valueLength, valMax, valBuf);
    return true;
}
