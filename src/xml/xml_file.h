// Loading and saving a document by file path. Paths are UTF-8, as every
// text inside the program.
#pragma once

#include <string>

#include "xml/document.h"
#include "xml/file_replacer.h"

namespace qm::xml {

// Fails (with a reason) for a missing or unreadable file and for a file
// over the size limit, without reading more than the limit.
LoadResult LoadXmlFile(const std::string& path);

// Writes document.SaveAsGb2312() over path through replacer. When the
// document cannot be encoded nothing is written. Unless it is Replaced,
// reason says why not.
ReplaceOutcome SaveXmlFile(const XmlDocument& document, const std::string& path, FileReplacer& replacer,
                           std::string& reason);

}  // namespace qm::xml
