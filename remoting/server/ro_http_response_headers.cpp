#include "remoting/server/ro_http_response_headers.h"

#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {

bool IsValidHTTPHeaderText(StringView aValue) {
    for (Char c : aValue)
        if (c == u'\r' || c == u'\n' || c == 0)
            return false;
    return true;
}

bool IsValidHTTPHeaderName(StringView aName) {
    if (aName.empty())
        return false;
    for (Char c : aName) {
        bool token = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                     (c != 0 && c < 0x80 && String(u"!#$%&'*+-.^_`|~").find(c) != String::npos);
        if (!token)
            return false;
    }
    return true;
}

TIPHTTPResponseHeaders::TIPHTTPResponseHeaders() {
    Clear();
}

void TIPHTTPResponseHeaders::Clear() {
    FCode = 200;
    FVersion = u"HTTP/1.1";
    FReason = u"OK";
    FHeaders.Clear();
}

void TIPHTTPResponseHeaders::Assign(const TIPHTTPResponseHeaders& aSource) {
    FHeaders.Assign(aSource.FHeaders);
    FCode = aSource.FCode;
    FVersion = aSource.FVersion;
    FReason = aSource.FReason;
}

String TIPHTTPResponseHeaders::ToString() const {
    String text = Format(u"%s %d %s", {FVersion, FCode, FReason}) + u"\r\n";
    for (int i = 0; i < FHeaders.Count(); ++i) {
        String line = FHeaders.Get(i);
        auto separator = line.find(u'=');
        if (separator == String::npos)
            continue;
        text += Format(u"%s: %s", {Trim(line.substr(0, separator)), Trim(line.substr(separator + 1))}) + u"\r\n";
    }
    return text + u"\r\n";
}

void TIPHTTPResponseHeaders::SetHeader(const String& Name, const String& Value) {
    if (!IsValidHTTPHeaderName(Name))
        throw EROException(u"Invalid HTTP header name \"%s\"", {Name});
    if (!IsValidHTTPHeaderText(Value))
        throw EROException(u"The value of the HTTP header \"%s\" holds a line break", {Name});
    FHeaders.SetValue(Name, Value);
}

String TIPHTTPResponseHeaders::GetHeader(const String& Name) {
    return FHeaders.Values(Name);
}

void TIPHTTPResponseHeaders::SetReason(const String& aReason) {
    if (!IsValidHTTPHeaderText(aReason))
        throw EROException(u"The HTTP reason text holds a line break");
    FReason = aReason;
}

} // namespace vgl
