#include "connection/server_call.h"

#include "connection/lifecycle.h"
#include "connection/message_window.h"
#include "driver/opc_driver.h"

void EnterServerCall(OpcDriver& drv)
{
    ++drv.serverCallDepth;
}

bool LeaveServerCall(OpcDriver& drv)
{
    if (--drv.serverCallDepth > 0) return true;
    if (drv.disposeDeferred) {
        OpcDriver* record = &drv;
        FreeDriverRecord(record);
        return false;
    }
    if (drv.doneDeferred) {
        drv.doneDeferred = false;
        // The window goes with Done, and with it whatever was held back.
        Done(drv);
        return true;
    }
    RepostDeferredMessages(drv);
    return true;
}
