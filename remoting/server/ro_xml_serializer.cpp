#include "remoting/server/ro_xml_serializer.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/rtl/guid.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_datetime.h"
#include "remoting/core/ro_enum_names.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_stream_codecs.h"

namespace vgl {

VGL_DEFINE_ENUM(TROXMLSerializationOption, u"xsoWriteMultiRefArray", u"xsoWriteMultiRefObject", u"xsoSendUntyped",
                u"xsoStrictStructureFieldOrder", u"xsoIgnoreStructureType", u"xsoEncodedXML", u"xsoClientIdInWsdl",
                u"xsoDocument", u"xsoSplitServiceWsdls", u"xsoExternalTypesAsReferences", u"xsoSoap12",
                u"xsoSkipOperationName", u"xsoDocumentLiteralWrappedNaming", u"xsoHexBinary")
VGL_DEFINE_SET(TROXMLSerializationOptions, TROXMLSerializationOption)
VGL_DEFINE_CLASS(TROXMLSerializer) {}

namespace {

constexpr StringView kXsiNamespace = u"http://www.w3.org/2001/XMLSchema-instance";

String StripUnderscore(const String& name) {
    return !name.empty() && name[0] == u'_' ? name.substr(1) : name;
}

std::string Narrow(StringView text) {
    std::string s;
    for (Char c : text)
        s.push_back(c < 128 ? char(c) : '\x7F');
    return s;
}

[[noreturn]] void IntegerError(StringView text) {
    throw EConvertError(u"'%s' ist kein gültiger Integerwert", {String(text)});
}

/// The range of each integer kind.
void OrdRange(TOrdType type, std::int64_t& lo, std::int64_t& hi) {
    switch (type) {
    case otSByte:
        lo = -128, hi = 127;
        break;
    case otUByte:
        lo = 0, hi = 255;
        break;
    case otSWord:
        lo = -32768, hi = 32767;
        break;
    case otUWord:
        lo = 0, hi = 65535;
        break;
    case otSLong:
        lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
        break;
    case otULong:
        lo = 0, hi = std::numeric_limits<std::uint32_t>::max();
        break;
    }
}

const Char* XsdIntegerType(TOrdType type) {
    static const Char* const names[] = {u"xsd:byte",          u"xsd:unsignedByte", u"xsd:short",
                                        u"xsd:unsignedShort", u"xsd:int",          u"xsd:unsignedInt"};
    return names[type];
}

String TwoDigits(std::int32_t v) {
    return String(1, Char(u'0' + v / 10)) + Char(u'0' + v % 10);
}

} // namespace

TROXMLSerializationOptions DefaultXMLSerializationOptions() {
    return {xsoSendUntyped, xsoStrictStructureFieldOrder, xsoDocument, xsoSplitServiceWsdls};
}

String XmlFloatToStr(double value) {
    if (std::isnan(value))
        return u"NaN";
    if (std::isinf(value))
        return value > 0 ? u"INF" : u"-INF";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    String out;
    std::size_t e = s.find('e');
    std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
    for (char c : mantissa)
        out.push_back(Char(c));
    if (e != std::string::npos) {
        out += u"E";
        std::size_t i = e + 1;
        if (s[i] == '-')
            out += u"-";
        if (s[i] == '+' || s[i] == '-')
            ++i;
        while (i + 1 < s.size() && s[i] == '0')
            ++i;
        for (; i < s.size(); ++i)
            out.push_back(Char(s[i]));
    }
    return out;
}

double XmlStrToFloat(StringView text) {
    auto fail = [&] { throw EConvertError(u"'%s' ist kein gültiger Gleitkommawert", {String(text)}); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    StringView t = text.substr(i);
    if (SameText(t, u"NaN"))
        return std::numeric_limits<double>::quiet_NaN();
    if (SameText(t, u"INF"))
        return std::numeric_limits<double>::infinity();
    if (SameText(t, u"-INF"))
        return -std::numeric_limits<double>::infinity();
    // Sign, digits with at most one ".", optional exponent with sign; nothing else.
    std::size_t p = 0;
    if (p < t.size() && (t[p] == u'+' || t[p] == u'-'))
        ++p;
    std::size_t digits = 0;
    bool dot = false;
    for (; p < t.size(); ++p) {
        if (t[p] >= u'0' && t[p] <= u'9')
            ++digits;
        else if (t[p] == u'.' && !dot)
            dot = true;
        else
            break;
    }
    if (digits == 0)
        fail();
    if (p < t.size() && (t[p] == u'E' || t[p] == u'e')) {
        ++p;
        if (p < t.size() && (t[p] == u'+' || t[p] == u'-'))
            ++p;
        std::size_t expDigits = 0;
        for (; p < t.size() && t[p] >= u'0' && t[p] <= u'9'; ++p)
            ++expDigits;
        if (expDigits == 0)
            fail();
    }
    if (p != t.size())
        fail();
    std::string s = Narrow(t);
    if (s[0] == '+')
        s.erase(0, 1);
    double value = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (res.ec == std::errc::invalid_argument || res.ptr != s.data() + s.size())
        fail();
    if (res.ec == std::errc::result_out_of_range) // overflow to infinity or underflow to zero
        value = std::strtod(s.c_str(), nullptr);
    return value;
}

TROXMLSerializer::TROXMLSerializer(IXMLNodePtr aStorageRef) : fSerializationOptions(DefaultXMLSerializationOptions()) {
    SetStorageRef(std::move(aStorageRef));
    InitializeRPCEncoding();
}

TROXMLSerializer::~TROXMLSerializer() {
    ClearDocumentCache();
}

void TROXMLSerializer::SetStorageRef(IXMLNodePtr aStorageRef) {
    ClearDocumentCache();
    fNode.reset();
    if (aStorageRef) {
        fBodyNode.reset();
        fRespNode.reset();
        fMaxRef = 0;
        fNode = std::move(aStorageRef);
    }
}

void TROXMLSerializer::SetSerializationOptions(TROXMLSerializationOptions value) {
    fSerializationOptions = value;
    InitializeRPCEncoding();
}

void TROXMLSerializer::InitializeRPCEncoding() {
    ClearDocumentCache();
    fRPCEncoding = !fSerializationOptions.Contains(xsoSendUntyped) && !fSerializationOptions.Contains(xsoDocument);
    if (fRPCEncoding && fNode) {
        fXMLDocumentCache = std::dynamic_pointer_cast<IXMLDocumentCache>(fNode->GetOwnerDocument());
        if (fXMLDocumentCache)
            fXMLDocumentCache->EnableCache(u"id");
        else
            fRPCEncoding = false;
    }
}

void TROXMLSerializer::ClearDocumentCache() {
    if (fXMLDocumentCache)
        fXMLDocumentCache->ClearCache();
    fXMLDocumentCache.reset();
}

bool TROXMLSerializer::GetRecordStrictOrder() const {
    return fSerializationOptions.Contains(xsoStrictStructureFieldOrder);
}

IXMLNodePtr TROXMLSerializer::AddElement(const IXMLNodePtr& parent, const String& name, bool arrayItem) {
    if (!parent)
        throw EROException(u"DOMElement is nil");
    const String& used = arrayItem && !fArrayElementName.empty() ? fArrayElementName : name;
    if (fPrefix == u"v0" || fRPCEncoding)
        return parent->Add(used, u"*");
    String nameSpace = fCurrentNamespace;
    if (fPrefix.empty())
        return parent->Add(used, nameSpace);
    return parent->Add(fPrefix + u":" + used, nameSpace);
}

IXMLNodePtr TROXMLSerializer::FindElement(const String& aName, int ArrayElementId) const {
    if (!fNode)
        return nullptr;
    if (ArrayElementId < 0)
        return fNode->GetNodeByName(StripUnderscore(aName), 0, true);
    if (fElements.empty() || std::size_t(ArrayElementId) >= fElements.back().size())
        throw EArgumentOutOfRangeException(u"Argument out of range");
    return fNode->GetChildren(fElements.back()[std::size_t(ArrayElementId)]);
}

bool TROXMLSerializer::IsNilNode(const IXMLNodePtr& node) {
    if (!node)
        return true;
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i) {
        IXMLNodePtr a = node->GetAttributes(i);
        String ns = a->GetNamespace();
        if (ns.size() >= kXsiNamespace.size() &&
            SameText(StringView(ns).substr(0, kXsiNamespace.size()), kXsiNamespace) &&
            a->GetName().find(u":nil") != String::npos && VarToStr(a->GetValue()) == u"true")
            return true;
    }
    return false;
}

IXMLNodePtr TROXMLSerializer::WriteSimple(const String& aName, int ArrayElementId, const String& xsdType,
                                          const String& text) {
    if (fIsSimpleTypeExtension) {
        fNode->SetValue(Variant(text));
        return fNode;
    }
    IXMLNodePtr element = AddElement(fNode, StripUnderscore(aName), ArrayElementId >= 0);
    if (Typed() && !xsdType.empty())
        element->AddAttribute(u"xsi:type", Variant(xsdType));
    element->SetValue(Variant(text));
    return element;
}

bool TROXMLSerializer::ReadSimple(const String& aName, int ArrayElementId, String& text) const {
    IXMLNodePtr node = fIsSimpleTypeExtension ? fNode : FindElement(aName, ArrayElementId);
    if (IsNilNode(node)) {
        text.clear();
        return false;
    }
    text = VarToStr(node->GetValue());
    return true;
}

void TROXMLSerializer::WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) {
    WriteSimple(aName, ArrayElementId, XsdIntegerType(anOrdType), IntToStr(Ref));
}

void TROXMLSerializer::WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) {
    if (fIsSimpleTypeExtension && Typed())
        fNode->AddAttribute(u"xsi:type", Variant(String(u"xsd:long")));
    WriteSimple(aName, ArrayElementId, u"xsd:long", IntToStr(Ref));
}

void TROXMLSerializer::WriteUInt64(const String& aName, std::uint64_t Ref, int ArrayElementId) {
    if (fIsSimpleTypeExtension && Typed())
        fNode->AddAttribute(u"xsi:type", Variant(String(u"xsd:unsignedLong")));
    WriteSimple(aName, ArrayElementId, u"xsd:unsignedLong", UIntToStr(Ref));
}

void TROXMLSerializer::ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text)) {
        Ref = 0;
        return;
    }
    std::int64_t value = 0, lo = 0, hi = 0;
    if (!TryStrToInt64(text, value))
        IntegerError(text);
    OrdRange(anOrdType, lo, hi);
    // A value outside the declared width is refused instead of being cut to it.
    if (value < lo || value > hi)
        IntegerError(text);
    Ref = value;
}

void TROXMLSerializer::ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text)) {
        Ref = 0;
        return;
    }
    if (!TryStrToInt64(text, Ref))
        IntegerError(text);
}

void TROXMLSerializer::ReadUInt64(const String& aName, std::uint64_t& Ref, int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text)) {
        Ref = 0;
        return;
    }
    auto fail = [&] { throw EConvertError(u"'%s' is not a valid integer value", {text}); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X'))
        base = 16, ++i;
    else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
        base = 16, i += 2;
    if (i >= text.size())
        fail();
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        Char c = text[i];
        int d = c >= u'0' && c <= u'9'                 ? c - u'0'
                : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
                : base == 16 && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                       : -1;
        if (d < 0 || value > (std::numeric_limits<std::uint64_t>::max() - std::uint64_t(d)) / std::uint64_t(base))
            fail();
        value = value * std::uint64_t(base) + std::uint64_t(d);
    }
    if (negative && value != 0)
        fail();
    Ref = value;
}

void TROXMLSerializer::WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                                       int ArrayElementId) {
    const bool isBoolean = anEnumTypeInfo.Name == u"Boolean";
    String text;
    String type;
    if (isBoolean) {
        text = Ref ? u"true" : u"false";
        type = u"xsd:boolean";
    } else {
        String valueName = GetEnumName(anEnumTypeInfo, Ref);
        const String prefix = anEnumTypeInfo.Name + u"_";
        if (valueName.size() > prefix.size() && valueName.compare(0, prefix.size(), prefix) == 0)
            valueName = valueName.substr(prefix.size());
        text = valueName == u"___Empty" ? String()
                                        : EnumSoapNameFromValue(anEnumTypeInfo.Name, valueName, DefaultNamespaces());
        type = u"ro:" + anEnumTypeInfo.Name;
    }
    if (fIsSimpleTypeExtension && Typed())
        fNode->AddAttribute(u"xsi:type", Variant(type));
    WriteSimple(aName, ArrayElementId, type, text);
}

void TROXMLSerializer::ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                                      int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text)) {
        Ref = 0;
        return;
    }
    if (text.empty())
        return;
    auto invalid = [&] {
        throw EROException(u"The value \"%s\" for parameter \"%s\" of \"%s\" type is invalid",
                           {text, aName, anEnumTypeInfo.Name});
    };
    if (anEnumTypeInfo.Name == u"Boolean") {
        if (SameText(text, u"true") || text == u"1")
            Ref = 1;
        else if (SameText(text, u"false") || text == u"0")
            Ref = 0;
        else
            invalid();
        return;
    }
    String valueName = EnumValueFromSoapName(anEnumTypeInfo.Name, text, DefaultNamespaces());
    int value = GetEnumValue(anEnumTypeInfo, valueName);
    if (value < 0)
        value = GetEnumValue(anEnumTypeInfo, anEnumTypeInfo.Name + u"_" + text);
    if (value < 0)
        invalid();
    Ref = value;
}

void TROXMLSerializer::WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) {
    WriteLegacyString(aName, Ref, {paAsUTF8String}, ArrayElementId);
}

void TROXMLSerializer::WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                                         int ArrayElementId) {
    if (MaxStringSize() > 0 && std::int64_t(Ref.size()) > MaxStringSize())
        throw EROException(u"Cannot write string with length %d. Max allowed length is %d",
                           {std::int64_t(Ref.size()), MaxStringSize()});
    const String name = StripUnderscore(aName);
    const bool ansi = !ExtraAttributes.Contains(paAsUTF8String);
    if (!ansi && fNode && fAttributes.IndexOf(name) >= 0) {
        String attribute = fAnonymousAttributes.IndexOfName(name) >= 0 ? fAnonymousAttributes.Values(name) : name;
        fNode->AddAttribute(attribute, Variant(Ref));
        return;
    }
    if (fIsSimpleTypeExtension) {
        fNode->SetValue(Variant(Ref));
        return;
    }
    IXMLNodePtr element = AddElement(fNode, name, ArrayElementId >= 0);
    if (Typed())
        element->AddAttribute(u"xsi:type", Variant(String(u"xsd:string")));
    if (Ref.size() >= 12 && Ref.starts_with(u"<![CDATA[") && Ref.ends_with(u"]]>"))
        element->AddCData(Ref.substr(9, Ref.size() - 12));
    else
        element->SetValue(Variant(Ref));
}

void TROXMLSerializer::ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength) {
    ReadLegacyString(aName, Ref, {paAsUTF8String}, ArrayElementId, aMaxLength);
}

void TROXMLSerializer::ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes,
                                        int ArrayElementId, int) {
    const String name = StripUnderscore(aName);
    const bool ansi = !ExtraAttributes.Contains(paAsUTF8String);
    String text;
    if (!ansi && fNode && fAttributes.IndexOf(name) >= 0) {
        String attribute = fAnonymousAttributes.IndexOfName(name) >= 0 ? fAnonymousAttributes.Values(name) : name;
        for (int i = 0, n = fNode->GetAttributeCount(); i < n; ++i) {
            IXMLNodePtr a = fNode->GetAttributes(i);
            if (SameText(a->GetName(), attribute)) {
                text = VarToStr(a->GetValue());
                break;
            }
        }
    } else {
        ReadSimple(aName, ArrayElementId, text);
    }
    if (MaxStringSize() > 0 && std::int64_t(text.size()) > MaxStringSize())
        throw EROException(u"Cannot read string with length %d. Max allowed length is %d",
                           {std::int64_t(text.size()), MaxStringSize()});
    Ref = std::move(text);
}

void TROXMLSerializer::WriteGuid(const String& aName, const String& Ref, int ArrayElementId) {
    TGUID guid;
    if (!TryStringToGUID(Ref, guid))
        throw EConvertError(u"'%s' kein gültiger Wert für GUID", {Ref});
    String text = GUIDToString(guid);
    WriteLegacyString(aName, text.substr(1, text.size() - 2), {paAsAnsiString}, ArrayElementId);
}

void TROXMLSerializer::ReadGuid(const String& aName, String& Ref, int ArrayElementId) {
    String text;
    ReadLegacyString(aName, text, {paAsAnsiString}, ArrayElementId);
    Ref = !text.empty() && text[0] == u'{' ? text : u"{" + text + u"}";
}

void TROXMLSerializer::WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) {
    WriteSimple(aName, ArrayElementId, u"xsd:dateTime", DateTimeToISO8601(Ref));
}

void TROXMLSerializer::WriteXSDateTime(const String& aName, const XsDateTime* Ref, int ArrayElementId) {
    String text;
    if (Ref) {
        text = DateTimeToISO8601(Ref->DateTime());
        if (Ref->WriteTimeZone()) {
            const std::int32_t offset = Ref->TimeZoneOffset();
            if (offset == 0) {
                text += u"Z";
            } else {
                const std::int32_t minutes = offset < 0 ? -offset : offset;
                text += (offset < 0 ? u"-" : u"+") + TwoDigits(minutes / 60) + u":" + TwoDigits(minutes % 60);
            }
        }
    }
    WriteSimple(aName, ArrayElementId, u"xsd:dateTime", text);
}

void TROXMLSerializer::ReadXsDateTime(const String& aName, std::unique_ptr<XsDateTime>& Ref, int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text) || Trim(text).empty()) {
        Ref.reset();
        return;
    }
    std::int32_t offset = 0;
    const TDateTime value = ParseISO8601DateTime(Trim(text), offset);
    Ref = std::make_unique<XsDateTime>(value, offset == NoTimeZoneOffset ? XsDateTime::NoTimeZone : offset);
}

void TROXMLSerializer::ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) {
    String text;
    ReadSimple(aName, ArrayElementId, text);
    Ref = Trim(text).empty() ? 0 : ISO8601ToUtcDateTime(text);
}

void TROXMLSerializer::WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) {
    double value = aFloatType == ftSingle ? double(float(Ref)) : double(Ref);
    WriteSimple(aName, ArrayElementId, aFloatType == ftSingle ? u"xsd:float" : u"xsd:double", XmlFloatToStr(value));
}

void TROXMLSerializer::ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) {
    String text;
    if (!ReadSimple(aName, ArrayElementId, text)) {
        Ref = 0;
        return;
    }
    double value = XmlStrToFloat(text);
    if (aFloatType == ftComp)
        value = std::nearbyint(value);
    Ref = value;
}

void TROXMLSerializer::WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) {
    const TVarType type = VarType(Ref) & varTypeMask;
    switch (type) {
    case varEmpty:
    case varNull:
    case varError: {
        IXMLNodePtr element =
            fIsSimpleTypeExtension ? fNode : AddElement(fNode, StripUnderscore(aName), ArrayElementId >= 0);
        element->AddAttribute(type == varEmpty ? u"xsi:empty" : u"xsi:null", Variant(String(u"1")));
        return;
    }
    case varSmallint:
        return WriteInteger(aName, otSWord, Ref.AsInt64(), ArrayElementId);
    case varInteger:
        return WriteInteger(aName, otSLong, Ref.AsInt64(), ArrayElementId);
    case varShortInt:
        return WriteInteger(aName, otSByte, Ref.AsInt64(), ArrayElementId);
    case varByte:
        return WriteInteger(aName, otUByte, Ref.AsInt64(), ArrayElementId);
    case varWord:
        return WriteInteger(aName, otUWord, Ref.AsInt64(), ArrayElementId);
    case varLongWord:
        return WriteInteger(aName, otULong, Ref.AsInt64(), ArrayElementId);
    case varInt64:
        return WriteInt64(aName, Ref.AsInt64(), ArrayElementId);
    case varUInt64:
        return WriteUInt64(aName, Ref.AsUInt64(), ArrayElementId);
    case varSingle:
        return WriteDouble(aName, ftSingle, Ref.AsDouble(), ArrayElementId);
    case varDouble:
        return WriteDouble(aName, ftDouble, Ref.AsDouble(), ArrayElementId);
    case varCurrency:
        return WriteDouble(aName, ftCurr, Ref.AsDouble(), ArrayElementId);
    case varDate:
        return WriteDateTime(aName, Ref.AsDate(), ArrayElementId);
    case varOleStr:
    case varString:
    case varUString:
        return WriteUnicodeString(aName, VarToStr(Ref), ArrayElementId);
    case varBoolean:
        return WriteEnumerated(aName, TypeInfoFor(TypeTag<bool>{}), Ref.AsInt64() != 0, ArrayElementId);
    default:
        throw ENotSupportedException(Format(u"Unsupported variant type \"%d\"", {int(type)}) + u" Not Supported");
    }
}

void TROXMLSerializer::ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) {
    IXMLNodePtr node = fIsSimpleTypeExtension ? fNode : FindElement(aName, ArrayElementId);
    if (!node) {
        Ref = Null();
        return;
    }
    if (VarToStr(node->GetAttributeValue(u"xsi:empty", Variant(String()))) == u"1") {
        Ref = Variant();
        return;
    }
    if (VarToStr(node->GetAttributeValue(u"xsi:null", Variant(String()))) == u"1") {
        Ref = Null();
        return;
    }
    String type = u"xsd:string";
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i) {
        IXMLNodePtr a = node->GetAttributes(i);
        if (SameText(a->GetLocalName(), u"type"))
            type = VarToStr(a->GetValue());
    }
    if (auto colon = type.find(u':'); colon != String::npos)
        type = type.substr(colon + 1);
    // The typed reads look the value up again under the same name and index.
    std::int64_t i = 0;
    long double d = 0;
    if (SameText(type, u"string")) {
        String text;
        ReadUnicodeString(aName, text, ArrayElementId);
        Ref = Variant(text);
    } else if (SameText(type, u"float") || SameText(type, u"double")) {
        ReadDouble(aName, ftDouble, d, ArrayElementId);
        Ref = SameText(type, u"float") ? Variant(float(d)) : Variant(double(d));
    } else if (SameText(type, u"byte")) {
        ReadInteger(aName, otSByte, i, ArrayElementId);
        Ref = Variant(static_cast<signed char>(i));
    } else if (SameText(type, u"unsignedByte")) {
        ReadInteger(aName, otUByte, i, ArrayElementId);
        Ref = Variant(static_cast<unsigned char>(i));
    } else if (SameText(type, u"short")) {
        ReadInteger(aName, otSWord, i, ArrayElementId);
        Ref = Variant(static_cast<short>(i));
    } else if (SameText(type, u"unsignedShort")) {
        ReadInteger(aName, otUWord, i, ArrayElementId);
        Ref = Variant(static_cast<unsigned short>(i));
    } else if (SameText(type, u"int")) {
        ReadInteger(aName, otSLong, i, ArrayElementId);
        Ref = Variant(static_cast<int>(i));
    } else if (SameText(type, u"unsignedInt")) {
        ReadInteger(aName, otULong, i, ArrayElementId);
        Ref = Variant(static_cast<unsigned>(i));
    } else if (SameText(type, u"long")) {
        ReadInt64(aName, i, ArrayElementId);
        Ref = Variant(static_cast<long long>(i));
    } else if (SameText(type, u"unsignedLong")) {
        std::uint64_t u = 0;
        ReadUInt64(aName, u, ArrayElementId);
        Ref = Variant(static_cast<unsigned long long>(u));
    } else if (SameText(type, u"boolean")) {
        ReadEnumerated(aName, TypeInfoFor(TypeTag<bool>{}), i, ArrayElementId);
        Ref = Variant(i != 0);
    } else if (SameText(type, u"dateTime")) {
        // The runtime has no time-stamp variant: a zone is applied, giving the UTC date.
        std::unique_ptr<XsDateTime> value;
        ReadXsDateTime(aName, value, ArrayElementId);
        Ref = Variant::FromDate(value ? value->AsUTCDateTime() : 0);
    }
}

void TROXMLSerializer::WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) {
    if (fSerializationOptions.Contains(xsoEncodedXML))
        return WriteUnicodeString(aName, Ref ? Ref->GetXML() : String(), ArrayElementId);
    IXMLNodePtr element = AddElement(fNode, StripUnderscore(aName), ArrayElementId >= 0);
    if (Ref)
        element->AddXml(Ref->GetXML());
}

void TROXMLSerializer::ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) {
    IXMLNodePtr node = FindElement(aName, ArrayElementId);
    if (!fSerializationOptions.Contains(xsoEncodedXML) && node && node->GetChildrenCount() > 0) {
        IXMLNodePtr first = node->GetFirstChild();
        if (first && first->GetName() != u"#text") {
            auto doc = CreateROXmlDocument();
            doc->SetXML(first->GetXML());
            Ref = doc->GetDocumentNode();
            return;
        }
    }
    const String text = node && !IsNilNode(node) ? VarToStr(node->GetValue()) : String();
    if (text.empty()) {
        Ref.reset();
        return;
    }
    auto doc = CreateROXmlDocument();
    doc->SetXML(text);
    Ref = doc->GetDocumentNode();
}

void TROXMLSerializer::WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) {
    auto* stream = dynamic_cast<const TROBinaryMemoryStream*>(Ref);
    if (!stream && !Typed())
        return;
    IXMLNodePtr element =
        fIsSimpleTypeExtension ? fNode : AddElement(fNode, StripUnderscore(aName), ArrayElementId >= 0);
    const bool hex = fSerializationOptions.Contains(xsoHexBinary);
    if (!stream) {
        element->AddAttribute(u"xsi:nil", Variant(String(u"true")));
        return;
    }
    if (Typed())
        element->AddAttribute(u"xsi:type", Variant(String(hex ? u"xsd:hexBinary" : u"xsd:base64Binary")));
    auto& source = const_cast<TROBinaryMemoryStream&>(*stream);
    if (hex) {
        element->SetValue(Variant(source.ToHexString()));
        return;
    }
    // The text is ASCII: it goes into the tree as it is made, never through UTF-16 (a label
    // document is several hundred kilobytes). The stream is left at its end, as a read leaves it.
    element->SetValueUtf8(Base64Encode(source.Bytes(), true));
    source.SetPosition(source.GetSize());
}

void TROXMLSerializer::ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) {
    if (!fRespNode)
        fRespNode = fNode;
    IXMLNodePtr node = fIsSimpleTypeExtension ? fNode : ResolveHref(FindElement(aName, ArrayElementId));
    if (IsNilNode(node)) {
        Ref.reset();
        return;
    }
    String type = fSerializationOptions.Contains(xsoHexBinary) ? u"hexBinary" : u"base64Binary";
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i) {
        IXMLNodePtr a = node->GetAttributes(i);
        if (SameText(a->GetLocalName(), u"type"))
            type = VarToStr(a->GetValue());
    }
    if (auto colon = type.find(u':'); colon != String::npos)
        type = type.substr(colon + 1);
    const String text = VarToStr(node->GetValue());
    auto stream = std::make_unique<TROBinaryMemoryStream>();
    if (type == u"hexBinary") {
        std::vector<std::uint8_t> bytes;
        std::size_t i = 0;
        auto digit = [&](Char c) -> int {
            if (c >= u'0' && c <= u'9')
                return c - u'0';
            if (c >= u'a' && c <= u'f')
                return c - u'a' + 10;
            if (c >= u'A' && c <= u'F')
                return c - u'A' + 10;
            throw EROException(u"incorrect hex byte is detected: %s", {String(1, c)});
        };
        while (i < text.size()) {
            // Line breaks between pairs are skipped; XML parsing has already turned CR LF into LF.
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                i += 2;
                continue;
            }
            if (text[i] == u'\n') {
                ++i;
                continue;
            }
            // An odd last digit is refused instead of being dropped.
            if (i + 1 >= text.size())
                throw EROException(u"incorrect hex byte is detected: %s", {text.substr(i)});
            int hi = digit(text[i]), lo = digit(text[i + 1]);
            bytes.push_back(std::uint8_t(hi << 4 | lo));
            i += 2;
        }
        stream->WriteBuffer(bytes);
    } else {
        std::string ascii = Narrow(text);
        TBytesStream encoded(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(ascii.data()), ascii.size()));
        Base64DecodeStream(encoded, *stream);
    }
    stream->SetPosition(0);
    Ref = std::move(stream);
}

// ---- Structures and arrays ------------------------------------------------------------------

namespace {

/// Restores the serializer state a structured operation changes, on every exit path.
struct StructState {
    IXMLNodePtr& node;
    IXMLNodePtr savedNode;
    String& nameSpace;
    String savedNamespace;
    String& prefix;
    String savedPrefix;
    StructState(IXMLNodePtr& n, String& ns, String& p)
        : node(n), savedNode(n), nameSpace(ns), savedNamespace(ns), prefix(p), savedPrefix(p) {}
    ~StructState() {
        nameSpace = savedNamespace;
        prefix = savedPrefix;
        node = savedNode;
    }
};

struct ListState {
    TStringList& list;
    TStringList saved;
    explicit ListState(TStringList& l) : list(l) { saved.Assign(l); }
    ~ListState() { list.Assign(saved); }
};

bool ClassAttribute(TClass cls, StringView name, String& value) {
    value.clear();
    if (cls && cls->InheritsFrom(&EROException::StaticClassInfo()))
        return EROException::TryGetAttribute(cls, name, value);
    return cls && cls->InheritsFrom(&TROComplexType::StaticClassInfo()) &&
           TROComplexType::TryGetAttribute(cls, name, value);
}

bool ClassFlag(TClass cls, StringView name) {
    String value;
    return ClassAttribute(cls, name, value) && value == u"1";
}

String AttributeValue(const IXMLNodePtr& node, StringView name) {
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i) {
        IXMLNodePtr a = node->GetAttributes(i);
        if (a->GetName() == name)
            return VarToStr(a->GetValue());
    }
    return {};
}

bool HasAttribute(const IXMLNodePtr& node, StringView name) {
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i)
        if (node->GetAttributes(i)->GetName() == name)
            return true;
    return false;
}

/// The value of the attribute whose local name is "type"; empty when there is none.
String TypeAttribute(const IXMLNodePtr& node) {
    for (int i = 0, n = node->GetAttributeCount(); i < n; ++i) {
        IXMLNodePtr a = node->GetAttributes(i);
        if (a->GetLocalName() == u"type")
            return VarToStr(a->GetValue());
    }
    return {};
}

String LocalPart(const String& name) {
    auto colon = name.find(u':');
    return colon == String::npos ? name : name.substr(colon + 1);
}

IXMLNodePtr ChildWithId(const IXMLNodePtr& parent, const String& id) {
    if (!parent)
        return nullptr;
    for (int i = 0, n = parent->GetChildrenCount(); i < n; ++i) {
        IXMLNodePtr child = parent->GetChildren(i);
        if (child && HasAttribute(child, u"id") && AttributeValue(child, u"id") == id)
            return child;
    }
    return nullptr;
}

bool IsTextOrComment(const IXMLNodePtr& node) {
    const String name = node->GetName();
    return name == u"#text" || name == u"#comment";
}

/// The xsd name of an item type ("xsd:int", "ro:TResultInfo"); empty for kinds without one.
String XsdTypeName(const TypeInfo& type) {
    switch (type.Kind) {
    case tkInteger:
        return XsdIntegerType(OrdTypeOf(type));
    case tkEnumeration:
        return type.Name == u"Boolean" ? String(u"xsd:boolean") : u"ro:" + type.Name;
    case tkFloat:
        if (type.Name == u"TDateTime")
            return u"xsd:dateTime";
        return type.FloatType == ftSingle ? u"xsd:float" : u"xsd:double";
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString:
        return u"xsd:string";
    case tkClass:
        if (type.ClassType && type.ClassType->InheritsFrom(&TROBinaryMemoryStream::StaticClassInfo()))
            return u"xsd:base64Binary";
        return u"ro:" + type.Name;
    case tkVariant:
        return type.Name == u"Decimal" ? String(u"xsd:decimal") : String(u"xsd:anyType");
    case tkInterface:
        return u"xsd:any";
    case tkInt64:
        return u"xsd:long";
    default:
        return {};
    }
}

} // namespace

/// Marks an element as being read for the duration of its structure or array read.
class TROXMLSerializer::ReadScope {
public:
    /// `shared`: the element also holds other values (an anonymous array's parent), so only the
    /// depth is checked.
    ReadScope(TROXMLSerializer& s, const IXMLNodePtr& node, bool shared = false) : fS(s) {
        void* ref = shared ? nullptr : node->GetRef();
        for (void* r : s.fReading)
            if (ref && r == ref)
                throw EROException(u"Element \"%s\" refers to itself while being read", {node->GetLocalName()});
        if (int(s.fReading.size()) >= MaxNesting)
            throw EROException(u"Structures nested deeper than %d levels", {std::int64_t(MaxNesting)});
        s.fReading.push_back(ref);
    }
    ~ReadScope() { fS.fReading.pop_back(); }

private:
    TROXMLSerializer& fS;
};

IXMLNodePtr TROXMLSerializer::BodyNode() {
    if (!fBodyNode)
        for (IXMLNodePtr p = fNode; p; p = p->GetParent())
            if (SameText(p->GetLocalName(), u"Body")) {
                fBodyNode = p;
                break;
            }
    return fBodyNode;
}

IXMLNodePtr TROXMLSerializer::ResolveHref(const IXMLNodePtr& node) {
    if (!node || !HasAttribute(node, u"href"))
        return node;
    const String href = AttributeValue(node, u"href");
    const String id = href.empty() ? String() : href.substr(1);
    IXMLNodePtr target;
    if (fRPCEncoding && fXMLDocumentCache)
        target = fXMLDocumentCache->GetCachedNode(id);
    else
        for (IXMLNodePtr p = node; p && !target; p = p->GetParent())
            target = ChildWithId(p, id);
    if (target && HasAttribute(target, u"href")) {
        // Outside a Body (a header, say) there is none to search: only the response node is.
        IXMLNodePtr again = ChildWithId(BodyNode(), id);
        if (!again)
            again = ChildWithId(fRespNode, id);
        target = again;
    }
    return target;
}

IXMLNodePtr TROXMLSerializer::WriteReference(const String& name, const String& bodyName, int ArrayElementId) {
    IXMLNodePtr body = BodyNode();
    if (!body)
        throw EROException(u"Cannot write \"%s\" as a reference: there is no Body element", {name});
    const String savedPrefix = fPrefix;
    fPrefix.clear();
    const String number = IntToStr(fMaxRef);
    ++fMaxRef;
    IXMLNodePtr element;
    try {
        element = AddElement(fNode, name, ArrayElementId >= 0);
        element->AddAttribute(u"href", Variant(u"#" + number));
        element = AddElement(body, bodyName, ArrayElementId >= 0);
        element->AddAttribute(u"id", Variant(number));
    } catch (...) {
        fPrefix = savedPrefix;
        throw;
    }
    fPrefix = savedPrefix;
    return element;
}

TClass TROXMLSerializer::ClassOfElement(const IXMLNodePtr& node, TClass aClass, bool allowSimpleExtension) const {
    const String type = TypeAttribute(node);
    if (type.empty() || SameText(type, u"SOAP-ENC:Array") || SameText(type, u"soapenc:Array") ||
        fSerializationOptions.Contains(xsoIgnoreStructureType) || (allowSimpleExtension && fIsSimpleTypeExtension))
        return aClass;
    const String local = LocalPart(type);
    TClass cls = FindComplexClass(local, DefaultNamespaces());
    if (!cls)
        throw EROException(u"Unknown class \"%s\" found in stream.", {local});
    if (aClass && !cls->InheritsFrom(aClass))
        throw EROException(u"Unexpected class found in stream; class \"%s\" does not descend from \"%s\".",
                           {local, aClass->Name()});
    return cls;
}

void TROXMLSerializer::WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) {
    if (aClass && aClass->InheritsFrom(&XsDateTime::StaticClassInfo())) {
        if (Ref)
            WriteXSDateTime(aName, static_cast<const XsDateTime*>(Ref), ArrayElementId);
        else
            AddElement(fNode, aName, ArrayElementId >= 0);
        return;
    }
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    ListState attributes(fAttributes), anonymous(fAnonymousAttributes);
    struct ExtensionReset {
        TROXMLSerializer& s;
        ~ExtensionReset() {
            s.fIsSimpleTypeExtension = false;
            s.fSimpleType.clear();
        }
    } extensionReset{*this};

    const TClass cls = Ref ? Ref->ClassType() : aClass;
    String value;
    String elementName = StripUnderscore(aName);
    if (ClassAttribute(cls, u"SOAPName", value) && GetValidElementName(value) != GetValidElementName(cls->Name()))
        elementName = value;
    if (ClassAttribute(cls, u"AttributesNames", value))
        fAttributes.SetCommaText(value);
    if (ClassAttribute(cls, u"AnonymousAttributesNames", value))
        fAnonymousAttributes.SetCommaText(value);
    fIsSimpleTypeExtension = ClassFlag(cls, u"IsSimpleTypeExtension");
    if (ClassAttribute(cls, u"SimpleType", value))
        fSimpleType = value;
    const String typeName = Ref ? u"ro:" + GetValidElementName(cls->Name()) : String();
    const bool nillable = ClassFlag(cls, u"Nillable");

    if (fSerializationOptions.Contains(xsoWriteMultiRefObject) && !nillable) {
        if (!Ref)
            return;
        fNode = WriteReference(elementName, typeName, ArrayElementId);
        if (Typed())
            fNode->AddAttribute(u"xsi:type", Variant(typeName));
    } else if (Ref) {
        fNode = AddElement(fNode, elementName, ArrayElementId >= 0);
        if (Typed())
            fNode->AddAttribute(u"xsi:type", Variant(fIsSimpleTypeExtension ? u"xs:" + fSimpleType : typeName));
        else if (cls != aClass)
            fNode->AddAttribute(u"xsi:type", Variant(typeName));
    } else {
        if (nillable)
            AddElement(fNode, elementName, ArrayElementId >= 0)->AddAttribute(u"xsi:nil", Variant(String(u"true")));
        return;
    }
    if (fSerializationOptions.Contains(xsoExternalTypesAsReferences) &&
        ClassAttribute(cls, u"ImportedFromNamespace", value))
        SetCurrentNamespace(value);
    auto* complex = dynamic_cast<const TROComplexType*>(Ref);
    if (!complex)
        throw EROException(u"Class \"%s\" is no structure", {cls->Name()});
    const_cast<TROComplexType*>(complex)->WriteComplex(*this);
}

bool TROXMLSerializer::ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                  int ArrayElementId) {
    Ref.reset();
    if (aClass && aClass->InheritsFrom(&XsDateTime::StaticClassInfo())) {
        std::unique_ptr<XsDateTime> value;
        ReadXsDateTime(aName, value, ArrayElementId);
        Ref = std::move(value);
        return false;
    }
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    ListState attributes(fAttributes), anonymous(fAnonymousAttributes);
    const bool savedExtension = fIsSimpleTypeExtension;
    const String savedSimpleType = fSimpleType;
    struct ExtensionRestore {
        TROXMLSerializer& s;
        bool extension;
        const String& simpleType;
        ~ExtensionRestore() {
            s.fIsSimpleTypeExtension = extension;
            s.fSimpleType = simpleType;
        }
    } extensionRestore{*this, savedExtension, savedSimpleType};

    String value;
    if (ClassAttribute(aClass, u"AttributesNames", value))
        fAttributes.SetCommaText(value);
    if (ClassAttribute(aClass, u"AnonymousAttributesNames", value))
        fAnonymousAttributes.SetCommaText(value);
    if (ClassAttribute(aClass, u"SimpleType", value))
        fSimpleType = value;

    IXMLNodePtr node = ResolveHref(FindElement(aName, ArrayElementId));
    if (IsNilNode(node))
        return false;
    fIsSimpleTypeExtension = ClassFlag(aClass, u"IsSimpleTypeExtension");
    TClass cls = ClassOfElement(node, aClass, true);
    if (!cls || !cls->CanCreate())
        throw EROException(u"Cannot create an object of class \"%s\"", {cls ? cls->Name() : String(u"nil")});
    ReadScope scope(*this, node);
    std::unique_ptr<TObject> object = cls->Create();
    auto* complex = dynamic_cast<TROComplexType*>(object.get());
    if (!complex)
        throw EROException(u"Class \"%s\" is no structure", {cls->Name()});
    fNode = node;
    complex->ReadComplex(*this);
    Ref = std::move(object);
    return false;
}

void TROXMLSerializer::WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) {
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    const String savedItemName = fArrayElementName;
    struct ItemNameRestore {
        String& name;
        String saved;
        ~ItemNameRestore() { name = saved; }
    } itemNameRestore{fArrayElementName, savedItemName};

    const bool anonymous = ClassFlag(aClass, u"Anonymous");
    String itemName;
    const bool named = Ref && ClassAttribute(Ref->ClassType(), u"ElementName", itemName);
    auto* array = dynamic_cast<const TROArray*>(Ref);
    if (Ref && !array)
        throw EROException(u"Class \"%s\" is no array", {Ref->ClassName()});

    if (anonymous) {
        fArrayElementName = named ? itemName : savedItemName.empty() ? aName : savedItemName;
    } else {
        const String elementName = StripUnderscore(aName);
        auto arrayType = [&] {
            return Variant(XsdTypeName(array->GetItemType()) + u"[" + IntToStr(array->Count()) + u"]");
        };
        if (fSerializationOptions.Contains(xsoWriteMultiRefArray)) {
            if (!Ref) {
                AddElement(fNode, elementName, ArrayElementId >= 0)->AddAttribute(u"xsi:nil", Variant(String(u"true")));
                return;
            }
            const String bodyName = u"ro:" + GetValidElementName(Ref->ClassName());
            fNode = WriteReference(elementName, bodyName, ArrayElementId);
        } else {
            if (!Ref)
                return;
            fNode = AddElement(fNode, elementName, ArrayElementId >= 0);
        }
        if (Typed()) {
            fNode->AddAttribute(u"xsi:type", Variant(String(u"SOAP-ENC:Array")));
            fNode->AddAttribute(u"SOAP-ENC:arrayType", arrayType());
        }
        // Items of this array are named by its own class, not by an enclosing array's.
        fArrayElementName = named ? itemName : String();
    }
    if (array)
        const_cast<TROArray*>(array)->WriteComplex(*this);
}

bool TROXMLSerializer::ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref,
                                 int ArrayElementId) {
    Ref.reset();
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    struct ItemNameRestore {
        String& name;
        String saved;
        ~ItemNameRestore() { name = saved; }
    } itemNameRestore{fArrayElementName, fArrayElementName};

    std::vector<int> positions;
    TClass cls = aClass;
    IXMLNodePtr node;
    if (ClassFlag(aClass, u"Anonymous")) {
        String itemName;
        if (!ClassAttribute(aClass, u"ElementName", itemName))
            itemName = aName;
        node = fNode;
        if (!node)
            return false;
        for (int i = 0, n = node->GetChildrenCount(); i < n; ++i)
            if (node->GetChildren(i)->GetLocalName() == itemName)
                positions.push_back(i);
        fArrayElementName = itemName;
    } else {
        node = ResolveHref(FindElement(aName, ArrayElementId));
        if (IsNilNode(node))
            return false;
        cls = ClassOfElement(node, aClass, false);
        for (int i = 0, n = node->GetChildrenCount(); i < n; ++i)
            if (!IsTextOrComment(node->GetChildren(i)))
                positions.push_back(i);
        fArrayElementName.clear();
    }
    if (!cls || !cls->CanCreate())
        throw EROException(u"Cannot create an object of class \"%s\"", {cls ? cls->Name() : String(u"nil")});
    ReadScope scope(*this, node, ClassFlag(aClass, u"Anonymous"));
    std::unique_ptr<TObject> object = cls->Create();
    auto* array = dynamic_cast<TROArray*>(object.get());
    if (!array)
        throw EROException(u"Class \"%s\" is no array", {cls->Name()});
    array->ResizeInternal(int(positions.size()), false);
    fElements.push_back(std::move(positions));
    struct PositionsPop {
        std::vector<std::vector<int>>& lists;
        ~PositionsPop() { lists.pop_back(); }
    } positionsPop{fElements};
    fNode = node;
    array->ReadComplex(*this);
    Ref = std::move(object);
    return false;
}

String TROXMLSerializer::GetArrayElementName(const TypeInfo& anItemType, const void* anItemReference) {
    if (!fArrayElementName.empty())
        return fArrayElementName;
    if (anItemType.Kind != tkClass)
        return LocalPart(XsdTypeName(anItemType));
    if (anItemReference)
        return GetValidElementName(static_cast<const TObject*>(anItemReference)->ClassName());
    return GetValidElementName(anItemType.Name);
}

String TROXMLSerializer::GetArrayElementName(const String& anItemType) {
    if (!fArrayElementName.empty())
        return fArrayElementName;
    static const std::pair<const Char*, const Char*> names[] = {
        {u"Integer", u"int"},       {u"DateTime", u"dateTime"},   {u"Double", u"double"},      {u"Currency", u"double"},
        {u"WideString", u"string"}, {u"AnsiString", u"string"},   {u"Int64", u"long"},         {u"Boolean", u"boolean"},
        {u"Variant", u"anyType"},   {u"Binary", u"base64Binary"}, {u"Xml", u"anyType"},        {u"Guid", u"string"},
        {u"Decimal", u"decimal"},   {u"Utf8String", u"string"},   {u"XsDateTime", u"dateTime"}};
    for (const auto& [type, name] : names)
        if (SameText(anItemType, type))
            return SameText(anItemType, u"Binary") && fSerializationOptions.Contains(xsoHexBinary) ? u"hexBinary"
                                                                                                   : String(name);
    return anItemType;
}

void TROXMLSerializer::SetCurrentNamespace(const String& aNamespace) {
    if (aNamespace.empty())
        return;
    if (aNamespace == u"*") {
        fCurrentNamespace = aNamespace;
        fPrefix = u"v0";
        return;
    }
    fCurrentNamespace = aNamespace;
    int index = -1;
    for (int i = 0; i < fPrefixMap.Count(); ++i)
        if (SameText(fPrefixMap[i], aNamespace)) {
            index = i;
            break;
        }
    if (index < 0) {
        index = fPrefixMap.Add(aNamespace);
        if (fNode)
            if (auto doc = fNode->GetOwnerDocument())
                if (auto root = doc->GetDocumentNode())
                    root->AddAttribute(u"xmlns:v" + IntToStr(index + 1), Variant(aNamespace));
    }
    fPrefix = u"v" + IntToStr(index + 1);
}

String TROXMLSerializer::GetCurrentNamespace() const {
    return fCurrentNamespace == u"*" ? String() : fCurrentNamespace;
}

void TROXMLSerializer::WriteException(const String& aName, const TObject* Ref, int ArrayElementId) {
    if (!Ref)
        return;
    auto* exception = dynamic_cast<const EROException*>(Ref);
    if (!exception)
        throw EROException(u"Class \"%s\" is no framework exception", {Ref->ClassName()});
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    const TClass cls = Ref->ClassType();
    String name = aName, value;
    if (ClassAttribute(cls, u"ElementName", value))
        name = value;
    if (ClassAttribute(cls, u"ElementNamespace", value))
        SetCurrentNamespace(value);
    // Writing omits the element whenever "Anonymous" is declared, whatever its value.
    if (!ClassAttribute(cls, u"Anonymous", value)) {
        fNode = AddElement(fNode, StripUnderscore(name), ArrayElementId >= 0);
        if (Typed())
            fNode->AddAttribute(u"xsi:type", Variant(u"ro:" + cls->Name()));
    }
    exception->WriteException(*this);
}

void TROXMLSerializer::ReadException(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) {
    if (!Ref)
        return;
    auto* exception = dynamic_cast<EROException*>(Ref.get());
    if (!exception)
        throw EROException(u"Class \"%s\" is no framework exception", {Ref->ClassName()});
    if (!fRespNode)
        fRespNode = fNode;
    StructState state(fNode, fCurrentNamespace, fPrefix);
    if (ClassFlag(Ref->ClassType(), u"Anonymous")) {
        exception->ReadException(*this);
        return;
    }
    IXMLNodePtr node = ResolveHref(FindElement(aName, ArrayElementId));
    if (IsNilNode(node)) {
        Ref.reset();
        return;
    }
    ReadScope scope(*this, node);
    fNode = node;
    exception->ReadException(*this);
}

void TROXMLSerializer::ChangeClass(TClass aClass) {
    if (fPrefix == u"v0" || !aClass)
        return;
    if (!aClass->InheritsFrom(&EROException::StaticClassInfo()) &&
        !aClass->InheritsFrom(&TROComplexType::StaticClassInfo()))
        return;
    String value;
    if (ClassAttribute(aClass, u"ImportedFromNamespace", value))
        SetCurrentNamespace(value);
    if (ClassAttribute(aClass, u"ElementNamespace", value))
        SetCurrentNamespace(value);
}

} // namespace vgl
