// The well-formedness parser that builds an XmlDocument from decoded text.
// It walks the text once with an explicit stack of open elements, so deep
// nesting costs heap, not call stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "xml/document.h"
#include "xml/references.h"

namespace qm::xml {

[[nodiscard]] LoadResult ParseXmlDocument(std::string utf8Source, std::string sourceEncoding);

class XmlParser {
public:
    explicit XmlParser(XmlDocument& document) : doc_(document), src_(document.source_) {}
    // On failure error says where and why.
    [[nodiscard]] bool Parse(std::string& error);

private:
    using TextRef = XmlDocument::TextRef;
    struct OpenElement {
        std::uint32_t node;
        std::size_t bindingMark;
        std::string_view name;
    };
    struct RawAttribute {
        std::string_view name;
        std::size_t valueBegin;
        std::size_t valueEnd;
        char quote;
        // Without references, tabs or line ends the value is its raw text.
        bool plain;
        // Neither prefixed nor a namespace declaration: in no namespace.
        bool plainName;
    };

    bool Fail(std::size_t offset, std::string message);
    std::uint32_t CurrentParent() const;
    bool At(std::string_view token) const { return src_.compare(pos_, token.size(), token) == 0; }
    bool SkipSpace();
    std::size_t ScanName(std::size_t from) const;
    // Also tells whether the name holds a colon.
    std::size_t ScanName(std::size_t from, bool& colon) const;
    std::size_t ScanAnyName(std::size_t from, bool& colon) const;
    bool ExpectQuoted(std::size_t& begin, std::size_t& end);

    TextRef SourceText(std::size_t begin, std::size_t end) const;
    TextRef ResolvedSince(std::size_t mark) const;
    // Resolves src_[begin, end) into the document's resolved texts.
    bool Resolve(std::size_t begin, std::size_t end, CharacterDataKind kind, TextRef& text);
    TextRef LineEndsNormalized(std::size_t begin, std::size_t end);

    bool ParseDeclaration();
    bool ParseDoctype();
    bool SkipInternalSubset();
    bool ParseComment(bool makeNode);
    bool ParseProcessingInstruction(bool makeNode);
    bool ParseCData();
    bool ParseText();
    bool ParseStartTag();
    bool ParseEndTag();

    bool ReadAttributes(bool& selfClosing);
    bool CheckUniqueAttributes(std::uint32_t element, std::size_t tagOffset);
    bool BindNamespaces(std::size_t tagOffset);
    bool ResolveName(std::string_view name, bool isAttribute, std::size_t offset, std::uint32_t& localStart,
                     TextRef& uri);
    void UnbindTo(std::size_t mark);

    XmlDocument& doc_;
    const std::string& src_;
    std::size_t pos_ = 0;
    std::vector<OpenElement> open_;
    bool seenRoot_ = false;
    bool seenDoctype_ = false;
    std::unordered_set<std::string> declaredEntities_;
    // The attributes of the start tag being read; kept to reuse its memory.
    std::vector<RawAttribute> raw_;
    bool declaresNamespaces_ = false;
    // Prefix to the URIs it is bound to, innermost last; "" is the default.
    std::unordered_map<std::string, std::vector<TextRef>> bindings_;
    std::vector<std::string> bindingLog_;
    std::string error_;
};

}  // namespace qm::xml
