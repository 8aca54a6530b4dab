// IOPCCommon of the server object, and the error texts it shares with IOPCServer::GetErrorString.
#include "opcsim/server_object.h"

#include "idl/opc_constants.h"
#include "opcsim/behaviour.h"
#include "opcsim/text_util.h"

namespace {

ServerObject* Self(IOPCCommon* iface)
{
    return OwnerOf<ServerObject>(iface);
}

constexpr LCID kLocales[] = {0x0409, LOCALE_SYSTEM_DEFAULT, LOCALE_USER_DEFAULT, LOCALE_NEUTRAL};

struct ErrorName {
    HRESULT code;
    const wchar_t* text;
};

constexpr ErrorName kOpcErrors[] = {
    {OPC_E_INVALIDHANDLE, L"The value of the handle is invalid."},
    {OPC_E_BADTYPE,
     L"The server cannot convert the data between the requested data type and the canonical data type."},
    {OPC_E_PUBLIC, L"The requested operation cannot be done on a public group."},
    {OPC_E_BADRIGHTS, L"The item's access rights do not allow the operation."},
    {OPC_E_UNKNOWNITEMID, L"The item is no longer available in the server address space."},
    {OPC_E_INVALIDITEMID, L"The item definition does not conform to the server's syntax."},
    {OPC_E_INVALIDFILTER, L"The filter string was not valid."},
    {OPC_E_UNKNOWNPATH, L"The item's access path is not known to the server."},
    {OPC_E_RANGE, L"The value was out of range."},
    {OPC_E_DUPLICATENAME, L"Duplicate name not allowed."},
    {OPC_S_UNSUPPORTEDRATE,
     L"The server does not support the requested data rate but will use the closest available rate."},
    {OPC_S_CLAMP, L"A value passed to write was accepted but the output was clamped."},
    {OPC_S_INUSE, L"The operation cannot be performed because the object is being referenced."},
};

HRESULT STDMETHODCALLTYPE Common_SetLocaleID(IOPCCommon* iface, LCID dwLcid)
{
    ServerObject* self = Self(iface);
    CallGate gate = EnterCall(*self->sim, SimMethod::SetLocaleID);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        hr = E_INVALIDARG;
        for (LCID known : kLocales) {
            if (known == dwLcid) hr = S_OK;
        }
        if (SUCCEEDED(hr)) {
            self->lcid = dwLcid;
            hr = LeaveCall(*self->sim, SimMethod::SetLocaleID, gate, hr);
        }
    }
    LogCall(*self->sim, SimMethod::SetLocaleID, "lcid=" + std::to_string(dwLcid), hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE Common_GetLocaleID(IOPCCommon* iface, LCID* pdwLcid)
{
    if (pdwLcid == nullptr) return E_INVALIDARG;
    *pdwLcid = Self(iface)->lcid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Common_QueryAvailableLocaleIDs(IOPCCommon*, DWORD* pdwCount, LCID** pdwLcid)
{
    if (pdwCount == nullptr || pdwLcid == nullptr) return E_INVALIDARG;
    const DWORD n = sizeof kLocales / sizeof kLocales[0];
    *pdwCount = 0;
    *pdwLcid = TaskArray<LCID>(n);
    if (*pdwLcid == nullptr) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < n; ++i)
        (*pdwLcid)[i] = kLocales[i];
    *pdwCount = n;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Common_GetErrorString(IOPCCommon* iface, HRESULT dwError, LPWSTR* ppString)
{
    return GetErrorStringCall(*Self(iface)->sim, dwError, ppString);
}

HRESULT STDMETHODCALLTYPE Common_SetClientName(IOPCCommon* iface, LPCWSTR szName)
{
    ServerObject* self = Self(iface);
    CallGate gate = EnterCall(*self->sim, SimMethod::SetClientName);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) {
        self->clientName = szName != nullptr ? szName : L"";
        hr = LeaveCall(*self->sim, SimMethod::SetClientName, gate, S_OK);
    }
    LogCall(*self->sim, SimMethod::SetClientName, "name=" + QuoteIfNeeded(Utf8FromWide(self->clientName)),
            hr);
    return hr;
}

} // namespace

const IOPCCommonVtbl kCommonVtbl = {
    FacetQueryInterface<IOPCCommon, ServerObject>,
    FacetAddRef<IOPCCommon, ServerObject>,
    FacetRelease<IOPCCommon, ServerObject>,
    Common_SetLocaleID,
    Common_GetLocaleID,
    Common_QueryAvailableLocaleIDs,
    Common_GetErrorString,
    Common_SetClientName,
};

std::wstring ErrorText(HRESULT error)
{
    for (const ErrorName& e : kOpcErrors) {
        if (e.code == error) return e.text;
    }
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = n > 0 ? std::wstring(text, n) : L"Unknown error " + WideFromUtf8(HexHResult(error));
    if (text != nullptr) LocalFree(text);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r'))
        out.pop_back();
    return out;
}

HRESULT GetErrorStringCall(SimProcess& sim, HRESULT error, LPWSTR* text)
{
    if (text != nullptr) *text = nullptr;
    CallGate gate = EnterCall(sim, SimMethod::GetErrorString);
    HRESULT hr = gate.forced;
    if (SUCCEEDED(hr)) hr = text == nullptr ? E_INVALIDARG : CopyOutString(ErrorText(error), text);
    if (SUCCEEDED(hr)) hr = LeaveCall(sim, SimMethod::GetErrorString, gate, hr);
    LogCall(sim, SimMethod::GetErrorString, "error=" + HexHResult(error), hr);
    return hr;
}
