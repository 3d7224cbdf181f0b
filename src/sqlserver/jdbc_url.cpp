#include "sqlserver/jdbc_url.h"

#include <vector>

#include "text/ascii.h"
#include "text/port_number.h"

namespace qm::sqlserver {
namespace {

using text::ContainsFolded;
using text::EqualFolded;
using text::StartsFolded;

constexpr std::string_view kMicrosoftPrefix = "jdbc:sqlserver://";
constexpr std::string_view kJtdsPrefix = "jdbc:jtds:sqlserver://";
constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kHidden = "***";

// One key=value of the property part; the offsets are those of the value in
// the whole URL, braces included, for the hiding.
struct Property {
    std::string_view key;
    std::string value;
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
    bool hasValue = false;
};

// The properties after the server part, split at ';'. Microsoft's driver
// takes a value in braces whole, ";" inside and "}}" for a brace; jTDS knows
// no braces. False for an unclosed brace; what was split so far stays.
bool SplitProperties(std::string_view url, std::size_t at, bool braces, std::vector<Property>& properties) {
    while (at < url.size()) {
        const std::size_t end = url.find_first_of(";=", at);
        if (end == std::string_view::npos || url[end] == ';') {
            const std::string_view lone = text::Trimmed(url.substr(at, end - at), kBlanks);
            if (!lone.empty()) properties.push_back({lone, {}, at, at, false});
            if (end == std::string_view::npos) return true;
            at = end + 1;
            continue;
        }
        Property property{text::Trimmed(url.substr(at, end - at), kBlanks), {}, end + 1, end + 1, true};
        std::size_t next = end + 1;
        while (next < url.size() && kBlanks.find(url[next]) != std::string_view::npos) ++next;
        if (braces && next < url.size() && url[next] == '{') {
            property.valueBegin = next;
            std::size_t inside = next + 1;
            for (;;) {
                const std::size_t close = url.find('}', inside);
                if (close == std::string_view::npos) {
                    property.valueEnd = url.size();
                    properties.push_back(property);
                    return false;
                }
                if (close + 1 < url.size() && url[close + 1] == '}') {
                    property.value.append(url.substr(inside, close + 1 - inside));
                    inside = close + 2;
                    continue;
                }
                property.value.append(url.substr(inside, close - inside));
                property.valueEnd = close + 1;
                break;
            }
            next = url.find(';', property.valueEnd);
        } else {
            next = url.find(';', end + 1);
            property.valueEnd = next == std::string_view::npos ? url.size() : next;
            property.value = std::string(text::Trimmed(url.substr(end + 1, property.valueEnd - end - 1), kBlanks));
        }
        properties.push_back(std::move(property));
        if (next == std::string_view::npos) return true;
        at = next + 1;
    }
    return true;
}

bool IsSecretKey(std::string_view key) {
    return ContainsFolded(key, "password") || ContainsFolded(key, "secret") || EqualFolded(key, "pwd");
}

std::optional<unsigned> PortIn(std::string_view digits) {
    digits = text::Trimmed(digits, kBlanks);
    if (digits.empty()) return std::nullopt;
    const std::optional<unsigned> port = text::PortValue(digits);
    if (!port || *port == 0) return std::nullopt;
    return port;
}

// host[\instance][:port] (either order of the last two), an IPv6 address in
// brackets; jTDS adds /database. False when a port is no number.
bool ReadServer(std::string_view server, JdbcUrl& url) {
    std::string_view rest = text::Trimmed(server, kBlanks);
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return false;
        url.host = std::string(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t end = std::min(rest.find_first_of("\\:/"), rest.size());
        url.host = std::string(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    if (url.driver == JdbcDriver::Jtds) {
        if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
            url.database = std::string(rest.substr(slash + 1));
            rest = rest.substr(0, slash);
        }
    }
    while (!rest.empty()) {
        const char mark = rest.front();
        rest.remove_prefix(1);
        const std::size_t end = std::min(rest.find_first_of("\\:"), rest.size());
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(end);
        if (mark == '\\') {
            url.instance = std::string(part);
        } else if (mark == ':') {
            url.port = PortIn(part);
            if (!url.port) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool Apply(const Property& property, JdbcUrl& url) {
    const std::string_view key = property.key;
    const std::string& value = property.value;
    const bool microsoft = url.driver == JdbcDriver::Microsoft;
    if (EqualFolded(key, "serverName") || (microsoft && EqualFolded(key, "server"))) {
        JdbcUrl server = url;
        server.port.reset();
        if (!ReadServer(value, server)) return false;
        url.host = server.host;
        if (!server.instance.empty()) url.instance = server.instance;
        if (server.port) url.port = server.port;
    } else if (EqualFolded(key, microsoft ? "instanceName" : "instance")) {
        url.instance = value;
    } else if (EqualFolded(key, "portNumber") || (microsoft && EqualFolded(key, "port"))) {
        url.port = PortIn(value);
        if (!url.port) return false;
    } else if (EqualFolded(key, "databaseName") || EqualFolded(key, "database")) {
        url.database = value;
    } else if (EqualFolded(key, "user") || (microsoft && EqualFolded(key, "userName"))) {
        url.user = value;
    } else if (microsoft && EqualFolded(key, "integratedSecurity")) {
        url.integratedSecurity = EqualFolded(value, "true");
    } else if (microsoft && EqualFolded(key, "authentication")) {
        url.authentication = value;
    } else if (microsoft && EqualFolded(key, "authenticationScheme")) {
        url.authenticationScheme = value;
    } else if (!microsoft && EqualFolded(key, "domain")) {
        url.domain = value;
    } else if (microsoft && EqualFolded(key, "encrypt")) {
        url.encrypt = value;
    } else if (microsoft && EqualFolded(key, "trustServerCertificate")) {
        url.trustServerCertificate = EqualFolded(value, "true");
    }
    return true;
}

}  // namespace

bool IsSqlServerJdbcUrl(std::string_view text) {
    text = text::Trimmed(text, kBlanks);
    return StartsFolded(text, kMicrosoftPrefix) || StartsFolded(text, kJtdsPrefix);
}

std::optional<JdbcUrl> ParseJdbcUrl(std::string_view whole) {
    const std::string_view url = text::Trimmed(whole, kBlanks);
    JdbcUrl parsed;
    std::size_t at = 0;
    if (StartsFolded(url, kMicrosoftPrefix)) {
        at = kMicrosoftPrefix.size();
    } else if (StartsFolded(url, kJtdsPrefix)) {
        parsed.driver = JdbcDriver::Jtds;
        at = kJtdsPrefix.size();
    } else {
        return std::nullopt;
    }
    const std::size_t serverEnd = std::min(url.find(';', at), url.size());
    if (!ReadServer(url.substr(at, serverEnd - at), parsed)) return std::nullopt;
    std::vector<Property> properties;
    if (serverEnd < url.size() &&
        !SplitProperties(url, serverEnd + 1, parsed.driver == JdbcDriver::Microsoft, properties))
        return std::nullopt;
    for (const Property& property : properties)
        if (!property.hasValue || property.key.empty() || !Apply(property, parsed)) return std::nullopt;
    return parsed;
}

std::string HidePasswords(std::string_view url) {
    std::vector<Property> properties;
    const std::size_t start = url.find(';');
    if (start == std::string_view::npos) return std::string(url);
    SplitProperties(url, start + 1, !StartsFolded(text::Trimmed(url, kBlanks), kJtdsPrefix), properties);
    std::string shown;
    std::size_t copied = 0;
    for (const Property& property : properties) {
        if (!property.hasValue || !IsSecretKey(property.key)) continue;
        shown.append(url.substr(copied, property.valueBegin - copied));
        shown.append(kHidden);
        copied = property.valueEnd;
    }
    shown.append(url.substr(copied));
    return shown;
}

bool IsThisMachine(std::string_view host, std::string_view computerName) {
    host = text::Trimmed(host, kBlanks);
    for (std::string_view local : {"", "localhost", "127.0.0.1", "::1", ".", "(local)"})
        if (EqualFolded(host, local)) return true;
    return !computerName.empty() && EqualFolded(host, computerName);
}

bool EncryptionOff(const JdbcUrl& url) {
    if (!url.encrypt) return false;
    return EqualFolded(*url.encrypt, "false") || EqualFolded(*url.encrypt, "no") ||
           EqualFolded(*url.encrypt, "optional");
}

bool UsesSqlLogin(const JdbcUrl& url, std::string_view userBeside) {
    if (url.user.empty() && userBeside.empty()) return false;
    if (url.driver == JdbcDriver::Jtds) return url.domain.empty();
    if (url.integratedSecurity) return false;
    // The other authentication modes sign in through a directory service, not
    // with a login of the server.
    return url.authentication.empty() || EqualFolded(url.authentication, "SqlPassword") ||
           EqualFolded(url.authentication, "NotSpecified");
}

}  // namespace qm::sqlserver
