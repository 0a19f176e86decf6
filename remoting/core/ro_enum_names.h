#pragma once
// Enumeration value names with and without prefixes, and their SOAP names.

#include <cstdint>

#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// The name of value `ordinal`, without `prefix` when the name starts with it (case-sensitive).
/// With an empty prefix the name itself; serializers also use it to name a type kind.
String StripEnumPrefix(const TypeInfo& type, std::int64_t ordinal, StringView prefix = {});
/// The ordinal of the value named `prefix` + `name`, compared ASCII case-insensitively (a name
/// of 256 characters or more never matches). Not found: -1, or, with `raiseWhenInvalid`,
/// EROException "Requested value '%s' of "%s" type is invalid." with `name` and the type's name.
int GetEnumValueByName(const TypeInfo& type, StringView name, StringView prefix = {}, bool raiseWhenInvalid = false);
/// The value name that carries `soapName` on the wire, or `soapName` when the type registry
/// knows no pair.
String EnumValueFromSoapName(StringView enumName, StringView soapName, const TStrings* namespaceList = nullptr);
/// The SOAP name of a value name, or the value name when the type registry knows no pair.
String EnumSoapNameFromValue(StringView enumName, StringView valueName, const TStrings* namespaceList = nullptr);

} // namespace vgl
