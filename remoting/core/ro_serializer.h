#pragma once
// TROSerializer: the base of every wire-format serializer. It maps a value's type onto one typed
// operation (Write, Read), walks the published properties of objects (WriteObject,
// ReadObject), turns the 8-bit and wide string flavours into the two string operations that a
// format implements, names array elements, and offers readers that restate any failure with
// the field's name.
//
// Typed operations take the element name, the value (writers) or a reference to where the value
// goes (readers), and the element's index when it is an array element (-1 otherwise). Object
// values are written from a pointer (none allowed) and read into a std::unique_ptr, which the
// format fills; a format may replace an object already held there.

#include <cstdint>
#include <memory>

#include "platform/rtl/datetime.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "remoting/core/ro_value.h"

namespace vgl {

class Exception;

enum TParamAttribute { paIsDateTime, paIsArrayElement, paIsTValue, paAsAnsiString, paAsUTF8String };
VGL_DECLARE_ENUM(TParamAttribute);
VGL_DECLARE_SET(TParamAttributes, TParamAttribute);

/// Width and sign of an integer value.
enum TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
VGL_DECLARE_ENUM(TOrdType);
/// The TOrdType of an integer type (by its OrdSize and OrdSigned).
TOrdType OrdTypeOf(const TypeInfo& type);

/// A root without operations of its own.
class TROBaseSerializer : public TObject {
    VGL_CLASS(TROBaseSerializer, TObject)
    TROBaseSerializer() = default;
};

class TROSerializer : public TROBaseSerializer {
    VGL_CLASS(TROSerializer, TROBaseSerializer)

    /// MaxStringSize -1 (no limit), no namespaces.
    TROSerializer() = default;

    /// The namespaces in which the format looks structure and exception classes up (not owned).
    TStrings* DefaultNamespaces() const { return fDefaultNamespaces; }
    void SetDefaultNamespaces(TStrings* value) { fDefaultNamespaces = value; }
    /// The largest text the format accepts; -1 means no limit.
    std::int32_t MaxStringSize() const { return fMaxStringSize; }
    void SetMaxStringSize(std::int32_t value) { fMaxStringSize = value; }
    bool RecordStrictOrder() const { return GetRecordStrictOrder(); }

    /// One value by its type (see the dispatch rules in ro_serializer.cpp). Raises
    /// EROUnknownType "Type "%s" not supported" for a type no operation takes.
    void Write(const String& aName, const TypeInfo& aTypeInfo, const TROValue& Ref, int ArrayElementId,
               TParamAttributes Attributes = {});
    /// Mirrors Write. Texts are read without length limit. A failed read of an object frees what
    /// was read so far and leaves Ref without object. An unsupported class or interface raises
    /// EROUnknownType, any other unsupported kind EROException.
    void Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, int ArrayElementId,
              TParamAttributes Attributes = {});

    /// The published properties of an object: structures, arrays and framework exceptions go
    /// through the type registry's structure walk, any other object property by property.
    virtual void ReadObject(TObject* obj);
    virtual void WriteObject(const TObject* obj);
    /// Whether structures travel with their fields in declaration order; false in the base.
    virtual bool GetRecordStrictOrder() const { return false; }

    /// Hooks for objects that stream themselves; nothing in this system does, so the base never
    /// calls them. The Start hooks answer "not handled".
    virtual bool StartWriteObject(const String& aName, TClass aClass, const TObject* obj, int ArrayElementId);
    virtual void FinishWriteObject(const String& aName, TClass aClass, const TObject* obj, int ArrayElementId);
    virtual bool StartReadObject(const String& aName, TClass aClass, std::unique_ptr<TObject>& obj, int ArrayElementId);
    virtual void FinishReadObject(const String& aName, TClass aClass, std::unique_ptr<TObject>& obj,
                                  int ArrayElementId);

    // Writers. Those a format does not implement raise EAbstractError.
    virtual void WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId);
    virtual void WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId);
    virtual void WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                                 int ArrayElementId);
    /// `Ref` holds UTF-8 bytes; written through WriteLegacyString with paAsUTF8String.
    virtual void WriteUTF8String(const String& aName, const AnsiString& Ref, int ArrayElementId);
    /// `Ref` holds bytes of the system ANSI code page; written through WriteLegacyString with
    /// paAsAnsiString.
    virtual void WriteAnsiString(const String& aName, const AnsiString& Ref, int ArrayElementId);
    /// Written through WriteUnicodeString.
    virtual void WriteWideString(const String& aName, const String& Ref, int ArrayElementId);
    virtual void WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId);
    /// Text that travels as 8-bit text; ExtraAttributes tell which (paAsAnsiString,
    /// paAsUTF8String).
    virtual void WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                                   int ArrayElementId);
    virtual void WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId);
    /// Currency (ftCurr) comes as its value.
    virtual void WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId);
    virtual void WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId);
    virtual void WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId);
    virtual void WriteGuid(const String& aName, const String& Ref, int ArrayElementId);
    virtual void WriteDecimal(const String& aName, const Variant& Ref, int ArrayElementId);
    virtual void WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId);
    virtual void WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId);
    virtual void WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId);
    virtual void WriteException(const String& aName, const TObject* Ref, int ArrayElementId);

    // Readers, in the same order.
    virtual void ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId);
    virtual void ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId);
    virtual void ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                                int ArrayElementId);
    /// ReadLegacyString with paAsUTF8String and no length limit, whatever aMaxLength says; the
    /// result is stored as UTF-8 bytes.
    virtual void ReadUTF8String(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1);
    /// The same with paAsAnsiString, stored in the system ANSI code page.
    virtual void ReadAnsiString(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1);
    /// ReadUnicodeString with the caller's aMaxLength.
    virtual void ReadWideString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1);
    virtual void ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1);
    virtual void ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes,
                                  int ArrayElementId, int aMaxLength = -1);
    virtual void ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId);
    virtual void ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId);
    virtual void ReadVariant(const String& aName, Variant& Ref, int ArrayElementId);
    virtual void ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId);
    virtual void ReadGuid(const String& aName, String& Ref, int ArrayElementId);
    virtual void ReadDecimal(const String& aName, Variant& Ref, int ArrayElementId);
    virtual void ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId);
    virtual bool ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId);
    virtual bool ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId);
    virtual void ReadException(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId);

    /// The element name of an array item: "item" in the base.
    virtual String GetArrayElementName(const TypeInfo& anItemType, const void* anItemReference);
    virtual String GetArrayElementName(const String& anItemType);
    /// Tells the format which class a structure is written as; nothing in the base.
    virtual void ChangeClass(TClass aClass);

    /// `name` as a valid element name: trimmed, every character other than 0-9, A-Z, a-z and
    /// "_" replaced by "_", and "_" put in front of a leading digit.
    static String GetValidElementName(StringView name);

    // Readers with error handling: a failure raised as an Exception becomes EROException
    // "Exception "%s" with message "%s" happens during reading field "%s"." (the failure's class
    // name, its message and aName); anything else passes unchanged.
    void ReadIntegerWithErrorHandling(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId);
    void ReadInt64WithErrorHandling(const String& aName, std::int64_t& Ref, int ArrayElementId);
    void ReadEnumeratedWithErrorHandling(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                                         int ArrayElementId);
    void ReadUTF8StringWithErrorHandling(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1);
    void ReadAnsiStringWithErrorHandling(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1);
    void ReadWideStringWithErrorHandling(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1);
    void ReadUnicodeStringWithErrorHandling(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1);
    void ReadLegacyStringWithErrorHandling(const String& aName, String& Ref, TParamAttributes ExtraAttributes,
                                           int ArrayElementId, int aMaxLength = -1);
    void ReadDateTimeWithErrorHandling(const String& aName, TDateTime& Ref, int ArrayElementId);
    void ReadDoubleWithErrorHandling(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId);
    void ReadVariantWithErrorHandling(const String& aName, Variant& Ref, int ArrayElementId);
    void ReadXmlWithErrorHandling(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId);
    void ReadGuidWithErrorHandling(const String& aName, String& Ref, int ArrayElementId);
    void ReadDecimalWithErrorHandling(const String& aName, Variant& Ref, int ArrayElementId);
    /// The same reader for a plain variant holder.
    void ReadDecimalWithErrorHandling_cpp(const String& aName, Variant& Ref, int ArrayElementId);
    void ReadBinaryWithErrorHandling(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId);
    bool ReadStructWithErrorHandling(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                     int ArrayElementId);
    bool ReadArrayWithErrorHandling(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                    int ArrayElementId);
    void ReadExceptionWithErrorHandling(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId);

private:
    TStrings* fDefaultNamespaces = nullptr;
    std::int32_t fMaxStringSize = -1;
};

/// An enumeration value kept in raw storage with the width its type declares (1, 2 or 4 bytes
/// for OrdSize 1, 2 and anything else), read without sign extension.
std::int64_t GetEnumOrdValue(const TypeInfo& anEnumType, const void* storage);
void SetEnumOrdValue(std::int64_t value, const TypeInfo& anEnumType, void* storage);

} // namespace vgl
