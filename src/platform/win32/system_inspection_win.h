#pragma once

#include "platform/system_inspection.h"
#include "platform/system_messages.h"
#include "platform/win32/file_inspector_win.h"

namespace qm::win32 {

// The diagnosis page's views of the machine through the Win32 API. Each opens
// what it asks with read or query rights only.

// Keys below HKEY_LOCAL_MACHINE opened with KEY_READ in the asked view.
class Win32RegistryReader final : public RegistryReader {
public:
    std::optional<std::string> ReadString(std::string_view keyPath, std::string_view name, RegistryView view) override;
    std::optional<std::uint32_t> ReadDword(std::string_view keyPath, std::string_view name, RegistryView view) override;
    std::optional<std::vector<std::string>> ReadMultiString(std::string_view keyPath, std::string_view name,
                                                            RegistryView view) override;
    bool KeyExists(std::string_view keyPath, RegistryView view) override;
};

// The service manager, connected with the rights to query and enumerate only.
class Win32ServiceInspector final : public ServiceInspector {
public:
    ServiceLookup Describe(std::string_view name) override;
    std::optional<std::vector<ServiceDescription>> DescribeAll() override;
};

// The TCP listener tables of IP Helper, and a test bind with Windows sockets.
class Win32NetworkInspector final : public NetworkInspector {
public:
    std::optional<std::vector<TcpListener>> Listeners() override;
    BindOutcome TryBind(std::uint16_t port) override;
};

// The system's process list; path and command line of the wanted processes
// read with query-limited and memory-read rights.
class Win32ProcessInspector final : public ProcessInspector {
public:
    std::vector<ProcessFacts> Processes(bool (*wanted)(std::string_view exeName)) override;
};

// The system's message table, in the user's language.
class Win32SystemMessages final : public SystemMessages {
public:
    std::optional<std::string> MessageOf(std::uint32_t code) override;
};

// The elevation of this process's token.
class Win32RightsInspector final : public RightsInspector {
public:
    std::optional<bool> IsElevated() override;
};

}  // namespace qm::win32
