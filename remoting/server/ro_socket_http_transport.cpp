#include "remoting/server/ro_socket_http_transport.h"

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/ustring.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/server/ro_http_response_headers.h"
#include "remoting/server/ro_stream_codecs.h"

namespace vgl {

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
            return false;
    return true;
}

int HexValue(char c) {
    return HexDigitValue(Char(static_cast<unsigned char>(c)));
}

/// Percent-decodes a query item ("+" is a blank); a "%" without two hex digits stays.
std::string DecodeQueryItem(std::string_view item) {
    std::string text;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] == '+') {
            text += ' ';
        } else if (item[i] == '%' && i + 2 < item.size() && HexValue(item[i + 1]) >= 0 && HexValue(item[i + 2]) >= 0) {
            text += char(HexValue(item[i + 1]) * 16 + HexValue(item[i + 2]));
            i += 2;
        } else {
            text += item[i];
        }
    }
    return text;
}

/// The value of the first "name=value" item of the query whose name matches exactly after
/// decoding (or raw, without decoding).
String QueryParameter(std::string_view query, const String& name, bool decode) {
    const std::string wanted = StringToUtf8(name);
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        std::string_view item = query.substr(start, end - start);
        std::size_t equals = item.find('=');
        std::string_view key = item.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        if (decode ? SameAscii(DecodeQueryItem(key), wanted) : SameAscii(key, wanted))
            return Utf8ToString(decode ? DecodeQueryItem(value) : std::string(value));
        start = end + 1;
    }
    return {};
}

} // namespace

bool IsPlainHostHeader(StringView aHost) {
    if (aHost.empty())
        return false;
    std::size_t i = 0;
    if (aHost[0] == u'[') {
        auto close = aHost.find(u']');
        if (close == StringView::npos || close == 1)
            return false;
        for (i = 1; i < close; ++i) {
            Char c = aHost[i];
            if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' ||
                  c == u'.'))
                return false;
        }
        i = close + 1;
    } else {
        for (; i < aHost.size() && aHost[i] != u':'; ++i) {
            Char c = aHost[i];
            if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' ||
                  c == u'.'))
                return false;
        }
        if (i == 0)
            return false;
    }
    if (i == aHost.size())
        return true;
    if (aHost[i] != u':')
        return false;
    std::size_t digits = aHost.size() - i - 1;
    if (digits == 0 || digits > 5)
        return false;
    for (++i; i < aHost.size(); ++i)
        if (aHost[i] < u'0' || aHost[i] > u'9')
            return false;
    return true;
}

TSocketHTTPTransport::TSocketHTTPTransport(const THttpRequest& aRequestInfo, THttpAnswer& aResponseInfo, bool aIsHTTPs)
    : FRequestInfo(aRequestInfo), FResponseInfo(aResponseInfo), FRequestHeaders(aRequestInfo.Headers),
      FIsHTTPs(aIsHTTPs) {}

String TSocketHTTPTransport::GetClientAddress() {
    return Utf8ToString(FRequestInfo.ClientAddress);
}

String TSocketHTTPTransport::GetHeader(const String& Name) {
    const std::string wanted = StringToUtf8(Name);
    for (const auto& header : FRequestHeaders)
        if (SameAscii(header.Name, wanted))
            return Trim(Utf8ToString(header.Value));
    return {};
}

void TSocketHTTPTransport::SetAnswerHeader(const String& Name, const String& Value) {
    if (!IsValidHTTPHeaderName(Name))
        throw EROException(u"Invalid HTTP header name \"%s\"", {Name});
    if (!IsValidHTTPHeaderText(Value))
        throw EROException(u"The value of the HTTP header \"%s\" holds a line break", {Name});
    FResponseInfo.SetHeader(StringToUtf8(Name), StringToUtf8(Value));
}

void TSocketHTTPTransport::SetContentType(const String& aContentType) {
    if (!IsValidHTTPHeaderText(aContentType))
        throw EROException(u"The value of the HTTP header \"%s\" holds a line break", {String(u"Content-Type")});
    FContentType = aContentType;
}

String TSocketHTTPTransport::GetUserAgent() {
    return GetHeader(u"User-Agent");
}

void TSocketHTTPTransport::SetUserAgent(const String& aUserAgent) {
    SetAnswerHeader(u"Server", aUserAgent);
}

String TSocketHTTPTransport::GetPathInfo() {
    return FOverriddenPathInfo.empty() ? Utf8ToString(FRequestInfo.Path) : FOverriddenPathInfo;
}

String TSocketHTTPTransport::GetQueryString() {
    return Utf8ToString(FRequestInfo.Query);
}

String TSocketHTTPTransport::GetLocation() {
    String host = GetHeader(u"Host");
    if (!IsPlainHostHeader(host)) {
        // The address the request came in on; an IPv6 address goes in brackets.
        String address = Utf8ToString(FRequestInfo.LocalAddress);
        if (address.find(u':') != String::npos)
            address = u"[" + address + u"]";
        host = address + u":" + IntToStr(FRequestInfo.LocalPort);
    }
    return (FIsHTTPs ? u"https://" : u"http://") + host;
}

String TSocketHTTPTransport::GetDecodedQueryParameter(const String& Name) {
    return QueryParameter(FRequestInfo.Query, Name, true);
}

String TSocketHTTPTransport::GetRawQueryParameter(const String& Name) {
    return QueryParameter(FRequestInfo.Query, Name, false);
}

void TSocketHTTPTransport::SetRequestHeader(const String& Name, const String& Value) {
    const std::string name = StringToUtf8(Name);
    std::erase_if(FRequestHeaders, [&](const THttpHeader& header) { return SameAscii(header.Name, name); });
    if (!Value.empty())
        FRequestHeaders.push_back({name, StringToUtf8(Value)});
}

String TSocketHTTPTransport::GetRequestContentType() {
    return GetHeader(u"Content-Type");
}

String TSocketHTTPTransport::GetMethod() {
    return Utf8ToString(FRequestInfo.Method);
}

bool TSocketHTTPTransport::GetAuthenticationPresent() {
    return !GetHeader(u"Authorization").empty();
}

std::pair<String, String> TSocketHTTPTransport::BasicCredentials() {
    String authorization = GetHeader(u"Authorization");
    if (authorization.size() < 6 || !SameText(authorization.substr(0, 6), u"Basic "))
        return {};
    TMemoryStream encoded;
    std::string text = StringToUtf8(Trim(authorization.substr(6)));
    encoded.Write(text.data(), std::int64_t(text.size()));
    encoded.SetPosition(0);
    TMemoryStream decoded;
    try {
        Base64DecodeStream(encoded, decoded);
    } catch (const EROInvalidStream&) {
        return {};
    }
    std::string plain(reinterpret_cast<const char*>(decoded.Memory()), std::size_t(decoded.GetSize()));
    auto colon = plain.find(':');
    if (colon == std::string::npos)
        return {Utf8ToString(plain), {}};
    return {Utf8ToString(plain.substr(0, colon)), Utf8ToString(plain.substr(colon + 1))};
}

String TSocketHTTPTransport::GetUserName() {
    return BasicCredentials().first;
}

String TSocketHTTPTransport::GetPassword() {
    return BasicCredentials().second;
}

} // namespace vgl
