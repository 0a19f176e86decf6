#pragma once
// Delivering the service definition of the running program as XML: from a library, filtered
// from another definition stream, from a definition reader or from the definition the program
// carries as the raw-data resource "RODLFILE" (this program carries none).

#include <memory>

#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;
class TRODLLibrary;
class TROCustomRODLReader;
class IROTransport;

/// The content type of the definition XML.
inline constexpr const char16_t* RODLContentType = u"text/xml; charset=utf-8";

/// Appends the library's XML (TRODLToXML with the given settings) to the stream.
void WriteRODLLibraryToStream(const TRODLLibrary& aLibrary, TStream& aStream, bool aExcludePrivateServices,
                              bool aExcludeServiceGroupAttribute, const String& aServiceGroup);
/// Reads a definition from aSource and writes it to aDest without private services, filtered
/// by the service group. When any step fails, aDest is cut back to where it was and receives
/// aSource's whole content unchanged; the failure is not passed on.
void FilterRODLStream(TStream& aSource, TStream& aDest, const String& aServiceGroup,
                      bool aExcludeServiceGroupAttribute);
/// Writes the program's definition for a service group into aDest and answers its content
/// type. The group is the HTTP transport's query parameter "servicegroup" followed directly by
/// aServiceGroup. With a reader, the reader's ReadRODLResource writes it; otherwise the
/// "RODLFILE" resource is passed through FilterRODLStream; without that resource nothing is
/// written when aAllowMissing is set, else EROException "Resource RODLFILE not found". An
/// HTTP transport gets the content type (SetHTTPTransportContentType).
String WriteRODLToStream(TStream& aDest, const std::shared_ptr<IROTransport>& aTransport, const String& aServiceGroup,
                         bool aExcludeServiceGroupAttribute, bool aAllowMissing, TROCustomRODLReader* aReader);
/// The program's definition as a new library: written with WriteRODLToStream (no transport,
/// no group) and read back; with aAllowMissing an empty definition gives an empty library
/// without a name.
std::unique_ptr<TRODLLibrary> GetRODLLibrary(TROCustomRODLReader* aReader, bool aAllowMissing,
                                             bool aExcludeServiceGroupAttribute);
/// A read-only stream over the program's "RODLFILE" resource; EROException "Resource RODLFILE
/// not found" when the program has none.
std::unique_ptr<TStream> CreateRODLResourceStream();

} // namespace vgl
