#pragma once

// One file out of a jar (a zip archive), for the version Tomcat keeps in
// lib\catalina.jar.

#include <optional>
#include <string>
#include <string_view>

namespace qm::tomcat {

// The contents of the entry called name (with / between directories) in the
// archive's bytes, stored or deflated; nothing when the archive is damaged,
// holds no such entry, uses what this reader does not (zip64, another
// method), or the entry is over maxSize bytes. Deflated entries need zlib:
// a build without it reads only stored ones.
std::optional<std::string> JarEntry(std::string_view jar, std::string_view name, std::size_t maxSize);

}  // namespace qm::tomcat
