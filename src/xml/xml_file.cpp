#include "xml/xml_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "xml/limits.h"

namespace qm::xml {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    // The char8_t form makes the conversion UTF-8 on every platform, where a
    // plain char string would be read in the Windows code page.
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

LoadResult LoadXmlFile(const std::string& path) {
    LoadResult result;
    // C streams rather than iostreams: the latter bring the whole locale
    // machinery into the program for one read.
#ifdef _WIN32
    const std::unique_ptr<std::FILE, FileCloser> in(_wfopen(PathFromUtf8(path).c_str(), L"rb"));
#else
    const std::unique_ptr<std::FILE, FileCloser> in(std::fopen(PathFromUtf8(path).c_str(), "rb"));
#endif
    if (!in) {
        result.error = "cannot open " + path;
        return result;
    }
    std::string bytes;
    char buffer[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        bytes.append(buffer, got);
        if (bytes.size() > kMaxDocumentBytes) {
            result.error = path + " is larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MB";
            return result;
        }
    }
    if (std::ferror(in.get())) {
        result.error = "cannot read " + path;
        return result;
    }
    result = LoadXmlDocument(bytes);
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
