// OPC constants that widl cannot emit from IDL module declarations: result codes, quality word,
// access rights and item property IDs, with the published values.
#pragma once

#include <windows.h>

// Result codes (facility ITF). OPC_S_* are success codes: test SUCCEEDED(hr), never hr == S_OK.
constexpr HRESULT OPC_E_INVALIDHANDLE = static_cast<HRESULT>(0xC0040001L);
constexpr HRESULT OPC_E_BADTYPE = static_cast<HRESULT>(0xC0040004L);
constexpr HRESULT OPC_E_PUBLIC = static_cast<HRESULT>(0xC0040005L);
constexpr HRESULT OPC_E_BADRIGHTS = static_cast<HRESULT>(0xC0040006L);
constexpr HRESULT OPC_E_UNKNOWNITEMID = static_cast<HRESULT>(0xC0040007L);
constexpr HRESULT OPC_E_INVALIDITEMID = static_cast<HRESULT>(0xC0040008L);
constexpr HRESULT OPC_E_INVALIDFILTER = static_cast<HRESULT>(0xC0040009L);
constexpr HRESULT OPC_E_UNKNOWNPATH = static_cast<HRESULT>(0xC004000AL);
constexpr HRESULT OPC_E_RANGE = static_cast<HRESULT>(0xC004000BL);
constexpr HRESULT OPC_E_DUPLICATENAME = static_cast<HRESULT>(0xC004000CL);
constexpr HRESULT OPC_S_UNSUPPORTEDRATE = static_cast<HRESULT>(0x0004000DL);
constexpr HRESULT OPC_S_CLAMP = static_cast<HRESULT>(0x0004000EL);
constexpr HRESULT OPC_S_INUSE = static_cast<HRESULT>(0x0004000FL);
constexpr HRESULT OPC_E_INVALIDCONFIGFILE = static_cast<HRESULT>(0xC0040010L);
constexpr HRESULT OPC_E_NOTFOUND = static_cast<HRESULT>(0xC0040011L);
constexpr HRESULT OPC_E_INVALID_PID = static_cast<HRESULT>(0xC0040203L);

// Quality word, low byte QQSSSSLL (quality, substatus, limit); the high byte is vendor specific.
constexpr WORD OPC_QUALITY_MASK = 0xC0;
constexpr WORD OPC_STATUS_MASK = 0xFC;
constexpr WORD OPC_LIMIT_MASK = 0x03;
constexpr WORD OPC_QUALITY_BAD = 0x00;
constexpr WORD OPC_QUALITY_UNCERTAIN = 0x40;
constexpr WORD OPC_QUALITY_GOOD = 0xC0;
constexpr WORD OPC_QUALITY_CONFIG_ERROR = 0x04;
constexpr WORD OPC_QUALITY_NOT_CONNECTED = 0x08;
constexpr WORD OPC_QUALITY_DEVICE_FAILURE = 0x0C;
constexpr WORD OPC_QUALITY_SENSOR_FAILURE = 0x10;
constexpr WORD OPC_QUALITY_LAST_KNOWN = 0x14;
constexpr WORD OPC_QUALITY_COMM_FAILURE = 0x18;
constexpr WORD OPC_QUALITY_OUT_OF_SERVICE = 0x1C;
constexpr WORD OPC_QUALITY_LAST_USABLE = 0x44;
constexpr WORD OPC_QUALITY_SENSOR_CAL = 0x50;
constexpr WORD OPC_QUALITY_EGU_EXCEEDED = 0x54;
constexpr WORD OPC_QUALITY_SUB_NORMAL = 0x58;
constexpr WORD OPC_QUALITY_LOCAL_OVERRIDE = 0xD8;
constexpr WORD OPC_LIMIT_OK = 0x00;
constexpr WORD OPC_LIMIT_LOW = 0x01;
constexpr WORD OPC_LIMIT_HIGH = 0x02;
constexpr WORD OPC_LIMIT_CONST = 0x03;

// Access rights: two flag bits of dwAccessRights (3 = read and write).
constexpr DWORD OPC_READABLE = 0x1;
constexpr DWORD OPC_WRITEABLE = 0x2;

// Item property IDs (IOPCItemProperties).
constexpr DWORD OPC_PROPERTY_DATATYPE = 1;
constexpr DWORD OPC_PROPERTY_VALUE = 2;
constexpr DWORD OPC_PROPERTY_QUALITY = 3;
constexpr DWORD OPC_PROPERTY_TIMESTAMP = 4;
constexpr DWORD OPC_PROPERTY_ACCESS_RIGHTS = 5;
constexpr DWORD OPC_PROPERTY_SCAN_RATE = 6;
constexpr DWORD OPC_PROPERTY_EU_TYPE = 7;
constexpr DWORD OPC_PROPERTY_EU_INFO = 8;
constexpr DWORD OPC_PROPERTY_EU_UNITS = 100;
constexpr DWORD OPC_PROPERTY_DESCRIPTION = 101;

// The component categories in which OPC Data Access servers register ("OPC Data Access Servers
// Version 1.0" and "... Version 2.0"), and the class of the OPC server list service (OpcEnum).
constexpr GUID CATID_OPCDAServer10 = {
    0x63D5F430, 0xCFE4, 0x11D1, {0xB2, 0xC8, 0x00, 0x60, 0x08, 0x3B, 0xA1, 0xFB}};
constexpr GUID CATID_OPCDAServer20 = {
    0x63D5F432, 0xCFE4, 0x11D1, {0xB2, 0xC8, 0x00, 0x60, 0x08, 0x3B, 0xA1, 0xFB}};
constexpr GUID CLSID_OpcServerList = {
    0x13486D51, 0x4821, 0x11D2, {0xA4, 0x94, 0x3C, 0xB3, 0x06, 0xC1, 0x00, 0x00}};
