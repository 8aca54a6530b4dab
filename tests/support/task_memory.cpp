#include "tests/support/task_memory.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include <objbase.h>

#include "tests/support/wait.h"

namespace {

// Wine's stubs leave one block behind per incoming call with an [in] array of VARIANTs (the values of
// IOPCDataCallback::OnReadComplete, which the driver receives), and two for a call with an empty one:
// the stub clears every VARIANT of the array but never frees it. Its NDR allocator made the block with a
// memory-list record behind the data (the magic 'MEML', then the data's size). Such a block is COM's own
// and not the driver's to free; it is told apart by that record and by data of whole VARIANTs that are
// all VT_EMPTY. The one thing of the driver's that looks the same is an errors array that fills whole
// VARIANTs (3 or 4 items, 7 or 8, ...) and begins with S_OK: a leak of those shows in batches of other
// sizes.
// The record is the stub allocator's list node: 16 bytes in a 32-bit process, 24 in a 64-bit one.
struct WineMemoryList {
    std::uint32_t magic;
    std::uint32_t size;
    std::uint32_t reserved;
    void* next;
};
constexpr std::uint32_t kWineMemoryListMagic = 0x4D454D4C; // 'MEML' as a little-endian word
constexpr SIZE_T kWineMemoryListSize = sizeof(WineMemoryList);

bool IsWineStubLeftover(const void* block, SIZE_T size)
{
    if (size < kWineMemoryListSize || (size - kWineMemoryListSize) % sizeof(VARIANT) != 0) return false;
    const auto* bytes = static_cast<const unsigned char*>(block);
    SIZE_T dataSize = size - kWineMemoryListSize;
    std::uint32_t record[2] = {};
    std::memcpy(record, bytes + dataSize, sizeof record);
    if (record[0] != kWineMemoryListMagic || record[1] != dataSize) return false;
    for (SIZE_T at = 0; at < dataSize; at += sizeof(VARIANT)) {
        VARIANT slot;
        std::memcpy(&slot, bytes + at, sizeof slot);
        if (V_VT(&slot) != VT_EMPTY) return false;
    }
    return true;
}

// The blocks are kept by address, not marked with a header of the spy's own, so that a block COM
// allocated before the spy came (and reallocates or frees afterwards) needs no special handling.
class CountingSpy : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) return E_NOINTERFACE;
        *object = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    // A static object: the count is not ownership.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override
    {
        pendingSize = request;
        return request;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override
    {
        if (actual != nullptr) Add(actual, pendingSize);
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override
    {
        Remove(request);
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        pendingOld = request;
        pendingSize = size;
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override
    {
        // A failed reallocation keeps the old block; a size of 0 frees it.
        if (actual != nullptr || pendingSize == 0) Remove(pendingOld);
        if (actual != nullptr) Add(actual, pendingSize);
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    // The live blocks, and of them those that are Wine's stub leftovers.
    void Live(TaskMemory& counted, TaskMemory& leftovers)
    {
        std::lock_guard<std::mutex> hold(lock);
        leftovers = TaskMemory{0, 0};
        for (const auto& [block, size] : sizes) {
            if (!IsWineStubLeftover(block, size)) continue;
            leftovers.blocks += 1;
            leftovers.bytes += static_cast<std::int64_t>(size);
        }
        counted = TaskMemory{live.blocks - leftovers.blocks, live.bytes - leftovers.bytes};
    }

private:
    void Add(void* block, SIZE_T size)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!sizes.emplace(block, size).second) return;
        live.blocks += 1;
        live.bytes += static_cast<std::int64_t>(size);
    }
    void Remove(void* block)
    {
        if (block == nullptr) return;
        std::lock_guard<std::mutex> hold(lock);
        auto found = sizes.find(block);
        if (found == sizes.end()) return;
        live.blocks -= 1;
        live.bytes -= static_cast<std::int64_t>(found->second);
        sizes.erase(found);
    }

    // Pre and Post of one allocation run in the same thread, one after the other.
    static thread_local SIZE_T pendingSize;
    static thread_local void* pendingOld;
    std::mutex lock;
    std::unordered_map<void*, SIZE_T> sizes;
    TaskMemory live{0, 0};
};

thread_local SIZE_T CountingSpy::pendingSize = 0;
thread_local void* CountingSpy::pendingOld = nullptr;

CountingSpy spy;
bool registered = false;

} // namespace

bool CountTaskMemory()
{
    if (!registered) registered = SUCCEEDED(CoRegisterMallocSpy(&spy));
    return registered;
}

TaskMemory LiveTaskMemory()
{
    TaskMemory counted{}, leftovers{};
    spy.Live(counted, leftovers);
    return counted;
}

TaskMemory WineStubLeftovers()
{
    TaskMemory counted{}, leftovers{};
    spy.Live(counted, leftovers);
    return leftovers;
}

::testing::AssertionResult BstrCacheIsOff()
{
    if (GetEnvironmentVariableW(L"OANOCACHE", nullptr, 0) != 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "run with OANOCACHE=1: the BSTR cache hides freed strings";
}

::testing::AssertionResult TaskMemoryCameBack(const TaskMemory& start, std::uint32_t timeoutMs)
{
    if (!registered) return ::testing::AssertionFailure() << "no malloc spy counts task memory";
    if (WaitUntil([&] { return LiveTaskMemory() == start; }, timeoutMs, "the task memory"))
        return ::testing::AssertionSuccess();
    TaskMemory now = LiveTaskMemory();
    return ::testing::AssertionFailure()
           << "COM task memory: " << now.blocks << " blocks (" << now.bytes << " bytes) alive, "
           << start.blocks << " (" << start.bytes << ") at the start";
}
