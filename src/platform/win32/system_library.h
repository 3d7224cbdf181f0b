#pragma once

#include <windows.h>

namespace qm::win32 {

// Every DLL in the program's import table is loaded at each start, before the
// window can appear, and each one costs start-up time. The DLLs that only a
// click or the diagnosis needs are loaded from the system directory on first
// use instead, and stay loaded until the program ends. Null when the DLL or
// the function is not there.
HMODULE SystemLibrary(const wchar_t* name);

template <typename Function>
Function* SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = SystemLibrary(library);
    if (!module) return nullptr;
    // Through a plain function pointer type: the one cast GCC takes between
    // unrelated function types without a warning.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace qm::win32
