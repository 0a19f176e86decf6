#include "remoting/core/ro_types.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/xml_document.h"
#include "remoting/core/xml_interfaces.h"

namespace vgl {

VGL_DEFINE_CLASS(TROComplexType) {
    AddROClassAttribute(b, ROSkipAttribute());
}

VGL_DEFINE_CLASS(XsDateTime) {
    b.Property(u"DateTime", &XsDateTime::FDateTime).Type(DateTimeTypeInfo());
    b.Property(u"TimeZoneOffset", &XsDateTime::FTimeZoneOffset);
}

// ---- TROComplexType -----------------------------------------------------------------------

int TROComplexType::FieldCount() const {
    return int(ClassInfo().SortedProperties().size());
}

const TypeInfo* TROComplexType::GetFieldInfo(int index) const {
    auto fields = ClassInfo().SortedProperties();
    return index >= 0 && index < int(fields.size()) ? fields[index]->PropType : nullptr;
}

String TROComplexType::GetFieldName(int index) const {
    auto fields = ClassInfo().SortedProperties();
    return index >= 0 && index < int(fields.size()) ? fields[index]->Name : String();
}

void TROComplexType::GetFieldNames(TStrings& list) const {
    list.Clear();
    for (const PropInfo* prop : ClassInfo().SortedProperties())
        list.Add(prop->Name);
}

Variant TROComplexType::GetFieldValue(StringView aFieldName) const {
    if (aFieldName.empty())
        return Variant(String());
    return GetPropValue(*this, aFieldName, true);
}

void TROComplexType::SetFieldValue(StringView aFieldName, const Variant& aValue) {
    if (aFieldName.empty())
        return;
    SetPropValue(*this, aFieldName, aValue);
}

void TROComplexType::SmartAssign(const TROComplexType& Source, TTypeKinds TypeKinds) {
    for (const PropInfo* from : Source.ClassInfo().SortedProperties()) {
        if (!TypeKinds.Contains(from->Kind()) || !from->Readable())
            continue;
        const PropInfo* to = GetPropInfo(*this, from->Name);
        if (!to)
            throw EPropertyError(u"Property %s does not exist", {from->Name});
        if (from->Kind() == tkClass) {
            TObject* mine = GetObjectProp(*this, *to);
            TObject* theirs = GetObjectProp(Source, *from);
            auto* target = dynamic_cast<TPersistent*>(mine);
            if (target && theirs)
                target->Assign(dynamic_cast<const TPersistent*>(theirs));
            continue;
        }
        SetPropValue(*this, *to, GetPropValue(Source, *from, false));
    }
}

void TROComplexType::Assign(const TPersistent* Source) {
    if (Source && Source->InheritsFrom(&TROComplexType::StaticClassInfo()))
        return RttiAssignComplex(*this, Source);
    TCollectionItem::Assign(Source);
}

std::unique_ptr<TROComplexType> TROComplexType::Clone() const {
    std::unique_ptr<TObject> made = ClassType()->Create();
    auto* copy = dynamic_cast<TROComplexType*>(made.get());
    if (!copy)
        throw EInvalidOperation(u"Cannot clone an object of class %s", {ClassName()});
    (void)made.release();
    std::unique_ptr<TROComplexType> result(copy);
    result->Assign(this);
    return result;
}

void TROComplexType::ReadComplex(TROSerializer& ASerializer) {
    ASerializer.ReadObject(this);
}

void TROComplexType::WriteComplex(TROSerializer& ASerializer) {
    ASerializer.WriteObject(this);
}

static void AddIndented(TStringList& list, const TStrings& lines) {
    for (int i = 0; i < lines.Count(); ++i)
        list.Add(u"    " + lines.Get(i));
}

bool DumpObject(TStringList& list, const TObject& obj) {
    if (auto* complex = dynamic_cast<const TROComplexType*>(&obj)) {
        AddIndented(list, *complex->DumpToStrings());
        return true;
    }
    if (auto* stream = dynamic_cast<const TROBinaryMemoryStream*>(&obj)) {
        // ToReadableString rewinds; the dump leaves the stream where it was.
        auto* s = const_cast<TROBinaryMemoryStream*>(stream);
        std::int64_t position = s->GetPosition();
        list.Add(u"    " + s->ToReadableString());
        s->SetPosition(position);
        return true;
    }
    return false;
}

std::unique_ptr<TStringList> TROComplexType::DumpToStrings() const {
    auto list = std::make_unique<TStringList>();
    list->Add(Format(u"structure %s", {ClassName()}));
    int n = 0;
    for (const PropInfo* prop : ClassInfo().SortedProperties()) {
        ++n;
        if (prop->Kind() == tkClass) {
            TObject* obj = GetObjectProp(*this, *prop);
            if (!obj)
                continue;
            list->Add(Format(u"  field%d %s", {n, prop->Name}));
            DumpObject(*list, *obj);
            list->Add(u"  end");
            continue;
        }
        String value;
        if (prop->PropType == &DateTimeTypeInfo())
            value = DateTimeToStr(GetFloatProp(*this, *prop));
        else if (prop->Kind() != tkMethod)
            value = VarToStr(GetPropValue(*this, *prop, true));
        list->Add(Format(u"  field%d %s: %s = %s", {n, prop->Name, prop->PropType->Name, value}));
    }
    list->Add(u"end");
    return list;
}

String TROComplexType::ContentAsString() const {
    return DumpToStrings()->Text();
}

bool DumpObjectToXml(const std::shared_ptr<IXMLNode>& node, const TObject& obj) {
    if (auto* complex = dynamic_cast<const TROComplexType*>(&obj)) {
        complex->DumpToXml(node);
        return true;
    }
    if (auto* stream = dynamic_cast<const TROBinaryMemoryStream*>(&obj)) {
        auto* s = const_cast<TROBinaryMemoryStream*>(stream);
        std::int64_t position = s->GetPosition();
        node->AddCData(s->ToReadableString());
        s->SetPosition(position);
        return true;
    }
    return false;
}

void TROComplexType::DumpToXml(const std::shared_ptr<IXMLNode>& Node) const {
    IXMLNodePtr structure = Node->Add(u"struct");
    structure->AddAttribute(u"name", Variant(ClassName()));
    for (const PropInfo* prop : ClassInfo().SortedProperties()) {
        IXMLNodePtr field = structure->Add(u"field");
        field->AddAttribute(u"name", Variant(prop->Name));
        field->AddAttribute(u"type", Variant(prop->PropType->Name));
        if (prop->Kind() == tkClass) {
            if (TObject* obj = GetObjectProp(*this, *prop))
                DumpObjectToXml(field, *obj);
        } else if (prop->PropType == &DateTimeTypeInfo())
            field->SetValue(Variant(DateTimeToStr(GetFloatProp(*this, *prop))));
        else if (prop->Kind() != tkMethod)
            field->SetValue(Variant(VarToStr(GetPropValue(*this, *prop, true))));
    }
}

String TROComplexType::ContentAsXml() const {
    IXMLDocumentPtr document = CreateROXmlDocument();
    document->New(u"test");
    IXMLNodePtr root = document->GetDocumentNode();
    DumpToXml(root);
    return root->GetFirstChild()->GetXML();
}

String TROComplexType::GetAttributeName(int) const {
    return {};
}

String TROComplexType::GetAttributeValue(int) const {
    return {};
}

namespace {

/// Per class, lower-cased attribute name to value; built once, never changed.
struct ClassAttributeMaps {
    TMultiReadExclusiveWriteSynchronizer Lock;
    std::unordered_map<TClass, std::map<String, String>> Maps;
};

ClassAttributeMaps& AttributeMaps() {
    static ClassAttributeMaps maps;
    return maps;
}

} // namespace

bool TROComplexType::TryGetAttribute(TClass cls, StringView aName, String& aValue) {
    aValue.clear();
    ClassAttributeMaps& maps = AttributeMaps();
    TReadGuard read(maps.Lock);
    auto it = maps.Maps.find(cls);
    if (it == maps.Maps.end()) {
        TWriteGuard write(maps.Lock);
        it = maps.Maps.find(cls);
        if (it == maps.Maps.end()) {
            std::map<String, String> map;
            TRttiAttributeMap custom = RttiGetCustomAttributes(cls->Type());
            map.insert(custom->begin(), custom->end());
            if (cls->CanCreate()) {
                std::unique_ptr<TObject> probe = cls->Create();
                if (auto* complex = dynamic_cast<TROComplexType*>(probe.get()))
                    for (int i = 0; i < complex->GetAttributeCount(); ++i)
                        map[LowerCase(complex->GetAttributeName(i))] = complex->GetAttributeValue(i);
            }
            it = maps.Maps.emplace(cls, std::move(map)).first;
        }
    }
    auto found = it->second.find(LowerCase(aName));
    if (found == it->second.end())
        return false;
    aValue = found->second;
    return true;
}

// ---- XsDateTime ---------------------------------------------------------------------------

void XsDateTime::SetWriteTimeZone(bool value) {
    if (!value)
        FTimeZoneOffset = NoTimeZone;
    else if (FTimeZoneOffset == NoTimeZone)
        FTimeZoneOffset = 0;
}

TDateTime XsDateTime::AsUTCDateTime() const {
    return WriteTimeZone() ? FDateTime - FTimeZoneOffset / 1440.0 : FDateTime;
}

TDateTime XsDateTime::AsLocalDateTime() const {
    return WriteTimeZone() ? ToLocalTime(AsUTCDateTime()) : FDateTime;
}

void XsDateTime::Assign(const TPersistent* Source) {
    TROComplexType::Assign(Source);
    if (auto* other = dynamic_cast<const XsDateTime*>(Source)) {
        FDateTime = other->FDateTime;
        FTimeZoneOffset = other->FTimeZoneOffset;
    }
}

std::unique_ptr<TStringList> XsDateTime::DumpToStrings() const {
    auto list = std::make_unique<TStringList>();
    list->Add(Format(u"structure %s", {ClassName()}));
    list->Add(Format(u"  %s = %s", {String(u"DateTime"), DateTimeToStr(FDateTime)}));
    list->Add(Format(u"  %s = %s", {String(u"TimeZoneOffset"), IntToStr(FTimeZoneOffset)}));
    list->Add(u"end");
    return list;
}

void XsDateTime::ReadComplex(TROSerializer& ASerializer) {
    ASerializer.ReadDateTime(u"DateTime", FDateTime, -1);
    std::int64_t offset = FTimeZoneOffset;
    ASerializer.ReadInteger(u"TimeZoneOffset", otSLong, offset, -1);
    // A value beyond 32 bits would otherwise wrap into some other offset.
    if (offset < INT32_MIN || offset > INT32_MAX)
        throw ERangeError(u"Range check error");
    FTimeZoneOffset = static_cast<std::int32_t>(offset);
}

void XsDateTime::WriteComplex(TROSerializer& ASerializer) {
    if (ASerializer.GetRecordStrictOrder())
        ASerializer.ChangeClass(&StaticClassInfo());
    ASerializer.WriteDateTime(u"DateTime", FDateTime, -1);
    ASerializer.WriteInteger(u"TimeZoneOffset", otSLong, FTimeZoneOffset, -1);
}

} // namespace vgl
