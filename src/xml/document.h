// The XML document server.xml is read and written with. It keeps the
// decoded text of the file beside the node tree, so that saving writes the
// file back as the user wrote it and changes only what was set: attribute
// values and the declaration.
//
// Error convention: loading and saving return a result that carries a
// reason text on failure; queries that may find nothing return
// std::optional; mutators return false and fill a reason. Nothing here
// throws for bad input. A node id that did not come from the same document
// is a programming error and throws std::out_of_range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::xml {

enum class XmlNodeKind { Document, Element, Text, CData, Comment, ProcessingInstruction };

enum class XmlNodeId : std::uint32_t {};

// A name or value read from the document: a view of text the document
// keeps, valid while the document lives and stays where it is. It converts
// to std::string for a caller that wants its own copy.
class XmlText : public std::string_view {
public:
    using std::string_view::string_view;
    constexpr XmlText(std::string_view text) : std::string_view(text) {}
    operator std::string() const { return std::string(data(), size()); }
};

struct LoadResult;

// The bytes of a saved document, or why it could not be written.
struct SaveResult {
    std::string bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

class XmlDocument {
public:
    XmlNodeId DocumentNode() const { return XmlNodeId{0}; }

    // Child nodes of every kind in document order. The declaration, when the
    // file has one, is the document node's first child: a processing
    // instruction named "xml". A DOCTYPE is not a node.
    std::vector<XmlNodeId> ChildNodes(XmlNodeId parent) const;
    std::optional<XmlNodeId> FirstChild(XmlNodeId parent) const;
    std::optional<XmlNodeId> NextSibling(XmlNodeId node) const;
    std::optional<XmlNodeId> Parent(XmlNodeId node) const;

    XmlNodeKind Kind(XmlNodeId node) const;
    // Qualified name of an element, target of a processing instruction, or
    // "#document", "#text", "#cdata-section", "#comment".
    XmlText NodeName(XmlNodeId node) const;
    // The part after the prefix; empty for text, CDATA and comments.
    std::string_view LocalName(XmlNodeId node) const;
    // From the xmlns declarations in scope; empty when the element has none.
    XmlText NamespaceUri(XmlNodeId node) const;
    // Text of text, CDATA and comment nodes and the data of a processing
    // instruction, references resolved and line ends normalised to "\n".
    XmlText Value(XmlNodeId node) const;

    // Attributes by qualified name; a missing attribute (or a node that is
    // not an element) yields nothing, never an empty text.
    bool HasAttribute(XmlNodeId element, std::string_view name) const;
    std::optional<std::string> GetAttribute(XmlNodeId element, std::string_view name) const;
    std::vector<std::string> AttributeNames(XmlNodeId element) const;

    // Changes the value of an attribute where it stands; an attribute the
    // element lacks is added after its last one, quoted with '"'. Namespace
    // declarations set this way do not change the names already resolved.
    [[nodiscard]] bool SetAttribute(XmlNodeId element, std::string_view name, std::string_view value,
                                    std::string& reason);

    // Makes the declaration read version="1.0" encoding="GB2312", followed by
    // the standalone item of the file's own declaration when it had one; a
    // file without a declaration gets one as its first line.
    void SetGb2312Declaration();

    // The file as loaded with the changes applied, encoded in GB2312 without
    // a byte order mark. Characters GB2312 lacks become character references
    // in attribute values and text; anywhere else they refuse the save. Also
    // refused while the declaration names another encoding.
    [[nodiscard]] SaveResult SaveAsGb2312() const;

    // What the bytes were read as ("UTF-8", "UTF-16LE", "GBK", ...).
    const std::string& SourceEncoding() const { return sourceEncoding_; }

private:
    friend class XmlParser;
    friend LoadResult ParseXmlDocument(std::string utf8Source, std::string sourceEncoding);
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Where a piece of text is kept. Most names and values are stretches of
    // source_ as they stand; a value whose references or line ends had to be
    // rewritten lives in resolved_, a value set after loading in setTexts_,
    // and the names the document gives its nodes in a fixed table.
    enum Store : std::uint32_t { kSource, kResolved, kSet, kFixed };
    struct TextRef {
        std::uint32_t offset = 0;  // for kSet and kFixed, which of them
        std::uint32_t length : 30 = 0;
        std::uint32_t store : 2 = kFixed;
    };

    // The kFixed texts.
    enum FixedText : std::uint32_t {
        kNoText,
        kDocumentName,
        kTextName,
        kCommentName,
        kCDataName,
        kXmlName,
        kXmlNamespace,
        kXmlnsNamespace
    };
    static constexpr std::string_view kFixedTexts[] = {"",
                                                       "#document",
                                                       "#text",
                                                       "#comment",
                                                       "#cdata-section",
                                                       "xml",
                                                       "http://www.w3.org/XML/1998/namespace",
                                                       "http://www.w3.org/2000/xmlns/"};
    static TextRef Fixed(FixedText which) {
        TextRef text;
        text.offset = which;
        text.length = static_cast<std::uint32_t>(kFixedTexts[which].size());
        return text;
    }

    struct Attribute {
        TextRef name;
        TextRef value;
        // Where the value stands in source_, between its quotes. An added
        // attribute has an empty span at the element's insertion point.
        std::uint32_t valueBegin = 0;
        std::uint32_t valueEnd = 0;
        char quote = '"';
        bool changed = false;
        bool added = false;
    };

    struct Node {
        XmlNodeKind kind = XmlNodeKind::Document;
        std::uint32_t parent = kNone;
        std::uint32_t firstChild = kNone;
        std::uint32_t lastChild = kNone;
        std::uint32_t nextSibling = kNone;
        TextRef name;
        std::uint32_t localNameStart = 0;
        TextRef namespaceUri;
        TextRef value;
        // The element's attributes are attributes_[firstAttribute, + attributeCount).
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
        // Elements: rawBegin is right after the last attribute of the start
        // tag, where an added one goes. Text: the raw text in source_, where a
        // save may write character references.
        std::uint32_t rawBegin = 0;
        std::uint32_t rawEnd = 0;
    };

    struct Span {
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    const Node& NodeAt(XmlNodeId id) const { return nodes_.at(static_cast<std::uint32_t>(id)); }
    XmlText View(TextRef text) const;
    TextRef KeepSetText(std::string_view text);
    const Attribute* FindAttribute(XmlNodeId element, std::string_view name) const;
    std::uint32_t AppendNode(XmlNodeKind kind, std::uint32_t parent);
    bool DeclarationNamesGb2312() const;
    std::string LineEnding() const;
    // Stretches of source_ where XML allows character references (attribute
    // values and text content), in order.
    std::vector<Span> ReferenceSpans() const;

    std::string source_;
    std::string sourceEncoding_;
    std::string resolved_;
    std::deque<std::string> setTexts_;
    std::vector<Node> nodes_;
    std::vector<Attribute> attributes_;
    // Elements with a changed or added attribute, for the save to visit.
    std::vector<std::uint32_t> changedElements_;
    std::optional<Span> sourceDeclaration_;
    std::string sourceDeclaredEncoding_;
    std::optional<std::string> sourceStandalone_;
    bool declarationChanged_ = false;
};

struct LoadResult {
    std::optional<XmlDocument> document;
    std::string error;  // why loading failed; empty on success
    bool ok() const { return document.has_value(); }
};

// Reads a whole document from the bytes of a file.
[[nodiscard]] LoadResult LoadXmlDocument(std::string_view bytes);

}  // namespace qm::xml
