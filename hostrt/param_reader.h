#pragma once
// The host toolkit's parameter-file reader: an INI-style file of [sections] and key = value entries.
// The syntax is documented in docs/param-syntax.md. Keys and section names match without regard to ASCII
// case.

#include <cstdint>

struct ParamEntry;

class ParamReader {
public:
    // True when the file could be opened, read and decoded as text, and has no entry before its first
    // section header. Closes first when the reader is open.
    bool Open(std::uint32_t nameLen, const wchar_t* name);
    // True when the last Open failed because of an entry before the first section header; its key goes
    // into keyBuf, cut to keyMax. The reason outlives the failed Open, so that the caller can say
    // what is wrong with the file instead of sending the user to its path and rights.
    bool EntryBeforeFirstSection(std::uint32_t keyMax, wchar_t* keyBuf) const;
    // True when the section exists; it becomes the current section.
    bool FindSection(std::uint32_t len, const wchar_t* name);
    // True when the key exists in the current section (its first occurrence); the value goes into
    // dst, cut to dstMax; ValueWasCut() tells whether it was longer.
    bool ReadText(std::uint32_t keyLen, const wchar_t* key, std::uint32_t dstMax, wchar_t* dst);
    // True when the key exists and holds a boolean (true/false, yes/no, on/off, 1/0).
    bool ReadBool(std::uint32_t keyLen, const wchar_t* key, bool* value);
    // True when the key exists and holds a decimal number (point, never comma; optional exponent).
    bool ReadReal(std::uint32_t keyLen, const wchar_t* key, double* value);
    // Number of entries of the current section with this key, so that a caller can tell an absent key
    // from a value of the wrong form and notice a key given twice.
    std::uint32_t KeyCount(std::uint32_t keyLen, const wchar_t* key) const;
    // The entries of the current section in file order, each once; false when there are no more.
    // A line without "=" is delivered with its text as the key and an empty value, never skipped.
    bool FirstEntry(std::uint32_t keyMax, wchar_t* keyBuf, std::uint32_t valMax, wchar_t* valBuf);
    bool NextEntry(std::uint32_t keyMax, wchar_t* keyBuf, std::uint32_t valMax, wchar_t* valBuf);
    // Whether the key or the value of the last entry or ReadText did not fit and was cut.
    bool KeyWasCut() const { return keyCut; }
    bool ValueWasCut() const { return valueCut; }
    // Closes the file and frees everything; safe to repeat.
    void Close();

    // The decoded file and its parsed entries, owned by the reader (blocks of the core allocator).
    wchar_t* text = nullptr;
    std::uint32_t textLength = 0;
    ParamEntry* entries = nullptr;
    std::uint32_t entryCount = 0;
    std::uint32_t currentSection = 0; // index of the current section's name entry, or none
    std::uint32_t nextEntry = 0;
    bool isOpen = false;
    bool hasSection = false;
    bool keyCut = false;
    bool valueCut = false;
    // The key of the entry that made the last Open fail, if that was the reason (untouched by Close).
    static constexpr std::uint32_t kStrayKeyMax = 63;
    wchar_t strayKey[kStrayKeyMax + 1] = {};
    bool hasStray = false;
};
