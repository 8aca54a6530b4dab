// The key list that reviews use is the driver's: every key it names is read by the driver's loader.
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "config/param_file.h"
#include "config/server_keys.h"
#include "driver/opc_driver.h"
#include "tests/support/temp_file.h"
#include "tools/tagprobe/server_notes.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text != L'\0'; ++text)
        narrow += static_cast<char>(*text);
    return narrow;
}

// The loader refuses a key of [server] given twice only when it reads that key.
TEST(ServerKeys, EveryKeyGivenTwiceIsRefusedByTheLoader)
{
    for (const auto& key : kServerKeys) {
        std::string name = Narrow(key.name);
        SCOPED_TRACE(name);
        std::string value = key.form == ServerKeyForm::Clsid ? "{12345678-9ABC-DEF0-1234-56789ABCDEF0}" : "1";
        std::string clsidLine =
            key.form == ServerKeyForm::Clsid ? "" : "CLSID = {12345678-9ABC-DEF0-1234-56789ABCDEF0}\r\n";
        TempFile file("[server]\r\n" + clsidLine + name + " = " + value + "\r\n" + name + " = " + value +
                      "\r\n[channels]\r\n1 = A\r\n");
        ASSERT_TRUE(file.IsWritten());
        OpcDriver* drv = MakeDriverRecord();
        ASSERT_NE(drv, nullptr);
        wchar_t err[256] = {};
        EXPECT_FALSE(LoadParameterFile(*drv, static_cast<std::uint32_t>(file.Path().size()),
                                       file.Path().c_str(), 255, err));
        EXPECT_EQ(std::wstring(err),
                  std::wstring(key.name) + L": Duplicate key in [server] section of PAR file");
        drv->channels.Clear();
        FreeDriverRecord(drv);
    }
}

TEST(ServerKeys, FoundWithoutRegardToAsciiCaseAsTheReaderMatches)
{
    EXPECT_EQ(FindServerKey(5, L"clsid"), &kServerKeys[0]);
    const ServerKey* rate = FindServerKey(11, L"Update_Rate");
    ASSERT_NE(rate, nullptr);
    EXPECT_STREQ(rate->name, L"update_rate");
    EXPECT_EQ(rate->form, ServerKeyForm::Seconds);
    EXPECT_EQ(FindServerKey(11, L"udpate_rate"), nullptr);
    // Counted text: the characters after the count are not part of the name.
    EXPECT_NE(FindServerKey(4, L"sync_"), nullptr);
    EXPECT_EQ(FindServerKey(5, L"sync_"), nullptr);
}

// check explains every key the driver reads, each with a note of its own: a key added to the driver's
// list without a note here shows as an empty note, never as another key's.
TEST(ServerKeys, EveryKeyHasANoteOfItsOwn)
{
    std::vector<KeyLine> keys;
    std::uint32_t line = 2;
    for (const auto& key : kServerKeys)
        keys.push_back(
            KeyLine{line++, key.name,
                    key.form == ServerKeyForm::Clsid ? L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}" : L"1"});
    OpcDriver* drv = MakeDriverRecord();
    ASSERT_NE(drv, nullptr);
    std::vector<Finding> notes;
    AddServerNotes(keys, 1, *drv, notes);
    FreeDriverRecord(drv);
    ASSERT_EQ(notes.size(), keys.size() + 1) << "one for the mode, one per key";
    std::set<std::wstring> seen;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::wstring prefix = keys[i].key + L" = " + keys[i].value + L": ";
        const std::wstring& text = notes[i + 1].text;
        SCOPED_TRACE(Narrow(keys[i].key.c_str()));
        ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0);
        std::wstring note = text.substr(prefix.size());
        EXPECT_FALSE(note.empty()) << "no note for this key";
        EXPECT_TRUE(seen.insert(note).second) << "the same note as another key";
    }
}

} // namespace
