#pragma once
// A reader opened on a temporary file of given bytes, and helpers to see what it delivers.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostrt/param_reader.h"
#include "tests/support/leak_check.h"
#include "tests/support/temp_file.h"

using EntryList = std::vector<std::pair<std::wstring, std::wstring>>;

class ParamReaderTest : public LeakCheckedTest {
protected:
    void TearDown() override
    {
        reader.Close();
        LeakCheckedTest::TearDown();
    }

    // Writes bytes to a temporary file and opens the reader on it; the result is Open's.
    ::testing::AssertionResult OpenBytes(const std::string& bytes)
    {
        file = std::make_unique<TempFile>(bytes);
        if (!file->IsWritten()) return ::testing::AssertionFailure() << "cannot write the temporary file";
        const std::wstring& path = file->Path();
        if (!reader.Open(static_cast<std::uint32_t>(path.size()), path.c_str()))
            return ::testing::AssertionFailure() << "Open refused the file";
        return ::testing::AssertionSuccess();
    }

    bool FindSection(const std::wstring& name)
    {
        return reader.FindSection(static_cast<std::uint32_t>(name.size()), name.c_str());
    }

    // Every entry of the section, as FirstEntry/NextEntry deliver them into roomy buffers.
    EntryList EntriesOf(const std::wstring& section)
    {
        EntryList list;
        if (!FindSection(section)) return list;
        wchar_t key[1024];
        wchar_t value[1024];
        for (bool more = reader.FirstEntry(1023, key, 1023, value); more;
             more = reader.NextEntry(1023, key, 1023, value))
            list.emplace_back(key, value);
        return list;
    }

    // The value of key in the current section, or "<absent>".
    std::wstring TextOf(const std::wstring& key)
    {
        wchar_t value[1024];
        if (!reader.ReadText(static_cast<std::uint32_t>(key.size()), key.c_str(), 1023, value))
            return L"<absent>";
        return value;
    }

    ParamReader reader{};
    std::unique_ptr<TempFile> file;
};
