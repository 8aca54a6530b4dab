#include "opcsim/com_object.h"

#include <cstring>

HRESULT CopyOutString(const std::wstring& text, LPWSTR* out)
{
    *out = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (*out == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return S_OK;
}
