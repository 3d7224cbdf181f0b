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
  out.clear();
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\r') {
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      out += kind == CharacterDataKind::Text ? '\n' : ' ';
      continue;
    }
    if ((c == '\n' || c == '\t') && kind == CharacterDataKind::AttributeValue) {
      out += ' ';
      continue;
    }
    if (c != '&') {
      out += c;
      continue;
    }
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
      error = {i, "entity &" + std::string(body) + "; is declared in the DOCTYPE, but entities are not expanded"};
      return false;
    } else {
      error = {i, "undefined entity &" + std::string(body) + ";"};
      return false;
    }
    i = semicolon;
  }
  return true;
}

std::string NormalizeLineEnds(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      out += '\n';
    } else {
      out += raw[i];
    }
  }
  return out;
}

}  // namespace qm::xml
