#include "remoting/server/ro_rodl_to_wsdl.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"

namespace vgl {

namespace {

constexpr const char16_t* kWsdlNamespace = u"http://schemas.xmlsoap.org/wsdl/";
constexpr const char16_t* kXsNamespace = u"http://www.w3.org/2001/XMLSchema";
constexpr const char16_t* kSoapBindingNamespace = u"http://schemas.xmlsoap.org/wsdl/soap/";
constexpr const char16_t* kSoapEncodingNamespace = u"http://schemas.xmlsoap.org/soap/encoding/";
constexpr const char16_t* kMimeNamespace = u"http://schemas.xmlsoap.org/wsdl/mime/";
constexpr const char16_t* kSoapHttpTransport = u"http://schemas.xmlsoap.org/soap/http";
constexpr int kIndentStep = 3;

/// One leading "_" removed.
String Strip(const String& aName) {
    return !aName.empty() && aName[0] == u'_' ? aName.substr(1) : aName;
}

bool Flag(const TRODLEntity& anEntity, const char16_t* aName) {
    return anEntity.AttributeValue(aName) == u"1";
}

/// Adds an attribute with its value escaped.
void Attr(TROConverterNode* aNode, const String& aName, const String& aValue, bool aNewLine = false) {
    aNode->AddAttribute(aName, EscapeXmlAttribute(aValue), aNewLine);
}

/// The SOAP name of a structure field, else its name.
String FieldName(const TRODLEntity& aField) {
    const String soapName = aField.AttributeValue(u"SOAPName");
    return soapName.empty() ? aField.Name() : soapName;
}

std::vector<String> SplitComma(const String& aText) {
    std::vector<String> parts;
    String part;
    for (Char c : aText) {
        if (c == u',') {
            parts.push_back(Trim(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(Trim(part));
    return parts;
}

} // namespace

struct TRODLToWSDL::Writer {
    TRODLToWSDL& W;
    const TRODLLibrary& L;

    // ---- Names and types -------------------------------------------------------------------

    const TRODLEntity* FindType(const String& aName) const {
        if (auto* s = L.FindStruct(aName))
            return s;
        if (auto* e = L.FindException(aName))
            return e;
        if (auto* e = L.FindEnum(aName))
            return e;
        return L.FindArray(aName);
    }

    int RefIndex(const String& aNamespace) const {
        auto it = std::find(W.fExternalRefs.begin(), W.fExternalRefs.end(), aNamespace);
        return it == W.fExternalRefs.end() ? -1 : int(it - W.fExternalRefs.begin());
    }

    std::optional<String> SimpleSchemaType(const String& aName) const {
        static constexpr std::pair<const char16_t*, const char16_t*> kTypes[] = {
            {u"Integer", u"int"},       {u"DateTime", u"dateTime"}, {u"XsDateTime", u"dateTime"},
            {u"Double", u"double"},     {u"Currency", u"double"},   {u"WideString", u"string"},
            {u"AnsiString", u"string"}, {u"Utf8String", u"string"}, {u"Guid", u"string"},
            {u"Int64", u"long"},        {u"Boolean", u"boolean"},   {u"Variant", u"anyType"},
            {u"Xml", u"anyType"},       {u"Decimal", u"decimal"},
        };
        for (const auto& [from, to] : kTypes)
            if (SameText(aName, from))
                return String(to);
        if (SameText(aName, u"Binary"))
            return String(W.UseHexBinary ? u"hexBinary" : u"base64Binary");
        return std::nullopt;
    }

    String TypeRef(const String& aTypeName) const {
        if (W.ExternalTypesAsReferences)
            if (const TRODLEntity* entity = FindType(aTypeName)) {
                for (const char16_t* attribute : {u"ElementNamespace", u"ImportedFromNamespace"}) {
                    const String ns = entity->AttributeValue(attribute);
                    if (!ns.empty() && ns != W.fXsdTns) {
                        const int index = RefIndex(ns);
                        if (index >= 0)
                            return u"ns" + IntToStr(index) + u":" + Strip(aTypeName);
                    }
                }
            }
        if (std::optional<String> simple = SimpleSchemaType(Strip(aTypeName)))
            return u"xs:" + *simple;
        return u"tns:" + Strip(aTypeName);
    }

    String ElementRef(const String& anElement, const String& aNamespace) const {
        if (!aNamespace.empty() && (!W.TargetXsd.empty() || aNamespace != W.TargetNamespace)) {
            const int index = RefIndex(aNamespace);
            if (index >= 0)
                return u"ns" + IntToStr(index) + u":" + Strip(anElement);
        }
        return u"tns:" + anElement;
    }

    /// The structure a type names when it wraps exactly one field (Anonymous or simple-type
    /// extension); none otherwise.
    const TRODLStruct* Wrapper(const String& aTypeName) const {
        const TRODLStruct* s = L.FindStruct(aTypeName);
        if (s && s->Count() == 1 && (Flag(*s, u"Anonymous") || Flag(*s, u"IsSimpleTypeExtension")))
            return s;
        return nullptr;
    }

    void Documentation(TROConverterNode* aNode, const String& aPrefix, const String& aText, bool aDirect = false) {
        if (Trim(aText).empty())
            return;
        TROConverterNode* doc = aDirect ? aNode->AddChild(aPrefix, u"documentation")
                                        : aNode->AddChild(aPrefix, u"annotation")->AddChild(aPrefix, u"documentation");
        doc->SetValue(EscapeXmlText(aText), true);
    }

    /// The origin URL and namespace of a type.
    static String OriginUrl(const TRODLEntity& e) {
        return e.AttributeValue(dynamic_cast<const TRODLException*>(&e) ? u"ElementUrl" : u"ImportedFromUrl");
    }
    static String OriginNamespace(const TRODLEntity& e) {
        return e.AttributeValue(dynamic_cast<const TRODLException*>(&e) ? u"ElementNamespace"
                                                                        : u"ImportedFromNamespace");
    }
    /// Whether a type writer leaves the type out (it comes from another schema).
    bool Foreign(const TRODLEntity& e) const { return W.ExternalTypesAsReferences && OriginUrl(e) != W.TargetXsd; }

    // ---- External schemas ------------------------------------------------------------------

    void AddRef(const String& aNamespace, const String& aUrl) {
        if (aUrl.empty() || aUrl == W.TargetXsd)
            return;
        for (size_t i = 0; i < W.fExternalRefs.size(); ++i)
            if (W.fExternalRefs[i] == aNamespace && W.fExternalUrls[i] == aUrl)
                return;
        W.fExternalRefs.push_back(aNamespace);
        W.fExternalUrls.push_back(aUrl);
    }

    void RefType(const String& aTypeName) {
        if (const TRODLEntity* e = FindType(aTypeName))
            AddRef(OriginNamespace(*e), OriginUrl(*e));
    }

    void CollectEntity(const TRODLEntity& e) {
        const String url = OriginUrl(e);
        if (!W.TargetXsd.empty() && url == W.TargetXsd) {
            W.fHasXsdData = true;
            if (W.fXsdTns.empty())
                W.fXsdTns = OriginNamespace(e);
            if (auto* s = dynamic_cast<const TRODLBaseStruct*>(&e)) {
                if (!s->GetAncestor().empty())
                    RefType(s->GetAncestor());
                for (int i = 0; i < s->Count(); ++i)
                    RefType(s->Items(i)->DataType());
            } else if (auto* a = dynamic_cast<const TRODLArray*>(&e)) {
                RefType(a->ElementType());
            }
        } else if (W.TargetXsd.empty()) {
            AddRef(OriginNamespace(e), url);
        }
    }

    void CollectExternals(const std::vector<const TRODLBaseService*>& services) {
        for (int i = 0; i < L.ExceptionCount(); ++i)
            if (L.Exceptions(i)->Count() == 1)
                CollectEntity(*L.Exceptions(i));
        for (int i = 0; i < L.ArrayCount(); ++i)
            CollectEntity(*L.Arrays(i));
        for (int i = 0; i < L.StructCount(); ++i) {
            // A structure and its ancestors; the chain is bounded by the library's size.
            const TRODLStruct* s = L.Structs(i);
            for (int depth = 0; s && depth <= L.StructCount(); ++depth) {
                CollectEntity(*s);
                s = s->GetAncestor().empty() ? nullptr : L.FindStruct(s->GetAncestor());
            }
        }
        for (int i = 0; i < L.EnumCount(); ++i)
            CollectEntity(*L.Enums(i));
        if (!W.TargetXsd.empty())
            return;
        for (const TRODLBaseService* service : services)
            for (const TRODLOperation* op : Operations(*service)) {
                for (const String& name : FaultExceptions(*op))
                    if (const TRODLException* e = L.FindException(name))
                        AddRef(OriginNamespace(*e), OriginUrl(*e));
                AddRef(op->AttributeValue(u"ImportedFromNamespace"), op->AttributeValue(u"InputImportedFromUrl"));
                AddRef(op->AttributeValue(u"ImportedFromNamespace"), op->AttributeValue(u"OutputImportedFromUrl"));
            }
    }

    // ---- Services and operations -----------------------------------------------------------

    /// The services produced: the one asked for, or all.
    std::vector<const TRODLBaseService*> Services() const {
        std::vector<const TRODLBaseService*> list;
        if (!W.fTargetEntity.empty()) {
            list.push_back(L.FindService(W.fTargetEntity));
        } else {
            for (int i = 0; i < L.ServiceCount(); ++i)
                list.push_back(L.Services(i));
        }
        return list;
    }

    /// The default interface's operations, then those of the ancestors (while the ancestor
    /// found is not private); a name already listed (without case) is left out.
    std::vector<const TRODLOperation*> Operations(const TRODLBaseService& aService) const {
        std::vector<const TRODLOperation*> list;
        std::vector<const TRODLBaseService*> visited;
        const TRODLBaseService* current = &aService;
        while (current && std::find(visited.begin(), visited.end(), current) == visited.end()) {
            visited.push_back(current);
            if (const TRODLServiceInterface* interface = current->Default())
                for (int i = 0; i < interface->Count(); ++i) {
                    const TRODLOperation* op = interface->Items(i);
                    const bool seen = std::any_of(list.begin(), list.end(), [&](const TRODLOperation* o) {
                        return SameText(o->Name(), op->Name());
                    });
                    if (!seen)
                        list.push_back(op);
                }
            const String ancestor = current->GetAncestor();
            current = ancestor.empty() ? nullptr : L.FindService(ancestor);
            if (current && current->isPrivate)
                current = nullptr;
        }
        return list;
    }

    /// The "fault_" attributes of an operation: (fault name, exception name) for those that name
    /// an exception of the library.
    std::vector<std::pair<String, String>> Faults(const TRODLOperation& anOperation) const {
        std::vector<std::pair<String, String>> faults;
        if (!anOperation.HasAttributes())
            return faults;
        TStrings& attributes = const_cast<TRODLOperation&>(anOperation).Attributes();
        for (int i = 0; i < attributes.Count(); ++i) {
            const String name = attributes.Names(i);
            if (name.size() <= 6 || !SameText(StringView(name).substr(0, 6), u"fault_"))
                continue;
            const String faultName = name.substr(6);
            const String value = attributes.ValueFromIndex(i);
            const TRODLException* e = L.FindException(value);
            if (!e)
                e = L.FindException(faultName);
            if (e)
                faults.emplace_back(faultName, e->Name());
        }
        return faults;
    }
    std::vector<String> FaultExceptions(const TRODLOperation& anOperation) const {
        std::vector<String> names;
        for (const auto& [fault, exception] : Faults(anOperation))
            names.push_back(exception);
        return names;
    }

    /// The request and response element names: the override, else service + "___" +
    /// operation (+ "Response"); the schema strips both names, the message parts do not.
    static String InputElementName(const String& aService, const String& anOperation, const TRODLOperation& op) {
        const String name = op.AttributeValue(u"SOAPInputNameOverride");
        return name.empty() ? aService + u"___" + anOperation : name;
    }
    static String OutputElementName(const String& aService, const String& anOperation, const TRODLOperation& op) {
        const String name = op.AttributeValue(u"SOAPOutputNameOverride");
        return name.empty() ? aService + u"___" + anOperation + u"Response" : name;
    }
    String OperationName(const String& aService, const TRODLOperation& op) const {
        const String name = op.AttributeValue(u"SOAPInputNameOverride");
        if (!name.empty())
            return name;
        return W.DocumentLiteralWrappedNaming ? Strip(aService) + u"___" + Strip(op.Name()) : Strip(op.Name());
    }
    static String MessageName(const String& aService, const TRODLOperation& op, const char16_t* aSuffix) {
        return Strip(aService) + u"___" + Strip(op.Name()) + aSuffix;
    }

    // ---- Schema ----------------------------------------------------------------------------

    /// An element for a field, a parameter or a result whose type may be a one-field wrapper;
    /// aParameter writes minOccurs/maxOccurs 1 for a plain type.
    void TypedElement(TROConverterNode* aParent, const String& aName, const String& aWrappedName,
                      const String& aTypeName, const String& aDocumentation, bool aParameter) {
        TROConverterNode* element = aParent->AddChild(u"xs", u"element");
        if (const TRODLStruct* wrapper = Wrapper(aTypeName)) {
            const String inner = TypeRef(wrapper->Items(0)->DataType());
            if (Flag(*wrapper, u"Nillable")) {
                Attr(element, u"name", Strip(aName));
                if (!aParameter) {
                    Attr(element, u"type", inner);
                    Attr(element, u"nillable", u"1");
                } else {
                    Attr(element, u"nillable", u"1");
                    Attr(element, u"type", inner);
                }
            } else {
                Attr(element, u"name", Strip(aWrappedName));
                if (!aParameter)
                    Attr(element, u"type", inner);
                Attr(element, u"minOccurs", u"0");
                Attr(element, u"maxOccurs", u"1");
                if (aParameter)
                    Attr(element, u"type", inner);
            }
        } else {
            Attr(element, u"name", Strip(aWrappedName));
            if (aParameter) {
                Attr(element, u"minOccurs", u"1");
                Attr(element, u"maxOccurs", u"1");
            }
            Attr(element, u"type", TypeRef(aTypeName));
        }
        Documentation(element, u"xs", aDocumentation);
    }

    void WriteEnum(TROConverterNode* aSchema, const TRODLEnum& e) {
        if (Foreign(e))
            return;
        TROConverterNode* type = aSchema->AddChild(u"xs", u"simpleType");
        Attr(type, u"name", e.Name());
        Documentation(type, u"xs", e.Documentation());
        TROConverterNode* restriction = type->AddChild(u"xs", u"restriction");
        Attr(restriction, u"base", u"xs:string");
        for (int i = 0; i < e.Count(); ++i)
            Attr(restriction->AddChild(u"xs", u"enumeration"), u"value", Strip(e.Items(i)->Name()));
    }

    void WriteStruct(TROConverterNode* aSchema, const TRODLStruct& s) {
        if (Foreign(s) || Flag(s, u"Anonymous") || (Flag(s, u"IsSimpleTypeExtension") && s.Count() == 1))
            return;
        TROConverterNode* type = aSchema->AddChild(u"xs", u"complexType");
        Attr(type, u"name", Strip(s.Name()));
        Documentation(type, u"xs", s.Documentation());
        if (Flag(s, u"IsSimpleTypeExtension")) {
            TROConverterNode* extension = type->AddChild(u"xs", u"simpleContent")->AddChild(u"xs", u"extension");
            Attr(extension, u"base", u"xs:" + s.AttributeValue(u"SimpleType"));
            const std::vector<String> names = SplitComma(s.AttributeValue(u"AttributesNames"));
            for (int i = 0; i < s.Count(); ++i) {
                const TRODLTypedEntity* field = s.Items(i);
                if (std::none_of(names.begin(), names.end(),
                                 [&](const String& n) { return SameText(n, field->Name()); }))
                    continue;
                TROConverterNode* attribute = extension->AddChild(u"xs", u"attribute");
                Attr(attribute, u"name", FieldName(*field));
                Attr(attribute, u"type", u"xs:string");
            }
            return;
        }
        TROConverterNode* sequence;
        if (W.UseDocument && !s.GetAncestor().empty()) {
            TROConverterNode* extension = type->AddChild(u"xs", u"complexContent")->AddChild(u"xs", u"extension");
            Attr(extension, u"base", TypeRef(s.GetAncestor()));
            sequence = extension->AddChild(u"xs", u"sequence");
        } else {
            sequence = type->AddChild(u"xs", u"sequence");
        }
        auto fields = [&](const TRODLStruct& from) {
            for (int i = 0; i < from.Count(); ++i) {
                const TRODLTypedEntity* field = from.Items(i);
                TypedElement(sequence, field->Name(), FieldName(*field), field->DataType(), field->Documentation(),
                             false);
            }
        };
        fields(s);
        if (!W.UseDocument) {
            // The ancestors' fields follow; the chain is bounded by the library's size.
            const TRODLStruct* ancestor = s.GetAncestor().empty() ? nullptr : L.FindStruct(s.GetAncestor());
            for (int depth = 0; ancestor && ancestor != &s && depth < L.StructCount(); ++depth) {
                fields(*ancestor);
                ancestor = ancestor->GetAncestor().empty() ? nullptr : L.FindStruct(ancestor->GetAncestor());
            }
        } else if (Flag(s, u"lax")) {
            AnyElement(sequence);
        }
    }

    static void AnyElement(TROConverterNode* aSequence) {
        TROConverterNode* any = aSequence->AddChild(u"xs", u"any");
        Attr(any, u"namespace", u"##any");
        Attr(any, u"processContents", u"lax");
    }

    void WriteArray(TROConverterNode* aSchema, const TRODLArray& a) {
        if (Foreign(a))
            return;
        String itemType;
        bool nillable = false;
        if (const TRODLStruct* wrapper = Wrapper(a.ElementType())) {
            itemType = TypeRef(wrapper->Items(0)->DataType());
            nillable = Flag(*wrapper, u"Nillable");
        } else {
            itemType = TypeRef(a.ElementType());
        }
        String itemName = a.AttributeValue(u"ElementName");
        if (itemName.empty()) {
            const size_t colon = itemType.find(u':');
            itemName = colon == String::npos ? itemType : itemType.substr(colon + 1);
        }
        TROConverterNode* type = aSchema->AddChild(u"xs", u"complexType");
        Attr(type, u"name", a.Name());
        Documentation(type, u"xs", a.Documentation());
        if (W.UseDocument) {
            TROConverterNode* element = type->AddChild(u"xs", u"sequence")->AddChild(u"xs", u"element");
            Attr(element, u"name", itemName);
            int minOccurs = 0;
            if (!TryStrToInt(a.AttributeValue(u"MinOccurs"), minOccurs))
                minOccurs = 0;
            int maxOccurs = 0;
            const bool bounded = TryStrToInt(a.AttributeValue(u"MaxOccurs"), maxOccurs);
            Attr(element, u"minOccurs", IntToStr(minOccurs));
            Attr(element, u"maxOccurs", bounded ? IntToStr(maxOccurs) : String(u"unbounded"));
            Attr(element, u"type", itemType);
            if (nillable)
                Attr(element, u"nillable", u"1");
        } else {
            TROConverterNode* restriction = type->AddChild(u"xs", u"complexContent")->AddChild(u"xs", u"restriction");
            Attr(restriction, u"base", u"soapenc:Array");
            restriction->AddChild(u"xs", u"sequence");
            TROConverterNode* attribute = restriction->AddChild(u"xs", u"attribute");
            Attr(attribute, u"ref", u"soapenc:arrayType");
            Attr(attribute, u"n1:arrayType", itemType + u"[]");
            Attr(attribute, u"xmlns:n1", kWsdlNamespace);
        }
    }

    void WriteException(TROConverterNode* aSchema, const TRODLException& e) {
        if (Foreign(e))
            return;
        const String elementName = e.AttributeValue(u"ElementName");
        const String elementType = e.AttributeValue(u"ElementType");
        TROConverterNode* type;
        if (elementType.empty() && !elementName.empty()) {
            TROConverterNode* element = aSchema->AddChild(u"xs", u"element");
            Attr(element, u"name", elementName);
            Documentation(element, u"xs", e.Documentation());
            type = element->AddChild(u"xs", u"complexType");
        } else {
            type = aSchema->AddChild(u"xs", u"complexType");
            Attr(type, u"name", elementType.empty() ? e.Name() : elementType);
            Documentation(type, u"xs", e.Documentation());
        }
        TROConverterNode* holder = type;
        if (!e.GetAncestor().empty()) {
            holder = type->AddChild(u"xs", u"complexContent")->AddChild(u"xs", u"extension");
            Attr(holder, u"base", TypeRef(e.GetAncestor()));
        }
        TROConverterNode* sequence = holder->AddChild(u"xs", u"sequence");
        for (int i = 0; i < e.Count(); ++i) {
            const TRODLTypedEntity* field = e.Items(i);
            TypedElement(sequence, field->Name(), field->Name(), field->DataType(), field->Documentation(), false);
        }
        if (!elementType.empty()) {
            TROConverterNode* element = aSchema->AddChild(u"xs", u"element");
            Attr(element, u"name", elementName);
            Attr(element, u"type", elementType);
        }
    }

    /// The request or response element of an operation (document/literal).
    void WriteOperationElement(TROConverterNode* aSchema, const String& aService, const TRODLOperation& op,
                               bool aResponse) {
        if (W.ExternalTypesAsReferences &&
            op.AttributeValue(aResponse ? u"OutputImportedFromUrl" : u"InputImportedFromUrl") != W.TargetXsd)
            return;
        const String name = aResponse ? OutputElementName(Strip(aService), Strip(op.Name()), op)
                                      : InputElementName(Strip(aService), Strip(op.Name()), op);
        TROConverterNode* element = aSchema->AddChild(u"xs", u"element");
        Attr(element, u"name", Strip(name));
        TROConverterNode* type = element->AddChild(u"xs", u"complexType");
        std::vector<const TRODLOperationParam*> params;
        if (aResponse && op.Result())
            params.push_back(op.Result());
        for (int i = 0; i < op.Count(); ++i) {
            const TRODLOperationParam* p = op.Items(i);
            const bool in = p->Flag() == fIn || p->Flag() == fInOut;
            const bool out = p->Flag() == fOut || p->Flag() == fInOut;
            if (aResponse ? out : in)
                params.push_back(p);
        }
        if (params.empty())
            return;
        TROConverterNode* sequence = type->AddChild(u"xs", u"sequence");
        for (const TRODLOperationParam* p : params)
            TypedElement(sequence, p->Name(), p->Name(), p->DataType(),
                         p->Flag() == fResult ? String() : p->Documentation(), true);
        if (Flag(op, aResponse ? u"OutputLax" : u"InputLax"))
            AnyElement(sequence);
    }

    // ---- WSDL sections ---------------------------------------------------------------------

    String PartType(const String& aTypeName) const {
        const TRODLStruct* s = L.FindStruct(aTypeName);
        if (s && s->Count() == 1 && Flag(*s, u"Anonymous"))
            return TypeRef(s->Items(0)->DataType());
        return TypeRef(aTypeName);
    }

    void WriteMessages(TROConverterNode* aRoot, const String& aService, const TRODLOperation& op) {
        const bool wrapped = W.UseLiteral && W.UseDocument;
        for (bool response : {false, true}) {
            TROConverterNode* message = aRoot->AddChild(u"wsdl", u"message");
            Attr(message, u"name", MessageName(aService, op, response ? u"Response" : u"Request"));
            if (wrapped) {
                TROConverterNode* part = message->AddChild(u"wsdl", u"part");
                Attr(part, u"name", u"parameters");
                Attr(part, u"element",
                     u"tns:" + (response ? OutputElementName(aService, op.Name(), op)
                                         : InputElementName(aService, op.Name(), op)));
                continue;
            }
            std::vector<const TRODLOperationParam*> params;
            if (response && op.Result())
                params.push_back(op.Result());
            for (int i = 0; i < op.Count(); ++i) {
                const TRODLOperationParam* p = op.Items(i);
                if (response ? (p->Flag() == fOut || p->Flag() == fInOut) : (p->Flag() == fIn || p->Flag() == fInOut))
                    params.push_back(p);
            }
            for (const TRODLOperationParam* p : params) {
                TROConverterNode* part = message->AddChild(u"wsdl", u"part");
                Attr(part, u"name", Strip(p->Name()));
                Attr(part, u"type", PartType(p->DataType()));
            }
        }
    }

    void WriteExceptionMessage(TROConverterNode* aRoot, const TRODLException& e) {
        TROConverterNode* message = aRoot->AddChild(u"wsdl", u"message");
        Attr(message, u"name", e.Name());
        const String elementName = e.AttributeValue(u"ElementName");
        for (int i = 0; i < e.Count(); ++i) {
            TROConverterNode* part = message->AddChild(u"wsdl", u"part");
            Attr(part, u"name", e.Items(i)->Name());
            if (!elementName.empty())
                Attr(part, u"element", ElementRef(elementName, e.AttributeValue(u"ElementNamespace")));
            else
                Attr(part, u"type", TypeRef(e.Items(i)->DataType()));
        }
    }

    void WritePortType(TROConverterNode* aRoot, const TRODLBaseService& aService) {
        const String service = aService.Name();
        TROConverterNode* portType = aRoot->AddChild(u"wsdl", u"portType");
        Attr(portType, u"name", Strip(service));
        Documentation(portType, u"wsdl", aService.Documentation(), true);
        for (const TRODLOperation* op : Operations(aService)) {
            TROConverterNode* operation = portType->AddChild(u"wsdl", u"operation");
            Attr(operation, u"name", OperationName(service, *op));
            Documentation(operation, u"wsdl", op->Documentation(), true);
            Attr(operation->AddChild(u"wsdl", u"input"), u"message", u"tns:" + MessageName(service, *op, u"Request"));
            Attr(operation->AddChild(u"wsdl", u"output"), u"message", u"tns:" + MessageName(service, *op, u"Response"));
            if (W.UseDocument)
                for (const auto& [fault, exception] : Faults(*op)) {
                    TROConverterNode* node = operation->AddChild(u"wsdl", u"fault");
                    Attr(node, u"name", fault);
                    Attr(node, u"message", u"tns:" + exception);
                }
        }
    }

    void WriteBinding(TROConverterNode* aRoot, const TRODLBaseService& aService) {
        const String service = aService.Name();
        TROConverterNode* binding = aRoot->AddChild(u"wsdl", u"binding");
        Attr(binding, u"name", Strip(service) + u"Binding");
        Attr(binding, u"type", u"tns:" + Strip(service));
        Documentation(binding, u"xs", aService.Documentation());
        TROConverterNode* soapBinding = binding->AddChild(u"soap", u"binding");
        if (!W.UseDocument)
            Attr(soapBinding, u"style", u"rpc");
        Attr(soapBinding, u"transport", kSoapHttpTransport);
        for (const TRODLOperation* op : Operations(aService)) {
            TROConverterNode* operation = binding->AddChild(u"wsdl", u"operation");
            Attr(operation, u"name", OperationName(service, *op));
            TROConverterNode* soapOperation = operation->AddChild(u"soap", u"operation");
            String action = op->AttributeValue(u"Action");
            if (action.empty())
                action = u"urn:" + L.Name() + u"-" + Strip(service) + u"#" + Strip(op->Name());
            else if (action.find(u':') == String::npos)
                action = u"urn:" + action;
            Attr(soapOperation, u"soapAction", action);
            Attr(soapOperation, u"style", W.UseDocument ? u"document" : u"rpc");
            for (const char16_t* direction : {u"input", u"output"}) {
                TROConverterNode* node = operation->AddChild(u"wsdl", direction);
                TROConverterNode* body = node->AddChild(u"soap", u"body");
                if (W.UseLiteral) {
                    Attr(body, u"use", u"literal");
                    if (W.ShowClientId && W.UseDocument) {
                        TROConverterNode* header = node->AddChild(u"soap", u"header");
                        Attr(header, u"message", u"tns:ROClientIDHeaderMessage");
                        Attr(header, u"use", u"literal");
                        Attr(header, u"part", u"ROClientID");
                    }
                } else {
                    Attr(body, u"use", u"encoded");
                    Attr(body, u"encodingStyle", kSoapEncodingNamespace);
                    Attr(body, u"namespace", u"urn:" + Strip(L.Name()) + u"-" + Strip(service));
                }
            }
            if (W.UseLiteral && W.UseDocument)
                for (const auto& [fault, exception] : Faults(*op)) {
                    TROConverterNode* node = operation->AddChild(u"wsdl", u"fault");
                    Attr(node, u"name", fault);
                    TROConverterNode* soapFault = node->AddChild(u"soap", u"fault");
                    Attr(soapFault, u"name", fault);
                    Attr(soapFault, u"use", u"literal");
                }
        }
    }

    void WriteService(TROConverterNode* aRoot, const TRODLBaseService& aService) {
        const String service = aService.Name();
        TROConverterNode* node = aRoot->AddChild(u"wsdl", u"service");
        Attr(node, u"name", Strip(service));
        if (const TRODLServiceInterface* interface = aService.Default())
            Documentation(node, u"xs", interface->Documentation());
        TROConverterNode* port = node->AddChild(u"wsdl", u"port");
        Attr(port, u"name", Strip(service) + u"Port");
        Attr(port, u"binding", u"tns:" + Strip(service) + u"Binding");
        String name = service;
        std::replace(name.begin(), name.end(), u' ', u'+');
        Attr(port->AddChild(u"soap", u"address"), u"location", W.Location + u"?service=" + name);
    }

    // ---- The document ----------------------------------------------------------------------

    void Convert() {
        if (W.TargetNamespace.find(u':') == String::npos)
            W.TargetNamespace = u"urn:" + W.TargetNamespace;
        if (!W.fTargetEntity.empty())
            if (const TRODLService* service = L.FindService(W.fTargetEntity); service && service->isPrivate)
                return;
        W.fExternalRefs.clear();
        W.fExternalUrls.clear();
        W.fXsdTns.clear();
        W.fHasXsdData = false;
        const std::vector<const TRODLBaseService*> services = Services();
        if (W.ExternalTypesAsReferences)
            CollectExternals(services);
        if (W.fXsdTns.empty())
            W.fXsdTns = W.TargetNamespace;
        W.Write(u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");

        std::unique_ptr<TROConverterNode> root;
        TROConverterNode* schema;
        if (!W.TargetXsd.empty()) {
            if (!W.fHasXsdData)
                throw Exception(u"No xsd by that name");
            root = std::make_unique<TROConverterNode>(u"xs", u"schema", kIndentStep);
            Attr(root.get(), u"xmlns:xs", kXsNamespace);
            Attr(root.get(), u"xmlns", W.fXsdTns);
            Attr(root.get(), u"targetNamespace", W.fXsdTns, true);
            Attr(root.get(), u"elementFormDefault", u"qualified");
            Attr(root.get(), u"xmlns:tns", W.fXsdTns, true);
            schema = root.get();
        } else {
            root = std::make_unique<TROConverterNode>(u"wsdl", u"definitions", kIndentStep);
            Attr(root.get(), u"xmlns:wsdl", kWsdlNamespace, true);
            Attr(root.get(), u"xmlns:xs", kXsNamespace, true);
            Attr(root.get(), u"name", L.Name(), true);
            Attr(root.get(), u"xmlns:soap", kSoapBindingNamespace, true);
            Attr(root.get(), u"xmlns:soapenc", kSoapEncodingNamespace, true);
            Attr(root.get(), u"xmlns:mime", kMimeNamespace, true);
            Attr(root.get(), u"targetNamespace", W.TargetNamespace, true);
            Attr(root.get(), u"xmlns:tns", W.TargetNamespace, true);
            schema = nullptr;
        }
        for (size_t i = 0; i < W.fExternalRefs.size(); ++i)
            if (W.fExternalRefs[i] != W.fXsdTns)
                Attr(root.get(), u"xmlns:ns" + IntToStr(int(i)), W.fExternalRefs[i], true);
        if (!schema) {
            Documentation(root.get(), u"xs", L.Documentation());
            schema = root->AddChild(u"wsdl", u"types")->AddChild(u"xs", u"schema");
            Attr(schema, u"targetNamespace", W.TargetNamespace);
            Attr(schema, u"elementFormDefault", u"qualified");
        }
        const String ownNamespace = W.TargetXsd.empty() ? W.TargetNamespace : W.fXsdTns;
        for (size_t i = 0; i < W.fExternalRefs.size(); ++i) {
            const String location = W.Location + u"?xsd=" + W.fExternalUrls[i];
            if (W.fExternalRefs[i] == ownNamespace) {
                Attr(schema->AddChild(u"xs", u"include"), u"schemaLocation", location);
            } else {
                TROConverterNode* import = schema->AddChild(u"xs", u"import");
                Attr(import, u"namespace", W.fExternalRefs[i]);
                Attr(import, u"schemaLocation", location);
            }
        }
        for (int i = 0; i < L.EnumCount(); ++i)
            WriteEnum(schema, *L.Enums(i));
        for (int i = 0; i < L.StructCount(); ++i)
            WriteStruct(schema, *L.Structs(i));
        for (int i = 0; i < L.ArrayCount(); ++i)
            WriteArray(schema, *L.Arrays(i));
        for (int i = 0; i < L.ExceptionCount(); ++i)
            WriteException(schema, *L.Exceptions(i));
        if (W.UseLiteral && W.UseDocument) {
            for (const TRODLBaseService* service : services)
                for (const TRODLOperation* op : Operations(*service)) {
                    WriteOperationElement(schema, service->Name(), *op, false);
                    WriteOperationElement(schema, service->Name(), *op, true);
                }
            if (W.ShowClientId) {
                TROConverterNode* element = schema->AddChild(u"xs", u"element");
                Attr(element, u"name", u"ROClientIDHeader");
                TROConverterNode* id =
                    element->AddChild(u"xs", u"complexType")->AddChild(u"xs", u"sequence")->AddChild(u"xs", u"element");
                Attr(id, u"name", u"ID");
                Attr(id, u"minOccurs", u"0");
                Attr(id, u"maxOccurs", u"1");
                Attr(id, u"type", u"xs:string");
            }
        }
        if (W.TargetXsd.empty()) {
            for (const TRODLBaseService* service : services)
                for (const TRODLOperation* op : Operations(*service))
                    WriteMessages(root.get(), service->Name(), *op);
            if (W.UseDocument)
                for (int i = 0; i < L.ExceptionCount(); ++i)
                    WriteExceptionMessage(root.get(), *L.Exceptions(i));
            if (W.ShowClientId && W.UseLiteral && W.UseDocument) {
                TROConverterNode* message = root->AddChild(u"wsdl", u"message");
                Attr(message, u"name", u"ROClientIDHeaderMessage");
                TROConverterNode* part = message->AddChild(u"wsdl", u"part");
                Attr(part, u"name", u"ROClientID");
                Attr(part, u"element", u"tns:ROClientIDHeader");
            }
            for (const TRODLBaseService* service : services)
                if (!service->isPrivate)
                    WritePortType(root.get(), *service);
            for (const TRODLBaseService* service : services)
                if (!service->isPrivate)
                    WriteBinding(root.get(), *service);
            for (const TRODLBaseService* service : services)
                if (!service->isPrivate)
                    WriteService(root.get(), *service);
        }
        W.WriteLines(root->ToString());
    }
};

TRODLToWSDL::TRODLToWSDL(const TRODLLibrary* aLibrary, const String& aTargetEntity) {
    if (aLibrary)
        TRODLConverter::Convert(aLibrary, aTargetEntity);
}

TRODLToWSDL::TRODLToWSDL(const String& aFileName, const String& aTargetEntity) {
    TRODLConverter::ConvertFile(aFileName, aTargetEntity);
}

void TRODLToWSDL::IntConvert(const TRODLLibrary& aLibrary) {
    Writer writer{*this, aLibrary};
    writer.Convert();
}

String TRODLToWSDL::Text() const {
    String text;
    for (const String& line : fBuffer)
        text += line + u"\r\n";
    return text;
}

} // namespace vgl
