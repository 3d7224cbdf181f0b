#include "platform/win32/system_library.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace qm::win32 {

HMODULE SystemLibrary(const wchar_t* name) {
    struct Loaded {
        std::wstring name;
        UniqueModule module;
    };
    struct Libraries {
        std::mutex lock;
        std::vector<Loaded> loaded;
    };
    // The diagnosis asks from threads of its own, and a thread left waiting
    // on a check may still be inside a module when the program ends: the
    // modules stay loaded past the static destructors, until the process goes.
    static Libraries& libraries = *new Libraries;
    const std::lock_guard hold(libraries.lock);
    for (const Loaded& library : libraries.loaded)
        if (library.name == name) return library.module.get();
    const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return nullptr;
    libraries.loaded.push_back({name, UniqueModule(module)});
    return module;
}

}  // namespace qm::win32
