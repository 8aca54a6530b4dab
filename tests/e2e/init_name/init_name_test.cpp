// Init's file name, exactly as the host hands it over: the ANSI twin keeps the first 259 characters of
// a longer name, and neither twin reads a name beyond its count when there is no NUL within it.

#include <cstdint>
#include <cstring>
#include <string>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/driver_api.h"

namespace {

constexpr std::uint32_t kNameMax = 259;
constexpr std::uint32_t kErrMax = 127;
// A file that the reader opens and that then fails for its own reason, before any COM call: the text
// proves that the driver read this very file.
constexpr char kParFile[] = "[server]\nCLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\n";
constexpr char kReadThisFile[] = "Cannot find mandatory [channels] section in PAR file";
constexpr char kCannotOpen[] = "Cannot open specified parameter file";

// A parameter file whose full path is exactly 259 characters, in a folder of its own.
class FileOf259 {
public:
    FileOf259()
    {
        char temp[MAX_PATH + 1] = {};
        DWORD n = GetTempPathA(MAX_PATH, temp);
        if (n == 0 || n > 200) return;
        folder = std::string(temp) + "tagport_init_name_" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
        std::string start = folder + "\\p";
        std::string candidate = start + std::string(kNameMax - start.size() - 4, 'n') + ".par";
        HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        BOOL ok = WriteFile(file, kParFile, sizeof kParFile - 1, &written, nullptr);
        CloseHandle(file);
        if (ok && written == sizeof kParFile - 1) path = candidate;
    }
    ~FileOf259()
    {
        if (!path.empty()) DeleteFileA(path.c_str());
        if (!folder.empty()) RemoveDirectoryA(folder.c_str());
    }
    FileOf259(const FileOf259&) = delete;
    FileOf259& operator=(const FileOf259&) = delete;

    std::string folder;
    std::string path; // empty when the file could not be made
};

// Room for a name at the very end of a readable page, with an inaccessible page after it: a read
// beyond the name's last character faults instead of passing unnoticed.
class GuardedName {
public:
    GuardedName()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page = info.dwPageSize;
        base = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base != nullptr && !VirtualProtect(base + page, page, PAGE_NOACCESS, &old)) base = nullptr;
    }
    ~GuardedName()
    {
        if (base != nullptr) VirtualFree(base, 0, MEM_RELEASE);
    }
    GuardedName(const GuardedName&) = delete;
    GuardedName& operator=(const GuardedName&) = delete;

    // The bytes, without a terminator, ending right at the guard page.
    template <class Char> const Char* Place(const std::basic_string<Char>& text)
    {
        std::size_t bytes = text.size() * sizeof(Char);
        Char* at = reinterpret_cast<Char*>(base + page - bytes);
        std::memcpy(at, text.data(), bytes);
        return at;
    }

    char* base = nullptr;
    DWORD page = 0;
};

class InitName : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDriverApi(api));
        ASSERT_FALSE(file.path.empty()) << "cannot make a file with a path of 259 characters";
        ASSERT_EQ(file.path.size(), kNameMax);
    }
    void TearDown() override { UnloadDriverApi(api); }

    // The text an ANSI Init leaves, on a fresh instance that is then released.
    std::string InitAnsi(std::uint32_t nameMax, const char* name)
    {
        OpcDriver* driver = api.ansi.MakeDriver();
        EXPECT_NE(driver, nullptr);
        char err[kErrMax + 1] = "sentinel";
        EXPECT_FALSE(api.ansi.Init(driver, nameMax, name, kErrMax, err, 0, 0, 0, nullptr));
        api.ansi.Done(driver);
        api.ansi.DisposeDriver(driver);
        return err;
    }

    std::wstring InitWide(std::uint32_t nameMax, const wchar_t* name)
    {
        OpcDriver* driver = api.wide.MakeDriver();
        EXPECT_NE(driver, nullptr);
        wchar_t err[kErrMax + 1] = L"sentinel";
        EXPECT_FALSE(api.wide.Init(driver, nameMax, name, kErrMax, err, 0, 0, 0, nullptr));
        api.wide.Done(driver);
        api.wide.DisposeDriver(driver);
        return err;
    }

    static std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    DriverApi api;
    FileOf259 file;
};

TEST_F(InitName, AnsiNameLongerThan259UsesItsFirst259Characters)
{
    EXPECT_EQ(InitAnsi(kNameMax, file.path.c_str()), kReadThisFile);
    const std::string longer = file.path + "_and_a_tail_beyond_the_buffer.par";
    EXPECT_EQ(InitAnsi(static_cast<std::uint32_t>(longer.size()), longer.c_str()), kReadThisFile);
    EXPECT_EQ(InitAnsi(1000, longer.c_str()), kReadThisFile);
    // Cut one character earlier, the name is another file's.
    EXPECT_EQ(InitAnsi(kNameMax - 1, file.path.c_str()), kCannotOpen);
}

TEST_F(InitName, NameWithoutANulWithinItsCountIsReadUpToTheCountOnly)
{
    GuardedName guarded;
    ASSERT_NE(guarded.base, nullptr);
    EXPECT_EQ(InitAnsi(kNameMax, guarded.Place(file.path)), kReadThisFile);
    const std::wstring wide = Widened(file.path);
    EXPECT_EQ(InitWide(kNameMax, guarded.Place(wide)), Widened(kReadThisFile));
    // A count that ends inside a longer, unterminated text: the text beyond it is never the name.
    const std::string longer = file.path + "xyz";
    EXPECT_EQ(InitAnsi(kNameMax, guarded.Place(longer)), kReadThisFile);
    EXPECT_EQ(InitWide(kNameMax, guarded.Place(Widened(longer))), Widened(kReadThisFile));
}

} // namespace
