// The two embedded COM objects as COM and the server see them.

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

#include <gtest/gtest.h>

#include "connection/message_window.h"
#include "connection/sink_objects.h"
#include "tests/unit/connection/connection_test_support.h"

namespace {

class SinkObjects : public DriverRecordTest {
protected:
    IUnknown* Shutdown() { return SinkUnknown(drv->shutdownSink); }
    IUnknown* Data() { return SinkUnknown(drv->dataSink); }
};

struct QueryCase {
    const char* name;
    bool dataSink;
    const IID* iid;
    HRESULT expected;
};

const QueryCase kQueryCases[] = {
    {"shutdown sink, IUnknown", false, &IID_IUnknown, S_OK},
    {"shutdown sink, IOPCShutdown", false, &IID_IOPCShutdown, S_OK},
    {"shutdown sink, IOPCDataCallback", false, &IID_IOPCDataCallback, E_NOINTERFACE},
    {"shutdown sink, IMarshal", false, &IID_IMarshal, E_NOINTERFACE},
    {"data sink, IUnknown", true, &IID_IUnknown, S_OK},
    {"data sink, IOPCDataCallback", true, &IID_IOPCDataCallback, S_OK},
    {"data sink, IOPCShutdown", true, &IID_IOPCShutdown, E_NOINTERFACE},
    {"data sink, IConnectionPoint", true, &IID_IConnectionPoint, E_NOINTERFACE},
};

TEST_F(SinkObjects, QueryInterfaceAnswersIUnknownAndItsOwnInterfaceOnly)
{
    for (const QueryCase& row : kQueryCases) {
        SCOPED_TRACE(row.name);
        IUnknown* sink = row.dataSink ? Data() : Shutdown();
        volatile long& refs = row.dataSink ? drv->dataSink.refs : drv->shutdownSink.refs;
        void* out = reinterpret_cast<void*>(0xDEADBEEF);
        EXPECT_EQ(sink->QueryInterface(*row.iid, &out), row.expected);
        if (row.expected == S_OK) {
            EXPECT_EQ(out, sink) << "the server must see the embedded object itself";
            EXPECT_EQ(refs, 1);
            sink->Release();
        } else {
            EXPECT_EQ(out, nullptr);
        }
        EXPECT_EQ(refs, 0);
    }
}

TEST_F(SinkObjects, QueryInterfaceRefusesANullOutPointer)
{
    EXPECT_EQ(Shutdown()->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(Data()->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(drv->shutdownSink.refs, 0);
    EXPECT_EQ(drv->dataSink.refs, 0);
}

TEST_F(SinkObjects, ReleaseToZeroDestroysNothing)
{
    EXPECT_EQ(Data()->AddRef(), 1u);
    EXPECT_EQ(Data()->AddRef(), 2u);
    EXPECT_EQ(Data()->Release(), 1u);
    EXPECT_EQ(Data()->Release(), 0u);
    // Still a working object, owned by its record.
    EXPECT_EQ(Data()->AddRef(), 1u);
    EXPECT_EQ(Data()->Release(), 0u);
    EXPECT_EQ(drv->dataSink.owner.load(), drv);
    EXPECT_EQ(drv->shutdownSink.owner.load(), drv);
}

TEST_F(SinkObjects, ShutdownRequestMarksTheInstanceAndPostsOneMessageForTheFirstNotice)
{
    ASSERT_TRUE(CreateDriverWindow(*drv));
    IOPCShutdown* shutdown = reinterpret_cast<IOPCShutdown*>(Shutdown());
    EXPECT_EQ(shutdown->ShutdownRequest(L"going"), S_OK);
    EXPECT_TRUE(IsServerDown(*drv));
    EXPECT_EQ(shutdown->ShutdownRequest(nullptr), S_OK);
    EXPECT_TRUE(TakePosted(drv->window, MsgServerShutdown));
    EXPECT_FALSE(TakePosted(drv->window, MsgServerShutdown)) << "a second notice changes nothing more";
}

TEST_F(SinkObjects, ShutdownRequestWithoutOwnerChangesNothing)
{
    ASSERT_TRUE(CreateDriverWindow(*drv));
    drv->shutdownSink.owner = nullptr;
    IOPCShutdown* shutdown = reinterpret_cast<IOPCShutdown*>(Shutdown());
    EXPECT_EQ(shutdown->ShutdownRequest(L"going"), S_OK);
    EXPECT_FALSE(IsServerDown(*drv));
    EXPECT_FALSE(TakePosted(drv->window, MsgServerShutdown));
}

TEST_F(SinkObjects, DataCallbackIgnoresSubscriptionDataAndCancels)
{
    IOPCDataCallback* callback = reinterpret_cast<IOPCDataCallback*>(Data());
    OPCHANDLE handle = 1;
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 7;
    WORD quality = 0xC0;
    FILETIME stamp{};
    HRESULT error = S_OK;
    std::uint32_t flagsBefore = drv->flags.load();
    EXPECT_EQ(callback->OnDataChange(0, 1, S_OK, S_OK, 1, &handle, &value, &quality, &stamp, &error), S_OK);
    EXPECT_EQ(callback->OnCancelComplete(1, 1), S_OK);
    EXPECT_EQ(drv->flags.load(), flagsBefore);
    EXPECT_EQ(value.vt, VT_I4) << "the arrays belong to the stub";
}

TEST_F(SinkObjects, CompletionsWithoutOwnerAreAcceptedAndDropped)
{
    drv->dataSink.owner = nullptr;
    IOPCDataCallback* callback = reinterpret_cast<IOPCDataCallback*>(Data());
    OPCHANDLE handle = 1;
    HRESULT error = S_OK;
    EXPECT_EQ(callback->OnWriteComplete(1, 1, S_OK, 1, &handle, &error), S_OK);
    EXPECT_EQ(callback->OnReadComplete(1, 1, S_OK, S_OK, 0, nullptr, nullptr, nullptr, nullptr, nullptr),
              S_OK);
}

} // namespace
