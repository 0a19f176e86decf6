#pragma once
// Stateless helpers of the HTTP side of the framework: header lines in plain header lists, the
// client's Accept-Encoding as a set of admitted content codings, recognition of a request line,
// XML text escaping, the fixed client-access-policy document, and the content type and agent
// name of an HTTP transport.

#include <cstdint>
#include <memory>

#include "platform/rtl/ustring.h"

namespace vgl {

class TStrings;
class IROTransport;

// ---- Header lists ("name: value" lines) ---------------------------------------------------

/// The first line that, upper-cased, starts with the upper-cased name directly followed by
/// ":"; -1 when none does.
int FindHeaderIndex(const TStrings& aHeaders, StringView aName);
/// The text after the first ":" of that line, trimmed; empty when there is no such line.
String GetHeaderValue(const TStrings& aHeaders, StringView aName);
/// A non-empty value makes the line name + ": " + value (replacing the line found, else
/// appended); an empty value deletes the line found.
void SetHeaderValue(TStrings& aHeaders, StringView aName, StringView aValue);

// ---- Accept-Encoding ----------------------------------------------------------------------

/// The content codings a client admits, as bits of one byte.
using AcceptEncodingSet = std::uint8_t;
constexpr AcceptEncodingSet aeUnknown = 1;   ///< an entry that names no coding below
constexpr AcceptEncodingSet aeGzip = 2;      ///< "gzip"
constexpr AcceptEncodingSet aeCompress = 4;  ///< "compress"
constexpr AcceptEncodingSet aeDeflate = 8;   ///< "deflate"
constexpr AcceptEncodingSet aeIdentity = 16; ///< the uncoded form ("identity")
constexpr AcceptEncodingSet aeAny = 32;      ///< "*"

/// The codings of an Accept-Encoding field value. The set starts as {aeIdentity}. The value is
/// split at commas; an entry is a coding name with optional parameters after ";", blanks
/// allowed around ";" and "="; names are compared without ASCII case. The weight "q" is read
/// with "." as decimal separator whatever the locale; a weight that is no number counts as 1.
/// A weight above 0 admits the coding (any other name, the empty one too, adds aeUnknown); a
/// weight of 0 or less for "identity" removes aeIdentity, for other names changes nothing.
/// Later entries override earlier ones. A coding refused with weight 0 is not admitted by "*":
/// when gzip, compress or deflate is refused, the set holds the codings "*" admits in place of
/// aeAny. Never fails.
AcceptEncodingSet ParseAcceptEncoding(StringView aValue);
/// True when aeGzip or aeAny is in the set.
bool AcceptsGzip(AcceptEncodingSet aSet);

// ---- Text ---------------------------------------------------------------------------------

/// True when the text begins with "CONNECT ", "DELETE ", "GET ", "HEAD ", "OPTIONS ", "POST ",
/// "PUT " or "TRACE " (case-sensitive, the blank included).
bool StartsWithHTTPMethod(StringView aText);
/// Replaces "&" by "&amp;", then the double quote, "'", "<" and ">" by "&quot;", "&apos;",
/// "&lt;" and "&gt;".
String EscapeXmlText(StringView aText);
/// The fixed client-access-policy document that allows every domain and request header.
String ClientAccessPolicyAllowAll();

// ---- HTTP transports ----------------------------------------------------------------------

/// The agent name set on an HTTP transport that has none.
inline constexpr const char16_t* ROAgentName = u"Remoting SDK";

/// When the transport is an HTTP transport: sets its content type, then the agent name
/// ROAgentName when its agent name is empty. Otherwise nothing.
void SetHTTPTransportContentType(const std::shared_ptr<IROTransport>& aTransport, const String& aContentType);
/// The HTTP transport's content type; empty for any other transport or none.
String GetHTTPTransportContentType(const std::shared_ptr<IROTransport>& aTransport);

} // namespace vgl
