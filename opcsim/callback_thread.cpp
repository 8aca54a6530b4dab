#include "opcsim/callback_thread.h"

#include <new>

#include "opcsim/com_object.h"

namespace {

struct ThreadCall {
    IStream* stream = nullptr;
    IID iid{};
    std::function<void(IUnknown*)> call{};
};

DWORD WINAPI CallbackThreadMain(void* param)
{
    ThreadCall* work = static_cast<ThreadCall*>(param);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IUnknown* sink = nullptr;
    if (FAILED(CoGetInterfaceAndReleaseStream(work->stream, work->iid, reinterpret_cast<void**>(&sink))))
        sink = nullptr;
    work->call(sink);
    ReleaseInterface(sink);
    CoUninitialize();
    delete work;
    return 0;
}

} // namespace

HANDLE StartCallbackThread(IUnknown* sink, REFIID iid, std::function<void(IUnknown*)> call)
{
    ThreadCall* work = new (std::nothrow) ThreadCall;
    if (work == nullptr) return nullptr;
    work->iid = iid;
    work->call = call;
    if (FAILED(CoMarshalInterThreadInterfaceInStream(iid, sink, &work->stream))) {
        delete work;
        return nullptr;
    }
    HANDLE thread = CreateThread(nullptr, 0, CallbackThreadMain, work, 0, nullptr);
    if (thread == nullptr) {
        CoReleaseMarshalData(work->stream);
        ReleaseInterface(work->stream);
        delete work;
    }
    return thread;
}
