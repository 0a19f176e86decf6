#pragma once
// The XML interfaces of the remoting framework: every piece of XML the framework reads or
// writes (envelopes, faults, XML-typed values, service definitions, the information pages)
// goes through IXMLDocument, IXMLNode and IXMLNodeList; IXMLDocumentCache looks elements up by
// an attribute value. Objects are held by std::shared_ptr; a node or list keeps its document
// alive. Strings are UTF-16; node values are Variants holding text.
//
// Node wrappers carry no identity: every navigation makes a new wrapper, so two wrappers of
// one node are two objects. Calls that name a missing node (a root element that does not
// exist, an index out of range) raise EROException "DOMElement is nil"; failures of the tree
// itself (deleting an index that does not exist, removing a node that is not a child, a path
// that is not an XPath expression) raise EXmlDomError.

#include <memory>
#include <string_view>

#include "platform/rtl/guid.h"
#include "platform/rtl/ustring.h"
#include "platform/rtl/variant.h"

namespace vgl {

class TStream;
class IXMLNode;
class IXMLNodeList;
class IXMLDocument;

using IXMLNodePtr = std::shared_ptr<IXMLNode>;
using IXMLNodeListPtr = std::shared_ptr<IXMLNodeList>;
using IXMLDocumentPtr = std::shared_ptr<IXMLDocument>;

constexpr TGUID IID_IXMLDocument{0x61715E40, 0xF8D5, 0x4A7E, {0xA0, 0x1B, 0x80, 0x11, 0x4E, 0xF3, 0x54, 0x28}};
constexpr TGUID IID_IXMLNode{0x8E0508D5, 0xEFC0, 0x4E1F, {0x9B, 0xC5, 0x2C, 0xBE, 0x35, 0x36, 0xD0, 0x08}};
constexpr TGUID IID_IXMLNodeList{0xC5393D52, 0x8CB1, 0x4E36, {0x9A, 0x8D, 0x25, 0x39, 0x6C, 0x3C, 0x67, 0x16}};
constexpr TGUID IID_IXMLDocumentCache{0xA643F584, 0xC3FB, 0x4D19, {0x86, 0x38, 0x65, 0x62, 0x85, 0x2F, 0x44, 0xF7}};

/// An element, attribute (namespace declarations included), text, CDATA or other node.
class IXMLNode {
public:
    virtual ~IXMLNode() = default;

    /// Qualified name (prefix:local); other nodes answer "#text", "#cdata-section", "#comment",
    /// "#document", a processing instruction its target.
    virtual String GetName() const = 0;
    /// The name without prefix.
    virtual String GetLocalName() const = 0;
    /// The underlying tree node (opaque; used to recognise a node in Remove).
    virtual void* GetRef() const = 0;
    /// The parent (the document node for the root element); nil for the document node and for
    /// attributes.
    virtual IXMLNodePtr GetParent() const = 0;
    /// The text of the node and all its descendants.
    virtual Variant GetValue() const = 0;
    /// Replaces the node's children by one text node holding the value as text. The value is
    /// always plain text: a text that looks like "<![CDATA[...]]>" is stored as it stands (use
    /// AddCData for a CDATA section).
    virtual void SetValue(const Variant& value) = 0;
    /// SetValue with a text given in UTF-8, for large values (an encoded document) that would
    /// otherwise be converted to UTF-16 and back. Bytes that are not well-formed UTF-8 raise
    /// EXmlDomError.
    virtual void SetValueUtf8(std::string_view text) = 0;
    /// The node and its subtree as XML text.
    virtual String GetXML() const = 0;
    /// The attribute at `index` (namespace declarations first); "DOMElement is nil" out of range.
    virtual IXMLNodePtr GetAttributes(int index) const = 0;
    /// The number of attributes, namespace declarations included; 0 for non-elements.
    virtual int GetAttributeCount() const = 0;
    /// The child at `index`, counting every kind of child; "DOMElement is nil" out of range.
    virtual IXMLNodePtr GetChildren(int index) const = 0;
    virtual int GetChildrenCount() const = 0;
    /// Appends a new element. `nameSpace` "" takes this node's namespace URI, or the text of
    /// its "xmlns" attribute when it has none; "*" means no namespace; anything else is the
    /// namespace URI of the element (`name` may carry a prefix).
    virtual IXMLNodePtr Add(const String& name, const String& nameSpace = {}) = 0;
    /// Parses `xml` as a document of its own and appends a copy of its root element; nil when
    /// the text has no root element; EROException "Invalid input" when it does not parse.
    virtual IXMLNodePtr AddXml(const String& xml) = 0;
    /// Sets an attribute (replacing one of the same qualified name); returns it when
    /// `returnNode` is set, else nil.
    virtual IXMLNodePtr AddAttribute(const String& name, const Variant& value, bool returnNode = false) = 0;
    /// Appends a CDATA section holding `text` exactly; a "]]>" in it is written split over two
    /// sections and reads back unchanged.
    virtual IXMLNodePtr AddCData(const String& text) = 0;
    /// Removes the child at `index`.
    virtual void Delete(int index) = 0;
    /// Removes `node` from this node's children.
    virtual void Remove(const IXMLNodePtr& node) = 0;
    /// With start index 0 and `localName` off: the first node selected by `name` as a path
    /// relative to this node (a plain name selects the first child element of that qualified
    /// name). Otherwise the first child from `startIndex` on whose local name (`localName` on)
    /// or qualified name equals `name` exactly. Nil when none.
    virtual IXMLNodePtr GetNodeByName(const String& name, int startIndex = 0, bool localName = false) const = 0;
    /// GetValue of GetNodeByName(name), or `defaultValue` when there is no such node.
    virtual Variant GetNodeValue(const String& name, const Variant& defaultValue) const = 0;
    /// The attribute with exactly this qualified name; nil when absent.
    virtual IXMLNodePtr GetAttributeByName(const String& name) const = 0;
    /// The value of that attribute, or `defaultValue` when absent.
    virtual Variant GetAttributeValue(const String& name, const Variant& defaultValue) const = 0;
    /// All nodes selected by `path` relative to this node (a plain name: the child elements of
    /// that qualified name); never nil.
    virtual IXMLNodeListPtr GetNodesByName(const String& path) const = 0;
    /// The first own attribute whose name and value equal the given ones (case-sensitive).
    virtual IXMLNodePtr GetAttributeByValue(const String& name, const String& value) const = 0;
    /// The first child that has an attribute `attributeName` whose value equals `value`.
    virtual IXMLNodePtr GetNodeByAttribute(const String& attributeName, const String& value) const = 0;
    virtual IXMLNodePtr GetFirstChild() const = 0;
    virtual IXMLNodePtr GetNextSibling() const = 0;
    /// The namespace URI; empty when none.
    virtual String GetNamespace() const = 0;
    virtual IXMLDocumentPtr GetOwnerDocument() const = 0;
    /// A CDATA section's text; for a node whose first child is a CDATA section, the node's
    /// whole text; otherwise empty.
    virtual String GetCDataValue() const = 0;
};

/// The result of a selection.
class IXMLNodeList {
public:
    virtual ~IXMLNodeList() = default;
    /// "DOMElement is nil" out of range.
    virtual IXMLNodePtr GetNodes(int index) const = 0;
    virtual int GetCount() const = 0;
};

class IXMLDocument {
public:
    virtual ~IXMLDocument() = default;

    /// The root element; "DOMElement is nil" when the document has none.
    virtual IXMLNodePtr GetDocumentNode() = 0;
    /// Always nil.
    virtual void* GetDocumentRef() = 0;
    /// Empties the document, then adds the root element `rootName` (in `nameSpace` when that is
    /// not empty; none for an empty name) and the declaration version "1.0" with encoding
    /// "utf-8", or "utf-16" when `utf16` is set.
    virtual void New(const String& rootName = {}, bool utf16 = false, const String& nameSpace = {}) = 0;
    /// Writes the document at the stream's position: UTF-8 (UTF-16 LE with a byte-order mark
    /// when the declaration names utf-16), the declaration and every top-level node each
    /// followed by CR LF, no indentation.
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void SaveToFile(const String& fileName) = 0;
    /// Loads the whole stream from position 0. A parse failure raises EROException "Cannot load
    /// XML document.\rReason: %s\rLine: %d\rPosition: %d"; the document then stays as it was.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void LoadFromFile(const String& fileName) = 0;
    /// The whole document as XML text.
    virtual String GetXML() = 0;
    /// Replaces the document by the parsed text; EROException "Invalid input" when it does not
    /// parse.
    virtual void SetXML(const String& xml) = 0;
    /// Applies an XSLT 1.0 stylesheet and returns the output text. A stylesheet that does not
    /// load raises EROException "Couldn't load XSL stylesheet"; a failing run raises EXmlDomError.
    virtual String Transform(const String& styleSheet) = 0;
    /// Applies the stylesheet and saves the resulting document into the stream.
    virtual void TransformToStream(const String& styleSheet, TStream& stream) = 0;
};

/// Finds elements by the value of one attribute (the SOAP message resolves "href" references
/// through the attribute "id").
class IXMLDocumentCache {
public:
    virtual ~IXMLDocumentCache() = default;
    /// Indexes every element below the root element (not the root itself) that has the
    /// attribute `attributeName`, by its value.
    virtual void EnableCache(const String& attributeName) = 0;
    /// The element whose indexed attribute has `value`, compared without regard to case; nil
    /// when there is no index or no such element.
    virtual IXMLNodePtr GetCachedNode(const String& value) = 0;
    virtual void ClearCache() = 0;
};

} // namespace vgl
