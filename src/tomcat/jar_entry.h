#pragma once

// One file out of a jar (a zip archive), for the version Tomcat keeps in
// lib\catalina.jar.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::tomcat {

// The contents of the entry called name (with / between directories) in the
// archive's bytes, stored or deflated; nothing when the archive is damaged,
// holds no such entry, uses what this reader does not (zip64, another
// method), or the entry is over maxSize bytes. Deflated entries need zlib:
// a build without it reads only stored ones.
std::optional<std::string> JarEntry(std::string_view jar, std::string_view name, std::size_t maxSize);

// An entry as an archive's central directory lists it, with where its data
// lies in the whole file.
struct ArchiveEntry {
    std::string name;
    std::uint16_t method = 0;
    bool encrypted = false;
    std::uint64_t localHeader = 0;  // offset of its local header in the file
    std::size_t packedSize = 0;
    std::size_t size = 0;
};

// The entries of an archive read from its last bytes alone (the central
// directory and the end record), so that a big web application archive is
// not read whole to learn what it holds; nothing when those bytes hold no
// whole directory.
std::optional<std::vector<ArchiveEntry>> ArchiveDirectory(std::string_view tail);

// How many of the archive's first bytes hold the whole of the entry: its
// local header may carry up to 64 KB of extra fields.
std::uint64_t BytesUpToEntry(const ArchiveEntry& entry);

// The entry's contents out of the archive's first bytes, as JarEntry reads
// them; nothing when those bytes end before it, it is encrypted, or over maxSize.
std::optional<std::string> EntryContents(std::string_view head, const ArchiveEntry& entry, std::size_t maxSize);

}  // namespace qm::tomcat
