#pragma once

// The two messages of the SQL Server Browser's resolution protocol that the
// JDBC drivers send to learn a named instance's port over UDP 1434.

#include <optional>
#include <string>
#include <string_view>

namespace qm::sqlserver {

inline constexpr unsigned kBrowserPort = 1434;

// CLNT_UCAST_INST as the drivers send it: the byte 0x04, then the instance's
// name, nothing after it.
std::string InstanceRequest(std::string_view instance);

// The TCP port in a SVR_RESP answer: 0x05, the length of the data in two
// bytes (low byte first), then "ServerName;S;InstanceName;I;...;tcp;PORT;;".
// Nothing for anything else, and for an answer that names no TCP port (the
// instance does not listen on TCP) or another instance.
std::optional<unsigned> TcpPortInAnswer(std::string_view answer, std::string_view instance);

}  // namespace qm::sqlserver
