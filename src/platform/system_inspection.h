#pragma once

// Read-only views of the machine for the diagnosis page. Nothing here
// changes a file, a registry value, a service or a process: each call only
// asks. Paths and texts are UTF-8.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_inspector.h"

namespace qm {

// Which half of the registry a 64-bit program looks at below
// HKEY_LOCAL_MACHINE\SOFTWARE.
enum class RegistryView { Native, Wow32 };

// Values below HKEY_LOCAL_MACHINE, opened for reading only.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); nothing when
    // the key or value is missing, refused, or of another type.
    virtual std::optional<std::string> ReadString(std::string_view keyPath, std::string_view name,
                                                  RegistryView view) = 0;
    // A REG_DWORD value; nothing as above.
    virtual std::optional<std::uint32_t> ReadDword(std::string_view keyPath, std::string_view name,
                                                   RegistryView view) = 0;
    // A REG_MULTI_SZ value's strings in order (empty ones left out); nothing
    // as above.
    virtual std::optional<std::vector<std::string>> ReadMultiString(std::string_view keyPath, std::string_view name,
                                                                    RegistryView view) = 0;
    // Whether the key can be opened for reading.
    virtual bool KeyExists(std::string_view keyPath, RegistryView view) = 0;
};

// A service as the service manager describes it.
struct ServiceDescription {
    std::string name;
    std::string binaryPath;   // the command line the manager starts, as configured
    std::uint32_t state = 0;  // SERVICE_STOPPED (1) ... SERVICE_PAUSED (7)
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;
    std::uint32_t processId = 0;  // 0 when not running
};

// What asking for one service gave: error 0 and the description, or the
// system's error code (1060, ERROR_SERVICE_DOES_NOT_EXIST: not installed;
// anything else: it could not be asked, such as 5 for access denied).
struct ServiceLookup {
    std::uint32_t error = 0;
    ServiceDescription service;
};

class ServiceInspector {
public:
    virtual ~ServiceInspector() = default;
    virtual ServiceLookup Describe(std::string_view name) = 0;
    // Every Win32 service of the machine with its program; nothing when the
    // service manager refuses the list.
    virtual std::optional<std::vector<ServiceDescription>> DescribeAll() = 0;
};

// A TCP port in the listening state, IPv4 or IPv6.
struct TcpListener {
    std::uint16_t port = 0;
    std::uint32_t ownerProcessId = 0;  // 0: the system did not say
};

enum class BindOutcome { Free, Taken, Unknown };

class NetworkInspector {
public:
    virtual ~NetworkInspector() = default;
    // The listeners of both address families; nothing when neither table
    // could be read.
    virtual std::optional<std::vector<TcpListener>> Listeners() = 0;
    // Tries to bind the port on every address and lets it go at once: Taken
    // only for "address in use", Unknown for any other failure.
    virtual BindOutcome TryBind(std::uint16_t port) = 0;
};

// What can be read of a running process without any right to change it.
struct ProcessFacts {
    std::uint32_t id = 0;
    std::string exeName;                     // file name as the process table lists it
    std::optional<std::string> imagePath;    // full path, when the process could be queried
    std::optional<std::string> commandLine;  // as the process was started, when readable
    std::uint64_t startTime = 0;             // when it started, in 100 ns since 1601; 0 when unknown
};

class ProcessInspector {
public:
    virtual ~ProcessInspector() = default;
    // Every process with name and id; path and command line filled only for
    // the processes for which wanted(exeName) is true, since reading them
    // costs a system call each.
    virtual std::vector<ProcessFacts> Processes(bool (*wanted)(std::string_view exeName)) = 0;
};

// The rights this program runs with.
class RightsInspector {
public:
    virtual ~RightsInspector() = default;
    // Whether the process token is elevated; nothing when it can't be read.
    virtual std::optional<bool> IsElevated() = 0;
};

}  // namespace qm
