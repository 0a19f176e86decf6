#include "remoting/core/ro_enum_names.h"

#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl {

String StripEnumPrefix(const TypeInfo& type, std::int64_t ordinal, StringView prefix) {
    String name = GetEnumName(type, ordinal);
    if (!prefix.empty() && name.size() >= prefix.size() && StringView(name).substr(0, prefix.size()) == prefix)
        name.erase(0, prefix.size());
    return name;
}

int GetEnumValueByName(const TypeInfo& type, StringView name, StringView prefix, bool raiseWhenInvalid) {
    String full = String(prefix) + String(name);
    if (full.size() < 256) {
        const std::vector<String>& names = type.Enum.Names();
        for (size_t i = 0; i < names.size(); ++i)
            if (SameText(names[i], full))
                return int(i);
    }
    if (raiseWhenInvalid)
        RaiseError(u"Requested value '%s' of \"%s\" type is invalid.", {String(name), type.Name});
    return -1;
}

String EnumValueFromSoapName(StringView enumName, StringView soapName, const TStrings* namespaceList) {
    return RttiEnumValueFromSoapName(enumName, soapName, namespaceList);
}

String EnumSoapNameFromValue(StringView enumName, StringView valueName, const TStrings* namespaceList) {
    return RttiEnumSoapNameFromValue(enumName, valueName, namespaceList);
}

} // namespace vgl
