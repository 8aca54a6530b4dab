// Pins the x86 layouts of the OPC records: a change of the IDL or of the compiler's packing must fail
// the build, since these records cross the process boundary and the standard OPC proxy's wire format.
#include <cstddef>

#include <windows.h>
#include <objbase.h>

#include "opcda.h"

// The 64-bit test build talks to servers of its own width through its own proxy; only the x86
// layouts are the product's.
#if defined(__i386__)

static_assert(sizeof(FILETIME) == 8 && alignof(FILETIME) == 4, "FILETIME is two DWORDs, 4-byte aligned");
static_assert(sizeof(VARIANT) == 16, "VARIANT is 16 bytes on x86");
static_assert(sizeof(OPCSERVERSTATE) == 4, "enums are 4 bytes in memory");

static_assert(sizeof(OPCITEMDEF) == 28, "OPCITEMDEF");
static_assert(offsetof(OPCITEMDEF, szAccessPath) == 0, "OPCITEMDEF.szAccessPath");
static_assert(offsetof(OPCITEMDEF, szItemID) == 4, "OPCITEMDEF.szItemID");
static_assert(offsetof(OPCITEMDEF, bActive) == 8, "OPCITEMDEF.bActive");
static_assert(offsetof(OPCITEMDEF, hClient) == 12, "OPCITEMDEF.hClient");
static_assert(offsetof(OPCITEMDEF, dwBlobSize) == 16, "OPCITEMDEF.dwBlobSize");
static_assert(offsetof(OPCITEMDEF, pBlob) == 20, "OPCITEMDEF.pBlob");
static_assert(offsetof(OPCITEMDEF, vtRequestedDataType) == 24, "OPCITEMDEF.vtRequestedDataType");
static_assert(offsetof(OPCITEMDEF, wReserved) == 26, "OPCITEMDEF.wReserved");

static_assert(sizeof(OPCITEMRESULT) == 20, "OPCITEMRESULT");
static_assert(offsetof(OPCITEMRESULT, hServer) == 0, "OPCITEMRESULT.hServer");
static_assert(offsetof(OPCITEMRESULT, vtCanonicalDataType) == 4, "OPCITEMRESULT.vtCanonicalDataType");
static_assert(offsetof(OPCITEMRESULT, wReserved) == 6, "OPCITEMRESULT.wReserved");
static_assert(offsetof(OPCITEMRESULT, dwAccessRights) == 8, "OPCITEMRESULT.dwAccessRights");
static_assert(offsetof(OPCITEMRESULT, dwBlobSize) == 12, "OPCITEMRESULT.dwBlobSize");
static_assert(offsetof(OPCITEMRESULT, pBlob) == 16, "OPCITEMRESULT.pBlob");

static_assert(sizeof(OPCITEMSTATE) == 32, "OPCITEMSTATE");
static_assert(offsetof(OPCITEMSTATE, hClient) == 0, "OPCITEMSTATE.hClient");
static_assert(offsetof(OPCITEMSTATE, ftTimeStamp) == 4, "OPCITEMSTATE.ftTimeStamp");
static_assert(offsetof(OPCITEMSTATE, wQuality) == 12, "OPCITEMSTATE.wQuality");
static_assert(offsetof(OPCITEMSTATE, wReserved) == 14, "OPCITEMSTATE.wReserved");
static_assert(offsetof(OPCITEMSTATE, vDataValue) == 16, "OPCITEMSTATE.vDataValue");

static_assert(sizeof(OPCSERVERSTATUS) == 48, "OPCSERVERSTATUS");
static_assert(offsetof(OPCSERVERSTATUS, ftStartTime) == 0, "OPCSERVERSTATUS.ftStartTime");
static_assert(offsetof(OPCSERVERSTATUS, ftCurrentTime) == 8, "OPCSERVERSTATUS.ftCurrentTime");
static_assert(offsetof(OPCSERVERSTATUS, ftLastUpdateTime) == 16, "OPCSERVERSTATUS.ftLastUpdateTime");
static_assert(offsetof(OPCSERVERSTATUS, dwServerState) == 24, "OPCSERVERSTATUS.dwServerState");
static_assert(offsetof(OPCSERVERSTATUS, dwGroupCount) == 28, "OPCSERVERSTATUS.dwGroupCount");
static_assert(offsetof(OPCSERVERSTATUS, dwBandWidth) == 32, "OPCSERVERSTATUS.dwBandWidth");
static_assert(offsetof(OPCSERVERSTATUS, wMajorVersion) == 36, "OPCSERVERSTATUS.wMajorVersion");
static_assert(offsetof(OPCSERVERSTATUS, wMinorVersion) == 38, "OPCSERVERSTATUS.wMinorVersion");
static_assert(offsetof(OPCSERVERSTATUS, wBuildNumber) == 40, "OPCSERVERSTATUS.wBuildNumber");
static_assert(offsetof(OPCSERVERSTATUS, wReserved) == 42, "OPCSERVERSTATUS.wReserved");
static_assert(offsetof(OPCSERVERSTATUS, szVendorInfo) == 44, "OPCSERVERSTATUS.szVendorInfo");

static_assert(sizeof(OPCITEMATTRIBUTES) == 56, "OPCITEMATTRIBUTES");
static_assert(offsetof(OPCITEMATTRIBUTES, szAccessPath) == 0, "OPCITEMATTRIBUTES.szAccessPath");
static_assert(offsetof(OPCITEMATTRIBUTES, szItemID) == 4, "OPCITEMATTRIBUTES.szItemID");
static_assert(offsetof(OPCITEMATTRIBUTES, bActive) == 8, "OPCITEMATTRIBUTES.bActive");
static_assert(offsetof(OPCITEMATTRIBUTES, hClient) == 12, "OPCITEMATTRIBUTES.hClient");
static_assert(offsetof(OPCITEMATTRIBUTES, hServer) == 16, "OPCITEMATTRIBUTES.hServer");
static_assert(offsetof(OPCITEMATTRIBUTES, dwAccessRights) == 20, "OPCITEMATTRIBUTES.dwAccessRights");
static_assert(offsetof(OPCITEMATTRIBUTES, dwBlobSize) == 24, "OPCITEMATTRIBUTES.dwBlobSize");
static_assert(offsetof(OPCITEMATTRIBUTES, pBlob) == 28, "OPCITEMATTRIBUTES.pBlob");
static_assert(offsetof(OPCITEMATTRIBUTES, vtRequestedDataType) == 32,
              "OPCITEMATTRIBUTES.vtRequestedDataType");
static_assert(offsetof(OPCITEMATTRIBUTES, vtCanonicalDataType) == 34,
              "OPCITEMATTRIBUTES.vtCanonicalDataType");
static_assert(offsetof(OPCITEMATTRIBUTES, dwEUType) == 36, "OPCITEMATTRIBUTES.dwEUType");
static_assert(offsetof(OPCITEMATTRIBUTES, vEUInfo) == 40, "OPCITEMATTRIBUTES.vEUInfo");

#endif

static_assert(OPC_DS_CACHE == 1 && OPC_DS_DEVICE == 2, "OPCDATASOURCE");
static_assert(OPC_STATUS_RUNNING == 1 && OPC_STATUS_TEST == 5, "OPCSERVERSTATE");
static_assert(OPC_NS_HIERARCHIAL == 1 && OPC_NS_FLAT == 2, "OPCNAMESPACETYPE");
static_assert(OPC_BRANCH == 1 && OPC_LEAF == 2 && OPC_FLAT == 3, "OPCBROWSETYPE");
static_assert(OPC_BROWSE_UP == 1 && OPC_BROWSE_DOWN == 2 && OPC_BROWSE_TO == 3, "OPCBROWSEDIRECTION");
static_assert(OPC_ENUM_PRIVATE_CONNECTIONS == 1 && OPC_ENUM_ALL == 6, "OPCENUMSCOPE");
