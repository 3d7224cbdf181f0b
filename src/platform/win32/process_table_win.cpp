#include "platform/win32/process_table_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <tlhelp32.h>

namespace qm::win32 {
namespace {

// The full-access mask of the older headers: newer systems' PROCESS_ALL_ACCESS
// asks for rights that older ones refuse outright.
constexpr DWORD kFullAccess = 0x1F0FFF;
constexpr UINT kEndedExitCode = 0xFFFFFFFF;
// Long enough for any path the system can start a program from.
constexpr DWORD kLongestPath = 32768;

class ToolhelpProcess : public OpenedProcess {
public:
    explicit ToolhelpProcess(UniqueKernelHandle handle) : handle_(std::move(handle)) {}

    std::optional<std::string> ImagePath() override { return ImagePathOf(handle_.get()); }

    bool WaitForExit(std::chrono::milliseconds bound) override {
        return WaitForSingleObject(handle_.get(), static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
    }

private:
    UniqueKernelHandle handle_;
};

}  // namespace

std::vector<ProcessEntry> ToolhelpProcessTable::Snapshot() {
    std::vector<ProcessEntry> entries;
    const UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        entries.push_back({entry.th32ProcessID, Narrow(entry.szExeFile)});
    return entries;
}

std::unique_ptr<OpenedProcess> ToolhelpProcessTable::Open(std::uint32_t id) {
    UniqueKernelHandle handle(OpenProcess(kFullAccess, FALSE, id));
    if (!handle) return nullptr;
    return std::make_unique<ToolhelpProcess>(std::move(handle));
}

std::optional<std::uint64_t> StartTimeOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

std::optional<std::string> ImagePathOf(HANDLE process) {
    std::wstring path(kLongestPath, L'\0');
    DWORD length = kLongestPath;
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return std::nullopt;
    path.resize(length);
    return Narrow(path);
}

std::optional<std::string> ToolhelpProcessTable::ImagePath(std::uint32_t id) {
    const UniqueKernelHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!handle) return std::nullopt;
    return ImagePathOf(handle.get());
}

bool ToolhelpProcessTable::Terminate(std::uint32_t id) {
    const UniqueKernelHandle handle(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return handle && TerminateProcess(handle.get(), kEndedExitCode);
}

std::uint32_t ToolhelpProcessTable::OwnProcessId() const { return GetCurrentProcessId(); }

}  // namespace qm::win32
