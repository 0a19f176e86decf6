#pragma once
// Helpers of the WSDL tests: the schema embedded in a WSDL as a document of its own, and the
// content of a SOAP Body as a document of its own, so that xmllint can validate one against the
// other.

#include <string>

namespace vgl::srvtest {

/// The xs:schema element of a WSDL with the namespace declarations it uses from the WSDL root;
/// empty when there is none.
inline std::string EmbeddedSchema(const std::string& wsdl) {
    const size_t start = wsdl.find("<xs:schema");
    const size_t end = wsdl.find("</xs:schema>");
    const size_t tns = wsdl.find("xmlns:tns=\"");
    if (start == std::string::npos || end == std::string::npos || tns == std::string::npos)
        return {};
    std::string schema = wsdl.substr(start, end + 12 - start);
    const std::string tnsValue = wsdl.substr(tns + 11, wsdl.find('"', tns + 11) - tns - 11);
    schema.insert(10, " xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:tns=\"" + tnsValue + "\"");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + schema;
}

/// The first element inside the envelope's SOAP-ENV:Body, with its prefix declared for the
/// namespace; empty when there is none.
inline std::string BodyContent(const std::string& envelope, const std::string& aNamespace) {
    size_t body = envelope.find("<SOAP-ENV:Body");
    const size_t end = envelope.find("</SOAP-ENV:Body>");
    if (body == std::string::npos || end == std::string::npos)
        return {};
    body = envelope.find('>', body) + 1;
    std::string content = envelope.substr(body, end - body);
    const size_t nameEnd = content.find_first_of(" />");
    const std::string name = content.substr(1, nameEnd - 1);
    const size_t colon = name.find(':');
    const std::string declaration = colon == std::string::npos
                                        ? " xmlns=\"" + aNamespace + "\""
                                        : " xmlns:" + name.substr(0, colon) + "=\"" + aNamespace + "\"";
    return content.insert(nameEnd, declaration);
}

} // namespace vgl::srvtest
