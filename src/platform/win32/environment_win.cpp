#include "platform/win32/environment_win.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace qm::win32 {

std::string CurrentProcessEnvironment::Get(std::string_view name) const {
    const auto wideName = Widen(name);
    std::wstring value(256, L'\0');
    // Another thread may lengthen the value between the two calls: ask again
    // until it fits.
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return Narrow(value);
        }
        value.assign(n, L'\0');
    }
}

void CurrentProcessEnvironment::Set(std::string_view name, std::string_view value) {
    SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
}

}  // namespace qm::win32
