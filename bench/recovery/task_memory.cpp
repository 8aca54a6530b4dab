#include "bench/recovery/task_memory.h"

#include <atomic>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>

namespace {

std::atomic<std::int64_t> liveBlocks{0};

// Sizes pass through unchanged: a spy that adds a header of its own is not handled by every COM.
class CountingSpy : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override
    {
        if (actual != nullptr) ++liveBlocks;
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override
    {
        if (request != nullptr && spyed) --liveBlocks;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spyed) override
    {
        if (request != nullptr && spyed) --liveBlocks;
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL spyed) override
    {
        if (actual != nullptr && spyed) ++liveBlocks;
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

CountingSpy spy;

} // namespace

bool StartTaskMemoryCount()
{
    return CoRegisterMallocSpy(&spy) == S_OK;
}

std::int64_t LiveTaskBlocks()
{
    return liveBlocks.load();
}
