#include "support/lib/held_fifo.h"

#include <windows.h>

#include <cstdint>

namespace qm::test {
namespace {

using UnixFileName = char*(__cdecl*)(const wchar_t*);

// A Linux system call made directly, as the Linux side would make it.
std::intptr_t LinuxCall(std::intptr_t number, std::intptr_t first, std::intptr_t second, std::intptr_t third) {
    std::intptr_t result = 0;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(first), "S"(second), "d"(third)
                     : "rcx", "r11", "memory");
    return result;
}

constexpr std::intptr_t kLinuxOpen = 2;
constexpr std::intptr_t kLinuxClose = 3;
constexpr std::intptr_t kLinuxUnlink = 87;
constexpr std::intptr_t kLinuxMknod = 133;
constexpr std::intptr_t kFifoMode = 0010000 | 0644;  // S_IFIFO, rw-r--r--
// Read and write: the open returns at once, where a write-only open waits for a reader.
constexpr std::intptr_t kReadWrite = 2;

std::intptr_t Address(const std::string& text) { return reinterpret_cast<std::intptr_t>(text.c_str()); }

}  // namespace

HeldFifo::HeldFifo(const std::filesystem::path& path) {
    const auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return;
    char* unixPath = convert(path.c_str());
    if (!unixPath) return;
    unixPath_ = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    if (LinuxCall(kLinuxMknod, Address(unixPath_), kFifoMode, 0) != 0) {
        unixPath_.clear();
        return;
    }
    descriptor_ = LinuxCall(kLinuxOpen, Address(unixPath_), kReadWrite, 0);
}

HeldFifo::~HeldFifo() {
    if (descriptor_ >= 0) LinuxCall(kLinuxClose, descriptor_, 0, 0);
    if (!unixPath_.empty()) LinuxCall(kLinuxUnlink, Address(unixPath_), 0, 0);
}

}  // namespace qm::test
