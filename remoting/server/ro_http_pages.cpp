#include "remoting/server/ro_http_pages.h"

#include <optional>
#include <span>

#include "platform/rtl/format.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/ro_interfaces.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_streams.h"
#include "remoting/server/ro_http_dispatcher.h"
#include "remoting/server/ro_http_server.h"

#ifndef VGL_PROJECT_VERSION
#define VGL_PROJECT_VERSION ""
#endif

namespace vgl {

namespace {

std::span<const std::uint8_t> Resource(const char16_t* aName) {
    std::optional<std::span<const std::uint8_t>> bytes = FindResource(aName, u"RCDATA");
    if (!bytes)
        throw EROException(u"Resource %s not found", {String(aName)});
    return *bytes;
}

void WriteBytes(TStream& aStream, std::span<const std::uint8_t> aBytes) {
    if (!aBytes.empty())
        aStream.WriteBuffer(aBytes.data(), std::int64_t(aBytes.size()));
}

/// The template with each placeholder replaced by its value, in one pass over the template.
String FillTemplate(const String& aTemplate, std::initializer_list<std::pair<const char16_t*, String>> aValues) {
    String out;
    size_t at = 0;
    while (at < aTemplate.size()) {
        bool replaced = false;
        if (aTemplate[at] == u'%')
            for (const auto& [name, value] : aValues) {
                const StringView placeholder(name);
                if (aTemplate.compare(at, placeholder.size(), placeholder) == 0) {
                    out += value;
                    at += placeholder.size();
                    replaced = true;
                    break;
                }
            }
        if (!replaced)
            out += aTemplate[at++];
    }
    return out;
}

} // namespace

String ProgramVersionText() {
    int parts[4] = {0, 0, 0, 0};
    const String version = Utf8ToString(VGL_PROJECT_VERSION);
    size_t start = 0;
    for (int i = 0; i < 4 && start <= version.size(); ++i) {
        size_t dot = version.find(u'.', start);
        if (dot == String::npos)
            dot = version.size();
        parts[i] = StrToIntDef(version.substr(start, dot - start), 0);
        start = dot + 1;
    }
    return Format(u"v%d.%d.%d.%d", {parts[0], parts[1], parts[2], parts[3]});
}

std::string ServerInfoPage(const String& aBasePath, const TRODLLibrary& aLibrary,
                           const TROMessageDispatchers& aDispatchers) {
    String base = aBasePath;
    if (base.empty() || base.back() != u'/')
        base += u'/';
    const String escapedBase = EscapeXmlText(base);
    String list;
    for (int i = 0; i < aDispatchers.Count(); ++i) {
        const auto* dispatcher = dynamic_cast<const TROHTTPDispatcher*>(aDispatchers.Items(i));
        if (!dispatcher || dispatcher->PathInfo().empty())
            continue;
        String path = dispatcher->PathInfo();
        if (path[0] == u'/')
            path.erase(0, 1);
        const String className = dispatcher->Message() ? dispatcher->Message()->ClassName() : String();
        list = Format(u"%0:s<li><a href=\"%1:s%2:s\">%2:s</a> <i>(%3:s)</i></li>",
                      {list, escapedBase, EscapeXmlText(path), EscapeXmlText(className)});
    }
    const std::span<const std::uint8_t> bytes = Resource(u"ROHtmlServerInfo");
    const String page =
        FillTemplate(Utf8ToString(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())),
                     {{u"%BASEPATH%", escapedBase},
                      {u"%NAME%", EscapeXmlText(aLibrary.Name())},
                      {u"%DOC%", EscapeXmlText(aLibrary.Documentation())},
                      {u"%DISPATCHERS%", list},
                      {u"%RO%", ProgramVersionText()}});
    return StringToUtf8(page);
}

bool ServeDefinitionPage(TROCustomHTTPServer& aServer, const std::shared_ptr<IROHTTPRequest>& aRequest,
                         IROHTTPResponse& aResponse, TStream& aResponseStream, const String& aRoot,
                         const String& aSub) {
    const String root = LowerCase(aRoot);
    if (aServer.ServeInfoPage() && aRoot == u"/") {
        String location = aRequest ? aRequest->GetLocation() : String();
        if (auto transport = std::dynamic_pointer_cast<IROHTTPTransport>(aRequest))
            location = transport->GetLocation();
        std::unique_ptr<TRODLLibrary> library = GetRODLLibrary(aServer.GetRODLReader(), false, false);
        const std::string page = ServerInfoPage(location + u"/", *library, aServer.Dispatchers());
        aResponseStream.WriteBuffer(page.data(), std::int64_t(page.size()));
        aResponse.SetCode(200);
        return true;
    }
    if (aServer.ServeInfoPage() && root == u"/favicon.ico") {
        WriteBytes(aResponseStream, Resource(u"ROHtmlIcon"));
        aResponse.SetCode(200);
        aResponse.SetContentType(u"image/x-icon");
        return true;
    }
    if (aServer.ServeRodl() && root == u"/rodl" && aSub.empty()) {
        const String contentType = WriteRODLToStream(aResponseStream, std::dynamic_pointer_cast<IROTransport>(aRequest),
                                                     {}, false, false, aServer.GetRODLReader());
        aResponse.SetCode(200);
        aResponse.SetContentType(contentType);
        return true;
    }
    return false;
}

} // namespace vgl
