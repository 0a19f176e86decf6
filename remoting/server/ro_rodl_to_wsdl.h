#pragma once
// TRODLToWSDL: a service definition as a WSDL 1.1 document with an embedded XML Schema (or,
// with TargetXsd, as the one schema document the definition imported from that URL). The
// document describes the envelopes the SOAP message reads and writes: in document/literal
// style the request element is service + "___" + operation (or the operation's
// "SOAPInputNameOverride"), the response element the same followed by "Response", and the
// SOAPAction "urn:" + library + "-" + service + "#" + operation.
//
// Every attribute value is escaped ("&", "<", ">", the double quote and line breaks), so that a
// location, a namespace or a name taken from outside cannot break the document; documentation
// is escaped element text on a line of its own.
//
// Failures: "Invalid library" and "Invalid TargetEntity "%s"" from Convert; Exception "No xsd
// by that name" when TargetXsd names no schema the definition imports. A private service asked
// for by name gives an empty document.

#include <vector>

#include "remoting/core/rodl_to_xml.h"

namespace vgl {

class TRODLLibrary;
class TRODLBaseService;
class TRODLEntity;
class TRODLOperation;
class TRODLStruct;
class TRODLTypedEntity;

/// The namespace the WSDL gets when no other is set.
inline constexpr const char16_t* WsdlDefaultTargetNamespace = u"http://tempuri.org/";

class TRODLToWSDL : public TRODLConverter {
public:
    /// Without library nothing is converted yet; with one it is converted at once.
    explicit TRODLToWSDL(const TRODLLibrary* aLibrary = nullptr, const String& aTargetEntity = {});
    /// Reads the definition file and converts it.
    TRODLToWSDL(const String& aFileName, const String& aTargetEntity);
    String ClassName() const override { return u"TRODLToWSDL"; }

    String Location;
    /// "urn:" is put in front by Convert when the text holds no ":".
    String TargetNamespace = WsdlDefaultTargetNamespace;
    bool ShowClientId = false;
    bool UseLiteral = false;
    bool UseDocument = true;
    bool ExternalTypesAsReferences = false;
    bool DocumentLiteralWrappedNaming = false;
    bool UseHexBinary = false;
    String TargetXsd;

    /// The converted text as one string (lines joined by CR LF, one more at the end).
    String Text() const;

protected:
    void IntConvert(const TRODLLibrary& aLibrary) override;

private:
    struct Writer;
    bool fHasXsdData = false;
    String fXsdTns;
    std::vector<String> fExternalRefs;
    std::vector<String> fExternalUrls;
};

} // namespace vgl
