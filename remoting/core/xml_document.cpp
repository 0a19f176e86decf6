#include "remoting/core/xml_document.h"

#include <algorithm>

#include "platform/rtl/streams.h"
#include "platform/xml/xslt_transform.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {
namespace {

constexpr const char16_t* SDOMElementIsNil = u"DOMElement is nil";
constexpr const char16_t* SInvalidInput = u"Invalid input";
constexpr const char16_t* SCannotLoadXml = u"Cannot load XML document.\rReason: %s\rLine: %d\rPosition: %d";
constexpr const char16_t* SCannotLoadXsl = u"Couldn't load XSL stylesheet";

[[noreturn]] void RaiseNil() {
    RaiseErrorMessage(SDOMElementIsNil);
}

} // namespace

IXMLDocumentPtr CreateROXmlDocument() {
    return std::make_shared<TROMSXMLDocument>();
}

IXMLDocumentPtr CreateROXmlDocument(const TXmlParseOptions& options) {
    return std::make_shared<TROMSXMLDocument>(options);
}

// ---- Document -----------------------------------------------------------------------------

TROMSXMLDocument::TROMSXMLDocument(const TXmlParseOptions& options) : fOptions(options) {}

TROMSXMLDocument::~TROMSXMLDocument() = default;

IXMLNodePtr TROMSXMLDocument::Wrap(TXmlNodeRef node) {
    if (!node)
        return nullptr;
    return std::make_shared<TROMSXMLNode>(shared_from_this(), node);
}

IXMLNodePtr TROMSXMLDocument::GetDocumentNode() {
    TXmlNodeRef root = fDocument.DocumentElement();
    if (!root)
        RaiseNil();
    return Wrap(root);
}

void TROMSXMLDocument::New(const String& rootName, bool utf16, const String& nameSpace) {
    fDocument.ClearChildren();
    if (!rootName.empty())
        fDocument.AppendElement(fDocument.DocumentNode(), rootName,
                                nameSpace.empty() ? std::nullopt : std::optional<String>(nameSpace));
    fDocument.SetDeclaration(u"1.0", utf16 ? u"utf-16" : u"utf-8");
}

void TROMSXMLDocument::SaveToStream(TStream& stream) {
    fDocument.SaveTo([&](std::string_view chunk) { stream.WriteBuffer(chunk.data(), std::int64_t(chunk.size())); });
}

void TROMSXMLDocument::SaveToFile(const String& fileName) {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

void TROMSXMLDocument::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const std::int64_t size = stream.GetSize();
    if (fOptions.MaxBytes && size > std::int64_t(fOptions.MaxBytes))
        RaiseError(SCannotLoadXml,
                   {Format(u"The document is larger than %d bytes.", {std::int64_t(fOptions.MaxBytes)}), 0, 0});
    const std::vector<std::uint8_t> bytes = stream.ReadRemaining();
    if (auto error = fDocument.Parse(bytes, fOptions))
        RaiseError(SCannotLoadXml, {error->Reason, error->Line, error->Column});
}

void TROMSXMLDocument::LoadFromFile(const String& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

String TROMSXMLDocument::GetXML() {
    return fDocument.GetXML();
}

void TROMSXMLDocument::SetXML(const String& xml) {
    if (fDocument.ParseText(xml, fOptions))
        RaiseErrorMessage(SInvalidInput);
}

String TROMSXMLDocument::Transform(const String& styleSheet) {
    TXmlDom sheet;
    if (sheet.ParseText(styleSheet))
        RaiseErrorMessage(SCannotLoadXsl);
    try {
        return XsltTransformToText(fDocument, sheet);
    } catch (const EXsltStylesheetError&) {
        RaiseErrorMessage(SCannotLoadXsl);
    }
}

void TROMSXMLDocument::TransformToStream(const String& styleSheet, TStream& stream) {
    auto output = std::make_shared<TROMSXMLDocument>();
    output->New();
    auto sheet = std::make_shared<TROMSXMLDocument>();
    sheet->New();
    sheet->SetXML(styleSheet);
    try {
        XsltTransform(fDocument, sheet->fDocument, output->fDocument);
    } catch (const EXsltStylesheetError&) {
        RaiseErrorMessage(SCannotLoadXsl);
    }
    output->SaveToStream(stream);
}

void TROMSXMLDocument::EnableCache(const String& attributeName) {
    if (!fValueList) {
        fValueList = std::make_unique<TStringList>();
        fValueList->OwnsObjects = true;
    }
    fValueList->Clear();
    fValueList->SetSorted(false);
    const TXmlNodeRef root = fDocument.DocumentElement();
    // Depth first through everything below the root element; the root itself is not filed.
    TXmlNodeRef node = root ? fDocument.FirstChild(root) : TXmlNodeRef();
    while (node) {
        if (TXmlNodeRef attr = fDocument.AttributeByName(node, attributeName)) {
            auto entry = std::make_unique<TROMSXMLCacheNode>(node);
            fValueList->AddObject(fDocument.Text(attr), entry.get());
            entry.release();
        }
        if (TXmlNodeRef child = fDocument.FirstChild(node)) {
            node = child;
            continue;
        }
        while (node != root && !fDocument.NextSibling(node))
            node = fDocument.Parent(node);
        node = node == root ? TXmlNodeRef() : fDocument.NextSibling(node);
    }
    fValueList->Sort();
}

IXMLNodePtr TROMSXMLDocument::GetCachedNode(const String& value) {
    int index = 0;
    if (!fValueList || !fValueList->Find(value, index))
        return nullptr;
    return Wrap(static_cast<TROMSXMLCacheNode*>(fValueList->GetObject(index))->fNode);
}

void TROMSXMLDocument::ClearCache() {
    if (fValueList)
        fValueList->Clear();
}

// ---- Node ---------------------------------------------------------------------------------

TROMSXMLNode::TROMSXMLNode(std::shared_ptr<TROMSXMLDocument> doc, TXmlNodeRef node)
    : fNode(node), fDoc(std::move(doc)) {
    if (!fNode)
        RaiseNil();
}

String TROMSXMLNode::GetName() const {
    return Dom().Name(fNode);
}

String TROMSXMLNode::GetLocalName() const {
    return Dom().LocalName(fNode);
}

IXMLNodePtr TROMSXMLNode::GetParent() const {
    return Wrap(Dom().Parent(fNode));
}

Variant TROMSXMLNode::GetValue() const {
    return Variant(Dom().Text(fNode));
}

void TROMSXMLNode::SetValue(const Variant& value) {
    Dom().SetText(fNode, VarToStr(value));
}

void TROMSXMLNode::SetValueUtf8(std::string_view text) {
    Dom().SetTextUtf8(fNode, text);
}

String TROMSXMLNode::GetXML() const {
    return Dom().GetXML(fNode);
}

IXMLNodePtr TROMSXMLNode::GetAttributes(int index) const {
    TXmlNodeRef attr = Dom().Attribute(fNode, index);
    if (!attr)
        RaiseNil();
    return Wrap(attr);
}

int TROMSXMLNode::GetAttributeCount() const {
    return Dom().AttributeCount(fNode);
}

IXMLNodePtr TROMSXMLNode::GetChildren(int index) const {
    TXmlNodeRef child = Dom().Child(fNode, index);
    if (!child)
        RaiseNil();
    return Wrap(child);
}

int TROMSXMLNode::GetChildrenCount() const {
    return Dom().ChildCount(fNode);
}

IXMLNodePtr TROMSXMLNode::Add(const String& name, const String& nameSpace) {
    String uri = nameSpace.empty() ? GetNamespace() : nameSpace;
    if (uri.empty())
        if (TXmlNodeRef xmlns = Dom().AttributeByName(fNode, u"xmlns"))
            uri = Dom().Text(xmlns);
    std::optional<String> elementNamespace;
    if (!uri.empty() && uri != u"*")
        elementNamespace = uri;
    return Wrap(Dom().AppendElement(fNode, name, elementNamespace));
}

IXMLNodePtr TROMSXMLNode::AddXml(const String& xml) {
    TXmlDom source;
    if (source.ParseText(xml))
        RaiseErrorMessage(SInvalidInput);
    TXmlNodeRef root = source.DocumentElement();
    if (!root)
        return nullptr;
    return Wrap(Dom().AppendCopy(fNode, source, root));
}

IXMLNodePtr TROMSXMLNode::AddAttribute(const String& name, const Variant& value, bool returnNode) {
    TXmlNodeRef attr = Dom().SetAttribute(fNode, name, VarToStr(value));
    return returnNode ? Wrap(attr) : nullptr;
}

IXMLNodePtr TROMSXMLNode::AddCData(const String& text) {
    return Wrap(Dom().AppendCData(fNode, text));
}

void TROMSXMLNode::Delete(int index) {
    TXmlNodeRef child = Dom().Child(fNode, index);
    if (!child)
        throw EXmlDomError(Format(u"There is no child at index %d", {index}));
    Dom().RemoveChild(fNode, child);
}

void TROMSXMLNode::Remove(const IXMLNodePtr& node) {
    auto* other = dynamic_cast<const TROMSXMLNode*>(node.get());
    if (!other || other->Document() != fDoc.get())
        throw EXmlDomError(u"The node is not a child of this node");
    Dom().RemoveChild(fNode, other->Node());
}

IXMLNodePtr TROMSXMLNode::GetNodeByName(const String& name, int startIndex, bool localName) const {
    if (startIndex == 0 && !localName) {
        const std::vector<TXmlNodeRef> found = Dom().Select(fNode, name, true);
        return found.empty() ? nullptr : Wrap(found.front());
    }
    TXmlNodeRef child = Dom().Child(fNode, std::max(startIndex, 0));
    for (; child; child = Dom().NextSibling(child))
        if ((localName ? Dom().LocalName(child) : Dom().Name(child)) == name)
            return Wrap(child);
    return nullptr;
}

Variant TROMSXMLNode::GetNodeValue(const String& name, const Variant& defaultValue) const {
    IXMLNodePtr node = GetNodeByName(name, 0, false);
    return node ? node->GetValue() : defaultValue;
}

IXMLNodePtr TROMSXMLNode::GetAttributeByName(const String& name) const {
    return Wrap(Dom().AttributeByName(fNode, name));
}

Variant TROMSXMLNode::GetAttributeValue(const String& name, const Variant& defaultValue) const {
    TXmlNodeRef attr = Dom().AttributeByName(fNode, name);
    return attr ? Variant(Dom().Text(attr)) : defaultValue;
}

IXMLNodeListPtr TROMSXMLNode::GetNodesByName(const String& path) const {
    return std::make_shared<TROMSXMLNodeList>(fDoc, Dom().Select(fNode, path, false));
}

IXMLNodePtr TROMSXMLNode::GetAttributeByValue(const String& name, const String& value) const {
    for (int i = 0, n = Dom().AttributeCount(fNode); i < n; ++i) {
        TXmlNodeRef attr = Dom().Attribute(fNode, i);
        if (Dom().Name(attr) == name && Dom().Text(attr) == value)
            return Wrap(attr);
    }
    return nullptr;
}

IXMLNodePtr TROMSXMLNode::GetNodeByAttribute(const String& attributeName, const String& value) const {
    for (TXmlNodeRef child = Dom().FirstChild(fNode); child; child = Dom().NextSibling(child)) {
        TXmlNodeRef attr = Dom().AttributeByName(child, attributeName);
        if (attr && Dom().Text(attr) == value)
            return Wrap(child);
    }
    return nullptr;
}

IXMLNodePtr TROMSXMLNode::GetFirstChild() const {
    return Wrap(Dom().FirstChild(fNode));
}

IXMLNodePtr TROMSXMLNode::GetNextSibling() const {
    return Wrap(Dom().NextSibling(fNode));
}

String TROMSXMLNode::GetNamespace() const {
    return Dom().NamespaceURI(fNode);
}

String TROMSXMLNode::GetCDataValue() const {
    if (Dom().Kind(fNode) == TXmlNodeKind::CData)
        return Dom().Text(fNode);
    TXmlNodeRef first = Dom().FirstChild(fNode);
    if (first && Dom().Kind(first) == TXmlNodeKind::CData)
        return Dom().Text(fNode);
    return {};
}

// ---- Node list ----------------------------------------------------------------------------

IXMLNodePtr TROMSXMLNodeList::GetNodes(int index) const {
    if (index < 0 || index >= GetCount())
        RaiseNil();
    return fDoc->Wrap(fNodeList[size_t(index)]);
}

} // namespace vgl
