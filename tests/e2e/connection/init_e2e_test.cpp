// Init end to end: the modes it connects in, and every failure text of the server connection and the
// group as the host receives it, in both text widths.

#include <thread>

#include <objbase.h>

#include <gtest/gtest.h>

#include "tests/e2e/connection/connection_fixture.h"
#include "tests/support/wait.h"

namespace {

class Init : public ConnectionTest {};

TEST_F(Init, ConnectsAsynchronouslyByDefaultAndLeavesAnEmptyText)
{
    ASSERT_TRUE(Serve());
    for (Width width : {Width::Ansi, Width::Wide}) {
        E2eHost host;
        std::string text;
        ASSERT_TRUE(Connect(host, "", width, &text)) << text;
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(SimLogLines(sim, "call DataAdvise").size(), 2u)
        << "the data callback is the asynchronous mode's";
    EXPECT_EQ(SimLogLines(sim, "call SyncRead").size(), 0u);
}

TEST_F(Init, SyncOrAHostKeyWithAnEmptyValueConnectsThroughTheWorker)
{
    ASSERT_TRUE(Serve());
    for (const char* lines : {"sync = yes\n", "host =\n"}) {
        SCOPED_TRACE(lines);
        E2eHost host;
        std::string text;
        ASSERT_TRUE(Connect(host, lines, Width::Wide, &text)) << text;
        // A read goes through IOPCSyncIO.
        host.FireRead({kLevel});
        ASSERT_TRUE(host.WaitRead(kLevel));
    }
    EXPECT_EQ(SimLogLines(sim, "call DataAdvise").size(), 0u);
    EXPECT_EQ(SimLogLines(sim, "call SyncRead").size(), 2u);
}

TEST_F(Init, AGroupWithoutAsyncIo2FallsBackAndGivesTheHostThreadsComBack)
{
    ASSERT_TRUE(Serve("behaviour lacks group IOPCAsyncIO2\n"));
    E2eHost host;
    std::string text;
    ASSERT_TRUE(Connect(host, "", Width::Ansi, &text)) << text;
    // The asynchronous attempt's COM initialisation of this thread is gone.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
    host.FireRead({kLevel});
    ASSERT_TRUE(host.WaitRead(kLevel));
    EXPECT_EQ(host.ReadStatus(kLevel), 0u);
    host.Stop();
    EXPECT_EQ(SimLogLines(sim, "call AddGroup").size(), 2u) << "once per mode";
    EXPECT_EQ(SimLogLines(sim, "call SyncRead").size(), 1u);
}

TEST_F(Init, ARemoteHostFailsAtOnceUnderWine)
{
    ASSERT_TRUE(Serve());
    ULONGLONG start = GetTickCount64();
    E2eHost host;
    std::string text;
    EXPECT_FALSE(Connect(host, "host = plant-opc-01\n", Width::Ansi, &text));
    EXPECT_EQ(text, "Cannot create specified OPC server instance");
    EXPECT_LT(GetTickCount64() - start, 5000u) << "no activation attempt beyond the remote one";
    host.Stop();
    EXPECT_TRUE(ReadSimLog(sim).empty()) << "the local server must not have been started";
}

struct FailureCase {
    const char* name;
    const char* behaviours; // null: an unregistered CLSID
    bool inAsyncMode;
    bool inSyncMode;
    const char* text;
};

const FailureCase kFailures[] = {
    {"no server", nullptr, true, true, "Cannot create specified OPC server instance"},
    {"status query fails", "behaviour result GetStatus 0x80004005\n", true, true,
     "Cannot get server status (server specific error)"},
    {"failed", "behaviour status FAILED\n", true, true, "Server startup failed"},
    {"not configured", "behaviour status NOCONFIG\n", true, true, "Server not configured"},
    {"suspended", "behaviour status SUSPENDED\n", true, true, "Server in suspend mode"},
    {"undefined state", "behaviour status 7\n", true, true, "Server returned undefined status"},
    {"AddGroup fails", "behaviour result AddGroup 0x80004005\n", true, true,
     "Cannot create group on OPC server (server specific error)"},
    {"group without connection points", "behaviour lacks group IConnectionPointContainer\n", true, false,
     "OPC server does not comply to OPC Data Access v2 specifications"},
    {"group without data callback point", "behaviour lacks group IOPCDataCallback\n", true, false,
     "The server does not provide IOPCDataCallback connection point (server does not conform to OPC v2 "
     "specifications)"},
    {"group without IOPCSyncIO", "behaviour lacks group IOPCSyncIO\n", false, true,
     "Cannot query either asynchronous or synchronous server interface (server specific error)"},
    {"range item refused: its first number", "behaviour item-error AddItems Plant.Profile 0xC0040004\n", true,
     true, "Cannot create channel specified in PAR file number: 10"},
    {"AddItems fails", "behaviour result AddItems 0x80004005\n", true, true,
     "Cannot create channel specified in PAR file (error in PAR file)"},
};

TEST_F(Init, EveryConnectionFailureReachesTheHostInBothWidthsAndModes)
{
    for (const FailureCase& row : kFailures) {
        SCOPED_TRACE(row.name);
        if (row.behaviours != nullptr) {
            ASSERT_TRUE(Serve(row.behaviours));
        } else {
            sim = SimServer{};
            CoCreateGuid(&sim.clsid);
            wchar_t clsid[40] = {};
            StringFromGUID2(sim.clsid, clsid, 40);
            sim.clsidText = clsid;
        }
        for (bool sync : {false, true}) {
            if (!(sync ? row.inSyncMode : row.inAsyncMode)) continue;
            for (Width width : {Width::Ansi, Width::Wide}) {
                SCOPED_TRACE(std::string(sync ? "sync" : "async") + (width == Width::Ansi ? " ANSI" : " W"));
                E2eHost host;
                std::string text;
                EXPECT_FALSE(Connect(host, sync ? "sync = yes\n" : "", width, &text));
                EXPECT_EQ(text, row.text);
            }
        }
    }
}

TEST_F(Init, TheTextIsCutToTheHostsMaximum)
{
    ASSERT_TRUE(Serve("behaviour status SUSPENDED\n"));
    E2eHost host;
    std::string text;
    EXPECT_FALSE(Connect(host, "", Width::Ansi, &text, 6));
    EXPECT_EQ(text, "Server");
}

// The class name taken for this library's instance before the first Init: no window can be made, and
// Init says so instead of running an instance that nothing could ever reach.
TEST_F(Init, FailsWithAClearTextWhenNoWindowCanBeMade)
{
    ASSERT_TRUE(Serve());
    WNDCLASSA foreign{};
    foreign.lpfnWndProc = DefWindowProcA;
    foreign.hInstance = api.module;
    foreign.lpszClassName = "Orvex OPC client driver window class";
    ASSERT_NE(RegisterClassA(&foreign), 0);
    for (Width width : {Width::Ansi, Width::Wide}) {
        E2eHost host;
        std::string text;
        EXPECT_FALSE(Connect(host, "", width, &text));
        EXPECT_EQ(text, "Cannot create driver window");
    }
    EXPECT_TRUE(ReadSimLog(sim).empty()) << "nothing is connected without a window";
    ASSERT_TRUE(UnregisterClassA(foreign.lpszClassName, api.module));
    E2eHost host;
    std::string text;
    EXPECT_TRUE(Connect(host, "", Width::Ansi, &text)) << text;
}

// A host thread that already runs in the multithreaded apartment cannot be given a single-threaded one.
TEST_F(Init, AHostThreadInTheMultithreadedApartmentFailsComInitialisation)
{
    ASSERT_TRUE(Serve());
    for (Width width : {Width::Ansi, Width::Wide}) {
        std::string text;
        bool connected = true;
        std::thread host([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            E2eHost host;
            connected = Connect(host, "", width, &text);
            host.Stop();
            CoUninitialize();
        });
        host.join();
        EXPECT_FALSE(connected);
        EXPECT_EQ(text, "Microsoft COM initialization failed");
    }
}

} // namespace
