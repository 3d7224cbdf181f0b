#include "platform/win32/system_library.h"

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace qm::win32 {

HMODULE SystemLibrary(const wchar_t* name) {
    struct Loaded {
        std::wstring name;
        UniqueModule module;
    };
    // The program has one thread; the modules go when the program ends.
    static std::vector<Loaded> loaded;
    for (const Loaded& library : loaded)
        if (library.name == name) return library.module.get();
    const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return nullptr;
    loaded.push_back({name, UniqueModule(module)});
    return module;
}

}  // namespace qm::win32
