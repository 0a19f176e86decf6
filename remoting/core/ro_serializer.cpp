#include "remoting/core/ro_serializer.h"

#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/ro_types.h"

namespace vgl {

VGL_DEFINE_ENUM(TParamAttribute, u"paIsDateTime", u"paIsArrayElement", u"paIsTValue", u"paAsAnsiString",
                u"paAsUTF8String")
VGL_DEFINE_SET(TParamAttributes, TParamAttribute)
VGL_DEFINE_ENUM(TOrdType, u"otSByte", u"otUByte", u"otSWord", u"otUWord", u"otSLong", u"otULong")

VGL_DEFINE_CLASS(TROBaseSerializer) {}
VGL_DEFINE_CLASS(TROSerializer) {}

const TypeInfo& GuidTypeInfo() {
    static const TypeInfo info = AliasTypeInfo(TypeInfoFor(TypeTag<String>{}), u"Guid");
    return info;
}

const TypeInfo& DecimalTypeInfo() {
    static const TypeInfo info = AliasTypeInfo(TypeInfoFor(TypeTag<Variant>{}), u"Decimal");
    return info;
}

const TypeInfo& XmlNodeTypeInfo() {
    static const TypeInfo info = [] {
        TypeInfo t;
        t.Kind = tkInterface;
        t.Name = u"IXMLNode";
        return t;
    }();
    return info;
}

TOrdType OrdTypeOf(const TypeInfo& type) {
    switch (type.OrdSize) {
    case 1:
        return type.OrdSigned ? otSByte : otUByte;
    case 2:
        return type.OrdSigned ? otSWord : otUWord;
    default:
        return type.OrdSigned ? otSLong : otULong;
    }
}

namespace {

[[noreturn]] void RaiseUnknownType(TTypeKind kind) {
    throw EROUnknownType(STypeNotSupported, {TypeKindName(kind)});
}

[[noreturn]] void RaiseUnsupported(TTypeKind kind) {
    RaiseError(STypeNotSupported, {TypeKindName(kind)});
}

[[noreturn]] void RaiseAbstract() {
    throw EAbstractError(u"Abstract Error");
}

bool IsUtf8Type(const TypeInfo& type) {
    return type.CodePage == 65001;
}

/// The text of 8-bit string bytes, decoded by the type's code page.
String AnsiText(const TypeInfo& type, const AnsiString& bytes) {
    return IsUtf8Type(type) ? Utf8ToString(bytes) : CodePageToString(bytes, type.CodePage ? type.CodePage : 1252);
}

AnsiString AnsiBytes(const TypeInfo& type, const String& text) {
    return IsUtf8Type(type) ? AnsiString(StringToUtf8(text))
                            : StringToCodePage(text, type.CodePage ? type.CodePage : 1252);
}

bool IsClassOf(const TypeInfo& type, TClass base) {
    return type.ClassType && type.ClassType->InheritsFrom(base);
}

/// Runs a reader; an Exception becomes EROException naming the field.
template <class F> decltype(auto) WithErrorHandling(const String& aName, F&& reader) {
    try {
        return reader();
    } catch (const Exception& e) {
        RaiseError(u"Exception \"%s\" with message \"%s\" happens during reading field \"%s\".",
                   {e.ClassName(), e.Message(), aName});
    }
}

} // namespace

// ---- Dispatch -----------------------------------------------------------------------------

void TROSerializer::Write(const String& aName, const TypeInfo& aTypeInfo, const TROValue& Ref, int ArrayElementId,
                          TParamAttributes Attributes) {
    namespace k = valuekind;
    if (&aTypeInfo == &GuidTypeInfo())
        return WriteGuid(aName, Ref.Text, ArrayElementId);
    VisitValue(aTypeInfo,
               ValueVisitor{
                   [&](k::Integer) { WriteInteger(aName, OrdTypeOf(aTypeInfo), Ref.Ord, ArrayElementId); },
                   [&](k::Enumeration) { WriteEnumerated(aName, aTypeInfo, Ref.Ord, ArrayElementId); },
                   [&](k::Int64) { WriteInt64(aName, Ref.Ord, ArrayElementId); },
                   [&](k::Float) {
                       if (&aTypeInfo == &DateTimeTypeInfo())
                           return WriteDateTime(aName, TDateTime(Ref.Float), ArrayElementId);
                       WriteDouble(aName, aTypeInfo.FloatType, Ref.Float, ArrayElementId);
                   },
                   [&](k::AnsiText) {
                       if (!Attributes.Empty())
                           return WriteLegacyString(aName, AnsiText(aTypeInfo, Ref.Ansi), Attributes, ArrayElementId);
                       if (IsUtf8Type(aTypeInfo))
                           return WriteUTF8String(aName, Ref.Ansi, ArrayElementId);
                       WriteAnsiString(aName, Ref.Ansi, ArrayElementId);
                   },
                   [&](k::UnicodeText) {
                       // A WideString ignores the string attributes.
                       if (aTypeInfo.Kind == tkUString && !Attributes.Empty())
                           return WriteLegacyString(aName, Ref.Text, Attributes, ArrayElementId);
                       WriteUnicodeString(aName, Ref.Text, ArrayElementId);
                   },
                   [&](k::VariantValue) {
                       if (&aTypeInfo == &DecimalTypeInfo())
                           return WriteDecimal(aName, Ref.Var, ArrayElementId);
                       WriteVariant(aName, Ref.Var, ArrayElementId);
                   },
                   [&](k::Object) {
                       if (IsClassOf(aTypeInfo, &TROArray::StaticClassInfo()))
                           return WriteArray(aName, Ref.Object, aTypeInfo.ClassType, ArrayElementId);
                       if (IsClassOf(aTypeInfo, &TROComplexType::StaticClassInfo()))
                           return WriteStruct(aName, Ref.Object, aTypeInfo.ClassType, ArrayElementId);
                       if (IsClassOf(aTypeInfo, &TROBinaryMemoryStream::StaticClassInfo()))
                           return WriteBinary(aName, Ref.Object, ArrayElementId);
                       if (IsClassOf(aTypeInfo, &Exception::StaticClassInfo()))
                           return WriteException(aName, Ref.Object, ArrayElementId);
                       RaiseUnknownType(aTypeInfo.Kind);
                   },
                   [&](k::Interface) {
                       if (&aTypeInfo == &XmlNodeTypeInfo())
                           return WriteXml(aName, Ref.Xml, ArrayElementId);
                       RaiseUnknownType(aTypeInfo.Kind);
                   },
                   [&](k::AnyValue) { RaiseUnknownType(aTypeInfo.Kind); }, // characters, sets, events, records
               });
}

void TROSerializer::Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, int ArrayElementId,
                         TParamAttributes Attributes) {
    namespace k = valuekind;
    if (&aTypeInfo == &GuidTypeInfo())
        return ReadGuid(aName, Ref.Text, ArrayElementId);
    VisitValue(aTypeInfo,
               ValueVisitor{
                   [&](k::Integer) { ReadInteger(aName, OrdTypeOf(aTypeInfo), Ref.Ord, ArrayElementId); },
                   [&](k::Enumeration) { ReadEnumerated(aName, aTypeInfo, Ref.Ord, ArrayElementId); },
                   [&](k::Int64) { ReadInt64(aName, Ref.Ord, ArrayElementId); },
                   [&](k::Float) {
                       if (&aTypeInfo == &DateTimeTypeInfo()) {
                           TDateTime value = TDateTime(Ref.Float);
                           ReadDateTime(aName, value, ArrayElementId);
                           Ref.Float = value;
                           return;
                       }
                       ReadDouble(aName, aTypeInfo.FloatType, Ref.Float, ArrayElementId);
                   },
                   [&](k::AnsiText) {
                       if (!Attributes.Empty()) {
                           String text;
                           ReadLegacyString(aName, text, Attributes, ArrayElementId, -1);
                           Ref.Ansi = AnsiBytes(aTypeInfo, text);
                           return;
                       }
                       if (IsUtf8Type(aTypeInfo))
                           return ReadUTF8String(aName, Ref.Ansi, ArrayElementId, -1);
                       ReadAnsiString(aName, Ref.Ansi, ArrayElementId, -1);
                   },
                   [&](k::UnicodeText) {
                       // A WideString ignores the string attributes.
                       if (aTypeInfo.Kind == tkUString && !Attributes.Empty())
                           return ReadLegacyString(aName, Ref.Text, Attributes, ArrayElementId, -1);
                       ReadUnicodeString(aName, Ref.Text, ArrayElementId, -1);
                   },
                   [&](k::VariantValue) {
                       if (&aTypeInfo == &DecimalTypeInfo())
                           return ReadDecimal(aName, Ref.Var, ArrayElementId);
                       ReadVariant(aName, Ref.Var, ArrayElementId);
                   },
                   [&](k::Object) {
                       bool isArray = IsClassOf(aTypeInfo, &TROArray::StaticClassInfo());
                       bool isStruct = IsClassOf(aTypeInfo, &TROComplexType::StaticClassInfo());
                       bool isBinary = IsClassOf(aTypeInfo, &TROBinaryMemoryStream::StaticClassInfo());
                       bool isException = IsClassOf(aTypeInfo, &Exception::StaticClassInfo());
                       if (!isArray && !isStruct && !isBinary && !isException)
                           RaiseUnknownType(aTypeInfo.Kind);
                       const TScopeFail dropObject([&] {
                           Ref.Owned.reset();
                           Ref.Object = nullptr;
                       });
                       if (isArray)
                           ReadArray(aName, aTypeInfo.ClassType, Ref.Owned, ArrayElementId);
                       else if (isStruct)
                           ReadStruct(aName, aTypeInfo.ClassType, Ref.Owned, ArrayElementId);
                       else if (isBinary)
                           ReadBinary(aName, Ref.Owned, ArrayElementId);
                       else
                           ReadException(aName, Ref.Owned, ArrayElementId);
                       Ref.Object = Ref.Owned.get();
                   },
                   [&](k::Interface) {
                       if (&aTypeInfo == &XmlNodeTypeInfo())
                           return ReadXml(aName, Ref.Xml, ArrayElementId);
                       RaiseUnknownType(aTypeInfo.Kind);
                   },
                   [&](k::AnyValue) { RaiseUnsupported(aTypeInfo.Kind); }, // characters, sets, events, records
               });
}

// ---- Objects ------------------------------------------------------------------------------

namespace {

bool GoesThroughRegistry(const TObject& obj) {
    return obj.InheritsFrom(&TROComplexType::StaticClassInfo()) || obj.InheritsFrom(&EROException::StaticClassInfo());
}

std::span<const PropInfo* const> PropertyOrder(const TObject& obj, bool strict) {
    return strict ? obj.ClassInfo().Properties() : obj.ClassInfo().SortedProperties();
}

} // namespace

void TROSerializer::ReadObject(TObject* obj) {
    if (!obj)
        return;
    if (GoesThroughRegistry(*obj))
        return RttiReadStruct(*this, obj);
    namespace k = valuekind;
    for (const PropInfo* prop : PropertyOrder(*obj, GetRecordStrictOrder())) {
        const TypeInfo& type = *prop->PropType;
        TROValue value;
        VisitValue(type, ValueVisitor{
                             [&](k::Integer) { ReadInteger(prop->Name, OrdTypeOf(type), value.Ord, -1); },
                             [&](k::Enumeration) { ReadEnumerated(prop->Name, type, value.Ord, -1); },
                             [&](k::Int64) { ReadInt64(prop->Name, value.Ord, -1); },
                             [&](k::Float) {
                                 if (&type == &DateTimeTypeInfo()) {
                                     TDateTime d = 0;
                                     ReadDateTime(prop->Name, d, -1);
                                     value.Float = d;
                                 } else
                                     ReadDouble(prop->Name, type.FloatType, value.Float, -1);
                             },
                             [&](k::AnsiText) {
                                 String text;
                                 ReadLegacyString(prop->Name, text, {paAsUTF8String}, -1, -1);
                                 value.Ansi = AnsiBytes(type, text);
                             },
                             [&](k::UnicodeText) {
                                 if (&type == &GuidTypeInfo())
                                     ReadGuid(prop->Name, value.Text, -1);
                                 else
                                     ReadUnicodeString(prop->Name, value.Text, -1, -1);
                             },
                             [&](k::VariantValue) {
                                 if (&type == &DecimalTypeInfo())
                                     ReadDecimal(prop->Name, value.Var, -1);
                                 else
                                     ReadVariant(prop->Name, value.Var, -1);
                             },
                             [&](k::Object) { Read(prop->Name, type, value, -1); },
                             [&](k::AnyValue) { RaiseUnknownType(type.Kind); },
                         });
        StorePropValue(*obj, *prop, value);
    }
}

void TROSerializer::WriteObject(const TObject* obj) {
    if (!obj)
        return;
    if (GoesThroughRegistry(*obj))
        return RttiWriteStruct(*this, obj);
    namespace k = valuekind;
    for (const PropInfo* prop : PropertyOrder(*obj, GetRecordStrictOrder())) {
        const TypeInfo& type = *prop->PropType;
        // The kinds written below; anything else is refused before the value is read.
        const bool supported = VisitValue(type, ValueVisitor{
                                                    [](k::Integer) { return true; },
                                                    [](k::Enumeration) { return true; },
                                                    [](k::Int64) { return true; },
                                                    [](k::Float) { return true; },
                                                    [](k::Text) { return true; },
                                                    [](k::VariantValue) { return true; },
                                                    [](k::Object) { return true; },
                                                    [](k::AnyValue) { return false; },
                                                });
        if (!supported)
            RaiseUnsupported(type.Kind);
        TROValue value;
        LoadPropValue(*obj, *prop, value);
        VisitValue(type, ValueVisitor{
                             [&](k::Integer) { WriteInteger(prop->Name, OrdTypeOf(type), value.Ord, -1); },
                             [&](k::Enumeration) { WriteEnumerated(prop->Name, type, value.Ord, -1); },
                             [&](k::Int64) { WriteInt64(prop->Name, value.Ord, -1); },
                             [&](k::Float) {
                                 if (&type == &DateTimeTypeInfo())
                                     WriteDateTime(prop->Name, TDateTime(value.Float), -1);
                                 else
                                     WriteDouble(prop->Name, type.FloatType, value.Float, -1);
                             },
                             [&](k::AnsiText) {
                                 WriteLegacyString(prop->Name, AnsiText(type, value.Ansi), {paAsUTF8String}, -1);
                             },
                             [&](k::UnicodeText) {
                                 if (&type == &GuidTypeInfo())
                                     WriteGuid(prop->Name, value.Text, -1);
                                 else
                                     WriteUnicodeString(prop->Name, value.Text, -1);
                             },
                             [&](k::VariantValue) {
                                 if (&type == &DecimalTypeInfo())
                                     WriteDecimal(prop->Name, value.Var, -1);
                                 else
                                     WriteVariant(prop->Name, value.Var, -1);
                             },
                             [&](k::Object) { Write(prop->Name, type, value, -1); },
                             [&](k::AnyValue) { RaiseUnsupported(type.Kind); },
                         });
    }
}

bool TROSerializer::StartWriteObject(const String&, TClass, const TObject*, int) {
    return false;
}
void TROSerializer::FinishWriteObject(const String&, TClass, const TObject*, int) {}
bool TROSerializer::StartReadObject(const String&, TClass, std::unique_ptr<TObject>&, int) {
    return false;
}
void TROSerializer::FinishReadObject(const String&, TClass, std::unique_ptr<TObject>&, int) {}

// ---- Typed operations ---------------------------------------------------------------------

void TROSerializer::WriteInteger(const String&, TOrdType, std::int64_t, int) {
    RaiseAbstract();
}
void TROSerializer::WriteInt64(const String&, std::int64_t, int) {
    RaiseAbstract();
}
void TROSerializer::WriteEnumerated(const String&, const TypeInfo&, std::int64_t, int) {
    RaiseAbstract();
}
void TROSerializer::WriteUTF8String(const String& aName, const AnsiString& Ref, int ArrayElementId) {
    WriteLegacyString(aName, Utf8ToString(Ref), {paAsUTF8String}, ArrayElementId);
}
void TROSerializer::WriteAnsiString(const String& aName, const AnsiString& Ref, int ArrayElementId) {
    WriteLegacyString(aName, AnsiToString(Ref), {paAsAnsiString}, ArrayElementId);
}
void TROSerializer::WriteWideString(const String& aName, const String& Ref, int ArrayElementId) {
    WriteUnicodeString(aName, Ref, ArrayElementId);
}
void TROSerializer::WriteUnicodeString(const String&, const String&, int) {
    RaiseAbstract();
}
void TROSerializer::WriteLegacyString(const String&, const String&, TParamAttributes, int) {
    RaiseAbstract();
}
void TROSerializer::WriteDateTime(const String&, TDateTime, int) {
    RaiseAbstract();
}
void TROSerializer::WriteDouble(const String&, TFloatType, long double, int) {
    RaiseAbstract();
}
void TROSerializer::WriteVariant(const String&, const Variant&, int) {
    RaiseAbstract();
}
void TROSerializer::WriteXml(const String&, const std::shared_ptr<IXMLNode>&, int) {
    RaiseAbstract();
}
void TROSerializer::WriteGuid(const String&, const String&, int) {
    RaiseAbstract();
}
void TROSerializer::WriteDecimal(const String&, const Variant&, int) {
    RaiseAbstract();
}
void TROSerializer::WriteBinary(const String&, const TObject*, int) {
    RaiseAbstract();
}
void TROSerializer::WriteStruct(const String&, const TObject*, TClass, int) {
    RaiseAbstract();
}
void TROSerializer::WriteArray(const String&, const TObject*, TClass, int) {
    RaiseAbstract();
}
void TROSerializer::WriteException(const String&, const TObject*, int) {
    RaiseAbstract();
}

void TROSerializer::ReadInteger(const String&, TOrdType, std::int64_t&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadInt64(const String&, std::int64_t&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadEnumerated(const String&, const TypeInfo&, std::int64_t&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadUTF8String(const String& aName, AnsiString& Ref, int ArrayElementId, int) {
    String text;
    ReadLegacyString(aName, text, {paAsUTF8String}, ArrayElementId, -1);
    Ref = StringToUtf8(text);
}
void TROSerializer::ReadAnsiString(const String& aName, AnsiString& Ref, int ArrayElementId, int) {
    String text;
    ReadLegacyString(aName, text, {paAsAnsiString}, ArrayElementId, -1);
    Ref = StringToAnsi(text);
}
void TROSerializer::ReadWideString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength) {
    ReadUnicodeString(aName, Ref, ArrayElementId, aMaxLength);
}
void TROSerializer::ReadUnicodeString(const String&, String&, int, int) {
    RaiseAbstract();
}
void TROSerializer::ReadLegacyString(const String&, String&, TParamAttributes, int, int) {
    RaiseAbstract();
}
void TROSerializer::ReadDateTime(const String&, TDateTime&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadDouble(const String&, TFloatType, long double&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadVariant(const String&, Variant&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadXml(const String&, std::shared_ptr<IXMLNode>&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadGuid(const String&, String&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadDecimal(const String&, Variant&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadBinary(const String&, std::unique_ptr<TObject>&, int) {
    RaiseAbstract();
}
bool TROSerializer::ReadStruct(const String&, TClass, std::unique_ptr<TObject>&, int) {
    RaiseAbstract();
}
bool TROSerializer::ReadArray(const String&, TClass, std::unique_ptr<TObject>&, int) {
    RaiseAbstract();
}
void TROSerializer::ReadException(const String&, std::unique_ptr<TObject>&, int) {
    RaiseAbstract();
}

String TROSerializer::GetArrayElementName(const TypeInfo&, const void*) {
    return u"item";
}
String TROSerializer::GetArrayElementName(const String&) {
    return u"item";
}
void TROSerializer::ChangeClass(TClass) {}

String TROSerializer::GetValidElementName(StringView name) {
    String result = Trim(name);
    for (Char& c : result) {
        bool ok = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        if (!ok)
            c = u'_';
    }
    if (!result.empty() && result[0] >= u'0' && result[0] <= u'9')
        result.insert(result.begin(), u'_');
    return result;
}

// ---- Readers with error handling ----------------------------------------------------------

void TROSerializer::ReadIntegerWithErrorHandling(const String& aName, TOrdType anOrdType, std::int64_t& Ref,
                                                 int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadInteger(aName, anOrdType, Ref, ArrayElementId); });
}
void TROSerializer::ReadInt64WithErrorHandling(const String& aName, std::int64_t& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadInt64(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadEnumeratedWithErrorHandling(const String& aName, const TypeInfo& anEnumTypeInfo,
                                                    std::int64_t& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadEnumerated(aName, anEnumTypeInfo, Ref, ArrayElementId); });
}
void TROSerializer::ReadUTF8StringWithErrorHandling(const String& aName, AnsiString& Ref, int ArrayElementId,
                                                    int aMaxLength) {
    WithErrorHandling(aName, [&] { ReadUTF8String(aName, Ref, ArrayElementId, aMaxLength); });
}
void TROSerializer::ReadAnsiStringWithErrorHandling(const String& aName, AnsiString& Ref, int ArrayElementId,
                                                    int aMaxLength) {
    WithErrorHandling(aName, [&] { ReadAnsiString(aName, Ref, ArrayElementId, aMaxLength); });
}
void TROSerializer::ReadWideStringWithErrorHandling(const String& aName, String& Ref, int ArrayElementId,
                                                    int aMaxLength) {
    WithErrorHandling(aName, [&] { ReadWideString(aName, Ref, ArrayElementId, aMaxLength); });
}
void TROSerializer::ReadUnicodeStringWithErrorHandling(const String& aName, String& Ref, int ArrayElementId,
                                                       int aMaxLength) {
    WithErrorHandling(aName, [&] { ReadUnicodeString(aName, Ref, ArrayElementId, aMaxLength); });
}
void TROSerializer::ReadLegacyStringWithErrorHandling(const String& aName, String& Ref,
                                                      TParamAttributes ExtraAttributes, int ArrayElementId,
                                                      int aMaxLength) {
    WithErrorHandling(aName, [&] { ReadLegacyString(aName, Ref, ExtraAttributes, ArrayElementId, aMaxLength); });
}
void TROSerializer::ReadDateTimeWithErrorHandling(const String& aName, TDateTime& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadDateTime(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadDoubleWithErrorHandling(const String& aName, TFloatType aFloatType, long double& Ref,
                                                int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadDouble(aName, aFloatType, Ref, ArrayElementId); });
}
void TROSerializer::ReadVariantWithErrorHandling(const String& aName, Variant& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadVariant(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadXmlWithErrorHandling(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadXml(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadGuidWithErrorHandling(const String& aName, String& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadGuid(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadDecimalWithErrorHandling(const String& aName, Variant& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadDecimal(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadDecimalWithErrorHandling_cpp(const String& aName, Variant& Ref, int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadDecimal(aName, Ref, ArrayElementId); });
}
void TROSerializer::ReadBinaryWithErrorHandling(const String& aName, std::unique_ptr<TObject>& Ref,
                                                int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadBinary(aName, Ref, ArrayElementId); });
}
bool TROSerializer::ReadStructWithErrorHandling(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                                int ArrayElementId) {
    return WithErrorHandling(aName, [&] { return ReadStruct(aName, aClass, Ref, ArrayElementId); });
}
bool TROSerializer::ReadArrayWithErrorHandling(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                               int ArrayElementId) {
    return WithErrorHandling(aName, [&] { return ReadArray(aName, aClass, Ref, ArrayElementId); });
}
void TROSerializer::ReadExceptionWithErrorHandling(const String& aName, std::unique_ptr<TObject>& Ref,
                                                   int ArrayElementId) {
    WithErrorHandling(aName, [&] { ReadException(aName, Ref, ArrayElementId); });
}

// ---- Enumeration storage ------------------------------------------------------------------

std::int64_t GetEnumOrdValue(const TypeInfo& anEnumType, const void* storage) {
    switch (anEnumType.OrdSize) {
    case 1: {
        std::uint8_t v;
        std::memcpy(&v, storage, 1);
        return v;
    }
    case 2: {
        std::uint16_t v;
        std::memcpy(&v, storage, 2);
        return v;
    }
    default: {
        std::uint32_t v;
        std::memcpy(&v, storage, 4);
        return v;
    }
    }
}

void SetEnumOrdValue(std::int64_t value, const TypeInfo& anEnumType, void* storage) {
    switch (anEnumType.OrdSize) {
    case 1: {
        auto v = static_cast<std::uint8_t>(value);
        std::memcpy(storage, &v, 1);
        break;
    }
    case 2: {
        auto v = static_cast<std::uint16_t>(value);
        std::memcpy(storage, &v, 2);
        break;
    }
    default: {
        auto v = static_cast<std::uint32_t>(value);
        std::memcpy(storage, &v, 4);
        break;
    }
    }
}

} // namespace vgl
