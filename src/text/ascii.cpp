#include "text/ascii.h"

#include <algorithm>

namespace qm::text {
namespace {

bool SameFolded(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

}  // namespace

std::string AsciiLowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameFolded);
}

bool StartsFolded(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && EqualFolded(text.substr(0, start.size()), start);
}

bool EndsFolded(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && EqualFolded(text.substr(text.size() - end.size()), end);
}

bool ContainsFolded(std::string_view text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end(), SameFolded) != text.end();
}

std::string_view Trimmed(std::string_view text, std::string_view front, std::string_view back) {
    while (!text.empty() && front.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
    while (!text.empty() && back.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
    return text;
}

std::string_view TrimmedOfControls(std::string_view text) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

}  // namespace qm::text
