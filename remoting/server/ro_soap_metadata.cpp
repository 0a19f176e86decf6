// The SOAP message's metadata answer: the WSDL of the service definition, the WSDL of one
// service ("?service="), an imported schema ("?xsd="), or, for a definition of several
// services with xsoSplitServiceWsdls, an HTML list of the services.

#include "platform/rtl/format.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"
#include "remoting/server/ro_rodl_to_wsdl.h"
#include "remoting/server/ro_soap_message.h"

namespace vgl {

namespace {

void ReplaceWith(TStream& aStream, const std::string& aBytes) {
    aStream.SetPosition(0);
    aStream.SetSize(0);
    if (!aBytes.empty())
        aStream.WriteBuffer(aBytes.data(), std::int64_t(aBytes.size()));
}

/// The list of services, every inserted value HTML-escaped.
std::string ServiceListPage(const TRODLLibrary& aLibrary, const String& aBase, const String& aCustomLocation) {
    const String name = EscapeXmlText(aLibrary.Name());
    const String base = EscapeXmlText(aBase);
    String page = u"<!DOCTYPE html>\r\n<html>\r\n<head><meta charset=\"utf-8\"><title>" + name +
                  u"</title></head>\r\n<body>\r\n<h1><img src=\"" + base +
                  u"/favicon.ico\" alt=\"\" width=\"16\" height=\"16\"> " + name + u"</h1>\r\n<p><a href=\"" + base +
                  u"/doc\">View full documentation</a> | <a href=\"" + base +
                  u"/rodl\">View RODL</a></p>\r\n<p>Available Services:</p>\r\n<ul>\r\n";
    for (int i = 0; i < aLibrary.ServiceCount(); ++i)
        page += Format(u"<li><a href=\"%s?service=%1:s\">%1:s</a></li>\r\n",
                       {EscapeXmlText(aCustomLocation), EscapeXmlText(aLibrary.Services(i)->Name())});
    page += u"</ul>\r\n<p><small>Remoting server</small></p>\r\n</body>\r\n</html>\r\n";
    return StringToUtf8(page);
}

} // namespace

void TROSOAPMessage::GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                                   String& aContentType) {
    const std::int64_t start = aStream.GetPosition();
    GetRodlInfo(aStream, aTransport, aContentType);
    aStream.SetPosition(start);
    std::unique_ptr<TRODLLibrary> library = ReadRODLLibraryFromStream(aStream);
    TRODLToWSDL converter;

    String service, base;
    auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport);
    if (http) {
        service = http->GetQueryParameter(u"service");
        base = http->GetLocation();
    }
    if (!Trim(fCustomLocation).empty())
        converter.Location = fCustomLocation;
    else if (http)
        converter.Location = base + http->GetPathInfo();
    if (service.empty() && http)
        converter.TargetXsd = http->GetQueryParameter(u"xsd");

    const TROXMLSerializationOptions options = SerializationOptions();
    converter.ExternalTypesAsReferences = options.Contains(xsoExternalTypesAsReferences);
    converter.UseDocument = options.Contains(xsoDocument);
    converter.UseLiteral = options.Contains(xsoSendUntyped);
    converter.ShowClientId = options.Contains(xsoClientIdInWsdl);
    converter.DocumentLiteralWrappedNaming = options.Contains(xsoDocumentLiteralWrappedNaming);
    converter.UseHexBinary = options.Contains(xsoHexBinary);
    DefaultServerTargetNamespace();
    converter.TargetNamespace = fServerTargetNamespace;

    if (library->ServiceCount() > 1 && service.empty() && options.Contains(xsoSplitServiceWsdls) &&
        converter.TargetXsd.empty()) {
        aContentType = u"text/html";
        ReplaceWith(aStream, ServiceListPage(*library, base, fCustomLocation));
        return;
    }
    try {
        converter.Convert(library.get(), service);
    } catch (const std::exception& e) {
        const auto* exception = dynamic_cast<const Exception*>(&e);
        const String message = exception ? exception->Message() : Utf8ToString(e.what());
        aContentType = u"text/html";
        ReplaceWith(aStream, StringToUtf8(u"<html><head><title>Error</title></head><body><font size=7>Error</font>"
                                          u"<br />An error occurred generating WSDL: " +
                                          EscapeXmlText(message) + u"</body></html>"));
        return;
    }
    ReplaceWith(aStream, converter.AsBytes());
}

} // namespace vgl
