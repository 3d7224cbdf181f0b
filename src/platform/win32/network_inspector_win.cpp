#include "platform/win32/system_inspection_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <vector>

#include "platform/win32/system_library.h"
#include "platform/win32/winsock_win.h"

namespace qm::win32 {
namespace {

constexpr std::size_t kTableBytes = 64 * 1024;

// The listener table of one address family: its raw bytes, nothing when the
// system refused it.
std::optional<std::vector<BYTE>> ListenerTable(ULONG family) {
    // Building the table is the costly part, so it is asked once into room
    // for a few thousand listeners; again only if they were more (or grew).
    std::vector<BYTE> table(kTableBytes);
    DWORD size = static_cast<DWORD>(table.size());
    DWORD status = 0;
    static const auto tcpTable = SystemFunction<decltype(GetExtendedTcpTable)>(L"iphlpapi.dll", "GetExtendedTcpTable");
    if (!tcpTable) return std::nullopt;
    while ((status = tcpTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0)) ==
           ERROR_INSUFFICIENT_BUFFER)
        table.resize(size);
    if (status != NO_ERROR) return std::nullopt;
    return table;
}

// The table holds the port in network byte order in the low 16 bits.
std::uint16_t PortOf(DWORD localPort) {
    return static_cast<std::uint16_t>(((localPort & 0xFF) << 8) | ((localPort >> 8) & 0xFF));
}

// The port as a socket address holds it: in network byte order.
u_short NetworkOrder(std::uint16_t port) { return static_cast<u_short>(((port & 0xFF) << 8) | (port >> 8)); }

template <typename Table>
void AddListeners(const std::vector<BYTE>& bytes, std::vector<TcpListener>& listeners) {
    const auto* table = reinterpret_cast<const Table*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        listeners.push_back({PortOf(table->table[i].dwLocalPort), table->table[i].dwOwningPid});
}

// Binds a fresh socket of the family to the port on every address of it, with
// no sharing of the port, and lets it go. Nothing when no such socket can be
// made (a system without IPv6).
std::optional<BindOutcome> BindOnce(int family, std::uint16_t port) {
    const UniqueSocket probe(Sockets().open(family, SOCK_STREAM, IPPROTO_TCP));
    if (!probe) return std::nullopt;
    const BOOL exclusive = TRUE;
    Sockets().setOption(probe.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                        sizeof exclusive);
    sockaddr_storage address{};
    int length = 0;
    if (family == AF_INET) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = INADDR_ANY;  // zero: the same in either byte order
        v4.sin_port = NetworkOrder(port);
        length = sizeof v4;
    } else {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        // The address stays all zeros: the unspecified address.
        v6.sin6_port = NetworkOrder(port);
        length = sizeof v6;
    }
    if (Sockets().bindTo(probe.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0)
        return BindOutcome::Free;
    return Sockets().lastError() == WSAEADDRINUSE ? BindOutcome::Taken : BindOutcome::Unknown;
}

}  // namespace

std::optional<std::vector<TcpListener>> Win32NetworkInspector::Listeners() {
    const auto v4 = ListenerTable(AF_INET);
    const auto v6 = ListenerTable(AF_INET6);
    if (!v4 && !v6) return std::nullopt;
    std::vector<TcpListener> listeners;
    if (v4) AddListeners<MIB_TCPTABLE_OWNER_PID>(*v4, listeners);
    if (v6) AddListeners<MIB_TCP6TABLE_OWNER_PID>(*v6, listeners);
    return listeners;
}

BindOutcome Win32NetworkInspector::TryBind(std::uint16_t port) {
    const WinsockSession winsock;
    if (!winsock) return BindOutcome::Unknown;
    const auto v4 = BindOnce(AF_INET, port);
    if (!v4 || *v4 != BindOutcome::Free) return v4.value_or(BindOutcome::Unknown);
    // Free for IPv4; a listener on IPv6 only holds the port all the same. Any
    // other answer of IPv6 (a system where it is switched off) changes nothing.
    return BindOnce(AF_INET6, port) == BindOutcome::Taken ? BindOutcome::Taken : BindOutcome::Free;
}

}  // namespace qm::win32
