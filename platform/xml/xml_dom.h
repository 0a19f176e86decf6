#pragma once
// An XML document tree: parsing, building, navigation, XPath selection and saving.
//
// The tree is kept by the XML library inside platform/xml; nothing of that library shows here.
// Nodes are named by TXmlNodeRef handles. A handle stays valid as long as its TXmlDom lives:
// nodes taken out of the tree (RemoveChild, SetText, ClearChildren) and the trees of earlier
// loads are kept until the TXmlDom is destroyed, so a handle held elsewhere never dangles.
//
// Parsing never touches the network or the file system: no DTD is loaded, entities are never
// replaced by their text (an entity reference stays a node of its own), external entities are
// not read, and the XML library's limits on nesting, text size and entity amplification hold.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// A failed tree operation: an index out of range, a node that is not a child, a path that is
/// no XPath expression, a name that cannot be an element or attribute name.
VGL_DECLARE_EXCEPTION(EXmlDomError, Exception);

enum class TXmlNodeKind {
    Element,
    Attribute,
    /// A namespace declaration (xmlns or xmlns:prefix), shown as an attribute of its element.
    NamespaceDeclaration,
    Text,
    CData,
    EntityReference,
    ProcessingInstruction,
    Comment,
    Document,
    DocumentType,
    Other,
};

/// A node of a TXmlDom. Two handles of one node compare equal. The empty handle is no node.
class TXmlNodeRef {
public:
    TXmlNodeRef() = default;
    explicit operator bool() const { return FNode != nullptr; }
    friend bool operator==(const TXmlNodeRef&, const TXmlNodeRef&) = default;
    /// The library's node; for a namespace declaration, the declaration itself.
    void* Raw() const { return FNode; }

private:
    friend class TXmlDom;
    TXmlNodeRef(void* node, void* element) : FNode(node), FElement(element) {}
    void* FNode = nullptr;
    void* FElement = nullptr; // the declaring element of a namespace declaration
};

struct TXmlParseOptions {
    /// Refuse a document that has a document type declaration (<!DOCTYPE ...>) at all.
    bool ProhibitDTD = false;
    /// Refuse input longer than this many bytes (0: no limit of this kind).
    std::size_t MaxBytes = 0;
};

struct TXmlParseError {
    /// The XML library's reason, without a trailing line break.
    String Reason;
    /// 1-based line and column of the place where the parser stopped.
    int Line = 0;
    int Column = 0;
};

class TXmlDom {
public:
    /// An empty document: a document node without children and without XML declaration.
    TXmlDom();
    ~TXmlDom();
    TXmlDom(const TXmlDom&) = delete;
    TXmlDom& operator=(const TXmlDom&) = delete;

    // ---- The document as a whole ------------------------------------------------------------

    /// Takes every child out of the document node and drops the XML declaration.
    void ClearChildren();
    /// The XML declaration written before the first node on saving; an empty version means none.
    void SetDeclaration(StringView version, StringView encoding);
    /// True when the declaration names UTF-16 (saving then writes UTF-16 LE with a byte-order mark).
    bool DeclaresUtf16() const;

    /// Replaces the document by the one parsed from `bytes` (encoding from a byte-order mark or
    /// the declaration, else UTF-8). On failure the document stays as it was and the error is
    /// returned.
    std::optional<TXmlParseError> Parse(std::span<const std::uint8_t> bytes, const TXmlParseOptions& options = {});
    /// As Parse, for text: an encoding named in its declaration is ignored.
    std::optional<TXmlParseError> ParseText(StringView text, const TXmlParseOptions& options = {});

    /// The document as bytes: the declaration when there is one (naming the encoding written),
    /// then every child of the document node, each followed by CR LF; UTF-8 unless the
    /// declaration names UTF-16. No indentation is added.
    std::vector<std::uint8_t> Save() const;
    /// The bytes of Save handed to `write` in pieces as they are made, so that a large document
    /// is not held a second time. An exception of `write` ends the save and leaves this call.
    void SaveTo(const std::function<void(std::string_view)>& write) const;
    /// The document (`node` empty or the document node: the declaration as declared, then the
    /// children each followed by CR LF) or one node with its subtree as XML text. An attribute
    /// reads name="value".
    String GetXML(TXmlNodeRef node = {}) const;

    TXmlNodeRef DocumentNode() const;
    /// The root element; empty when there is none.
    TXmlNodeRef DocumentElement() const;

    // ---- Reading nodes ----------------------------------------------------------------------

    TXmlNodeKind Kind(TXmlNodeRef node) const;
    /// Qualified name (prefix:local) of elements and attributes, "xmlns" or "xmlns:p" of a
    /// namespace declaration, the target of a processing instruction, "#text",
    /// "#cdata-section", "#comment", "#document" otherwise.
    String Name(TXmlNodeRef node) const;
    /// The name without prefix ("p" of "xmlns:p"); empty for nodes that have no name of their own.
    String LocalName(TXmlNodeRef node) const;
    /// The namespace URI; "http://www.w3.org/2000/xmlns/" for namespace declarations.
    String NamespaceURI(TXmlNodeRef node) const;
    /// The parent; empty for the document node, attributes and namespace declarations.
    TXmlNodeRef Parent(TXmlNodeRef node) const;
    /// Children of elements, attributes and the document node (entity references and document
    /// types show none).
    TXmlNodeRef FirstChild(TXmlNodeRef node) const;
    TXmlNodeRef NextSibling(TXmlNodeRef node) const;
    int ChildCount(TXmlNodeRef node) const;
    /// The child at `index`; empty when out of range.
    TXmlNodeRef Child(TXmlNodeRef node, int index) const;
    /// Namespace declarations first, then attributes, each in document order. 0 for non-elements.
    int AttributeCount(TXmlNodeRef node) const;
    /// The attribute at `index`; empty when out of range.
    TXmlNodeRef Attribute(TXmlNodeRef node, int index) const;
    /// The attribute (or namespace declaration) whose qualified name is `name`, exactly.
    TXmlNodeRef AttributeByName(TXmlNodeRef node, StringView name) const;
    /// The text of the node and its descendants (an attribute's value, a namespace URI, ...).
    String Text(TXmlNodeRef node) const;

    /// Nodes selected by `path` relative to `node`. A plain name (a qualified name without any
    /// other XPath syntax) selects the child elements of that qualified name, compared exactly;
    /// anything else is an XPath 1.0 expression in which the prefixes in scope at `node` may be
    /// used. `firstOnly` stops at the first node. An expression that is not a node set selects
    /// nothing; one that does not compile raises EXmlDomError.
    std::vector<TXmlNodeRef> Select(TXmlNodeRef node, StringView path, bool firstOnly) const;

    // ---- Changing nodes ---------------------------------------------------------------------

    /// Creates an element named `qualifiedName` and appends it to `parent` (an element or the
    /// document node). With `namespaceURI` the element lives in that namespace, declared on it
    /// unless a declaration of the same prefix and URI is in scope. Without one the element has
    /// no namespace: an unprefixed element below an in-scope default namespace gets xmlns="",
    /// and a prefix must be declared in scope (the element then takes that namespace).
    TXmlNodeRef AppendElement(TXmlNodeRef parent, StringView qualifiedName, const std::optional<String>& namespaceURI);
    /// Sets an attribute of `element`, replacing one of the same qualified name. "xmlns" and
    /// "xmlns:p" declare a namespace on the element; a prefix declared in scope puts the
    /// attribute in that namespace. Returns the attribute.
    TXmlNodeRef SetAttribute(TXmlNodeRef element, StringView qualifiedName, StringView value);
    /// Appends a CDATA section holding `text`; a "]]>" inside it is written split over two
    /// sections, so it reads back unchanged.
    TXmlNodeRef AppendCData(TXmlNodeRef parent, StringView text);
    /// Appends a deep copy of `node` of `source` (another or the same document) to `parent`.
    TXmlNodeRef AppendCopy(TXmlNodeRef parent, const TXmlDom& source, TXmlNodeRef node);
    /// Appends a processing instruction.
    TXmlNodeRef AppendProcessingInstruction(TXmlNodeRef parent, StringView target, StringView data);
    /// Elements, attributes and the document: replaces all children by one text node holding
    /// `text` (none for empty text). Text, CDATA, comment and processing-instruction nodes: the
    /// content. Namespace declarations cannot be changed (EXmlDomError).
    void SetText(TXmlNodeRef node, StringView text);
    /// SetText with the text in UTF-8, which spares a large text the conversions. Bytes that are
    /// not well-formed UTF-8 raise EXmlDomError and leave the node as it was.
    void SetTextUtf8(TXmlNodeRef node, std::string_view text);
    /// Takes `child` out of `parent`'s children; EXmlDomError when it is not one of them.
    void RemoveChild(TXmlNodeRef parent, TXmlNodeRef child);

    /// The library's document (for the XSLT functions of platform/xml).
    void* Raw() const;
    /// Takes over a document made by the XML library (for the XSLT functions of platform/xml).
    void Adopt(void* document);

private:
    void ReplaceText(TXmlNodeRef node, std::string_view utf8);
    std::optional<TXmlParseError> ParseBytes(const char* data, std::size_t size, bool ignoreEncoding,
                                             const TXmlParseOptions& options);

    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

} // namespace vgl
