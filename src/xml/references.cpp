#include "xml/references.h"

#include "xml/unicode.h"

namespace qm::xml {
namespace {

bool ParseCharacterReference(std::string_view body, char32_t& cp) {
    // body is what stands between "&#" and ";".
    const bool hex = !body.empty() && body[0] == 'x';
    const std::string_view digits = hex ? body.substr(1) : body;
    if (digits.empty() || digits.size() > 8) return false;
    char32_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return false;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (!IsXmlChar(value)) return false;
    cp = value;
    return true;
}

const char* PredefinedEntity(std::string_view name) {
    if (name == "lt") return "<";
    if (name == "gt") return ">";
    if (name == "amp") return "&";
    if (name == "apos") return "'";
    if (name == "quot") return "\"";
    return nullptr;
}

}  // namespace

bool ResolveCharacterData(std::string_view raw, CharacterDataKind kind,
                          const std::unordered_set<std::string>& declaredEntities, std::string& out,
                          ReferenceError& error) {
    const bool attribute = kind == CharacterDataKind::AttributeValue;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '&' && c != '\r' && (!attribute || (c != '\n' && c != '\t'))) continue;
        out.append(raw.data() + copied, i - copied);
        if (c == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            out += attribute ? ' ' : '\n';
        } else if (c != '&') {
            out += ' ';
        } else {
            const std::size_t semicolon = raw.find(';', i + 1);
            if (semicolon == std::string_view::npos) {
                error = {i, "'&' that does not start a reference"};
                return false;
            }
            const std::string_view body = raw.substr(i + 1, semicolon - i - 1);
            if (!body.empty() && body[0] == '#') {
                char32_t cp = 0;
                if (!ParseCharacterReference(body.substr(1), cp)) {
                    error = {i, "invalid character reference &" + std::string(body) + ";"};
                    return false;
                }
                AppendUtf8(out, cp);
            } else if (const char* replacement = PredefinedEntity(body)) {
                out += replacement;
            } else if (!IsXmlName(body)) {
                error = {i, "'&' that does not start a reference"};
                return false;
            } else if (declaredEntities.count(std::string(body)) != 0) {
                error = {
                    i, "entity &" + std::string(body) + "; is declared in the DOCTYPE, but entities are not expanded"};
                return false;
            } else {
                error = {i, "undefined entity &" + std::string(body) + ";"};
                return false;
            }
            i = semicolon;
        }
        copied = i + 1;
    }
    out.append(raw.data() + copied, raw.size() - copied);
    return true;
}

void AppendNormalizedLineEnds(std::string_view raw, std::string& out) {
    std::size_t copied = 0;
    for (std::size_t cr = raw.find('\r'); cr != std::string_view::npos; cr = raw.find('\r', copied)) {
        out.append(raw.data() + copied, cr - copied);
        out += '\n';
        copied = cr + 1 < raw.size() && raw[cr + 1] == '\n' ? cr + 2 : cr + 1;
    }
    out.append(raw.data() + copied, raw.size() - copied);
}

}  // namespace qm::xml
