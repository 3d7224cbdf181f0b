#include "xml/xml_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "xml/limits.h"

namespace qm::xml {
namespace {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    // The char8_t form makes the conversion UTF-8 on every platform, where a
    // plain char string would be read in the Windows code page.
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

LoadResult LoadXmlFile(const std::string& path) {
    LoadResult result;
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        result.error = "cannot open " + path;
        return result;
    }
    std::string bytes;
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxDocumentBytes) {
            result.error = path + " is larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MB";
            return result;
        }
    }
    if (in.bad()) {
        result.error = "cannot read " + path;
        return result;
    }
    result = LoadXmlDocument(bytes);
    if (!result.ok()) result.error = path + ": " + result.error;
    return result;
}

bool SaveXmlFile(const XmlDocument& document, const std::string& path, FileReplacer& replacer, std::string& reason) {
    SaveResult saved = document.SaveAsGb2312();
    if (!saved.ok()) {
        reason = std::move(saved.error);
        return false;
    }
    return replacer.Replace(path, saved.bytes, reason);
}

}  // namespace qm::xml
