#pragma once
// The framework's custom attributes: what they carry and how they sit in the reflection tables.
//
// Reflection keeps an attribute as an AttributeInfo: its class name (`Kind`), a name and a value
// text. Each attribute class below builds that record (`Info()`) and reads it back (`From`), so a
// table declares `b.ClassAttribute(ROSkipAttribute().Kind())` or, more simply, goes through
// AddROAttribute / AddROClassAttribute. Attribute classes form a small hierarchy of their own
// (ROServiceAttribute is an ROEmptyNameAttribute, which is a TRONameAttribute); lookups that
// ask for a class accept its descendants.

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Base of the attributes that carry a name.
class TRONameAttribute {
public:
    explicit TRONameAttribute(String aName = {}) : fName(std::move(aName)) {}
    virtual ~TRONameAttribute() = default;
    const String& Name() const { return fName; }
    /// The attribute's class name as reflection stores it.
    virtual String Kind() const { return u"TRONameAttribute"; }
    /// The record a reflection table keeps.
    virtual AttributeInfo Info() const { return {Kind(), fName, {}}; }

protected:
    String fName;
};

/// One name/value pair of a class, a property or an enumeration.
class ROCustomAttribute : public TRONameAttribute {
public:
    ROCustomAttribute(String aName, String aValue) : TRONameAttribute(std::move(aName)), fValue(std::move(aValue)) {}
    const String& Value() const { return fValue; }
    String Kind() const override { return u"ROCustomAttribute"; }
    AttributeInfo Info() const override { return {Kind(), fName, fValue}; }
    static std::optional<ROCustomAttribute> From(const AttributeInfo& info);

private:
    String fValue;
};

/// A name attribute whose name may be empty.
class ROEmptyNameAttribute : public TRONameAttribute {
public:
    explicit ROEmptyNameAttribute(String aName = {}) : TRONameAttribute(std::move(aName)) {}
    String Kind() const override { return u"ROEmptyNameAttribute"; }
};

/// On an enumeration type: the name a value carries in SOAP.
class ROEnumSoapNameAttribute : public TRONameAttribute {
public:
    ROEnumSoapNameAttribute(String aEntityName, String aSoapName)
        : TRONameAttribute(std::move(aEntityName)), fSoapName(std::move(aSoapName)) {}
    const String& SoapName() const { return fSoapName; }
    String Kind() const override { return u"ROEnumSoapNameAttribute"; }
    AttributeInfo Info() const override { return {Kind(), fName, fSoapName}; }
    static std::optional<ROEnumSoapNameAttribute> From(const AttributeInfo& info);

private:
    String fSoapName;
};

/// Makes a class a service: its name and id. An id text that is no braced GUID gives the null
/// GUID.
class ROServiceAttribute : public ROEmptyNameAttribute {
public:
    ROServiceAttribute(String aName, StringView aID);
    const TGUID& ID() const { return fID; }
    String Kind() const override { return u"ROServiceAttribute"; }
    AttributeInfo Info() const override { return {Kind(), fName, GUIDToString(fID)}; }
    static std::optional<ROServiceAttribute> From(const AttributeInfo& info);

private:
    TGUID fID;
};

class ROServiceGroupAttribute : public TRONameAttribute {
public:
    using TRONameAttribute::TRONameAttribute;
    String Kind() const override { return u"ROServiceGroupAttribute"; }
};

class RODocumentationAttribute : public TRONameAttribute {
public:
    using TRONameAttribute::TRONameAttribute;
    String Kind() const override { return u"RODocumentationAttribute"; }
};

class RORoleAttribute : public TRONameAttribute {
public:
    using TRONameAttribute::TRONameAttribute;
    String Kind() const override { return u"RORoleAttribute"; }
};

class ROServiceMethodAttribute : public ROEmptyNameAttribute {
public:
    using ROEmptyNameAttribute::ROEmptyNameAttribute;
    String Kind() const override { return u"ROServiceMethodAttribute"; }
};

/// Keeps a type or member out of the type registry, services and definitions. Carries nothing.
class ROSkipAttribute {
public:
    String Kind() const { return u"ROSkipAttribute"; }
    AttributeInfo Info() const { return {Kind(), {}, {}}; }
};

/// True when the attribute class `kind` is `ancestorKind` or descends from it (ASCII
/// case-insensitive; unknown kinds descend from nothing but themselves).
bool AttributeKindInheritsFrom(StringView kind, StringView ancestorKind);
/// The first attribute whose class is `kind` or a descendant of it, or none.
const AttributeInfo* FindROAttribute(const TAttributes& attributes, StringView kind);

/// The first ROSkipAttribute (or descendant), or none.
const AttributeInfo* GetSkipAttribute(const TAttributes& attributes);
/// Every ROCustomAttribute, in declaration order.
std::vector<ROCustomAttribute> GetROCustomAttributes(const TAttributes& attributes);
/// Every ROEnumSoapNameAttribute, in declaration order.
std::vector<ROEnumSoapNameAttribute> GetEnumSoapNameAttributes(const TAttributes& attributes);
/// The ROCustomAttribute pairs as "name=value" lines joined by CR LF (a later pair of the same
/// name, compared ASCII case-insensitively, replaces an earlier one; a pair with an empty value
/// is not listed); empty text when there is none.
String GetCustomAttributesText(const TAttributes& attributes);

/// An enumeration type whose every value carries an ROEnumSoapNameAttribute naming the value
/// itself, so the type registry files it and its values travel under their own names.
TypeInfo EnumTypeInfoWithSoapNames(String name, std::vector<String> valueNames);
/// A copy of `type` with further attributes.
TypeInfo WithAttributes(TypeInfo type, std::vector<AttributeInfo> attributes);

/// Defines the description of a remotable enumeration (see EnumTypeInfoWithSoapNames); declare it
/// with VGL_DECLARE_ENUM as usual.
#define VGL_DEFINE_RO_ENUM(Enum, ...)                                                                                  \
    const ::vgl::TypeInfo& TypeInfoFor(::vgl::TypeTag<Enum>) {                                                         \
        static const ::vgl::TypeInfo info = ::vgl::EnumTypeInfoWithSoapNames(u"" #Enum, {__VA_ARGS__});                \
        return info;                                                                                                   \
    }

/// Adds a framework attribute to the member a class builder declared last, or to the class.
template <class Builder, class A> Builder& AddROAttribute(Builder& b, const A& attribute) {
    AttributeInfo i = attribute.Info();
    return b.Attribute(std::move(i.Kind), std::move(i.Name), std::move(i.Value));
}
template <class Builder, class A> Builder& AddROClassAttribute(Builder& b, const A& attribute) {
    AttributeInfo i = attribute.Info();
    return b.ClassAttribute(std::move(i.Kind), std::move(i.Name), std::move(i.Value));
}

} // namespace vgl
