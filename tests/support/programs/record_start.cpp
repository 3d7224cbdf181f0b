// A stand-in for a program that the shell is asked to start: it writes down
// how it was started and ends. The record goes to the file named by
// QM_RECORD_FILE, or beside the program as <program>.record:
//   directory=<current directory>
//   program=<argv[0]>
//   argument=<argv[1]> ...
// UTF-8, one line each, written to a temporary file first and moved into
// place, so a reader sees all of it or nothing.
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::wstring RecordPath() {
    wchar_t named[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(L"QM_RECORD_FILE", named, static_cast<DWORD>(std::size(named)));
    if (n > 0 && n < std::size(named)) return named;
    wchar_t self[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    return std::wstring(self) + L".record";
}

std::wstring CurrentDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto record = RecordPath();
    const auto temporary = record + L".partial";
    {
        std::ofstream out(std::filesystem::path(temporary), std::ios::binary | std::ios::trunc);
        out << "directory=" << qm::win32::Narrow(CurrentDirectory()) << '\n';
        out << "program=" << qm::win32::Narrow(argv[0]) << '\n';
        for (int i = 1; i < argc; ++i) out << "argument=" << qm::win32::Narrow(argv[i]) << '\n';
        if (!out) return 2;
    }
    return MoveFileExW(temporary.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
