// Port numbers as the port page takes them from the user and as the
// diagnosis reads them from server.xml.
#pragma once

#include <optional>
#include <string_view>

namespace qm::text {

inline constexpr unsigned kHighestPort = 65535;

// The value of decimal digits, leading zeros counting for nothing; nothing
// when a character is not a digit or the value is above kHighestPort. No
// digits at all is 0.
std::optional<unsigned> PortValue(std::string_view digits);

// The port check of the port page: every character below 33 trimmed from
// both ends, then nothing but ASCII digits. Empty text passes.
bool IsNumber(std::string_view text);

// A port as Tomcat reads it from server.xml: digits, blanks around them
// allowed, at most five of them.
std::optional<unsigned> PortNumber(std::string_view text);

}  // namespace qm::text
