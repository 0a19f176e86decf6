#include "remoting/server/ro_soap_message.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/xml/xml_dom.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_rtti_server.h"

namespace vgl {

VGL_DEFINE_ENUM(TROSoapMode, u"sRPCEncoding", u"sRPCLiteral", u"sDocumentLiteral", u"sUnknown")

VGL_DEFINE_CLASS(TROSOAPMessage) {
    b.Property(u"CustomLocation", &TROSOAPMessage::CustomLocation, &TROSOAPMessage::SetCustomLocation);
    b.Property(u"ServerTargetNamespace", &TROSOAPMessage::ServerTargetNamespace,
               &TROSOAPMessage::SetServerTargetNamespace);
    b.Property(u"SerializationOptions", &TROSOAPMessage::SerializationOptions,
               &TROSOAPMessage::SetSerializationOptions);
}

namespace {

constexpr const char16_t* SInvalidEnvelope = u"Invalid SOAP Envelope. %s";
constexpr const char16_t* SNoEnvelope = u"SOAP Envelope node missing or not root.";
constexpr const char16_t* SNoBody = u"SOAP envelope does not contain a Body.";
constexpr const char16_t* SNoMessage = u"SOAP Body does not contain a message nor a fault";
constexpr const char16_t* SCannotParse = u"Cannot parse SOAP error: %s";
constexpr const char16_t* SInvalidBinaryHeader =
    u"Invalid binary header. It seems that encryption is active on the other side of the communication, but not "
    u"locally?";
constexpr const char16_t* SVersionMismatch =
    u"The envelope is in the SOAP 1.2 namespace; this service speaks SOAP 1.1 (envelope namespace "
    u"http://schemas.xmlsoap.org/soap/envelope/)";

/// Documents of received requests refuse a document type declaration: SOAP forbids one.
IXMLDocumentPtr NewDocument() {
    TXmlParseOptions options;
    options.ProhibitDTD = true;
    return CreateROXmlDocument(options);
}

/// The part of a qualified name after its first ":".
String LocalOf(const String& aName) {
    const size_t colon = aName.find(u':');
    return colon == String::npos ? aName : aName.substr(colon + 1);
}

String PrefixOf(const String& aName) {
    const size_t colon = aName.find(u':');
    return colon == String::npos ? String() : aName.substr(0, colon);
}

/// Elements only: text, comments, CDATA and processing instructions are not.
bool IsElement(const IXMLNodePtr& node) {
    if (auto* ours = dynamic_cast<const TROMSXMLNode*>(node.get()))
        return const_cast<TROMSXMLDocument*>(ours->Document())->Dom().Kind(ours->Node()) == TXmlNodeKind::Element;
    const String name = node->GetName();
    return !name.empty() && name[0] != u'#';
}

bool StartsWith(const String& text, StringView prefix) {
    return text.size() >= prefix.size() && StringView(text).substr(0, prefix.size()) == prefix;
}

bool EndsWith(const String& text, StringView suffix) {
    return text.size() >= suffix.size() && StringView(text).substr(text.size() - suffix.size()) == suffix;
}

/// A quoted text without its quotes (doubled quotes inside become one); a last remaining quote
/// is dropped.
String Dequote(const String& text) {
    if (text.empty() || text[0] != u'"')
        return text;
    String result;
    size_t i = 1;
    for (; i < text.size(); ++i) {
        if (text[i] == u'"') {
            if (i + 1 < text.size() && text[i + 1] == u'"') {
                result += u'"';
                ++i;
                continue;
            }
            break;
        }
        result += text[i];
    }
    if (!result.empty() && result.back() == u'"')
        result.pop_back();
    return result;
}

String NodeText(const IXMLNodePtr& node) {
    return node ? node->GetValue().AsString() : String();
}

/// The text with every character XML 1.0 does not allow (control characters other than tab,
/// line feed and carriage return, U+FFFE, U+FFFF, unpaired surrogates) replaced by U+FFFD: an
/// exception's message may quote request data such as a header, and the fault must stay XML.
String XmlCharacters(const String& text) {
    String result = text;
    for (size_t i = 0; i < result.size(); ++i) {
        const Char c = result[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < result.size() && result[i + 1] >= 0xDC00 && result[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        if (control || c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF))
            result[i] = 0xFFFD;
    }
    return result;
}

TGUID GuidFromText(const String& text) {
    return StringToGUID(text.find(u'{') == String::npos ? u"{" + text + u"}" : text);
}

} // namespace

// ---- Construction -------------------------------------------------------------------------

TROSOAPMessage::TROSOAPMessage(TComponent* aOwner) : TROMessage(aOwner), fXMLMessage(NewDocument()) {
    SetSerializationOptions(DefaultXMLSerializationOptions());
}

TROSOAPMessage::~TROSOAPMessage() {
    ReleaseNodes();
}

std::unique_ptr<TROSerializer> TROSOAPMessage::CreateSerializer() {
    auto serializer = std::make_unique<TROXMLSerializer>(fMessageNode);
    serializer->SetSerializationOptions(DefaultXMLSerializationOptions());
    return serializer;
}

TROXMLSerializer& TROSOAPMessage::XmlSerializer() {
    return static_cast<TROXMLSerializer&>(GetSerializer());
}

TROXMLSerializationOptions TROSOAPMessage::SerializationOptions() const {
    return fSerializationOptions;
}

void TROSOAPMessage::SetSerializationOptions(TROXMLSerializationOptions Value) {
    fSerializationOptions = Value;
    XmlSerializer().SetSerializationOptions(Value);
}

TROSoapMode TROSOAPMessage::SoapMode() const {
    const TROXMLSerializationOptions o = SerializationOptions();
    const bool document = o.Contains(xsoDocument), untyped = o.Contains(xsoSendUntyped);
    if (!document)
        return untyped ? sRPCLiteral : sRPCEncoding;
    if (untyped && !o.Contains(xsoWriteMultiRefArray) && !o.Contains(xsoWriteMultiRefObject) &&
        !o.Contains(xsoEncodedXML))
        return sDocumentLiteral;
    return sUnknown;
}

void TROSOAPMessage::SetSoapMode(TROSoapMode Value) {
    TROXMLSerializationOptions o = SerializationOptions();
    const TROXMLSerializationOptions multiRef{xsoWriteMultiRefArray, xsoWriteMultiRefObject, xsoEncodedXML};
    switch (Value) {
    case sRPCEncoding:
        o = (o - TROXMLSerializationOptions{xsoSendUntyped, xsoDocument}) + multiRef;
        break;
    case sRPCLiteral:
        o = (o + TROXMLSerializationOptions{xsoSendUntyped}) - multiRef - TROXMLSerializationOptions{xsoDocument};
        break;
    case sDocumentLiteral:
        o = (o + TROXMLSerializationOptions{xsoSendUntyped, xsoDocument}) - multiRef;
        break;
    case sUnknown:
        return;
    }
    SetSerializationOptions(o);
}

void TROSOAPMessage::Assign(const TPersistent* Source) {
    TROMessage::Assign(Source);
    auto* source = dynamic_cast<const TROSOAPMessage*>(Source);
    if (!source)
        return;
    // The configured message is only read here: clones are made on several threads at once.
    const TROSOAPMessage& from = *source;
    fCustomLocation = from.fCustomLocation;
    OnSOAPFault = from.OnSOAPFault;
    OnEnvelopeComplete = from.OnEnvelopeComplete;
    OnWriteEnvelopeAttribute = from.OnWriteEnvelopeAttribute;
    OnAfterParseEnvelope = from.OnAfterParseEnvelope;
    OnBeforeParseEnvelope = from.OnBeforeParseEnvelope;
    SetSerializationOptions(from.SerializationOptions());
    fServerTargetNamespace = from.fServerTargetNamespace;
    SetSoapMode(from.SoapMode());
}

bool TROSOAPMessage::IsValidMessage(const std::uint8_t* aData, std::int64_t aLength) {
    if (!aData || aLength <= 0)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(aData), size_t(aLength));
    return text.find("SOAP-ENV:Envelope") != std::string_view::npos;
}

// ---- The document and its nodes -----------------------------------------------------------

IXMLDocumentPtr TROSOAPMessage::GetXMLDocument() {
    if (fNeedInit) {
        // The document layer binds a prefix only with its namespace, so the envelope's root is
        // made in the envelope namespace; the declaration then stands first on the element.
        if (PrefixOf(fInitStr) == u"SOAP-ENV")
            fXMLMessage->New(fInitStr, false,
                             SerializationOptions().Contains(xsoSoap12) ? Soap12FrameworkNamespaceURI
                                                                        : Soap11EnvelopeNamespaceURI);
        else
            fXMLMessage->New(fInitStr);
        fNeedInit = false;
    }
    return fXMLMessage;
}

void TROSOAPMessage::ReleaseNodes() {
    fEnvNode.reset();
    fHeaderNode.reset();
    fBodyNode.reset();
    fMessageNode.reset();
    fFaultNode.reset();
}

IXMLNodePtr TROSOAPMessage::HeaderNode() {
    if (!fHeaderNode && fEnvNode)
        fHeaderNode = fEnvNode->Add(u"SOAP-ENV:Header");
    return fHeaderNode;
}

void TROSOAPMessage::StartEnvelope(const String& aRootName) {
    fHeaderNode.reset();
    fNeedInit = true;
    fInitStr = aRootName;
}

void TROSOAPMessage::DefaultServerTargetNamespace() {
    if (!fServerTargetNamespace.empty())
        return;
    fServerTargetNamespace = GetServiceAttributeValue(String(), u"TargetNamespace");
    if (fServerTargetNamespace.empty())
        fServerTargetNamespace = DefaultNamespaceURI;
}

void TROSOAPMessage::NormaliseLibraryName() {
    if (fLibraryName.empty())
        fLibraryName = u"DefaultLibrary";
    if (fLibraryName.find(u':') == String::npos)
        fLibraryName = u"urn:" + fLibraryName;
}

void TROSOAPMessage::WriteEnvelopeAttribute(const String& aName, const String& aValue) {
    String name = aName;
    String value = aName == u"xmlns:HNS" ? fServerTargetNamespace : aValue;
    bool canWrite = true;
    if (OnWriteEnvelopeAttribute)
        OnWriteEnvelopeAttribute(this, name, value, canWrite);
    if (canWrite)
        fEnvNode->AddAttribute(name, Variant(value));
}

void TROSOAPMessage::WriteEnvelopeAttributes(bool aWithNamespaces) {
    const TROXMLSerializationOptions o = SerializationOptions();
    WriteEnvelopeAttribute(u"xmlns:xsd", XsdNamespaceURI);
    WriteEnvelopeAttribute(u"xmlns:xsi", XsiNamespaceURI);
    if (aWithNamespaces)
        for (int i = 0; i < fNamespaces.Count(); ++i)
            WriteEnvelopeAttribute(u"xmlns:" + fNamespaces.ValueFromIndex(i), fNamespaces.Names(i));
    WriteEnvelopeAttribute(u"xmlns:HNS", fServerTargetNamespace);
    if (!o.Contains(xsoSendUntyped))
        WriteEnvelopeAttribute(u"xmlns:SOAP-ENC", SoapEncodingNamespaceURI);
    WriteEnvelopeAttribute(u"xmlns:SOAP-ENV",
                           o.Contains(xsoSoap12) ? Soap12FrameworkNamespaceURI : Soap11EnvelopeNamespaceURI);
}

// ---- Writing ------------------------------------------------------------------------------

void TROSOAPMessage::InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                          const String& anInterfaceName, const String& aMessageName, int aType) {
    fLibraryName = aLibraryName;
    if (!fActionIsCustom)
        fSoapAction.clear();
    Initialize(aTransport, anInterfaceName, aMessageName, aType);
}

void TROSOAPMessage::Initialize(const std::shared_ptr<IROTransport>& aTransport, const String& anInterfaceName,
                                const String& aMessageName, int aType) {
    if (!fActionIsCustom && (anInterfaceName != GetInterfaceName() || aMessageName != GetMessageName()))
        fSoapAction.clear();
    TROMessage::Initialize(aTransport, anInterfaceName, aMessageName, aType);
    fWritingFault = false;
    StartEnvelope(u"SOAP-ENV:Envelope");
    DefaultServerTargetNamespace();
    if ((aType == MessageTypeRequest || aType == MessageTypeResponse) && fTargetNamespace.empty())
        fTargetNamespace = fServerTargetNamespace;

    const TROXMLSerializationOptions o = SerializationOptions();
    const bool document = o.Contains(xsoDocument);
    String ns;
    if (document)
        ns = !fInputNamespace.empty() ? fInputNamespace : !fTargetNamespace.empty() ? fTargetNamespace : fLibraryName;
    else {
        ns = fInputNamespace;
        if (ns.empty() || ns == DefaultNamespaceURI)
            ns = fTargetNamespace;
        if (ns.empty() || ns == DefaultNamespaceURI)
            ns = fLibraryName + u"-" + anInterfaceName;
    }

    TStrings& headers = GetHttpHeaders();
    if (fSoapAction.empty() && !fActionIsCustom) {
        fSoapAction = u"urn:" + fLibraryName + u"-" + anInterfaceName + u"#" + aMessageName;
        headers.SetValue(u"SOAPAction", u"\"" + fSoapAction + u"\"");
    }
    fhttp_ContentType =
        o.Contains(xsoSoap12) ? u"application/soap+xml; charset=utf-8; action=" + fSoapAction : String(SoapContentType);

    fEnvNode = GetXMLDocument()->GetDocumentNode();
    WriteEnvelopeAttributes(true);
    fHeaderNode = fEnvNode->Add(u"SOAP-ENV:Header");
    fBodyNode = fEnvNode->Add(u"SOAP-ENV:Body");
    fFaultNode.reset();
    if (!document)
        fBodyNode->AddAttribute(u"SOAP-ENV:encodingStyle", Variant(String(SoapEncodingNamespaceURI)));
    NormaliseLibraryName();
    fBodyNode->AddAttribute(u"xmlns:ro", Variant(fTargetNamespace.empty() ? fLibraryName : fTargetNamespace));

    String operation = aMessageName;
    if (!operation.empty() && operation[0] == u'_')
        operation.erase(0, 1);
    const String& overrideName = aType == MessageTypeRequest ? fOverrideInputName : fOverrideOutputName;
    if (!overrideName.empty())
        operation = overrideName;
    else if (document)
        operation = anInterfaceName + u"___" + operation;
    if (ns.find(u':') == String::npos)
        ns = u"urn:" + ns;

    fMessageNode = fBodyNode;
    if (!o.Contains(xsoSkipOperationName)) {
        const String& messageNs =
            aType == MessageTypeRequest ? fSoapInputMessageNamespace : fSoapOutputMessageNamespace;
        AddOperationNode(operation, messageNs.empty() ? ns : messageNs);
    }
    TROXMLSerializer& serializer = XmlSerializer();
    if (aType == MessageTypeRequest && !fChInNs.empty())
        serializer.SetCurrentNamespace(fChInNs);
    else if (aType == MessageTypeResponse && !fChOutNs.empty())
        serializer.SetCurrentNamespace(fChOutNs);
    serializer.SetStorageRef(fMessageNode);
}

void TROSOAPMessage::AddOperationNode(const String& anOperationName, const String& aNamespace) {
    TROXMLSerializer& serializer = XmlSerializer();
    if (SerializationOptions().Contains(xsoSendUntyped)) {
        serializer.SetCurrentNamespace(aNamespace);
        fMessageNode = fBodyNode->Add(serializer.CurrentPrefix() + u":" + anOperationName, aNamespace);
        return;
    }
    String name = anOperationName;
    if (StartsWith(name, u"urn:"))
        name.erase(0, 4);
    fMessageNode = fBodyNode->Add(u"NS1:" + name, aNamespace);
    fMessageNode->AddAttribute(u"xmlns:NS1", Variant(aNamespace));
}

void TROSOAPMessage::InitializeContentType(const std::shared_ptr<IROTransport>&, const String&, const String&,
                                           const String&) {
    fhttp_ContentType = SoapContentType;
    fWritingFault = true;
}

void TROSOAPMessage::Finalize() {
    TROMessage::Finalize();
    if (!fActionIsCustom)
        fSoapAction.clear();
    if (SerializationOptions().Contains(xsoDocument) && fBodyNode && fBodyNode->GetChildrenCount() == 0)
        AddOperationNode(GetMessageName(), GetInterfaceName());
}

void TROSOAPMessage::Write(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes) {
    String name = aName;
    if (!name.empty() && name[0] == u'_')
        name.erase(0, 1);
    if (fHeaderParams.IndexOf(name) < 0)
        return TROMessage::Write(aName, aTypeInfo, Ref, Attributes);
    TROXMLSerializer& serializer = XmlSerializer();
    IXMLNodePtr saved = serializer.CurrentNode();
    serializer.SetStorageRef(HeaderNode());
    const TScopeExit restore([&] { serializer.SetStorageRef(saved); });
    TROMessage::Write(aName, aTypeInfo, Ref, Attributes);
}

void TROSOAPMessage::Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes) {
    String name = aName;
    if (!name.empty() && name[0] == u'_')
        name.erase(0, 1);
    if (fHeaderParams.IndexOf(name) < 0)
        return TROMessage::Read(aName, aTypeInfo, Ref, Attributes);
    TROXMLSerializer& serializer = XmlSerializer();
    IXMLNodePtr saved = serializer.CurrentNode();
    serializer.SetStorageRef(HeaderNode());
    const TScopeExit restore([&] { serializer.SetStorageRef(saved); });
    TROMessage::Read(aName, aTypeInfo, Ref, Attributes);
}

void TROSOAPMessage::SaveEnvelope(TStream& aStream) {
    IXMLNodePtr header = HeaderNode();
    const String clientID = GUIDToString(GetClientID());
    if (SerializationOptions().Contains(xsoDocument)) {
        IXMLNodePtr id = header->Add(u"ROClientIDHeader", DefaultNamespaceURI);
        id->AddAttribute(u"SOAP-ENV:mustUnderstand", Variant(String(u"0")));
        id->Add(u"ID")->SetValue(Variant(clientID));
    } else {
        IXMLNodePtr id = header->Add(u"HNS:ROClientID", fServerTargetNamespace);
        id->AddAttribute(u"SOAP-ENV:mustUnderstand", Variant(String(u"0")));
        id->SetValue(Variant(clientID));
    }
    if (OnEnvelopeComplete)
        OnEnvelopeComplete(this);
    aStream.SetPosition(0);
    aStream.SetSize(0);
    GetXMLDocument()->SaveToStream(aStream);
}

void TROSOAPMessage::WriteToStream(TStream& aStream) {
    SaveEnvelope(aStream);
    TROMessage::WriteToStream(aStream);
}

void TROSOAPMessage::WriteTransportInfo(const std::shared_ptr<IROTransport>& aTransport) {
    TROMessage::WriteTransportInfo(aTransport);
    fTargetLocationWasSet = false;
    auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport);
    if (!http)
        return;
    // A fault raised before the answer was started has no header list; it is typed all the same.
    if (!fhttp_ContentType.empty())
        http->SetContentType(fhttp_ContentType);
    fTargetLocationWasSet = http->GetTargetUrl().empty();
    if (fActionIsCustom)
        fSoapAction = fAttr_Action;
    // A fault answers with the empty action as every response does: the request's text never
    // goes back into a header.
    const String action = fWritingFault ? String() : fSoapAction;
    String quoted = u"\"";
    for (Char c : action) {
        quoted += c;
        if (c == u'"')
            quoted += c;
    }
    quoted += u'"';
    http->SetHeader(u"SOAPAction", quoted);
    if (fTargetLocationWasSet)
        http->SetTargetUrl(fAttr_TargetUrl);
}

void TROSOAPMessage::ResetTransportInfo(const std::shared_ptr<IROTransport>& aTransport) {
    TROMessage::ResetTransportInfo(aTransport);
    if (!fTargetLocationWasSet)
        return;
    if (auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport))
        http->SetTargetUrl(String());
}

// ---- Per-operation attributes -------------------------------------------------------------

void TROSOAPMessage::ApplyAttributes() {
    TROMessage::ApplyAttributes();
    fActionIsCustom = false;
    String style, use;
    const std::vector<String>& names = AttributesNames();
    const std::vector<String>& values = AttributesValues();
    for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
        const String& name = names[i];
        const String& value = values[i];
        if (StartsWith(name, u"fault_"))
            fExceptionRemap.Add(name.substr(6) + u"=" + value);
        else if (SameText(name, u"InputNamespace"))
            fInputNamespace = value;
        else if (SameText(name, u"Action")) {
            fAttr_Action = value;
            fActionIsCustom = true;
        } else if (SameText(name, u"SoapActionIsEmpty")) {
            fAttr_Action.clear();
            fActionIsCustom = true;
        } else if (SameText(name, u"Location"))
            fAttr_TargetUrl = value;
        else if (SameText(name, u"Style"))
            style = value;
        else if (SameText(name, u"Use"))
            use = value;
        else if (SameText(name, u"SoapInputMessageNamespace"))
            fSoapInputMessageNamespace = value;
        else if (SameText(name, u"SoapOutputMessageNamespace"))
            fSoapOutputMessageNamespace = value;
        else if (SameText(name, u"SOAPInputNameOverride"))
            fOverrideInputName = value;
        else if (SameText(name, u"SOAPOutputNameOverride"))
            fOverrideOutputName = value;
        else if (SameText(name, u"TargetNamespace"))
            fTargetNamespace = value;
        else if (SameText(name, u"Version")) {
            TROXMLSerializationOptions o = SerializationOptions();
            if (value == u"1.2")
                o.Include(xsoSoap12);
            else
                o.Exclude(xsoSoap12);
            SetSerializationOptions(o);
        } else if (SameText(name, u"InputChildrenNamespace"))
            fChInNs = value;
        else if (SameText(name, u"OutputChildrenNamespace"))
            fChOutNs = value;
        else if (SameText(name, u"HeaderParams"))
            fHeaderParams.SetCommaText(value);
        else if (SameText(name, u"Namespaces"))
            fNamespaces.SetCommaText(value);
    }
    if (SameText(use, u"literal"))
        SetSoapMode(SameText(style, u"document") ? sDocumentLiteral : !style.empty() ? sRPCLiteral : SoapMode());
    else if (!use.empty())
        SetSoapMode(sRPCEncoding);
}

void TROSOAPMessage::ClearAttributes() {
    fTargetNamespace.clear();
    fExceptionRemap.Clear();
    fOverrideInputName.clear();
    fOverrideOutputName.clear();
    TROMessage::ClearAttributes();
}

// ---- Reading ------------------------------------------------------------------------------

void TROSOAPMessage::ReadTransportInfo(const std::shared_ptr<IROTransport>& aTransport) {
    TROMessage::ReadTransportInfo(aTransport);
    if (auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport)) {
        fSoapAction = http->GetHeader(u"SOAPAction");
        fServiceName = http->GetQueryParameter(u"service");
    } else {
        fSoapAction.clear();
        fServiceName.clear();
    }
}

void TROSOAPMessage::ReadFromStream(TStream& aStream) {
    TROMessage::ReadFromStream(aStream);
    aStream.SetPosition(0);
    StartEnvelope(String());
    try {
        GetXMLDocument()->LoadFromStream(aStream);
    } catch (const Exception& e) {
        fXMLMessage = NewDocument();
        StartEnvelope(String());
        ReleaseNodes();
        aStream.SetPosition(0);
        char head[6] = {};
        const std::int64_t n = aStream.Read(head, 6);
        if (n == 6 && std::string_view(head, 6) == "rorock")
            RaiseInvalidStream(SInvalidBinaryHeader, {}, aStream);
        throw EROException(SCannotParse, {e.Message()});
    }
    if (!ParseEnvelope())
        ProcessException();
}

bool TROSOAPMessage::ParseEnvelope() {
    ReleaseNodes();
    fEnvNode = GetXMLDocument()->GetDocumentNode();
    if (OnBeforeParseEnvelope)
        OnBeforeParseEnvelope(this);
    if (LocalOf(fEnvNode->GetName()) != u"Envelope")
        throw EROException(SInvalidEnvelope, {String(SNoEnvelope)});

    TROXMLSerializationOptions o = SerializationOptions();
    const String envelopeNs = fEnvNode->GetNamespace();
    if (envelopeNs == Soap12FrameworkNamespaceURI)
        o.Include(xsoSoap12);
    else
        o.Exclude(xsoSoap12);
    SetSerializationOptions(o);
    // A genuine SOAP 1.2 client cannot read the SOAP 1.1 answer this service gives; SOAP 1.1
    // answers a foreign envelope namespace with VersionMismatch and runs nothing.
    if (envelopeNs == Soap12EnvelopeNamespaceURI)
        throw EROSoapVersionMismatch(SVersionMismatch);

    for (int i = 0; i < fEnvNode->GetChildrenCount(); ++i) {
        IXMLNodePtr child = fEnvNode->GetChildren(i);
        const String local = LocalOf(child->GetName());
        if (local == u"Body") {
            fBodyNode = child;
            fMessageNode.reset();
            fFaultNode.reset();
            // The first element: text, comments and processing instructions are no message.
            for (int j = 0; j < child->GetChildrenCount(); ++j) {
                IXMLNodePtr item = child->GetChildren(j);
                if (!IsElement(item))
                    continue;
                if (LocalOf(item->GetName()) == u"Fault") {
                    fFaultNode = item;
                    fFaultNameSpace = PrefixOf(item->GetName());
                }
                fMessageNode = item;
                break;
            }
        } else if (local == u"Header") {
            fHeaderNode = child;
            for (int j = 0; j < child->GetChildrenCount(); ++j) {
                IXMLNodePtr item = child->GetChildren(j);
                const String itemLocal = LocalOf(item->GetName());
                if (itemLocal == u"ROClientIDHeader") {
                    for (int k = 0; k < item->GetChildrenCount(); ++k) {
                        IXMLNodePtr id = item->GetChildren(k);
                        if (LocalOf(id->GetName()) != u"ID")
                            continue;
                        const String text = NodeText(id);
                        if (!text.empty())
                            SetClientID(GuidFromText(text));
                        break;
                    }
                } else if (itemLocal == u"ROClientID") {
                    const String text = NodeText(item);
                    if (!text.empty())
                        SetClientID(GuidFromText(text));
                    break;
                }
            }
        }
    }
    if (!fBodyNode)
        throw EROException(SInvalidEnvelope, {String(SNoBody)});
    if (!fMessageNode)
        throw EROException(SInvalidEnvelope, {String(SNoMessage)});
    if (fFaultNode)
        return false;

    FindNames();
    TROXMLSerializer& serializer = XmlSerializer();
    serializer.SetStorageRef(o.Contains(xsoSkipOperationName) ? fBodyNode : fMessageNode);
    if (OnAfterParseEnvelope)
        OnAfterParseEnvelope(this);
    serializer.SetSerializationOptions(serializer.SerializationOptions());
    return true;
}

void TROSOAPMessage::FindNames() {
    const bool document = SerializationOptions().Contains(xsoDocument);
    String library, service = fServiceName, operation;

    // A. The SOAPAction: urn:Library-Service#Operation.
    if (!fSoapAction.empty() || fActionIsCustom) {
        String a = Dequote(fSoapAction);
        if (size_t colon = a.find(u':'); colon != String::npos)
            a.erase(0, colon + 1);
        if (!fServiceName.empty()) {
            operation = FindRemappedOperation(a);
            if (!operation.empty())
                for (const IXMLNodePtr& node : {fMessageNode, fBodyNode, fEnvNode})
                    if (String ns = node->GetNamespace(); !ns.empty()) {
                        library = ns;
                        break;
                    }
        }
        if (operation.empty()) {
            if (size_t colon = a.find(u':'); colon != String::npos)
                a.erase(0, colon + 1);
            const size_t dash = a.find(u'-');
            if (dash != String::npos && a.find(u'#') != String::npos) {
                library = a.substr(0, dash);
                a.erase(0, dash + 1);
                const size_t hash = a.find(u'#');
                if (hash == String::npos) {
                    service = a;
                } else {
                    service = a.substr(0, hash);
                    operation = a.substr(hash + 1);
                }
            }
        }
    }

    const String local = LocalOf(fMessageNode->GetName());
    // B. A document-style element Service___Operation (also behind an empty SOAPAction).
    if (operation.empty() && document) {
        if (size_t p = local.find(u"___"); p != String::npos) {
            service = local.substr(0, p);
            operation = local.substr(p + 3);
            library = fMessageNode->GetNamespace();
        }
    }

    // C. The namespaces and the element name.
    if (library.empty() || service.empty() || operation.empty()) {
        String s;
        for (const IXMLNodePtr& node : {fMessageNode, fBodyNode, fEnvNode})
            if (String ns = node->GetNamespace(); StartsWith(ns, u"urn:")) {
                s = ns.substr(4);
                break;
            }
        const bool hasAttributes = fMessageNode->GetAttributeCount() > 0;
        if (s.empty() && hasAttributes)
            s = NodeText(fMessageNode->GetAttributes(0));
        const size_t colon = s.find(u':');
        const size_t dash = s.find(u'-');
        const size_t start = colon == String::npos ? 0 : colon + 1;
        library = dash == String::npos || dash < start ? String() : s.substr(start, dash - start);
        if (dash != String::npos)
            service = s.substr(dash + 1);
        else if (!s.empty())
            service = s;
        else
            service = hasAttributes ? NodeText(fMessageNode->GetAttributes(0)) : String();
        if (StartsWith(service, u"urn:"))
            service.erase(0, 4);
        if (size_t p = local.find(u"___"); document && p != String::npos) {
            service = local.substr(0, p);
            operation = local.substr(p + 3);
        } else {
            operation = local;
            if (document && StartsWith(local, service + u"_")) {
                operation = local.substr(service.size() + 1);
                if (EndsWith(operation, u"In"))
                    operation.resize(operation.size() - 2);
                if (EndsWith(operation, u"Out"))
                    operation.resize(operation.size() - 3);
            }
        }
        if (!fServiceName.empty())
            service = fServiceName;
    }
    fLibraryName = library;
    SetInterfaceName(service);
    SetMessageName(operation);
}

String TROSOAPMessage::FindRemappedOperation(const String& anAction) {
    TStringList* list = FindServiceAttributeList(fServiceName, false);
    if (!list)
        return {};
    String found;
    for (int i = list->Count() - 1; i >= 0; --i) {
        const String line = list->Get(i);
        if (!StartsWith(line, u"remap_"))
            continue;
        const size_t eq = line.find(u'=');
        if (eq == String::npos)
            continue;
        const String value = line.substr(eq + 1);
        const size_t colon = value.find(u':');
        if (value == anAction || (colon != String::npos && value.substr(colon + 1) == anAction))
            found = line.substr(6, eq - 6);
    }
    return found;
}

// ---- Faults -------------------------------------------------------------------------------

void TROSOAPMessage::WriteException(TStream& aStream, const Exception& E) {
    TROMessage::WriteException(aStream, E);
    StartEnvelope(u"SOAP-ENV:Envelope");
    DefaultServerTargetNamespace();
    const TROXMLSerializationOptions o = SerializationOptions();
    const bool soap12 = o.Contains(xsoSoap12);
    ReleaseNodes();
    fEnvNode = GetXMLDocument()->GetDocumentNode();
    WriteEnvelopeAttributes(false);
    fHeaderNode = fEnvNode->Add(u"SOAP-ENV:Header");
    fBodyNode = fEnvNode->Add(u"SOAP-ENV:Body");
    if (!o.Contains(xsoDocument))
        fBodyNode->AddAttribute(u"SOAP-ENV:encodingStyle", Variant(String(SoapEncodingNamespaceURI)));
    NormaliseLibraryName();
    fBodyNode->AddAttribute(u"xmlns:ro", Variant(fLibraryName));

    fFaultNode = fBodyNode->Add(u"SOAP-ENV:Fault");
    fMessageNode = fFaultNode;
    const bool versionMismatch = dynamic_cast<const EROSoapVersionMismatch*>(&E) != nullptr;
    fFaultNode->Add(soap12 ? u"Code" : u"faultcode", u"*")
        ->SetValue(Variant(versionMismatch ? String(u"SOAP-ENV:VersionMismatch") : E.ClassName()));
    fFaultNode->Add(soap12 ? u"Reason" : u"faultstring", u"*")->SetValue(Variant(XmlCharacters(E.Message())));
    if (dynamic_cast<const EROException*>(&E) && !versionMismatch) {
        IXMLNodePtr detail = fFaultNode->Add(u"detail", u"*");
        TROXMLSerializer serializer(detail);
        if (!fServerTargetNamespace.empty())
            serializer.SetCurrentNamespace(fServerTargetNamespace);
        serializer.SetSerializationOptions(o);
        TROValue value;
        value.Object = const_cast<Exception*>(&E);
        serializer.Write(E.ClassName(), E.ClassType()->Type(), value, -1);
    }
    SaveEnvelope(aStream);
    DoWriteToStream(aStream);
}

std::unique_ptr<Exception> TROSOAPMessage::ReadException() {
    if (!fFaultNode)
        return nullptr;
    auto find = [&](const String& name) {
        IXMLNodePtr node = fFaultNode->GetNodeByName(name);
        return node ? node : fFaultNode->GetNodeByName(name, 0, true);
    };
    auto either = [&](const String& first, const String& second) {
        IXMLNodePtr node = find(first);
        return node ? node : find(second);
    };
    const String code = NodeText(either(u"faultcode", u"Code"));
    const String text = NodeText(either(u"faultstring", u"Reason"));
    const String actor = NodeText(find(u"faultactor"));
    IXMLNodePtr detail = either(u"detail", u"Detail");
    const String detailText = detail && detail->GetChildrenCount() == 0 ? NodeText(detail) : String();
    if (OnSOAPFault)
        OnSOAPFault(fFaultNode, code, text, actor, detailText);

    String exceptionName = u"ROException";
    if (detail)
        for (int i = 0; i < detail->GetChildrenCount(); ++i)
            if (IXMLNodePtr child = detail->GetChildren(i); child->GetName() != u"#text") {
                exceptionName = LocalOf(child->GetName());
                break;
            }
    const String remapped = fExceptionRemap.Values(exceptionName);
    std::unique_ptr<Exception> made = CreateException(remapped.empty() ? code : remapped, text);
    if (dynamic_cast<EROException*>(made.get()) && detail && detail->GetChildrenCount() > 0) {
        TROXMLSerializer serializer(detail);
        serializer.SetSerializationOptions(SerializationOptions());
        std::unique_ptr<TObject> holder(made.release());
        serializer.ReadException(exceptionName, holder, -1);
        if (holder)
            made.reset(static_cast<Exception*>(holder.release()));
        else
            made = CreateException(remapped.empty() ? code : remapped, text);
    }
    return made;
}

} // namespace vgl
