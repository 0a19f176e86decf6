#include "remoting/core/ro_attributes.h"

#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

struct KindParent {
    const char16_t* Kind;
    const char16_t* Parent;
};

// The attribute classes of the framework and their parents.
constexpr KindParent KindTable[] = {
    {u"ROCustomAttribute", u"TRONameAttribute"},       {u"ROEmptyNameAttribute", u"TRONameAttribute"},
    {u"ROEnumSoapNameAttribute", u"TRONameAttribute"}, {u"ROServiceAttribute", u"ROEmptyNameAttribute"},
    {u"ROServiceGroupAttribute", u"TRONameAttribute"}, {u"RODocumentationAttribute", u"TRONameAttribute"},
    {u"RORoleAttribute", u"TRONameAttribute"},         {u"ROServiceMethodAttribute", u"ROEmptyNameAttribute"},
};

const char16_t* ParentKind(StringView kind) {
    for (const KindParent& k : KindTable)
        if (SameText(kind, k.Kind))
            return k.Parent;
    return nullptr;
}

TGUID GuidOrNull(StringView text) {
    TGUID id;
    return TryStringToGUID(text, id) ? id : GUID_NULL;
}

} // namespace

std::optional<ROCustomAttribute> ROCustomAttribute::From(const AttributeInfo& info) {
    if (!AttributeKindInheritsFrom(info.Kind, u"ROCustomAttribute"))
        return std::nullopt;
    return ROCustomAttribute(info.Name, info.Value);
}

std::optional<ROEnumSoapNameAttribute> ROEnumSoapNameAttribute::From(const AttributeInfo& info) {
    if (!AttributeKindInheritsFrom(info.Kind, u"ROEnumSoapNameAttribute"))
        return std::nullopt;
    return ROEnumSoapNameAttribute(info.Name, info.Value);
}

ROServiceAttribute::ROServiceAttribute(String aName, StringView aID)
    : ROEmptyNameAttribute(std::move(aName)), fID(GuidOrNull(aID)) {}

std::optional<ROServiceAttribute> ROServiceAttribute::From(const AttributeInfo& info) {
    if (!AttributeKindInheritsFrom(info.Kind, u"ROServiceAttribute"))
        return std::nullopt;
    return ROServiceAttribute(info.Name, info.Value);
}

bool AttributeKindInheritsFrom(StringView kind, StringView ancestorKind) {
    String current(kind);
    for (int depth = 0; depth < 8; ++depth) {
        if (SameText(current, ancestorKind))
            return true;
        const char16_t* parent = ParentKind(current);
        if (!parent)
            return false;
        current = parent;
    }
    return false;
}

const AttributeInfo* FindROAttribute(const TAttributes& attributes, StringView kind) {
    for (const AttributeInfo& a : attributes)
        if (AttributeKindInheritsFrom(a.Kind, kind))
            return &a;
    return nullptr;
}

const AttributeInfo* GetSkipAttribute(const TAttributes& attributes) {
    return FindROAttribute(attributes, u"ROSkipAttribute");
}

std::vector<ROCustomAttribute> GetROCustomAttributes(const TAttributes& attributes) {
    std::vector<ROCustomAttribute> result;
    for (const AttributeInfo& a : attributes)
        if (auto c = ROCustomAttribute::From(a))
            result.push_back(std::move(*c));
    return result;
}

std::vector<ROEnumSoapNameAttribute> GetEnumSoapNameAttributes(const TAttributes& attributes) {
    std::vector<ROEnumSoapNameAttribute> result;
    for (const AttributeInfo& a : attributes)
        if (auto e = ROEnumSoapNameAttribute::From(a))
            result.push_back(std::move(*e));
    return result;
}

String GetCustomAttributesText(const TAttributes& attributes) {
    TStringList lines;
    for (const ROCustomAttribute& a : GetROCustomAttributes(attributes))
        lines.SetValue(a.Name(), a.Value());
    return lines.Count() == 0 ? String() : lines.Text();
}

TypeInfo WithAttributes(TypeInfo type, std::vector<AttributeInfo> attributes) {
    for (AttributeInfo& a : attributes)
        type.Attributes.push_back(std::move(a));
    return type;
}

TypeInfo EnumTypeInfoWithSoapNames(String name, std::vector<String> valueNames) {
    std::vector<AttributeInfo> soapNames;
    for (const String& v : valueNames)
        soapNames.push_back(ROEnumSoapNameAttribute(v, v).Info());
    return WithAttributes(EnumTypeInfo(std::move(name), std::move(valueNames)), std::move(soapNames));
}

} // namespace vgl
