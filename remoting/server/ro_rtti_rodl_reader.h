#pragma once
// TRORTTIRODLReader: the service definition of the running program, built from the run-time
// type information on every request and written as service-definition XML. The services are
// the RTTI services of the server cache (ro_rtti_server.h); the structures, arrays,
// enumerations and exceptions are the types their operations reach, through structure
// properties and array items, with the ancestors and descendants of the structures found.
//
// A service-group text (a comma list; "!" before a name excludes that group) filters the
// types: a type passes when it carries none of the excluded groups and every included group,
// either as ROServiceGroupAttribute names or as the items of its ROCustomAttribute
// "ROServiceGroups". With filtering on, every program type that passes is described, not only
// the reachable ones.
//
// The framework's own classes that the RTTI context holds from the start (TROComplexType,
// TROArray, XsDateTime and the framework's exception classes) are never described: they are
// bases and wire helpers, not types of the program.
//
// InitializeRemotingServer installs the class in the reader-class slot, so that the server and
// every message build their definition with it.

#include <memory>
#include <vector>

#include "platform/rtl/reflection.h"
#include "remoting/core/ro_message.h"

namespace vgl {

class TRODLLibrary;
class TRODLEntity;

class TRORTTIRODLReader : public TROBaseRTTIRODLReader {
    VGL_CLASS(TRORTTIRODLReader, TROBaseRTTIRODLReader)
    explicit TRORTTIRODLReader(TComponent* aOwner = nullptr) : TROBaseRTTIRODLReader(aOwner) {}

    /// Fills the library: its name, UID, documentation and namespace when missing, then one
    /// entity per type of FindAllROTypes (a second type of an existing name is left out).
    static void BuildRODLLibrary(TRODLLibrary& aLibrary, const String& aServiceGroup);
    /// The types the definition describes, sorted by name (AnsiCompareText).
    static std::vector<const TypeInfo*> FindAllROTypes(const String& aServiceGroup);

protected:
    /// Builds a library from the base reader's definition (none: an empty one), fills it and
    /// writes it without private services and without the service-group attribute, filtered by
    /// the group text. The library is freed on every path.
    void DoReadRODLResource(TStream& Dest, const String& aServiceGroup) override;
};

/// The definition's type name of an RTTI type name ("string" and "UnicodeString" give
/// "WideString", "TROBinaryMemoryStream" "Binary", "TDateTime" "DateTime", narrow integers
/// "Integer", ...); any other name is returned unchanged. Names compare without case.
String RODLTypeName(const String& aTypeName);

/// Sets the entity's documentation from RODocumentationAttribute, its attributes from the
/// ROCustomAttribute pairs (replacing what was there) and the line "ROServiceGroups" from the
/// ROServiceGroupAttribute names.
void ReadEntityAnnotations(TRODLEntity& anEntity, const TAttributes& anAttributes);

} // namespace vgl
