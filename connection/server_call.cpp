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
    if (drv.serverCallDepth > 1) {
        --drv.serverCallDepth;
        return true;
    }
    // Still counted inside: the tear-down's own calls may run host code that asks for it again.
    while (drv.doneAsked) {
        drv.doneAsked = false;
        TearDownInstance(drv);
    }
    drv.serverCallDepth = 0;
    if (drv.disposeAsked) {
        OpcDriver* record = &drv;
        ReleaseDriverRecord(record);
        return false;
    }
    // After a tear-down the window is gone, and with it whatever was held back.
    RepostDeferredMessages(drv);
    return true;
}
