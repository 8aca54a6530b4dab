// A library registered as a class's in-process server (InprocServer32) in the connection tests: the
// driver must never load it into the host. It serves no class; being loaded is all a test looks for.

#include <windows.h>
#include <objbase.h>

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, void** object)
{
    if (object != nullptr) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_FALSE; // stays loaded, so that a load is still seen afterwards
}
