#include "platform/rtl/property_encoding.h"

#include <bit>
#include <cstring>
#include <limits>

#include "platform/rtl/collection.h"
#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"

namespace vgl {

static_assert(std::endian::native == std::endian::little, "the encoding is written little-endian");
static_assert(std::numeric_limits<long double>::digits == 64, "Extended is the x87 80-bit format");

namespace {

[[noreturn]] void InvalidValue() {
    throw EReadError(u"Invalid property value");
}

} // namespace

// ---- TWriter ------------------------------------------------------------------------------

void TWriter::WriteRaw(const void* data, size_t size) {
    Stream().WriteBuffer(data, std::int64_t(size));
}

void TWriter::WriteValue(TValueType type) {
    WriteRaw(&type, 1);
}

void TWriter::DefineProperty(const String& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) {
    if (!hasData || !writeData)
        return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const String& name, const TStreamProc&, const TStreamProc& writeData, bool hasData) {
    if (!hasData || !writeData)
        return;
    WritePropName(name);
    TMemoryStream block;
    writeData(block);
    WriteBinary(block.Bytes());
}

void TWriter::WritePropName(StringView name) {
    std::string utf8 = StringToUtf8(String(FPropPath) + String(name));
    if (utf8.empty() || utf8.size() > 255)
        throw EWriteError(u"Invalid property name: %s", {String(name)});
    auto len = std::uint8_t(utf8.size());
    WriteRaw(&len, 1);
    WriteRaw(utf8.data(), utf8.size());
}

void TWriter::WriteInteger(std::int64_t value) {
    if (value >= INT8_MIN && value <= INT8_MAX) {
        auto v = std::int8_t(value);
        WriteValue(vaInt8);
        WriteRaw(&v, 1);
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        auto v = std::int16_t(value);
        WriteValue(vaInt16);
        WriteRaw(&v, 2);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        auto v = std::int32_t(value);
        WriteValue(vaInt32);
        WriteRaw(&v, 4);
    } else {
        WriteValue(vaInt64);
        WriteRaw(&value, 8);
    }
}

void TWriter::WriteBoolean(bool value) {
    WriteValue(value ? vaTrue : vaFalse);
}

void TWriter::WriteFloat(long double value) {
    WriteValue(vaExtended);
    WriteRaw(&value, 10);
}

void TWriter::WriteDouble(double value) {
    WriteValue(vaDouble);
    WriteRaw(&value, 8);
}

void TWriter::WriteSingle(float value) {
    WriteValue(vaSingle);
    WriteRaw(&value, 4);
}

void TWriter::WriteCurrency(std::int64_t scaled) {
    WriteValue(vaCurrency);
    WriteRaw(&scaled, 8);
}

void TWriter::WriteDate(double value) {
    WriteValue(vaDate);
    WriteRaw(&value, 8);
}

void TWriter::WriteString(StringView value) {
    if (value.size() > UINT32_MAX)
        throw EWriteError(u"String too long");
    auto n = std::uint32_t(value.size());
    WriteValue(vaWString);
    WriteRaw(&n, 4);
    WriteRaw(value.data(), value.size() * 2);
}

void TWriter::WriteAnsiString(std::string_view bytes) {
    if (bytes.size() > UINT32_MAX)
        throw EWriteError(u"String too long");
    auto n = std::uint32_t(bytes.size());
    WriteValue(vaLString);
    WriteRaw(&n, 4);
    WriteRaw(bytes.data(), bytes.size());
}

void TWriter::WriteIdent(StringView ident) {
    if (ident.empty() || ident.size() > 255)
        throw EWriteError(u"Invalid identifier: %s", {String(ident)});
    std::string ascii = StringToLatin1(ident);
    auto len = std::uint8_t(ascii.size());
    WriteValue(vaIdent);
    WriteRaw(&len, 1);
    WriteRaw(ascii.data(), ascii.size());
}

void TWriter::WriteBinary(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > UINT32_MAX)
        throw EWriteError(u"Binary block too long");
    auto n = std::uint32_t(bytes.size());
    WriteValue(vaBinary);
    WriteRaw(&n, 4);
    WriteRaw(bytes.data(), bytes.size());
}

void TWriter::WriteNil() {
    WriteValue(vaNil);
}

void TWriter::WriteSet(const TypeInfo& setType, std::uint64_t bits) {
    WriteValue(vaSet);
    const EnumInfo& e = setType.CompType->Enum;
    for (int i = 0; i < e.Count() && i < 64; ++i) {
        if (!(bits & (std::uint64_t(1) << i)))
            continue;
        std::string ascii = StringToLatin1(e.Names()[size_t(i)]);
        auto len = std::uint8_t(ascii.size());
        WriteRaw(&len, 1);
        WriteRaw(ascii.data(), ascii.size());
    }
    std::uint8_t end = 0;
    WriteRaw(&end, 1);
}

void TWriter::WriteVariant(const Variant& value) {
    switch (VarType(value) & varTypeMask) {
    case varEmpty:
        return WriteNil();
    case varNull:
        return WriteValue(vaNull);
    case varBoolean:
        return WriteBoolean(value.AsBoolean());
    case varShortInt:
    case varByte:
    case varSmallint:
    case varWord:
    case varInteger:
    case varLongWord:
    case varInt64:
        return WriteInteger(value.AsInt64());
    case varSingle:
        return WriteSingle(value.AsSingle());
    case varDouble:
        return WriteDouble(value.AsDouble());
    case varCurrency:
        return WriteCurrency(value.AsCurrency());
    case varDate:
        return WriteDate(value.AsDate());
    case varOleStr:
    case varUString:
    case varString:
        return WriteString(value.AsString());
    default:
        throw EWriteError(u"Cannot write a variant of type %s", {VarTypeAsText(VarType(value))});
    }
}

void TWriter::WriteListBegin() {
    WriteValue(vaList);
}

void TWriter::WriteListEnd() {
    WriteValue(vaNull);
}

void TWriter::WriteCollection(const TCollection& collection) {
    WriteValue(vaCollection);
    String savedPath = std::move(FPropPath);
    FPropPath.clear();
    for (int i = 0; i < collection.Count(); ++i) {
        WriteListBegin();
        WriteProperties(*collection.Items(i));
        WriteListEnd();
    }
    FPropPath = std::move(savedPath);
    WriteListEnd();
}

void TWriter::WriteProperties(TPersistent& obj) {
    for (const PropInfo* prop : obj.ClassType()->Properties())
        if (prop->Readable() && IsStoredProp(obj, *prop))
            WriteProperty(obj, *prop);
    obj.DefineProperties(*this);
}

void TWriter::WriteProperty(TPersistent& obj, const PropInfo& prop) {
    namespace k = valuekind;
    const TypeInfo& t = *prop.PropType;
    if (t.Kind != tkClass && !prop.Writable())
        return;
    VisitProperty(prop, ValueVisitor{
                            [&](k::Ordinal) { // integers, characters, Int64
                                if (IsDefaultPropValue(obj, prop))
                                    return;
                                WritePropName(prop.Name);
                                WriteInteger(GetOrdProp(obj, prop));
                            },
                            [&](k::Enumeration) {
                                if (IsDefaultPropValue(obj, prop))
                                    return;
                                std::int64_t v = GetOrdProp(obj, prop);
                                WritePropName(prop.Name);
                                WriteIdent(GetEnumName(t, v));
                            },
                            [&](k::Boolean) {
                                if (IsDefaultPropValue(obj, prop))
                                    return;
                                std::int64_t v = GetOrdProp(obj, prop);
                                WritePropName(prop.Name);
                                WriteBoolean(v != 0);
                            },
                            [&](k::Set) {
                                if (IsDefaultPropValue(obj, prop))
                                    return;
                                WritePropName(prop.Name);
                                WriteSet(t, std::uint64_t(GetOrdProp(obj, prop)));
                            },
                            [&](k::Float) {
                                long double v = GetFloatProp(obj, prop);
                                if (v == 0)
                                    return;
                                WritePropName(prop.Name);
                                WriteFloat(v);
                            },
                            [&](k::Currency) {
                                if (GetFloatProp(obj, prop) == 0)
                                    return;
                                WritePropName(prop.Name);
                                WriteCurrency(GetPropValue(obj, prop).AsCurrency());
                            },
                            [&](k::Date) {
                                long double v = GetFloatProp(obj, prop);
                                if (v == 0)
                                    return;
                                WritePropName(prop.Name);
                                WriteDate(double(v));
                            },
                            [&](k::Text) {
                                String v = GetStrProp(obj, prop);
                                if (v.empty())
                                    return;
                                WritePropName(prop.Name);
                                WriteString(v);
                            },
                            [&](k::VariantValue) {
                                Variant v = GetPropValue(obj, prop);
                                if (v.IsEmpty())
                                    return;
                                WritePropName(prop.Name);
                                WriteVariant(v);
                            },
                            [&](k::Reference) {
                                TObject* value = GetObjectProp(obj, prop);
                                if (!value || !prop.Writable())
                                    return;
                                auto* c = static_cast<TComponent*>(value);
                                if (c->Name().empty())
                                    return;
                                String name = c->Name();
                                if (Root() && c->Owner() && c->Owner() != Root() && !c->Owner()->Name().empty())
                                    name = c->Owner()->Name() + u"." + name;
                                WritePropName(prop.Name);
                                WriteIdent(name);
                            },
                            [&](k::SubObject) {
                                TObject* value = GetObjectProp(obj, prop);
                                if (!value)
                                    return;
                                if (auto* coll = dynamic_cast<TCollection*>(value)) {
                                    WritePropName(prop.Name);
                                    return WriteCollection(*coll);
                                }
                                if (auto* sub = dynamic_cast<TPersistent*>(value)) {
                                    String savedPath = FPropPath;
                                    FPropPath += prop.Name + u".";
                                    const TScopeExit restorePath([&] { FPropPath = std::move(savedPath); });
                                    WriteProperties(*sub);
                                }
                            },
                            [](k::AnyValue) {}, // events, records, interfaces, arrays: not part of stored data
                        });
}

// ---- TReader ------------------------------------------------------------------------------

void TReader::DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc&, bool) {
    if (!FPropFound && readData && SameText(name, FPropName)) {
        FPropFound = true;
        readData(*this);
    }
}

void TReader::DefineBinaryProperty(const String& name, const TStreamProc& readData, const TStreamProc&, bool) {
    if (!FPropFound && readData && SameText(name, FPropName)) {
        FPropFound = true;
        std::vector<std::uint8_t> bytes = ReadBinary();
        TMemoryStream block;
        block.WriteBuffer(bytes);
        block.SetPosition(0);
        readData(block);
    }
}

bool TReader::EndOfStream() const {
    return Stream().GetPosition() >= Stream().GetSize();
}

void TReader::ReadRaw(void* data, size_t size) {
    Stream().ReadBuffer(data, std::int64_t(size));
}

TValueType TReader::ReadValue() {
    std::uint8_t b;
    ReadRaw(&b, 1);
    if (b > vaDouble)
        InvalidValue();
    return TValueType(b);
}

TValueType TReader::NextValue() {
    TValueType t = ReadValue();
    Stream().Seek(-1, soCurrent);
    return t;
}

bool TReader::EndOfList() {
    return NextValue() == vaNull;
}

void TReader::Enter() {
    if (FDepth >= MaxDepth)
        throw EReadError(u"Property data nested too deeply");
}

void TReader::ReadListBegin() {
    if (ReadValue() != vaList)
        InvalidValue();
}

void TReader::ReadListEnd() {
    if (ReadValue() != vaNull)
        InvalidValue();
}

std::uint32_t TReader::ReadLength() {
    std::uint32_t n;
    ReadRaw(&n, 4);
    // A length beyond the data left is corrupt input: refuse it before allocating.
    if (std::int64_t(n) > Stream().GetSize() - Stream().GetPosition())
        throw EReadError(u"Stream read error");
    return n;
}

String TReader::ReadPropName() {
    std::uint8_t len;
    ReadRaw(&len, 1);
    if (len == 0)
        InvalidValue();
    std::string utf8(len, '\0');
    ReadRaw(utf8.data(), len);
    return Utf8ToString(utf8);
}

std::int64_t TReader::ReadInteger() {
    switch (ReadValue()) {
    case vaInt8: {
        std::int8_t v;
        ReadRaw(&v, 1);
        return v;
    }
    case vaInt16: {
        std::int16_t v;
        ReadRaw(&v, 2);
        return v;
    }
    case vaInt32: {
        std::int32_t v;
        ReadRaw(&v, 4);
        return v;
    }
    case vaInt64: {
        std::int64_t v;
        ReadRaw(&v, 8);
        return v;
    }
    default:
        InvalidValue();
    }
}

bool TReader::ReadBoolean() {
    TValueType t = ReadValue();
    if (t != vaTrue && t != vaFalse)
        InvalidValue();
    return t == vaTrue;
}

long double TReader::ReadFloat() {
    switch (NextValue()) {
    case vaExtended: {
        ReadValue();
        long double v = 0;
        ReadRaw(&v, 10);
        return v;
    }
    case vaDouble:
    case vaDate: {
        ReadValue();
        double v;
        ReadRaw(&v, 8);
        return v;
    }
    case vaSingle: {
        ReadValue();
        float v;
        ReadRaw(&v, 4);
        return v;
    }
    case vaCurrency:
        return (long double)ReadCurrency() / 10000.0L;
    default:
        return (long double)ReadInteger();
    }
}

std::int64_t TReader::ReadCurrency() {
    if (ReadValue() != vaCurrency)
        InvalidValue();
    std::int64_t v;
    ReadRaw(&v, 8);
    return v;
}

double TReader::ReadDate() {
    if (ReadValue() != vaDate)
        InvalidValue();
    double v;
    ReadRaw(&v, 8);
    return v;
}

String TReader::ReadString() {
    switch (ReadValue()) {
    case vaWString: {
        std::uint32_t n;
        ReadRaw(&n, 4);
        if (std::int64_t(n) * 2 > Stream().GetSize() - Stream().GetPosition())
            throw EReadError(u"Stream read error");
        String s(n, u'\0');
        ReadRaw(s.data(), size_t(n) * 2);
        return s;
    }
    case vaLString: {
        std::string bytes(ReadLength(), '\0');
        ReadRaw(bytes.data(), bytes.size());
        return AnsiToString(bytes);
    }
    default:
        InvalidValue();
    }
}

AnsiString TReader::ReadAnsiString() {
    if (NextValue() == vaWString)
        return StringToAnsi(ReadString());
    if (ReadValue() != vaLString)
        InvalidValue();
    std::string bytes(ReadLength(), '\0');
    ReadRaw(bytes.data(), bytes.size());
    return bytes;
}

String TReader::ReadIdent() {
    switch (ReadValue()) {
    case vaIdent: {
        std::uint8_t len;
        ReadRaw(&len, 1);
        std::string ascii(len, '\0');
        ReadRaw(ascii.data(), len);
        return Latin1ToString(ascii);
    }
    case vaFalse:
        return u"False";
    case vaTrue:
        return u"True";
    case vaNil:
        return u"nil";
    case vaNull:
        return u"Null";
    default:
        InvalidValue();
    }
}

std::vector<std::uint8_t> TReader::ReadBinary() {
    if (ReadValue() != vaBinary)
        InvalidValue();
    std::vector<std::uint8_t> bytes(ReadLength());
    ReadRaw(bytes.data(), bytes.size());
    return bytes;
}

std::uint64_t TReader::ReadSet(const TypeInfo& setType) {
    if (ReadValue() != vaSet)
        InvalidValue();
    std::uint64_t bits = 0;
    for (;;) {
        std::uint8_t len;
        ReadRaw(&len, 1);
        if (len == 0)
            return bits;
        std::string ascii(len, '\0');
        ReadRaw(ascii.data(), len);
        int v = setType.CompType->Enum.ValueOf(Latin1ToString(ascii));
        if (v < 0)
            throw EReadError(u"Invalid property element: %s", {Latin1ToString(ascii)});
        bits |= std::uint64_t(1) << v;
    }
}

Variant TReader::ReadVariant() {
    switch (NextValue()) {
    case vaNil:
        ReadValue();
        return Variant();
    case vaNull:
        ReadValue();
        return Null();
    case vaFalse:
    case vaTrue:
        return Variant(ReadBoolean());
    case vaInt8:
    case vaInt16:
    case vaInt32:
        return Variant(int(ReadInteger()));
    case vaInt64:
        return Variant(ReadInteger());
    case vaSingle:
        return Variant(float(ReadFloat()));
    case vaDouble:
    case vaExtended:
        return Variant(double(ReadFloat()));
    case vaCurrency:
        return Variant::FromCurrency(ReadCurrency());
    case vaDate:
        return Variant::FromDate(ReadDate());
    case vaWString:
    case vaLString:
        return Variant(ReadString());
    default:
        InvalidValue();
    }
}

void TReader::ReadCollection(TCollection& collection) {
    if (ReadValue() != vaCollection)
        InvalidValue();
    Enter();
    ++FDepth;
    collection.BeginUpdate();
    const TScopeExit endUpdate([&] {
        collection.EndUpdate();
        --FDepth;
    });
    collection.Clear();
    while (!EndOfList()) {
        ReadListBegin();
        TCollectionItem* item = collection.Add();
        while (!EndOfList())
            ReadProperty(*item);
        ReadListEnd();
    }
    ReadListEnd();
}

void TReader::SkipValue() {
    switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
        return;
    case vaList: {
        Enter();
        ++FDepth;
        while (!EndOfList())
            SkipValue();
        ReadValue();
        --FDepth;
        return;
    }
    case vaCollection: {
        Enter();
        ++FDepth;
        while (!EndOfList()) {
            ReadListBegin();
            while (!EndOfList()) {
                ReadPropName();
                SkipValue();
            }
            ReadValue();
        }
        ReadValue();
        --FDepth;
        return;
    }
    case vaInt8:
        return Stream().Seek(1, soCurrent), void();
    case vaInt16:
        return Stream().Seek(2, soCurrent), void();
    case vaInt32:
    case vaSingle:
        return Stream().Seek(4, soCurrent), void();
    case vaInt64:
    case vaDouble:
    case vaDate:
    case vaCurrency:
        return Stream().Seek(8, soCurrent), void();
    case vaExtended:
        return Stream().Seek(10, soCurrent), void();
    case vaIdent: {
        std::uint8_t len;
        ReadRaw(&len, 1);
        Stream().Seek(len, soCurrent);
        return;
    }
    case vaSet:
        for (std::uint8_t len = 1; len != 0;) {
            ReadRaw(&len, 1);
            Stream().Seek(len, soCurrent);
        }
        return;
    case vaBinary:
    case vaLString:
        Stream().Seek(ReadLength(), soCurrent);
        return;
    case vaWString: {
        std::uint32_t n;
        ReadRaw(&n, 4);
        Stream().Seek(std::int64_t(n) * 2, soCurrent);
        return;
    }
    default:
        InvalidValue();
    }
}

void TReader::ReadProperty(TPersistent& obj) {
    String name = ReadPropName();
    TPersistent* target = &obj;
    // A dotted name walks published sub-objects ("Font.Size").
    size_t start = 0;
    for (size_t dot; (dot = name.find(u'.', start)) != String::npos; start = dot + 1) {
        String part = name.substr(start, dot - start);
        const PropInfo* p = target->ClassType()->FindProperty(part);
        TPersistent* sub = p && p->Kind() == tkClass ? dynamic_cast<TPersistent*>(GetObjectProp(*target, *p)) : nullptr;
        if (!sub)
            throw EReadError(u"Property %s does not exist", {name});
        target = sub;
    }
    String last = name.substr(start);
    FPropName = last;
    FPropFound = false;
    target->DefineProperties(*this);
    bool found = FPropFound;
    FPropName.clear();
    FPropFound = false;
    if (found)
        return;
    const PropInfo* prop = target->ClassType()->FindProperty(last);
    if (!prop)
        throw EReadError(u"Property %s does not exist", {name});
    ReadPropValue(*target, *prop);
}

void TReader::ReadPropValue(TPersistent& obj, const PropInfo& prop) {
    namespace k = valuekind;
    const TypeInfo& t = *prop.PropType;
    VisitProperty(prop, ValueVisitor{
                            [&](k::Ordinal) { SetOrdProp(obj, prop, ReadInteger()); }, // integers, characters
                            [&](k::Boolean) { SetOrdProp(obj, prop, ReadBoolean() ? 1 : 0); },
                            [&](k::Enumeration) {
                                String ident = ReadIdent();
                                int v = GetEnumValue(t, ident);
                                if (v < 0)
                                    throw EReadError(u"Invalid property element: %s", {ident});
                                SetOrdProp(obj, prop, v);
                            },
                            [&](k::Set) { SetOrdProp(obj, prop, std::int64_t(ReadSet(t))); },
                            [&](k::Float) { SetFloatProp(obj, prop, ReadFloat()); },
                            [&](k::Currency) {
                                if (NextValue() == vaCurrency)
                                    return SetPropValue(obj, prop, Variant::FromCurrency(ReadCurrency()));
                                SetFloatProp(obj, prop, ReadFloat());
                            },
                            [&](k::Text) { SetStrProp(obj, prop, ReadString()); },
                            [&](k::VariantValue) { SetPropValue(obj, prop, ReadVariant()); },
                            [&](k::Object) {
                                TValueType next = NextValue();
                                if (next == vaCollection) {
                                    auto* coll = dynamic_cast<TCollection*>(GetObjectProp(obj, prop));
                                    if (!coll)
                                        InvalidValue();
                                    return ReadCollection(*coll);
                                }
                                if (next == vaNil) {
                                    ReadValue();
                                    return SetObjectProp(obj, prop, nullptr);
                                }
                                if (next == vaIdent && prop.IsReference()) {
                                    FFixups.push_back({&obj, &prop, ReadIdent()});
                                    return;
                                }
                                InvalidValue();
                            },
                            [](k::AnyValue) { InvalidValue(); },
                        });
}

} // namespace vgl
