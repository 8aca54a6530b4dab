#include "tools/tagprobe/driver_session.h"

#include "tools/common/user_data.h"
#include "tools/tagprobe/text_convert.h"

namespace {

// The longest parameter file name and error text tagprobe hands over (the driver's own limits are
// 259 and 127 characters; a larger buffer costs nothing).
constexpr std::uint32_t kNameMax = 259;
constexpr std::uint32_t kErrorMax = 255;

// The host's notification callback: userData names the session's slot.
void __cdecl OnNotify(std::uint32_t userData, std::uint32_t kind, std::uint32_t zero)
{
    auto* session = static_cast<DriverSession*>(ObjectOfUserData(userData));
    if (session == nullptr) return;
    if (kind <= kWriteKind) InterlockedIncrement(&session->notifications[kind]);
    if (kind > kWriteKind || zero != 0) InterlockedIncrement(&session->oddNotifications);
}

bool CallInit(DriverSession& session, const std::wstring& file, std::wstring& error)
{
    const DriverLibrary& lib = *session.lib;
    std::uint32_t userData = session.userData;
    if (lib.initW != nullptr) {
        wchar_t err[kErrorMax + 1] = {};
        BOOL ok = lib.initW(session.driver, static_cast<std::uint32_t>(file.size()), file.c_str(), kErrorMax,
                            err, 0, 0, userData, OnNotify);
        error = err;
        return ok != FALSE;
    }
    std::string ansiFile;
    if (!AnsiFromWide(file, ansiFile)) {
        error = L"the file name cannot be written in this machine's ANSI code page (use --wide)";
        return false;
    }
    char err[kErrorMax + 1] = {};
    BOOL ok = lib.initA(session.driver, static_cast<std::uint32_t>(ansiFile.size()), ansiFile.c_str(),
                        kErrorMax, err, 0, 0, userData, OnNotify);
    error = WideFromAnsi(err, static_cast<std::size_t>(lstrlenA(err)));
    return ok != FALSE;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The runtime's thread must dispatch messages while it waits: batch completions, shutdown notices and,
// in asynchronous mode, the server's callbacks all reach the driver through this thread's queue.
// Notified means done() became true.
template <class Done> WaitOutcome RunMessageLoop(Done done, std::uint32_t timeoutMs, HANDLE interrupt)
{
    ULONGLONG start = GetTickCount64();
    DWORD handles = interrupt != nullptr ? 1 : 0;
    for (;;) {
        PumpMessages();
        if (done()) return WaitOutcome::Notified;
        ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs) return WaitOutcome::TimedOut;
        DWORD woke = MsgWaitForMultipleObjects(handles, &interrupt, FALSE,
                                               static_cast<DWORD>(timeoutMs - elapsed), QS_ALLINPUT);
        if (handles == 1 && woke == WAIT_OBJECT_0) return WaitOutcome::Interrupted;
    }
}

} // namespace

bool StartSession(const DriverLibrary& lib, const std::wstring& parameterFile, DriverSession& session,
                  std::wstring& error)
{
    EndSession(session);
    session.lib = &lib;
    if (parameterFile.size() > kNameMax) {
        error = L"the parameter file name is longer than " + std::to_wstring(kNameMax) + L" characters";
        return false;
    }
    session.driver = lib.makeDriver();
    if (session.driver == nullptr) {
        error = L"MakeDriver returned no instance";
        return false;
    }
    session.initialized = true;
    session.userData = UserDataFor(&session);
    bool ok = CallInit(session, parameterFile, error);
    if (!ok && error.empty()) error = L"Init failed without an error text";
    return ok;
}

void EndSession(DriverSession& session)
{
    if (session.driver != nullptr) {
        if (session.initialized) session.lib->done(session.driver);
        session.lib->disposeDriver(session.driver);
    }
    session.driver = nullptr;
    session.initialized = false;
    ForgetUserData(session.userData);
    session.userData = 0;
}

WaitOutcome WaitForNotification(DriverSession& session, std::uint32_t kind, LONG seen,
                                std::uint32_t timeoutMs, HANDLE interrupt)
{
    return RunMessageLoop([&] { return session.notifications[kind] != seen; }, timeoutMs, interrupt);
}

bool PauseWithMessages(std::uint32_t ms, HANDLE interrupt)
{
    return RunMessageLoop([] { return false; }, ms, interrupt) != WaitOutcome::Interrupted;
}
