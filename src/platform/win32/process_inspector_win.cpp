#include "platform/win32/system_inspection_win.h"

#include "platform/win32/process_table_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace qm::win32 {
namespace {

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
// Room for the process list of a busy machine in the first call.
constexpr std::size_t kProcessListBytes = 512 * 1024;

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
using QuerySystemInformation = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);

// Looked up once: ntdll has no import library in every tool chain.
template <typename Function>
Function NtdllFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

QueryInformationProcess NtQueryInformationProcessFunction() {
    static const auto function = NtdllFunction<QueryInformationProcess>("NtQueryInformationProcess");
    return function;
}

// The system's process list, the one the toolhelp snapshot is made from. Read
// directly because walking a snapshot of 300 processes took 350-400 ms under
// Wine (each step maps the snapshot again), this list 35-40 ms.
// The entries hold pointers (their names point into the list itself), so the
// list is kept in a buffer aligned for them; empty when the call failed.
std::vector<ULONG_PTR> SystemProcessList() {
    static const auto query = NtdllFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query) return {};
    std::vector<ULONG_PTR> buffer(kProcessListBytes / sizeof(ULONG_PTR));
    for (;;) {
        ULONG needed = 0;
        const auto bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
        const NTSTATUS status = query(SystemProcessInformation, buffer.data(), bytes, &needed);
        if (status == kInfoLengthMismatch) {
            // Processes may start between two calls: ask for some more than said.
            buffer.resize((std::max<std::size_t>(needed, bytes) * 2) / sizeof(ULONG_PTR));
            continue;
        }
        if (status < 0) return {};
        return buffer;
    }
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
    facts.imagePath = ImagePathOf(process.get());
    facts.startTime = StartTimeOf(process.get()).value_or(0);
    facts.commandLine = CommandLine(process.get());
}

}  // namespace

std::vector<ProcessFacts> Win32ProcessInspector::Processes(bool (*wanted)(std::string_view exeName)) {
    std::vector<ProcessFacts> processes;
    const std::vector<ULONG_PTR> list = SystemProcessList();
    const auto* bytes = reinterpret_cast<const BYTE*>(list.data());
    const std::size_t size = list.size() * sizeof(ULONG_PTR);
    for (std::size_t at = 0; at + sizeof(SYSTEM_PROCESS_INFORMATION) <= size;) {
        const auto& entry = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(bytes + at);
        const std::wstring_view name(entry.ImageName.Buffer ? entry.ImageName.Buffer : L"",
                                     entry.ImageName.Length / sizeof(wchar_t));
        ProcessFacts facts{static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(entry.UniqueProcessId)), Narrow(name),
                           std::nullopt, std::nullopt, 0};
        if (wanted && wanted(facts.exeName)) ReadDetails(facts);
        processes.push_back(std::move(facts));
        if (entry.NextEntryOffset == 0) break;
        at += entry.NextEntryOffset;
    }
    return processes;
}

}  // namespace qm::win32
