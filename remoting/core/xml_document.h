#pragma once
// The one implementation of the framework's XML interfaces, over the document tree of
// platform/xml. The class names are the framework's own.

#include <memory>

#include "platform/rtl/object.h"
#include "platform/rtl/string_list.h"
#include "platform/xml/xml_dom.h"
#include "remoting/core/xml_interfaces.h"

namespace vgl {

/// A new, empty document (no root element, no declaration): call New, SetXML or a load first.
IXMLDocumentPtr CreateROXmlDocument();
/// As above, with limits for parsing outside input: a document type declaration can be refused
/// (SOAP messages must not carry one) and the input size capped.
IXMLDocumentPtr CreateROXmlDocument(const TXmlParseOptions& options);

/// An entry of the lookup cache: the node whose attribute value it is filed under. It holds the
/// tree node, not a wrapper, so the cache owned by a document never keeps that document alive;
/// each lookup makes a new wrapper.
class TROMSXMLCacheNode : public TObject {
public:
    explicit TROMSXMLCacheNode(TXmlNodeRef node) : fNode(node) {}
    String ClassName() const override { return u"TROMSXMLCacheNode"; }
    TXmlNodeRef fNode;
};

class TROMSXMLDocument : public IXMLDocument,
                         public IXMLDocumentCache,
                         public std::enable_shared_from_this<TROMSXMLDocument> {
public:
    explicit TROMSXMLDocument(const TXmlParseOptions& options = {});
    ~TROMSXMLDocument() override;
    TROMSXMLDocument(const TROMSXMLDocument&) = delete;
    TROMSXMLDocument& operator=(const TROMSXMLDocument&) = delete;

    IXMLNodePtr GetDocumentNode() override;
    void* GetDocumentRef() override { return nullptr; }
    void New(const String& rootName = {}, bool utf16 = false, const String& nameSpace = {}) override;
    void SaveToStream(TStream& stream) override;
    void SaveToFile(const String& fileName) override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const String& fileName) override;
    String GetXML() override;
    void SetXML(const String& xml) override;
    String Transform(const String& styleSheet) override;
    void TransformToStream(const String& styleSheet, TStream& stream) override;

    void EnableCache(const String& attributeName) override;
    IXMLNodePtr GetCachedNode(const String& value) override;
    void ClearCache() override;

    TXmlDom& Dom() { return fDocument; }
    /// A wrapper of `node` of this document; nil for the empty handle.
    IXMLNodePtr Wrap(TXmlNodeRef node);

private:
    TXmlDom fDocument;
    /// Attribute values with TROMSXMLCacheNode entries (owned); made by EnableCache.
    std::unique_ptr<TStringList> fValueList;
    TXmlParseOptions fOptions;
};

class TROMSXMLNode : public IXMLNode {
public:
    TROMSXMLNode(std::shared_ptr<TROMSXMLDocument> doc, TXmlNodeRef node);

    String GetName() const override;
    String GetLocalName() const override;
    void* GetRef() const override { return fNode.Raw(); }
    IXMLNodePtr GetParent() const override;
    Variant GetValue() const override;
    void SetValue(const Variant& value) override;
    void SetValueUtf8(std::string_view text) override;
    String GetXML() const override;
    IXMLNodePtr GetAttributes(int index) const override;
    int GetAttributeCount() const override;
    IXMLNodePtr GetChildren(int index) const override;
    int GetChildrenCount() const override;
    IXMLNodePtr Add(const String& name, const String& nameSpace = {}) override;
    IXMLNodePtr AddXml(const String& xml) override;
    IXMLNodePtr AddAttribute(const String& name, const Variant& value, bool returnNode = false) override;
    IXMLNodePtr AddCData(const String& text) override;
    void Delete(int index) override;
    void Remove(const IXMLNodePtr& node) override;
    IXMLNodePtr GetNodeByName(const String& name, int startIndex = 0, bool localName = false) const override;
    Variant GetNodeValue(const String& name, const Variant& defaultValue) const override;
    IXMLNodePtr GetAttributeByName(const String& name) const override;
    Variant GetAttributeValue(const String& name, const Variant& defaultValue) const override;
    IXMLNodeListPtr GetNodesByName(const String& path) const override;
    IXMLNodePtr GetAttributeByValue(const String& name, const String& value) const override;
    IXMLNodePtr GetNodeByAttribute(const String& attributeName, const String& value) const override;
    IXMLNodePtr GetFirstChild() const override;
    IXMLNodePtr GetNextSibling() const override;
    String GetNamespace() const override;
    IXMLDocumentPtr GetOwnerDocument() const override { return fDoc; }
    String GetCDataValue() const override;

    TXmlNodeRef Node() const { return fNode; }
    const TROMSXMLDocument* Document() const { return fDoc.get(); }

private:
    TXmlDom& Dom() const { return fDoc->Dom(); }
    IXMLNodePtr Wrap(TXmlNodeRef node) const { return fDoc->Wrap(node); }

    TXmlNodeRef fNode;
    std::shared_ptr<TROMSXMLDocument> fDoc;
};

class TROMSXMLNodeList : public IXMLNodeList {
public:
    TROMSXMLNodeList(std::shared_ptr<TROMSXMLDocument> doc, std::vector<TXmlNodeRef> nodes)
        : fNodeList(std::move(nodes)), fDoc(std::move(doc)) {}
    IXMLNodePtr GetNodes(int index) const override;
    int GetCount() const override { return int(fNodeList.size()); }

private:
    std::vector<TXmlNodeRef> fNodeList;
    std::shared_ptr<TROMSXMLDocument> fDoc;
};

} // namespace vgl
