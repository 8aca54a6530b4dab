// How Init creates the server and starts the worker, seen at tagport.dll's own imports: the class context
// of the creation (20 for a local server, 16 for a named machine), a class registered only as an
// in-process server (never loaded into the host), and a worker thread that the system refuses.

#include <mutex>
#include <string>
#include <vector>

#include <objbase.h>

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/import_patch.h"
#include "tests/support/process_census.h"

namespace {

constexpr DWORD kLocalContext = CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER; // 20
constexpr DWORD kRemoteContext = CLSCTX_REMOTE_SERVER;                      // 16
constexpr char kRemoteHost[] = "plant-opc-01";
constexpr wchar_t kProbeLibrary[] = L"inproc_probe.dll";
constexpr char kNoServer[] = "Cannot create specified OPC server instance";

struct Creation {
    DWORD context;
    std::wstring machine; // empty for CoCreateInstance
    bool operator==(const Creation& other) const
    {
        return context == other.context && machine == other.machine;
    }
};

void PrintTo(const Creation& creation, std::ostream* out)
{
    *out << "{context " << creation.context << ", machine \"" << Narrow(creation.machine) << "\"}";
}

// What the driver's creations asked for; the worker thread records too.
std::mutex creationsLock;
std::vector<Creation> creations;
const void* originalCreate = nullptr;
const void* originalCreateEx = nullptr;

void Record(const Creation& creation)
{
    std::lock_guard<std::mutex> hold(creationsLock);
    creations.push_back(creation);
}

std::vector<Creation> TakeCreations()
{
    std::lock_guard<std::mutex> hold(creationsLock);
    std::vector<Creation> taken;
    taken.swap(creations);
    return taken;
}

HRESULT WINAPI RecordingCreate(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object)
{
    Record(Creation{context, L""});
    return reinterpret_cast<decltype(&CoCreateInstance)>(originalCreate)(clsid, outer, context, iid, object);
}

HRESULT WINAPI RecordingCreateEx(REFCLSID clsid, IUnknown* outer, DWORD context, COSERVERINFO* server,
                                 DWORD count, MULTI_QI* results)
{
    Record(Creation{context, server != nullptr && server->pwszName != nullptr ? server->pwszName : L""});
    return reinterpret_cast<decltype(&CoCreateInstanceEx)>(originalCreateEx)(clsid, outer, context, server,
                                                                             count, results);
}

HANDLE WINAPI RefusedThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

bool ProbeLoaded()
{
    return GetModuleHandleW(kProbeLibrary) != nullptr;
}

// HKCR\CLSID\{clsid}\InprocServer32 naming the probe library, beside whatever the class has already.
::testing::AssertionResult RegisterInprocServer(const SimServer& server)
{
    std::wstring key = L"CLSID\\" + server.clsidText + L"\\InprocServer32";
    std::wstring path = BinaryFolder() + kProbeLibrary;
    HKEY handle = nullptr;
    LONG rc =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        const wchar_t model[] = L"Both";
        if (rc == ERROR_SUCCESS)
            rc = RegSetValueExW(handle, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model),
                                sizeof model);
        RegCloseKey(handle);
    }
    if (rc != ERROR_SUCCESS) return ::testing::AssertionFailure() << "cannot register InprocServer32: " << rc;
    return ::testing::AssertionSuccess();
}

class ServerCreation : public ConnectionTest {
protected:
    void SetUp() override
    {
        ConnectionTest::SetUp();
        TakeCreations();
        create = std::make_unique<ImportPatch>(api.module, "ole32.dll", "CoCreateInstance",
                                               reinterpret_cast<const void*>(&RecordingCreate));
        createEx = std::make_unique<ImportPatch>(api.module, "ole32.dll", "CoCreateInstanceEx",
                                                 reinterpret_cast<const void*>(&RecordingCreateEx));
        ASSERT_TRUE(create->IsApplied() && createEx->IsApplied()) << "tagport.dll imports both by name";
        originalCreate = create->Original();
        originalCreateEx = createEx->Original();
    }
    void TearDown() override
    {
        create.reset();
        createEx.reset();
        ConnectionTest::TearDown();
    }

    std::unique_ptr<ImportPatch> create;
    std::unique_ptr<ImportPatch> createEx;
};

TEST_F(ServerCreation, ALocalServerIsAskedForWithContext20AndANamedMachineWith16)
{
    ASSERT_TRUE(Serve());
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        SCOPED_TRACE(ModeName(mode));
        E2eHost host;
        std::string text;
        ASSERT_TRUE(Connect(host, ModeLines(mode), Width::Ansi, &text)) << text;
        EXPECT_EQ(TakeCreations(), (std::vector<Creation>{Creation{kLocalContext, L""}}));
        host.Stop();
        EXPECT_FALSE(Connect(host, ModeLines(mode) + "host = " + kRemoteHost + "\n", Width::Ansi, &text));
        EXPECT_EQ(text, kNoServer);
        EXPECT_EQ(TakeCreations(), (std::vector<Creation>{Creation{kRemoteContext, Wide(kRemoteHost)}}));
    }
}

// Context 20 prefers nothing in-process, so a class that also names a library is still served by its
// local server; a context that allowed in-process servers would have loaded the library instead.
TEST_F(ServerCreation, AClassWithBothRegistrationsIsServedByItsLocalServer)
{
    ASSERT_TRUE(Serve());
    ASSERT_TRUE(RegisterInprocServer(sim));
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        SCOPED_TRACE(ModeName(mode));
        E2eHost host;
        std::string text;
        EXPECT_TRUE(Connect(host, ModeLines(mode), Width::Ansi, &text)) << text;
        EXPECT_FALSE(ProbeLoaded());
    }
    EXPECT_EQ(SimLogLines(sim, "call AddGroup").size(), 2u);
}

// A class registered only as an in-process server: Init fails as for an unregistered class, whatever the
// mode or the machine, and the library is never loaded into the host. The last step shows that the
// registration is a working one: an in-process creation does load the library.
TEST_F(ServerCreation, AClassRegisteredOnlyInProcessIsNeverLoadedAndInitSaysNoServer)
{
    SimServer inprocOnly;
    CoCreateGuid(&inprocOnly.clsid);
    wchar_t clsid[40] = {};
    StringFromGUID2(inprocOnly.clsid, clsid, 40);
    inprocOnly.clsidText = clsid;
    sim = inprocOnly;
    ASSERT_TRUE(RegisterInprocServer(inprocOnly));
    ASSERT_FALSE(ProbeLoaded());
    for (Mode mode : {Mode::Async, Mode::Sync}) {
        for (const std::string& machine : {std::string(), std::string("host = ") + kRemoteHost + "\n"}) {
            for (Width width : {Width::Ansi, Width::Wide}) {
                SCOPED_TRACE(std::string(ModeName(mode)) + " " + machine +
                             (width == Width::Ansi ? "ANSI" : "W"));
                E2eHost host;
                std::string text;
                EXPECT_FALSE(Connect(host, ModeLines(mode) + machine, width, &text));
                EXPECT_EQ(text, kNoServer);
                EXPECT_FALSE(ProbeLoaded());
            }
        }
    }
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(inprocOnly.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_TRUE(ProbeLoaded()) << "the registration names a library COM can load";
    CoUninitialize();
    UnregisterSimScenario(inprocOnly);
}

class WorkerStart : public ConnectionTest {};

// The system refuses the worker's thread: Init fails with its own text in both widths, both when the file
// asks for synchronous mode and when the asynchronous attempt falls back, and leaves no handle, window or
// module reference behind; once threads can be made again, the next instance works.
TEST_F(WorkerStart, AThreadTheSystemRefusesFailsInitWithItsTextAndLeavesNothingBehind)
{
    struct PathCase {
        const char* name;
        const char* behaviours;
        const char* serverLines;
    };
    const PathCase paths[] = {
        {"synchronous", "", "sync = yes\n"},
        {"fall-back", "behaviour lacks group IOPCAsyncIO2\n", ""},
    };
    auto refused = std::make_unique<ImportPatch>(api.module, "kernel32.dll", "CreateThread",
                                                 reinterpret_cast<const void*>(&RefusedThread));
    ASSERT_TRUE(refused->IsApplied()) << "tagport.dll imports CreateThread by name";
    for (const PathCase& path : paths) {
        SCOPED_TRACE(path.name);
        ASSERT_TRUE(Serve(path.behaviours));
        auto cycle = [&](Width width) {
            E2eHost host;
            std::string text;
            EXPECT_FALSE(Connect(host, path.serverLines, width, &text));
            EXPECT_EQ(text, "Cannot start worker thread");
        };
        cycle(Width::Ansi); // the first use of COM and of the server in this mode creates lasting state
        std::uint32_t handles = OpenHandleCount();
        cycle(Width::Wide);
        cycle(Width::Ansi);
        EXPECT_LE(OpenHandleCount(), handles) << "the worker's events are closed";
        EXPECT_TRUE(DriverWindows().empty());
    }
    refused.reset();
    {
        E2eHost host;
        std::string text;
        ASSERT_TRUE(Connect(host, "sync = yes\n", Width::Ansi, &text)) << text;
        host.FireRead({kLevel});
        ASSERT_TRUE(host.WaitRead(kLevel));
        EXPECT_EQ(host.ReadStatus(kLevel), StatusOk);
    }
    // Each failed start gave back the reference on the library that a worker holds.
    UnloadDriverApi(api);
    EXPECT_EQ(GetModuleHandleW(L"tagport.dll"), nullptr);
}

} // namespace
