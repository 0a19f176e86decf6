#pragma once
// The remotable structured types: TROComplexType, whose published properties are the fields of a
// structure that travels in a remote call, and XsDateTime, a date-time with a time zone.
//
// A structure owns the objects held by its class-typed fields (nested structures, arrays, byte
// streams): such a field is a std::unique_ptr member, published like any field; the builder
// makes it an owning property (OwnsObject), so reading or copying a value into it hands the
// object over, and the member frees it with the structure:
//     class TGeoLabelData : public TROComplexType {
//         VGL_CLASS(TGeoLabelData, TROComplexType)
//         std::unique_ptr<TCountryInfo> FRCountry;
//     };
//     b.Property(u"RCountry", &TGeoLabelData::FRCountry);   // in its table
// A class-typed field over a raw pointer is a reference the structure does not own.

#include <memory>

#include "platform/rtl/collection.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

namespace vgl {

class TROSerializer;
class IXMLNode;

/// A set of type kinds (SmartAssign).
using TTypeKinds = TSet<TTypeKind>;

class TROComplexType : public TCollectionItem {
    VGL_CLASS(TROComplexType, TCollectionItem)

    TROComplexType() : TROComplexType(static_cast<TCollection*>(nullptr)) {}
    /// As the item of a collection (none: a free-standing structure).
    explicit TROComplexType(TCollection* aCollection) : TCollectionItem(aCollection) {}

    /// The fields: every published property of the class, sorted by name (ASCII letters
    /// compared as upper case, a name before every longer name that begins with it).
    int FieldCount() const;
    /// The type of field `index`; none when index is outside 0..FieldCount-1.
    const TypeInfo* GetFieldInfo(int index) const;
    /// The name of field `index`; empty text when index is outside 0..FieldCount-1.
    String GetFieldName(int index) const;
    /// Clears `list` and adds every field name in field order.
    void GetFieldNames(TStrings& list) const;
    /// The field's value; enumerations and sets by name; an empty name gives an empty text.
    /// Raises EPropertyError for a name the class lacks.
    Variant GetFieldValue(StringView aFieldName) const;
    /// Sets the field from a variant; an empty name does nothing. Raises EPropertyError for a
    /// name the class lacks.
    void SetFieldValue(StringView aFieldName, const Variant& aValue);
    /// Copies every published property of Source's class whose kind is in TypeKinds, by name:
    /// class-typed ones only when both objects hold an object (by Assign), others as values
    /// (enumerations as ordinals).
    void SmartAssign(const TROComplexType& Source, TTypeKinds TypeKinds);

    /// From another structure: the fields both share, through the type registry
    /// (RttiAssignComplex); anything else raises the "Cannot assign" error.
    void Assign(const TPersistent* Source) override;
    /// A new object of the same class (its parameterless constructor), assigned from this one.
    virtual std::unique_ptr<TROComplexType> Clone() const;

    /// Reads or writes the fields through the serializer (its ReadObject / WriteObject).
    virtual void ReadComplex(TROSerializer& ASerializer);
    virtual void WriteComplex(TROSerializer& ASerializer);

    /// The text dump: "structure <class name>", then per field in field order either
    /// "  field<n> <name>: <type> = <value>" or, for a field holding an object, "  field<n> <name>",
    /// the object's own dump (a byte stream's readable text) four blanks in, and "  end"; a field
    /// holding none gives no line; last "end".
    virtual std::unique_ptr<TStringList> DumpToStrings() const;
    /// The text dump as one text, every line ended by CR LF.
    String ContentAsString() const;
    /// The XML dump: a child "struct" (name = class name) of Node with one "field" (name, type)
    /// per field in field order, holding the value as text, a nested object's own dump, or a
    /// byte stream's readable text as CDATA; a field holding none stays empty.
    virtual void DumpToXml(const std::shared_ptr<IXMLNode>& Node) const;
    /// The XML text of the dump's element.
    String ContentAsXml() const;

    /// Class-level attributes beyond the class's ROCustomAttribute entries. A class that adds
    /// attributes overrides all three; the answers must not depend on the instance.
    virtual int GetAttributeCount() const { return 0; }
    virtual String GetAttributeName(int aIndex) const;
    virtual String GetAttributeValue(int aIndex) const;
    /// An attribute of the structured class `cls` by name (ASCII case-insensitive): its
    /// ROCustomAttribute entries, overridden by GetAttributeCount/Name/Value. Built once per
    /// class and process. `aValue` is empty when the answer is false.
    static bool TryGetAttribute(TClass cls, StringView aName, String& aValue);
};

/// Adds the text dump of an object that a field or an array element holds (a structure, an
/// array, a byte stream's readable text), four blanks in; false for other objects.
bool DumpObject(TStringList& list, const TObject& obj);
/// The same for the XML dump, into `node`.
bool DumpObjectToXml(const std::shared_ptr<IXMLNode>& node, const TObject& obj);

/// An XML Schema date-time with an optional time zone.
class XsDateTime : public TROComplexType {
    VGL_CLASS(XsDateTime, TROComplexType)

    /// DateTime 0 and TimeZoneOffset 0 (UTC).
    XsDateTime() = default;
    XsDateTime(TDateTime aDateTime, std::int32_t aTimeZone) : FDateTime(aDateTime), FTimeZoneOffset(aTimeZone) {}

    /// The offset that means "no zone".
    static constexpr std::int32_t NoTimeZone = 2147483647;

    TDateTime DateTime() const { return FDateTime; }
    void SetDateTime(TDateTime value) { FDateTime = value; }
    /// Minutes east of UTC; NoTimeZone without a zone.
    std::int32_t TimeZoneOffset() const { return FTimeZoneOffset; }
    void SetTimeZoneOffset(std::int32_t value) { FTimeZoneOffset = value; }
    /// True when a zone is present. Setting false removes the zone; setting true gives a zone
    /// of offset 0 when there was none and keeps an existing one.
    bool WriteTimeZone() const { return FTimeZoneOffset != NoTimeZone; }
    void SetWriteTimeZone(bool value);
    /// With a zone, the date-time less the offset; without, the date-time.
    TDateTime AsUTCDateTime() const;
    /// With a zone, the UTC value in local time; without, the date-time.
    TDateTime AsLocalDateTime() const;

    void Assign(const TPersistent* Source) override;
    /// "structure XsDateTime", "  DateTime = <date and time text>", "  TimeZoneOffset = <offset>",
    /// "end".
    std::unique_ptr<TStringList> DumpToStrings() const override;
    /// "DateTime", then "TimeZoneOffset" (a signed 32-bit integer), in that order whatever the
    /// serializer's field order.
    void ReadComplex(TROSerializer& ASerializer) override;
    /// Tells a strict-order serializer the class first (ChangeClass).
    void WriteComplex(TROSerializer& ASerializer) override;

private:
    TDateTime FDateTime = 0;
    std::int32_t FTimeZoneOffset = 0;
};

} // namespace vgl
