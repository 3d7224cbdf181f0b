#include "platform/win32/shell_win.h"

#include "platform/win32/held_directory_win.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <shellapi.h>

namespace qm::win32 {
namespace {

// ShellExecute's old-style result: above 32 means started.
bool Started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

// ShellExecuteW, or nothing started when the shell is not there.
HINSTANCE Execute(const wchar_t* verb, const std::wstring& file, const wchar_t* parameters, const wchar_t* directory) {
    static const auto execute = SystemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (!execute) return nullptr;
    return execute(nullptr, verb, file.c_str(), parameters, directory, SW_SHOWNORMAL);
}

}  // namespace

FoundDirectory DesktopShell::OpenDirectory(std::string_view path) { return OpenHeldDirectory(path); }

bool DesktopShell::StartIn(std::string_view program, std::string_view directory) {
    return Started(Execute(nullptr, Widen(program), nullptr, Widen(directory).c_str()));
}

bool DesktopShell::Open(std::string_view program, std::string_view parameters) {
    return Started(Execute(L"open", Widen(program), Widen(parameters).c_str(), nullptr));
}

std::string DesktopShell::SystemDirectory() const {
    std::wstring directory(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
    if (length == 0 || length >= directory.size()) return {};
    directory.resize(length);
    return Narrow(directory);
}

}  // namespace qm::win32
