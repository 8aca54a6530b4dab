// Vocabulary shared by the simulation server (opcsim) and the tests that drive it: the names of the
// calls that scenario behaviours and log lines refer to, and a standard set of items.
#pragma once

#include <cstddef>
#include <cstring>

// Every server call a behaviour can aim at, and the client callbacks the server makes.
enum class SimMethod : int {
    GetStatus,
    AddGroup,
    RemoveGroup,
    GetGroupByName,
    GetErrorString,
    SetLocaleID,
    SetClientName,
    ShutdownAdvise,
    ShutdownUnadvise,
    Browse,
    AddItems,
    ValidateItems,
    RemoveItems,
    SetActiveState,
    SetClientHandles,
    SetDatatypes,
    GetState,
    SetState,
    SetName,
    SyncRead,
    SyncWrite,
    AsyncRead,
    AsyncWrite,
    Refresh2,
    Cancel2,
    SetEnable,
    GetEnable,
    DataAdvise,
    DataUnadvise,
    OnDataChange,
    OnReadComplete,
    OnWriteComplete,
    OnCancelComplete,
    Any, // "any call" for the crash and hang behaviours
    Count
};

// Names as written in scenario files and log lines, in the order of SimMethod.
constexpr const char* kSimMethodNames[] = {"GetStatus",        "AddGroup",
                                           "RemoveGroup",      "GetGroupByName",
                                           "GetErrorString",   "SetLocaleID",
                                           "SetClientName",    "ShutdownAdvise",
                                           "ShutdownUnadvise", "Browse",
                                           "AddItems",         "ValidateItems",
                                           "RemoveItems",      "SetActiveState",
                                           "SetClientHandles", "SetDatatypes",
                                           "GetState",         "SetState",
                                           "SetName",          "SyncRead",
                                           "SyncWrite",        "AsyncRead",
                                           "AsyncWrite",       "Refresh2",
                                           "Cancel2",          "SetEnable",
                                           "GetEnable",        "DataAdvise",
                                           "DataUnadvise",     "OnDataChange",
                                           "OnReadComplete",   "OnWriteComplete",
                                           "OnCancelComplete", "any"};
static_assert(sizeof(kSimMethodNames) / sizeof(kSimMethodNames[0]) ==
                  static_cast<std::size_t>(SimMethod::Count),
              "one name per SimMethod");

inline const char* SimMethodName(SimMethod m)
{
    return kSimMethodNames[static_cast<int>(m)];
}

inline bool SimMethodFromName(const char* name, SimMethod& out)
{
    for (int i = 0; i < static_cast<int>(SimMethod::Count); ++i) {
        if (std::strcmp(kSimMethodNames[i], name) == 0) {
            out = static_cast<SimMethod>(i);
            return true;
        }
    }
    return false;
}

// Standard test items, one per canonical type the driver meets (scenario text below).
constexpr const char kSimItemI1[] = "Sim.I1";
constexpr const char kSimItemI2[] = "Sim.I2";
constexpr const char kSimItemI4[] = "Sim.I4";
constexpr const char kSimItemI8[] = "Sim.I8";
constexpr const char kSimItemUI1[] = "Sim.UI1";
constexpr const char kSimItemUI2[] = "Sim.UI2";
constexpr const char kSimItemUI4[] = "Sim.UI4";
constexpr const char kSimItemUI8[] = "Sim.UI8";
constexpr const char kSimItemInt[] = "Sim.INT";
constexpr const char kSimItemUInt[] = "Sim.UINT";
constexpr const char kSimItemR4[] = "Sim.R4";
constexpr const char kSimItemR8[] = "Sim.R8";
constexpr const char kSimItemBool[] = "Sim.BOOL";
constexpr const char kSimItemText[] = "Sim.BSTR";
constexpr const char kSimItemCy[] = "Sim.CY";
constexpr const char kSimItemDate[] = "Sim.DATE";
constexpr const char kSimItemDecimal[] = "Sim.DECIMAL";
constexpr const char kSimItemError[] = "Sim.ERROR";
constexpr const char kSimItemR8Array[] = "Sim.R8Array";   // 5 elements
constexpr const char kSimItemI4Matrix[] = "Sim.I4Matrix"; // 2 x 3 elements
constexpr const char kSimItemTextArray[] = "Sim.BSTRArray";
constexpr const char kSimItemReadOnly[] = "Sim.ReadOnly";   // VT_I4, readable only
constexpr const char kSimItemWriteOnly[] = "Sim.WriteOnly"; // VT_I4, writable only
constexpr const char kSimItemBadQuality[] = "Sim.BadQuality";
constexpr const char kSimItemUncertain[] = "Sim.Uncertain";
constexpr const char kSimItemRamp[] = "Sim.Ramp";
constexpr const char kSimUnknownItem[] = "Sim.NoSuchItem";

// Every item above with a fixed value and timestamp; append behaviour lines to make a scenario.
constexpr const char kSimStandardItems[] =
    "item Sim.I1 I1 rw -12 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.I2 I2 rw -1234 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.I4 I4 rw 123456 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.I8 I8 rw -9007199254740993 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.UI1 UI1 rw 200 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.UI2 UI2 rw 60000 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.UI4 UI4 rw 4000000000 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.UI8 UI8 rw 18446744073709551615 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.INT INT rw -7 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.UINT UINT rw 7 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.R4 R4 rw 1.5 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.R8 R8 rw 2.25 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.BOOL BOOL rw true timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.BSTR BSTR rw \"hello plant\" timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.CY CY rw 1234.5678 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.DATE DATE rw 2024-05-17T13:44:59 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.DECIMAL DECIMAL rw 12345678901234567890.25 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.ERROR ERROR rw 0x80004005 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.R8Array R8[5] rw {1 2 3 4 5} timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.I4Matrix I4[2,3] rw {1 2 3 4 5 6} timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.BSTRArray BSTR[3] rw {alpha \"b c\" \"\"} timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.ReadOnly I4 r 41 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.WriteOnly I4 w 0 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.BadQuality R8 r 0 quality=0x18 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.Uncertain R8 r 3.5 quality=0x54 timestamp=2024-05-17T13:44:59.123\n"
    "item Sim.Ramp R8 r 0 signal=ramp:0:100:10000\n";
