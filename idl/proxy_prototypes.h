/* Force-included into the widl proxy code: MinGW's unknwnbase.h declares these three IUnknown proxy
 * functions for C++ only, and the generated C proxy tables refer to them. Must not include rpcproxy.h. */
#pragma once
#include <unknwn.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
