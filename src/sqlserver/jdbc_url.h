#pragma once

// JDBC URLs of SQL Server as its two drivers read them: Microsoft's
// jdbc:sqlserver://host[\instance][:port][;key=value]... and jTDS's
// jdbc:jtds:sqlserver://host[:port][/database][;key=value]...
// No password leaves this unit: the parsed form holds none, and the text a
// row shows has every password replaced.

#include <optional>
#include <string>
#include <string_view>

namespace qm::sqlserver {

enum class JdbcDriver { Microsoft, Jtds };

struct JdbcUrl {
    JdbcDriver driver = JdbcDriver::Microsoft;
    std::string host;      // as written, brackets of an IPv6 address dropped; empty: none given
    std::string instance;  // empty: none named
    std::optional<unsigned> port;
    std::string database;
    std::string user;  // empty: none in the URL
    bool integratedSecurity = false;
    std::string authentication;        // Microsoft's authentication=, as written
    std::string authenticationScheme;  // Microsoft's authenticationScheme=, as written
    std::string domain;                // jTDS's domain=: a Windows login
    std::optional<std::string> encrypt;
    bool trustServerCertificate = false;
};

// The port either driver takes when neither a port nor an instance is named.
inline constexpr unsigned kDefaultSqlServerPort = 1433;

// Whether text begins like a URL of either driver, letter case aside.
bool IsSqlServerJdbcUrl(std::string_view text);

// The URL by its driver's rules; nothing when the driver would refuse it (a
// property without "=", a port that is no number, an unclosed brace, ...).
// Keys compare without letter case; a key given twice counts as written last.
std::optional<JdbcUrl> ParseJdbcUrl(std::string_view url);

// The URL with the value of every key that holds a password or a secret
// replaced by "***", also in a URL that does not parse.
std::string HidePasswords(std::string_view url);

// Whether a host names this machine: localhost, 127.0.0.1, ::1, ".",
// "(local)", the computer's name, or nothing (the drivers' localhost).
bool IsThisMachine(std::string_view host, std::string_view computerName);

// Whether encrypt= turns encryption off.
bool EncryptionOff(const JdbcUrl& url);

// Whether the URL logs in with a SQL Server login rather than as a Windows
// user: a user and no integrated security (Microsoft), a user and no domain (jTDS).
bool UsesSqlLogin(const JdbcUrl& url, std::string_view userBeside);

}  // namespace qm::sqlserver
