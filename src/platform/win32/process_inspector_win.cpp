#include "platform/win32/system_inspection_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstddef>

namespace qm::win32 {
namespace {

constexpr DWORD kLongestPath = 32768;

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// Looked up once: ntdll has no import library in every tool chain.
QueryInformationProcess NtQueryInformationProcessFunction() {
    static const auto function = reinterpret_cast<QueryInformationProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    return function;
}

std::optional<std::string> ImagePath(HANDLE process) {
    std::wstring path(kLongestPath, L'\0');
    DWORD size = kLongestPath;
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return std::nullopt;
    path.resize(size);
    return Narrow(path);
}

template <typename T>
bool ReadRemote(HANDLE process, const void* address, T& value) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, address, &value, sizeof value, &read) && read == sizeof value;
}

// The command line as the process was started, read from its environment
// block (PEB) and process parameters: the system offers no call for another
// process's command line that works everywhere.
std::optional<std::string> CommandLine(HANDLE process) {
    const auto query = NtQueryInformationProcessFunction();
    if (!query) return std::nullopt;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, &length) < 0 || !basic.PebBaseAddress)
        return std::nullopt;
    PRTL_USER_PROCESS_PARAMETERS parameters = nullptr;
    const auto* parametersField =
        reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + offsetof(PEB, ProcessParameters);
    if (!ReadRemote(process, parametersField, parameters) || !parameters) return std::nullopt;
    UNICODE_STRING commandLine{};
    const auto* commandLineField =
        reinterpret_cast<const BYTE*>(parameters) + offsetof(RTL_USER_PROCESS_PARAMETERS, CommandLine);
    if (!ReadRemote(process, commandLineField, commandLine)) return std::nullopt;
    if (!commandLine.Buffer || commandLine.Length == 0) return std::string();
    std::wstring text(commandLine.Length / sizeof(wchar_t), L'\0');
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, commandLine.Buffer, text.data(), text.size() * sizeof(wchar_t), &read) ||
        read != text.size() * sizeof(wchar_t))
        return std::nullopt;
    return Narrow(text);
}

void ReadDetails(ProcessFacts& facts) {
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, facts.id));
    // A process whose memory is closed to us may still tell its path.
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, facts.id));
    if (!process) return;
    facts.imagePath = ImagePath(process.get());
    facts.commandLine = CommandLine(process.get());
}

}  // namespace

std::vector<ProcessFacts> Win32ProcessInspector::Processes(bool (*wanted)(std::string_view exeName)) {
    std::vector<ProcessFacts> processes;
    const UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        ProcessFacts facts{entry.th32ProcessID, Narrow(entry.szExeFile), std::nullopt, std::nullopt};
        if (wanted && wanted(facts.exeName)) ReadDetails(facts);
        processes.push_back(std::move(facts));
    }
    return processes;
}

}  // namespace qm::win32
