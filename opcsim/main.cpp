// opcsim.exe: an out-of-process OPC DA 2.0 server that runs one scenario (see docs/opcsim.md).
// It serves its class from a single-threaded apartment and ends when it has been idle for the
// scenario's linger time, or at once when the process that launched it is gone.
#include <string>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "opcsim/class_factory.h"
#include "opcsim/sim_args.h"
#include "opcsim/sim_window.h"
#include "opcsim/text_util.h"

namespace {

bool ReadFileText(const std::wstring& path, std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(file);
    return true;
}

DWORD ParentProcessId()
{
    DWORD self = GetCurrentProcessId(), parent = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    }
    CloseHandle(snap);
    return parent;
}

struct Watch {
    HANDLE parent;
    HANDLE quit;
};

// COM launches the server from the client's process. A client that dies (or never releases what it
// holds, as after a shutdown notice) must not leave the server running: it would keep the client's
// inherited output handles open.
DWORD WINAPI WatchParent(void* param)
{
    Watch* w = static_cast<Watch*>(param);
    WaitForSingleObject(w->parent, INFINITE);
    SetEvent(w->quit);
    return 0;
}

void RunMessageLoop(SimProcess& sim)
{
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &sim.quitEvent, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

int Run(SimProcess& sim, const SimArgs& args)
{
    std::string text, error;
    if (!ReadFileText(args.scenario, text))
        error = "cannot read " + Utf8FromWide(args.scenario);
    else if (!ParseScenario(text, sim.scenario, error))
        error = Utf8FromWide(args.scenario) + " " + error;
    std::wstring logPath = args.logPath.empty() ? sim.scenario.logPath : args.logPath;
    if (!logPath.empty()) OpenSimLog(sim.log, logPath);
    DWORD parent = ParentProcessId();
    WriteSimLog(sim.log,
                "start pid=" + std::to_string(GetCurrentProcessId()) + " parent=" + std::to_string(parent));
    if (!error.empty()) {
        WriteSimLog(sim.log, "error " + error);
        return 2;
    }
    sim.quitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (FAILED(CoInitialize(nullptr)) || !CreateSimWindow(sim)) {
        WriteSimLog(sim.log, "error cannot start COM");
        return 3;
    }
    InitAddressSpace(sim.space, sim.scenario);
    static Watch watch{OpenProcess(SYNCHRONIZE, FALSE, parent), sim.quitEvent};
    if (watch.parent != nullptr) CloseHandle(CreateThread(nullptr, 0, WatchParent, &watch, 0, nullptr));
    HRESULT hr = CoRegisterClassObject(args.clsid, reinterpret_cast<IUnknown*>(SimClassFactory(sim)),
                                       CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &sim.classCookie);
    if (FAILED(hr)) {
        WriteSimLog(sim.log, "error CoRegisterClassObject " + HexHResult(hr));
        return 4;
    }
    SetTimer(sim.window, kTimerLinger, sim.scenario.lingerMs, nullptr); // no client may come at all
    RunMessageLoop(sim);
    CoRevokeClassObject(sim.classCookie);
    WriteSimLog(sim.log, "exit");
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    SimArgs args;
    std::string error;
    static SimProcess sim; // lives until ExitProcess: objects may still be held by a dead client
    int code = 1;
    if (argv != nullptr && ParseSimArgs(argc, argv, args, error)) code = Run(sim, args);
    CloseSimLog(sim.log);
    // No CoUninitialize: objects of a client that has gone would be disconnected one by one for nothing.
    ExitProcess(static_cast<UINT>(code));
}
