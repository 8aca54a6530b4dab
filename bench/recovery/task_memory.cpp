#include "bench/recovery/task_memory.h"

#include <atomic>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>

namespace {

std::atomic<std::int64_t> liveBlocks{0};
std::atomic<std::int64_t> liveBytes{0};

// Each block carries its size in a header of 8 bytes in front of what the caller sees.
constexpr SIZE_T kHeader = 8;

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

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override
    {
        pendingSize = request;
        return request + kHeader;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override
    {
        if (actual == nullptr) return nullptr;
        *static_cast<SIZE_T*>(actual) = pendingSize;
        Count(1, static_cast<std::int64_t>(pendingSize));
        return static_cast<char*>(actual) + kHeader;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override
    {
        if (request == nullptr || !spyed) return request;
        void* actual = static_cast<char*>(request) - kHeader;
        Count(-1, -static_cast<std::int64_t>(*static_cast<SIZE_T*>(actual)));
        return actual;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spyed) override
    {
        // A block from before the spy has no header: it is passed through and not counted.
        if (!spyed) {
            *newRequest = request;
            return size;
        }
        void* actual = request == nullptr ? nullptr : static_cast<char*>(request) - kHeader;
        if (actual != nullptr) Count(-1, -static_cast<std::int64_t>(*static_cast<SIZE_T*>(actual)));
        *newRequest = actual;
        pendingSize = size;
        return size + kHeader;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL spyed) override
    {
        if (!spyed || actual == nullptr) return actual;
        *static_cast<SIZE_T*>(actual) = pendingSize;
        Count(1, static_cast<std::int64_t>(pendingSize));
        return static_cast<char*>(actual) + kHeader;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL spyed) override
    {
        return spyed && request != nullptr ? static_cast<char*>(request) - kHeader : request;
    }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL spyed) override
    {
        return spyed ? actual - kHeader : actual;
    }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL spyed) override
    {
        return spyed && request != nullptr ? static_cast<char*>(request) - kHeader : request;
    }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    static void Count(std::int64_t blocks, std::int64_t bytes)
    {
        liveBlocks += blocks;
        liveBytes += bytes;
    }
    // Allocations are paired Pre/Post on one thread at a time under COM's spy lock.
    SIZE_T pendingSize = 0;
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

std::int64_t LiveTaskBytes()
{
    return liveBytes.load();
}
