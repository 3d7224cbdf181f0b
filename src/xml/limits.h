// How much the XML document accepts. A server.xml is a few kilobytes; the
// limits only keep hostile or broken files from exhausting memory or time.
#pragma once

#include <cstddef>

namespace qm::xml {

// Already a thousand times any real server.xml; a larger file takes seconds
// and a gigabyte of memory to read.
inline constexpr std::size_t kMaxDocumentBytes = 16u * 1024u * 1024u;
inline constexpr std::size_t kMaxNestingDepth = 10000;
inline constexpr std::size_t kMaxAttributesPerElement = 10000;

}  // namespace qm::xml
