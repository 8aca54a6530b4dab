// The release of the synchronous batches: the host's own blocks, the server's arrays, and every value.

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "hostrt/core.h"
#include "tests/support/fake_opc.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

class SyncBatch : public DriverRecordTest {
protected:
    // A value that holds a counted reference, so that clearing it is visible.
    VARIANT HeldValue()
    {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_UNKNOWN;
        value.punkVal = &held;
        held.AddRef();
        return value;
    }

    FakeConnectionPoint held{IID_IUnknown};
};

TEST_F(SyncBatch, ReadReleaseFreesEveryArrayAndClearsEveryValueButKeepsTheCount)
{
    drv->syncReadCount = 2;
    ASSERT_TRUE(AllocBlock(drv->syncReadHandles, 8));
    ASSERT_TRUE(AllocBlock(drv->syncReadChannels, 8));
    drv->syncReadStates = static_cast<OPCITEMSTATE*>(CoTaskMemAlloc(2 * sizeof(OPCITEMSTATE)));
    drv->syncReadStates[0].vDataValue = HeldValue();
    drv->syncReadStates[1].vDataValue = HeldValue();
    drv->syncReadErrors = static_cast<HRESULT*>(CoTaskMemAlloc(2 * sizeof(HRESULT)));
    ReleaseSyncReadBatch(*drv);
    EXPECT_EQ(held.refs, 0);
    EXPECT_EQ(drv->syncReadHandles, nullptr);
    EXPECT_EQ(drv->syncReadChannels, nullptr);
    EXPECT_EQ(drv->syncReadStates, nullptr);
    EXPECT_EQ(drv->syncReadErrors, nullptr);
    EXPECT_EQ(drv->syncReadCount, 2u);
    ReleaseSyncReadBatch(*drv);
    EXPECT_EQ(held.refs, 0);
}

TEST_F(SyncBatch, WriteReleaseFreesEveryArrayAndClearsEveryValueButKeepsTheCount)
{
    drv->syncWriteCount = 2;
    ASSERT_TRUE(AllocBlock(drv->syncWriteHandles, 8));
    ASSERT_TRUE(AllocBlock(drv->syncWriteChannels, 8));
    ASSERT_TRUE(AllocBlock(drv->syncWriteValues, 2 * sizeof(VARIANT)));
    drv->syncWriteValues[0] = HeldValue();
    drv->syncWriteValues[1] = HeldValue();
    drv->syncWriteErrors = static_cast<HRESULT*>(CoTaskMemAlloc(2 * sizeof(HRESULT)));
    ReleaseSyncWriteBatch(*drv);
    EXPECT_EQ(held.refs, 0);
    EXPECT_EQ(drv->syncWriteHandles, nullptr);
    EXPECT_EQ(drv->syncWriteChannels, nullptr);
    EXPECT_EQ(drv->syncWriteValues, nullptr);
    EXPECT_EQ(drv->syncWriteErrors, nullptr);
    EXPECT_EQ(drv->syncWriteCount, 2u);
    ReleaseSyncWriteBatch(*drv);
}

TEST_F(SyncBatch, ReleasingAnEmptyBatchDoesNothing)
{
    drv->syncReadCount = 5; // no states: nothing to clear
    ReleaseSyncReadBatch(*drv);
    ReleaseSyncWriteBatch(*drv);
    EXPECT_EQ(drv->syncReadStates, nullptr);
    EXPECT_EQ(drv->syncWriteValues, nullptr);
}

// The record's last holder releases what a worker it outlived left in the batches.
TEST_F(SyncBatch, TheLastHolderOfTheRecordReleasesTheBatches)
{
    HoldDriverRecord(*drv);
    OpcDriver* worker = drv;
    drv->syncWriteCount = 1;
    ASSERT_TRUE(AllocBlock(drv->syncWriteValues, sizeof(VARIANT)));
    drv->syncWriteValues[0] = HeldValue();
    FreeDriverRecord(drv);
    EXPECT_EQ(held.refs, 1) << "the worker may still use it";
    ReleaseDriverRecord(worker);
    EXPECT_EQ(worker, nullptr);
    EXPECT_EQ(held.refs, 0);
}

} // namespace
