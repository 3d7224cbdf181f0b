// Loading and saving a document by file path. Paths are UTF-8, as every
// text inside the program.
#pragma once

#include <string>

#include "platform/file_inspector.h"
#include "xml/document.h"
#include "platform/file_replacer.h"

namespace qm::xml {

// Reads path through files and loads what it holds. Fails (with a reason)
// for a missing or unreadable file and for a file over the size limit,
// without reading more than the limit.
[[nodiscard]] LoadResult LoadXmlFile(FileInspector& files, const std::string& path);

// Writes document.SaveAsGb2312() over path through replacer. When the
// document cannot be encoded nothing is written. Unless it is Replaced,
// reason says why not.
[[nodiscard]] ReplaceOutcome SaveXmlFile(const XmlDocument& document, const std::string& path, FileReplacer& replacer,
                                         std::string& reason);

}  // namespace qm::xml
