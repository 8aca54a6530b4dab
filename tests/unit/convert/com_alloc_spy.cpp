#include "tests/unit/convert/com_alloc_spy.h"

#include <windows.h>
#include <objbase.h>

namespace {

// A static object: COM holds it until the process ends, so its reference count frees nothing.
class CountingSpy : public IMallocSpy {
public:
    std::int64_t outstanding = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) return E_NOINTERFACE;
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override
    {
        if (actual != nullptr) ++outstanding;
        return actual;
    }
    // Only blocks allocated while the spy was installed are counted back.
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override
    {
        if (request != nullptr && spyed) --outstanding;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

CountingSpy& Spy()
{
    static CountingSpy spy;
    static const HRESULT registered = CoRegisterMallocSpy(&spy);
    EXPECT_EQ(registered, S_OK) << "CoRegisterMallocSpy";
    return spy;
}

} // namespace

std::int64_t OutstandingComBlocks()
{
    return Spy().outstanding;
}

::testing::AssertionResult BstrCacheIsOff()
{
    if (GetEnvironmentVariableW(L"OANOCACHE", nullptr, 0) != 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "run with OANOCACHE=1: the BSTR cache hides freed strings";
}
