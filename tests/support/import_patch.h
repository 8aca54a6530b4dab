#pragma once
// Replaces one entry of a loaded module's import address table, so that a test sees, or makes fail, the
// module's own calls of one system function (the arguments tagport.dll passes to CoCreateInstance, a
// CreateThread that fails) without any seam in the product. The entry gets its original back when the
// patch ends.

#include <windows.h>

class ImportPatch {
public:
    // dll is the imported library's name as the module's import table names it (case does not matter).
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // False when the module does not import the function by name.
    bool IsApplied() const { return slot != nullptr; }
    // The address the entry held, to forward calls to.
    const void* Original() const { return original; }

private:
    const void** slot = nullptr;
    const void* original = nullptr;
};
