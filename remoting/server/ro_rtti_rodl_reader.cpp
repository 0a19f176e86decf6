#include "remoting/server/ro_rtti_rodl_reader.h"

#include <algorithm>
#include <optional>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_strings.h"
#include "remoting/core/ro_types.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_streams.h"
#include "remoting/server/ro_rtti_server.h"

namespace vgl {

VGL_DEFINE_CLASS(TRORTTIRODLReader) {}

namespace {

constexpr const char16_t* kServiceGroupsAttribute = u"ROServiceGroups";

/// The attributes of a type: a class's own table, else the type's.
const TAttributes& TypeAttributes(const TypeInfo& type) {
    return type.Kind == tkClass && type.ClassType ? type.ClassType->Attributes() : type.Attributes;
}

bool IsSkipped(const TAttributes& attributes) {
    return GetSkipAttribute(attributes) != nullptr;
}

bool IsAbstract(TClass cls) {
    return FindROAttribute(cls->Attributes(), ROAbstractAttribute().Kind()) != nullptr;
}

/// The classes the RTTI context holds from the start: bases and wire helpers of the framework.
bool IsFrameworkClass(TClass cls) {
    if (cls == &TROComplexType::StaticClassInfo() || cls == &TROArray::StaticClassInfo() ||
        cls == &XsDateTime::StaticClassInfo())
        return true;
    const auto classes = ROExceptionClasses();
    return std::find(classes.begin(), classes.end(), cls) != classes.end();
}

bool IsRTTIService(TClass cls) {
    return IsServiceClass(cls) && !IsSkipped(cls->Attributes()) && FindServiceAttribute(cls);
}

bool IsRegisteredService(TClass cls) {
    return IsServiceClass(cls) && !IsSkipped(cls->Attributes()) && HasClassFactory(RemoveNamePrefix(cls->Name(), u"T"));
}

/// The item type of an array class (none when it cannot be made).
const TypeInfo* ArrayItemType(TClass cls) {
    if (const PropInfo* items = cls->FindProperty(u"Items"))
        return items->PropType;
    if (!cls->CanCreate())
        return nullptr;
    std::unique_ptr<TObject> made = cls->Create();
    auto* array = dynamic_cast<TROArray*>(made.get());
    return array ? &array->GetItemType() : nullptr;
}

/// The case-insensitive include and exclude lists of a group text.
struct GroupFilter {
    std::vector<String> Include;
    std::vector<String> Exclude;

    explicit GroupFilter(const String& aServiceGroup) {
        if (aServiceGroup.empty())
            return;
        std::shared_ptr<IROStrings> items = SplitToROStrings(aServiceGroup, u",", u'\'');
        for (int i = 0; i < items->Count(); ++i) {
            String item = items->Items(i);
            if (item.empty())
                continue;
            std::vector<String>& list = item[0] == u'!' ? Exclude : Include;
            if (item[0] == u'!')
                item.erase(0, 1);
            if (!Contains(list, item))
                list.push_back(item);
        }
    }
    bool On() const { return !Include.empty() || !Exclude.empty(); }
    static bool Contains(const std::vector<String>& list, StringView name) {
        return std::any_of(list.begin(), list.end(), [&](const String& s) { return AnsiSameText(s, name); });
    }
    bool Passes(const TAttributes& attributes) const {
        const std::vector<String> groups = GetServiceGroupNames(attributes);
        std::vector<String> customGroups;
        for (const ROCustomAttribute& a : GetROCustomAttributes(attributes))
            if (SameText(a.Name(), kServiceGroupsAttribute))
                for (const String& item : SplitToArray(a.Value(), u','))
                    customGroups.push_back(item);
        for (const std::vector<String>* list : {&groups, static_cast<const std::vector<String>*>(&customGroups)})
            for (const String& name : *list)
                if (Contains(Exclude, name))
                    return false;
        auto found = [&](const std::vector<String>& names) {
            return size_t(
                std::count_if(names.begin(), names.end(), [&](const String& n) { return Contains(Include, n); }));
        };
        return found(groups) == Include.size() || found(customGroups) == Include.size();
    }
    static std::vector<String> SplitToArray(const String& text, Char separator) {
        std::vector<String> parts;
        String part;
        for (Char c : text) {
            if (c == separator) {
                parts.push_back(Trim(part));
                part.clear();
            } else {
                part += c;
            }
        }
        parts.push_back(Trim(part));
        return parts;
    }
};

/// Collects the described types (FindAllROTypes).
class TypeCollector {
public:
    std::vector<const TypeInfo*> Types;

    bool Has(const TypeInfo* type) const { return std::find(Types.begin(), Types.end(), type) != Types.end(); }

    void AddROType(const TypeInfo* type) {
        if (!type || !Definable(*type) || Has(type))
            return;
        Types.push_back(type);
        AddMemberTypes(*type);
    }

    void AddMethodTypes(TClass cls) {
        for (const MethodInfo* method : GetServiceMethods(cls, false)) {
            for (const ParamInfo& param : method->Params)
                AddROType(param.ParamType);
            AddROType(method->ResultType);
        }
    }

    void AddServiceTypes(TClass cls) {
        AddMethodTypes(cls);
        for (TClass base = cls->Parent(); base && IsRTTIService(base); base = base->Parent())
            AddMethodTypes(base);
    }

private:
    static bool Definable(const TypeInfo& type) {
        if (type.Kind == tkEnumeration)
            return &type != &TypeInfoFor(TypeTag<bool>{}) && !SameText(type.Name, u"Boolean");
        if (type.Kind != tkClass || !type.ClassType)
            return false;
        TClass cls = type.ClassType;
        if (IsFrameworkClass(cls) || IsSkipped(cls->Attributes()))
            return false;
        return cls->InheritsFrom(&TROComplexType::StaticClassInfo()) ||
               cls->InheritsFrom(&EROException::StaticClassInfo());
    }

    void AddMemberTypes(const TypeInfo& type) {
        if (type.Kind != tkClass)
            return;
        TClass cls = type.ClassType;
        if (cls->InheritsFrom(&TROArray::StaticClassInfo())) {
            AddROType(ArrayItemType(cls));
            return;
        }
        for (const PropInfo* prop : cls->Properties())
            if (prop->Readable() && prop->Writable())
                AddROType(prop->PropType);
    }
};

/// Builds the entities of one library (BuildRODLLibrary).
class LibraryBuilder {
public:
    explicit LibraryBuilder(TRODLLibrary& aLibrary) : fLibrary(aLibrary) {}

    void Read(const TypeInfo& type) {
        if (type.Kind == tkEnumeration) {
            ReadEnum(type);
            return;
        }
        if (type.Kind != tkClass || !type.ClassType)
            return;
        TClass cls = type.ClassType;
        if (cls->InheritsFrom(&TROArray::StaticClassInfo()))
            ReadArray(cls);
        else if (cls->InheritsFrom(&TROComplexType::StaticClassInfo()))
            ReadStruct(cls);
        else if (cls->InheritsFrom(&EROException::StaticClassInfo()))
            ReadException(cls);
        else if (IsServiceClass(cls))
            ReadService(cls);
    }

private:
    void ReadArray(TClass cls) {
        if (fLibrary.FindArray(cls->Name()))
            return;
        auto* array = fLibrary.AddNew<TRODLArray>();
        array->SetName(cls->Name());
        if (const TypeInfo* item = ArrayItemType(cls))
            array->SetElementType(RODLTypeName(GetTypeInfoName(*item)));
        ReadEntityAnnotations(*array, cls->Attributes());
    }

    void ReadFields(TRODLBaseStruct& aStruct, TClass cls) {
        for (const PropInfo* prop : cls->Properties()) {
            if (prop->Declarer != cls || !prop->Readable() || !prop->Writable())
                continue;
            auto* element = static_cast<TRODLTypedEntity*>(aStruct.Add());
            element->SetName(prop->Name);
            element->SetDataType(RODLTypeName(GetTypeInfoName(*prop->PropType)));
            ReadEntityAnnotations(*element, prop->Attributes);
        }
    }

    void ReadStruct(TClass cls) {
        if (fLibrary.FindStruct(cls->Name()))
            return;
        auto* entity = fLibrary.AddNew<TRODLStruct>();
        entity->SetName(cls->Name());
        if (cls->Parent() && cls->Parent() != &TROComplexType::StaticClassInfo())
            entity->SetAncestor(cls->Parent()->Name());
        ReadEntityAnnotations(*entity, cls->Attributes());
        ReadFields(*entity, cls);
    }

    void ReadException(TClass cls) {
        if (fLibrary.FindException(cls->Name()))
            return;
        auto* entity = fLibrary.AddNew<TRODLException>();
        entity->SetName(cls->Name());
        TClass base = cls->Parent();
        if (base && base != &EROException::StaticClassInfo() && base != &EROServerException::StaticClassInfo())
            entity->SetAncestor(base->Name());
        ReadEntityAnnotations(*entity, cls->Attributes());
        ReadFields(*entity, cls);
    }

    void ReadEnum(const TypeInfo& type) {
        if (fLibrary.FindEnum(type.Name))
            return;
        auto* entity = fLibrary.AddNew<TRODLEnum>();
        entity->SetName(type.Name);
        const std::vector<String>& names = type.Enum.Names();
        const String prefix = type.Name + u"_";
        const bool prefixed = !names.empty() && std::all_of(names.begin(), names.end(), [&](const String& n) {
            return n.size() >= prefix.size() && n.compare(0, prefix.size(), prefix) == 0;
        });
        entity->SetPrefixEnumValues(prefixed);
        const std::vector<ROEnumSoapNameAttribute> soapNames = GetEnumSoapNameAttributes(type.Attributes);
        for (const String& name : names) {
            TRODLEntity* value = entity->Add();
            value->SetName(prefixed ? name.substr(prefix.size()) : name);
            for (const ROEnumSoapNameAttribute& a : soapNames)
                if (SameText(a.Name(), name)) {
                    value->Attributes().SetValue(u"soapname", a.SoapName());
                    break;
                }
        }
        ReadEntityAnnotations(*entity, type.Attributes);
    }

    void ReadService(TClass cls) {
        const String firstName = RemoveNamePrefix(cls->Name(), u"T");
        if (fLibrary.FindService(firstName))
            return;
        const AttributeInfo* serviceAttribute = FindServiceAttribute(cls);
        const std::optional<ROServiceAttribute> service =
            serviceAttribute ? ROServiceAttribute::From(*serviceAttribute) : std::nullopt;
        auto* entity = fLibrary.AddNew<TRODLService>();
        entity->SetName(service && !service->Name().empty() ? service->Name() : firstName);
        entity->SetAbstract(IsAbstract(cls));
        if (TClass base = cls->Parent()) {
            const AttributeInfo* baseAttribute = FindServiceAttribute(base);
            if (baseAttribute && !baseAttribute->Name.empty())
                entity->SetAncestor(baseAttribute->Name);
            else if (const String baseName = RemoveNamePrefix(base->Name(), u"T"); fLibrary.FindService(baseName))
                entity->SetAncestor(baseName);
        }
        entity->Roles = GetRoleNames(cls->Attributes());
        ReadEntityAnnotations(*entity, cls->Attributes());
        TRODLServiceInterface* defaultInterface = entity->Default();
        defaultInterface->SetUID(service && !IsEqualGUID(service->ID(), GUID_NULL) ? service->ID() : NewRODLGuid());
        for (const MethodInfo* method : GetServiceMethods(cls, !entity->GetAncestor().empty())) {
            if (IsSkipped(method->Attributes))
                continue;
            auto* operation = static_cast<TRODLOperation*>(defaultInterface->Add());
            operation->Roles = GetRoleNames(method->Attributes);
            const AttributeInfo* methodAttribute = FindServiceMethodAttribute(*method);
            operation->SetName(methodAttribute && !methodAttribute->Name.empty() ? methodAttribute->Name
                                                                                 : method->Name);
            ReadEntityAnnotations(*operation, method->Attributes);
            for (const ParamInfo& param : method->Params) {
                auto* parameter = static_cast<TRODLOperationParam*>(operation->Add());
                parameter->SetName(param.Name);
                parameter->SetFlag((param.Flags & pfVar) ? fInOut : (param.Flags & pfOut) ? fOut : fIn);
                parameter->SetDataType(RODLTypeName(GetTypeInfoName(*param.ParamType)));
                ReadEntityAnnotations(*parameter, param.Attributes);
            }
            if (method->ResultType)
                operation->AddResult()->SetDataType(RODLTypeName(GetTypeInfoName(*method->ResultType)));
        }
    }

    TRODLLibrary& fLibrary;
};

} // namespace

String RODLTypeName(const String& aTypeName) {
    struct Mapping {
        const char16_t* From;
        const char16_t* To;
    };
    static constexpr Mapping kMappings[] = {
        {u"ByteBool", u"Boolean"},      {u"WordBool", u"Boolean"},      {u"LongBool", u"Boolean"},
        {u"Byte", u"Integer"},          {u"Word", u"Integer"},          {u"SmallInt", u"Integer"},
        {u"ShortInt", u"Integer"},      {u"LongInt", u"Integer"},       {u"Cardinal", u"Integer"},
        {u"LongWord", u"Integer"},      {u"UInt64", u"Int64"},          {u"Single", u"Double"},
        {u"Extended", u"Double"},       {u"string", u"WideString"},     {u"UnicodeString", u"WideString"},
        {u"WideString", u"WideString"}, {u"TGUIDString", u"Guid"},      {u"TROBinaryMemoryStream", u"Binary"},
        {u"IXMLNode", u"Xml"},          {u"UTF8String", u"Utf8String"}, {u"TDateTime", u"DateTime"},
    };
    for (const Mapping& m : kMappings)
        if (SameText(aTypeName, m.From))
            return m.To;
    return aTypeName;
}

void ReadEntityAnnotations(TRODLEntity& anEntity, const TAttributes& anAttributes) {
    if (const AttributeInfo* documentation = FindROAttribute(anAttributes, u"RODocumentationAttribute"))
        anEntity.SetDocumentation(documentation->Name);
    anEntity.Attributes().SetText(GetCustomAttributesText(anAttributes));
    const std::vector<String> groups = GetServiceGroupNames(anAttributes);
    if (!groups.empty())
        anEntity.Attributes().SetValue(kServiceGroupsAttribute, JoinStrings(groups, u','));
}

std::vector<const TypeInfo*> TRORTTIRODLReader::FindAllROTypes(const String& aServiceGroup) {
    const GroupFilter filter(aServiceGroup);
    const bool filtering = filter.On();
    const std::vector<const TypeInfo*> programTypes = RttiContextTypes();
    TypeCollector collector;
    for (const TypeInfo* type : programTypes) {
        const TAttributes& attributes = TypeAttributes(*type);
        if ((filtering && !filter.Passes(attributes)) || IsSkipped(attributes))
            continue;
        if (type->Kind == tkClass && type->ClassType) {
            TClass cls = type->ClassType;
            if (IsRTTIService(cls)) {
                if (!IsAbstract(cls)) {
                    if (!collector.Has(type))
                        collector.Types.push_back(type);
                    collector.AddServiceTypes(cls);
                }
            } else if (IsRegisteredService(cls)) {
                if (!IsAbstract(cls))
                    collector.AddMethodTypes(cls);
            } else if (cls->InheritsFrom(&EROServerException::StaticClassInfo()) || filtering) {
                collector.AddROType(type);
            }
        } else if (type->Kind != tkInterface && filtering) {
            collector.AddROType(type);
        }
    }
    // The ancestors and descendants of the structures found are described as well.
    const TClass complexType = &TROComplexType::StaticClassInfo();
    const TClass arrayType = &TROArray::StaticClassInfo();
    for (const TypeInfo* type : programTypes) {
        if (type->Kind != tkClass || !type->ClassType || collector.Has(type))
            continue;
        TClass cls = type->ClassType;
        if (!cls->InheritsFrom(complexType) || cls->InheritsFrom(arrayType))
            continue;
        const bool related = std::any_of(collector.Types.begin(), collector.Types.end(), [&](const TypeInfo* t) {
            TClass other = t->Kind == tkClass ? t->ClassType : nullptr;
            return other && other->InheritsFrom(complexType) && (other->InheritsFrom(cls) || cls->InheritsFrom(other));
        });
        if (related)
            collector.AddROType(type);
    }
    std::stable_sort(collector.Types.begin(), collector.Types.end(), [](const TypeInfo* a, const TypeInfo* b) {
        return AnsiCompareText(GetTypeInfoName(*a), GetTypeInfoName(*b)) < 0;
    });
    return collector.Types;
}

void TRORTTIRODLReader::BuildRODLLibrary(TRODLLibrary& aLibrary, const String& aServiceGroup) {
    if (aLibrary.Name().empty())
        aLibrary.SetName(RODLLibraryName());
    if (aLibrary.Count() == 0 && !RODLLibraryID().empty())
        aLibrary.SetUID(StringToGUID(RODLLibraryID()));
    if (aLibrary.Count() == 0 && IsEqualGUID(aLibrary.UID(), GUID_NULL))
        aLibrary.SetUID(NewRODLGuid());
    if (!RODLLibraryDocumentation().empty())
        aLibrary.SetDocumentation(RODLLibraryDocumentation());
    if (!RODLLibraryNamespace().empty())
        aLibrary.Namespace = RODLLibraryNamespace();
    LibraryBuilder builder(aLibrary);
    for (const TypeInfo* type : FindAllROTypes(aServiceGroup))
        builder.Read(*type);
}

void TRORTTIRODLReader::DoReadRODLResource(TStream& Dest, const String& aServiceGroup) {
    // A program without services (and without a stored definition) gets an empty definition
    // rather than an error, so that a server without services can still start.
    std::unique_ptr<TRODLLibrary> library = GetRODLLibrary(fRODLReader, true, false);
    BuildRODLLibrary(*library, aServiceGroup);
    WriteRODLLibraryToStream(*library, Dest, true, true, aServiceGroup);
}

} // namespace vgl
