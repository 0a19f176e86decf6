#include "remoting/core/ro_http_utils.h"

#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_interfaces.h"

namespace vgl {

// ---- Header lists -------------------------------------------------------------------------

int FindHeaderIndex(const TStrings& aHeaders, StringView aName) {
    const String prefix = UpperCase(aName) + u":";
    for (int i = 0; i < aHeaders.Count(); ++i)
        if (UpperCase(aHeaders.Get(i)).starts_with(prefix))
            return i;
    return -1;
}

String GetHeaderValue(const TStrings& aHeaders, StringView aName) {
    const int index = FindHeaderIndex(aHeaders, aName);
    if (index < 0)
        return {};
    const String line = aHeaders.Get(index);
    return Trim(StringView(line).substr(line.find(u':') + 1));
}

void SetHeaderValue(TStrings& aHeaders, StringView aName, StringView aValue) {
    const int index = FindHeaderIndex(aHeaders, aName);
    if (aValue.empty()) {
        if (index >= 0)
            aHeaders.Delete(index);
        return;
    }
    const String line = String(aName) + u": " + String(aValue);
    if (index >= 0)
        aHeaders.Put(index, line);
    else
        aHeaders.Add(line);
}

// ---- Accept-Encoding ----------------------------------------------------------------------

namespace {

/// A weight read with "." as decimal separator; a text that is no number counts as 1.
double ReadWeight(StringView text) {
    long double value = 1;
    if (text.find(u',') != StringView::npos || !TryStrToFloat(text, value))
        return 1;
    return double(value);
}

AcceptEncodingSet CodingOf(StringView name) {
    if (name == u"gzip")
        return aeGzip;
    if (name == u"*")
        return aeAny;
    if (name == u"identity")
        return aeIdentity;
    if (name == u"compress")
        return aeCompress;
    if (name == u"deflate")
        return aeDeflate;
    return aeUnknown;
}

} // namespace

AcceptEncodingSet ParseAcceptEncoding(StringView aValue) {
    AcceptEncodingSet set = aeIdentity;
    // Codings refused by an explicit weight of 0; "*" does not admit them.
    AcceptEncodingSet refused = 0;
    if (Trim(aValue).empty())
        return set;
    for (const String& entry : SplitString(Trim(aValue), u',')) {
        const std::vector<String> parts = SplitString(entry, u';');
        const String name = parts.empty() ? String() : LowerCase(Trim(parts[0]));
        double weight = 1;
        for (size_t i = 1; i < parts.size(); ++i) {
            const size_t eq = parts[i].find(u'=');
            if (eq == String::npos)
                continue;
            if (SameText(Trim(StringView(parts[i]).substr(0, eq)), u"q"))
                weight = ReadWeight(Trim(StringView(parts[i]).substr(eq + 1)));
        }
        const AcceptEncodingSet coding = CodingOf(name);
        if (!(weight <= 0)) { // above 0, or no number
            set |= coding;
            refused &= AcceptEncodingSet(~coding);
        } else if (coding == aeIdentity) {
            set &= AcceptEncodingSet(~aeIdentity);
        } else if (coding == aeGzip || coding == aeCompress || coding == aeDeflate) {
            set &= AcceptEncodingSet(~coding);
            refused |= coding;
        }
    }
    if ((set & aeAny) && refused) {
        set &= AcceptEncodingSet(~aeAny);
        set |= AcceptEncodingSet((aeGzip | aeCompress | aeDeflate) & ~refused);
    }
    return set;
}

bool AcceptsGzip(AcceptEncodingSet aSet) {
    return (aSet & (aeGzip | aeAny)) != 0;
}

// ---- Text ---------------------------------------------------------------------------------

bool StartsWithHTTPMethod(StringView aText) {
    static constexpr StringView methods[] = {u"CONNECT ", u"DELETE ", u"GET ", u"HEAD ",
                                             u"OPTIONS ", u"POST ",   u"PUT ", u"TRACE "};
    for (StringView m : methods)
        if (aText.starts_with(m))
            return true;
    return false;
}

String EscapeXmlText(StringView aText) {
    String result;
    result.reserve(aText.size());
    for (Char c : aText) {
        switch (c) {
        case u'&':
            result += u"&amp;";
            break;
        case u'"':
            result += u"&quot;";
            break;
        case u'\'':
            result += u"&apos;";
            break;
        case u'<':
            result += u"&lt;";
            break;
        case u'>':
            result += u"&gt;";
            break;
        default:
            result += c;
        }
    }
    return result;
}

String ClientAccessPolicyAllowAll() {
    return u"<?xml version=\"1.0\" encoding=\"utf-8\"?><access-policy><cross-domain-access><policy>"
           u"<allow-from http-request-headers=\"*\"><domain uri=\"*\"/></allow-from><grant-to>"
           u"<resource path=\"/\" include-subpaths=\"true\"/></grant-to></policy></cross-domain-access>"
           u"</access-policy>";
}

// ---- HTTP transports ----------------------------------------------------------------------

void SetHTTPTransportContentType(const std::shared_ptr<IROTransport>& aTransport, const String& aContentType) {
    auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport);
    if (!http)
        return;
    http->SetContentType(aContentType);
    if (http->GetUserAgent().empty())
        http->SetUserAgent(ROAgentName);
}

String GetHTTPTransportContentType(const std::shared_ptr<IROTransport>& aTransport) {
    auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport);
    return http ? http->GetContentType() : String();
}

} // namespace vgl
