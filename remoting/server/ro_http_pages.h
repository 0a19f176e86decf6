#pragma once
// The HTTP server's built-in pages that show the service definition: the information page
// ("/"), the server's icon ("/favicon.ico") and the definition XML ("/rodl", with the query
// parameter "servicegroup"). The page template "ROHtmlServerInfo" and the icon "ROHtmlIcon"
// are the program's own RCDATA resources.
//
// Every value put into the information page (base path, library name and documentation,
// dispatcher paths and class names) is HTML-escaped, and the placeholders are replaced in one
// pass, so a value that holds a placeholder's text stays as it is.

#include <memory>
#include <string>

#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;
class TRODLLibrary;
class TROMessageDispatchers;
class TROCustomHTTPServer;
class IROHTTPRequest;
class IROHTTPResponse;

/// The program's version as "v%d.%d.%d.%d" (all 0 when the build sets none).
String ProgramVersionText();

/// The information page for a base path (made to end in "/"; "/" when empty) as UTF-8: the
/// template with "%BASEPATH%", "%NAME%", "%DOC%", "%DISPATCHERS%" (one list entry per
/// dispatcher with a path) and "%RO%" filled in. EROException when the template resource is
/// missing.
std::string ServerInfoPage(const String& aBasePath, const TRODLLibrary& aLibrary,
                           const TROMessageDispatchers& aDispatchers);

/// Answers "/" (with ServeInfoPage on), "/favicon.ico" (with ServeInfoPage on) and "/rodl"
/// without a sub-path (with ServeRodl on) into the answer stream, with status 200 and the
/// content type: true. Any other path: false, nothing written. The definition comes from the
/// server's definition reader; its failures pass on.
bool ServeDefinitionPage(TROCustomHTTPServer& aServer, const std::shared_ptr<IROHTTPRequest>& aRequest,
                         IROHTTPResponse& aResponse, TStream& aResponseStream, const String& aRoot, const String& aSub);

} // namespace vgl
