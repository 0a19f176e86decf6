#pragma once
// TROSOAPMessage: remote calls as SOAP envelopes. The message builds and reads the envelope
// (Header with the client ID, Body with the operation element or a Fault) through the
// framework's XML interfaces and leaves every value inside the operation element to its
// TROXMLSerializer. It finds the library, service and operation names of a received request
// from the SOAPAction, the operation element's name or the namespaces, and writes a fault for
// an exception.
//
// The service speaks SOAP 1.1. A request whose Envelope is in the SOAP 1.2 namespace runs no
// operation and is answered with a SOAP 1.1 "VersionMismatch" fault; the framework's own form of
// that namespace (followed by "/") selects xsoSoap12 as its peers expect. A request that holds
// a document type declaration is refused unparsed.

#include <functional>
#include <memory>

#include "platform/rtl/string_list.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/xml_interfaces.h"
#include "remoting/server/ro_xml_serializer.h"

namespace vgl {

/// The default namespace URI of the framework: the message's ServerTargetNamespace, the
/// envelope's "xmlns:HNS", the client-ID header's namespace and the WSDL's target namespace.
inline constexpr const char16_t* DefaultNamespaceURI = u"http://tempuri.org/";

inline constexpr const char16_t* XsdNamespaceURI = u"http://www.w3.org/2001/XMLSchema";
inline constexpr const char16_t* XsiNamespaceURI = u"http://www.w3.org/2001/XMLSchema-instance";
inline constexpr const char16_t* SoapEncodingNamespaceURI = u"http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr const char16_t* Soap11EnvelopeNamespaceURI = u"http://schemas.xmlsoap.org/soap/envelope/";
/// The SOAP 1.2 envelope namespace as the standard writes it.
inline constexpr const char16_t* Soap12EnvelopeNamespaceURI = u"http://www.w3.org/2003/05/soap-envelope";
/// The framework's form of it, which selects xsoSoap12.
inline constexpr const char16_t* Soap12FrameworkNamespaceURI = u"http://www.w3.org/2003/05/soap-envelope/";

/// The content type of SOAP 1.1 messages and of every fault.
inline constexpr const char16_t* SoapContentType = u"text/xml; charset=utf-8";

enum TROSoapMode { sRPCEncoding, sRPCLiteral, sDocumentLiteral, sUnknown };
VGL_DECLARE_ENUM(TROSoapMode);

/// Raised for a request in the SOAP 1.2 envelope namespace; its fault carries the faultcode
/// "SOAP-ENV:VersionMismatch".
VGL_DECLARE_EXCEPTION(EROSoapVersionMismatch, EROException);

class IROSOAPMessage {
public:
    virtual ~IROSOAPMessage() = default;
    virtual IXMLNodePtr EnvelopeNode() const = 0;
    virtual IXMLNodePtr BodyNode() const = 0;
    virtual IXMLNodePtr MessageNode() const = 0;
    virtual IXMLNodePtr FaultNode() const = 0;
    virtual IXMLNodePtr HeaderNode() = 0;
    virtual String LibraryName() const = 0;
};

using TSOAPFaultEvent =
    std::function<void(const IXMLNodePtr& aFaultNode, const String& aFaultCode, const String& aFaultString,
                       const String& aFaultActor, const String& aFaultDetail)>;
using TROEnvelopeCompleteEvent = std::function<void(TObject* Sender)>;
using TROAttributeWriteEvent =
    std::function<void(TObject* Sender, String& AttributeName, String& AttributeValue, bool& CanWrite)>;
using TROSoapNotifyEvent = std::function<void(TObject* Sender)>;

class TROSOAPMessage : public TROMessage, public IROSOAPMessage {
    VGL_CLASS(TROSOAPMessage, TROMessage)

    /// Options [xsoSendUntyped, xsoStrictStructureFieldOrder, xsoDocument, xsoSplitServiceWsdls].
    explicit TROSOAPMessage(TComponent* aOwner = nullptr);
    ~TROSOAPMessage() override;

    // ---- Properties ---------------------------------------------------------------------
    String CustomLocation() const { return fCustomLocation; }
    void SetCustomLocation(const String& Value) { fCustomLocation = Value; }
    String ServerTargetNamespace() const { return fServerTargetNamespace; }
    void SetServerTargetNamespace(const String& Value) { fServerTargetNamespace = Value; }
    /// Kept by the message and handed to its serializer.
    TROXMLSerializationOptions SerializationOptions() const;
    void SetSerializationOptions(TROXMLSerializationOptions Value);
    TROSoapMode SoapMode() const;
    void SetSoapMode(TROSoapMode Value);
    void SetLibraryName(const String& Value) { fLibraryName = Value; }
    /// The SOAPAction as received or computed.
    String SoapAction() const { return fSoapAction; }

    TSOAPFaultEvent OnSOAPFault;
    TROEnvelopeCompleteEvent OnEnvelopeComplete;
    TROAttributeWriteEvent OnWriteEnvelopeAttribute;
    TROSoapNotifyEvent OnAfterParseEnvelope;
    TROSoapNotifyEvent OnBeforeParseEnvelope;

    // ---- IROSOAPMessage -----------------------------------------------------------------
    IXMLNodePtr EnvelopeNode() const override { return fEnvNode; }
    IXMLNodePtr BodyNode() const override { return fBodyNode; }
    IXMLNodePtr MessageNode() const override { return fMessageNode; }
    IXMLNodePtr FaultNode() const override { return fFaultNode; }
    /// Adds a "Header" element to the Envelope when there is none yet.
    IXMLNodePtr HeaderNode() override;
    String LibraryName() const override { return fLibraryName; }

    // ---- Writing ------------------------------------------------------------------------
    /// Starts an outgoing envelope: type 0 a request, any other a response.
    void Initialize(const std::shared_ptr<IROTransport>& aTransport, const String& anInterfaceName,
                    const String& aMessageName, int aType) override;
    void InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                              const String& anInterfaceName, const String& aMessageName, int aType) override;
    /// "text/xml; charset=utf-8", and the next transport data is that of a fault.
    void InitializeContentType(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                               const String& anInterfaceName, const String& aMessageName) override;
    void Finalize() override;
    /// A parameter listed in the "HeaderParams" attribute goes into the Header.
    void Write(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref,
               TParamAttributes Attributes = {}) override;
    void Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes = {}) override;
    /// SaveEnvelope, then the base's stream steps.
    void WriteToStream(TStream& aStream) override;
    /// Adds the client-ID header, fires OnEnvelopeComplete and saves the document (the stream is
    /// emptied first).
    void SaveEnvelope(TStream& aStream);
    /// The base's transport data, the content type whenever one is set (a fault's too), and the
    /// header SOAPAction: the message's action, or for a fault the empty action "" (two double
    /// quotes), so no request text reaches a response header.
    void WriteTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;
    void ResetTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;
    void ApplyAttributes() override;
    void ClearAttributes() override;
    void Assign(const TPersistent* Source) override;
    /// True when the bytes contain "SOAP-ENV:Envelope".
    bool IsValidMessage(const std::uint8_t* aData, std::int64_t aLength) override;

    // ---- Reading ------------------------------------------------------------------------
    /// Keeps the request's SOAPAction (as received) and its "service" query parameter.
    void ReadTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;
    /// Loads and parses the envelope; a Fault in the Body is raised as its exception.
    void ReadFromStream(TStream& aStream) override;
    /// True for a message, false for a Fault.
    bool ParseEnvelope();
    /// The operation the service's "remap_" attributes map to the action; empty when none.
    String FindRemappedOperation(const String& anAction);

    // ---- Faults -------------------------------------------------------------------------
    /// A complete fault envelope for E: the bare class name as faultcode, the message as
    /// faultstring, and for the framework's exceptions a detail with the serialized exception.
    void WriteException(TStream& aStream, const Exception& E) override;
    /// The exception of the received Fault; none without one.
    std::unique_ptr<Exception> ReadException() override;
    /// Element name of a fault detail to exception class name ("fault_" attributes).
    const TStringList& ExceptionRemap() const { return fExceptionRemap; }

    /// The WSDL of the definition (or of the service "?service=" names, or the schema "?xsd="
    /// names); several services with xsoSplitServiceWsdls give an HTML list of them; a failed
    /// conversion gives an HTML error page (ro_soap_metadata.cpp).
    void GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                       String& aContentType) override;
    String GetModuleInfoName() override { return u"wsdl"; }

protected:
    std::unique_ptr<TROSerializer> CreateSerializer() override;

private:
    TROXMLSerializer& XmlSerializer();
    /// The document, started anew when an envelope is pending.
    IXMLDocumentPtr GetXMLDocument();
    void StartEnvelope(const String& aRootName);
    void WriteEnvelopeAttribute(const String& aName, const String& aValue);
    void WriteEnvelopeAttributes(bool aWithNamespaces);
    void AddOperationNode(const String& anOperationName, const String& aNamespace);
    void DefaultServerTargetNamespace();
    /// "DefaultLibrary" when empty, "urn:" in front without ":".
    void NormaliseLibraryName();
    void FindNames();
    void ReleaseNodes();

    String fCustomLocation;
    String fServerTargetNamespace;
    TROXMLSerializationOptions fSerializationOptions;
    IXMLDocumentPtr fXMLMessage;
    bool fNeedInit = true;
    String fInitStr = u"Envelope";
    IXMLNodePtr fEnvNode, fHeaderNode, fBodyNode, fMessageNode, fFaultNode;
    String fLibraryName;
    String fSoapAction;
    String fServiceName;
    String fFaultNameSpace;
    String fInputNamespace, fOverrideInputName, fOverrideOutputName, fTargetNamespace;
    String fSoapInputMessageNamespace, fSoapOutputMessageNamespace, fChInNs, fChOutNs;
    String fAttr_Action, fAttr_TargetUrl;
    bool fActionIsCustom = false;
    bool fTargetLocationWasSet = false;
    /// Set by InitializeContentType: the transport data that follows is a fault's.
    bool fWritingFault = false;
    TStringList fHeaderParams;
    TStringList fNamespaces;
    TStringList fExceptionRemap;
};

} // namespace vgl
