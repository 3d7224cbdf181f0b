#include "sqlserver/resolution_protocol.h"

#include <vector>

#include "text/ascii.h"
#include "text/port_number.h"

namespace qm::sqlserver {
namespace {

constexpr char kInstanceRequest = 0x04;
constexpr char kServerResponse = 0x05;
constexpr std::size_t kHeaderSize = 3;

std::vector<std::string_view> Fields(std::string_view data) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t end = std::min(data.find(';', at), data.size());
        fields.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

}  // namespace

std::string InstanceRequest(std::string_view instance) {
    std::string request(1, kInstanceRequest);
    request += instance;
    return request;
}

std::optional<unsigned> TcpPortInAnswer(std::string_view answer, std::string_view instance) {
    if (answer.size() < kHeaderSize || answer[0] != kServerResponse) return std::nullopt;
    const std::size_t length =
        static_cast<unsigned char>(answer[1]) | static_cast<std::size_t>(static_cast<unsigned char>(answer[2])) << 8;
    if (answer.size() - kHeaderSize < length) return std::nullopt;
    // The data is pairs of name and value; the list ends with an empty name.
    const std::vector<std::string_view> fields = Fields(answer.substr(kHeaderSize, length));
    std::optional<unsigned> port;
    bool sameInstance = false;
    for (std::size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
        if (text::EqualFolded(fields[i], "InstanceName")) sameInstance = text::EqualFolded(fields[i + 1], instance);
        if (text::EqualFolded(fields[i], "tcp")) port = text::PortNumber(fields[i + 1]);
    }
    if (!sameInstance || (port && *port == 0)) return std::nullopt;
    return port;
}

}  // namespace qm::sqlserver
