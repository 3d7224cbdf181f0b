#include "xml/xml_file.h"

#include "xml/limits.h"

namespace qm::xml {

LoadResult LoadXmlFile(FileInspector& files, const std::string& path) {
    LoadResult result;
    // One byte past the limit tells a file over it from one just at it.
    const std::optional<std::string> bytes = files.ReadHead(path, kMaxDocumentBytes + 1);
    if (!bytes) {
        result.error = "cannot open " + path;
        return result;
    }
    if (bytes->size() > kMaxDocumentBytes) {
        result.error = path + " is larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MB";
        return result;
    }
    result = LoadXmlDocument(*bytes);
    if (!result.ok()) result.error = path + ": " + result.error;
    return result;
}

ReplaceOutcome SaveXmlFile(const XmlDocument& document, const std::string& path, FileReplacer& replacer,
                           std::string& reason) {
    SaveResult saved = document.SaveAsGb2312();
    if (!saved.ok()) {
        reason = std::move(saved.error);
        return ReplaceOutcome::Failed;
    }
    return replacer.Replace(path, saved.bytes, reason);
}

}  // namespace qm::xml
