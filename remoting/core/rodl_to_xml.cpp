#include "remoting/core/rodl_to_xml.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"

namespace vgl {

// ---- Text helpers -------------------------------------------------------------------------

namespace {

bool IsXmlChar(StringView s, size_t i, size_t& width) {
    width = 1;
    const Char c = s[i];
    if (c == u'\t' || c == u'\n' || c == u'\r')
        return true;
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF)
        return false;
    if (IsSurrogatePairAt(s, i)) {
        width = 2;
        return true;
    }
    return !IsSurrogate(c);
}

} // namespace

String XmlSafeText(StringView aText) {
    String out;
    out.reserve(aText.size());
    for (size_t i = 0; i < aText.size();) {
        size_t width = 1;
        if (IsXmlChar(aText, i, width))
            out.append(aText.substr(i, width));
        else
            out += u' ';
        i += width;
    }
    return out;
}

String EscapeXmlAttribute(StringView aText) {
    String out;
    for (Char c : XmlSafeText(aText)) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\t':
            out += u"&#9;";
            break;
        case u'\n':
            out += u"&#10;";
            break;
        case u'\r':
            out += u"&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

String EscapeXmlElementText(StringView aText) {
    String out;
    for (Char c : XmlSafeText(aText)) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'\r':
            out += u"&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

String MakeCDataText(StringView aText) {
    String text(aText);
    while (!text.empty() &&
           (text.back() == u'\t' || text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
        text.pop_back();
    text = XmlSafeText(text);
    String lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            lines += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            lines += text[i];
        }
    }
    return u"<![CDATA[" + StringReplace(lines, u"]]>", u"]]]]><![CDATA[>", rfReplaceAll) + u"]]>";
}

bool IsValidXmlElementName(StringView aName) {
    if (aName.empty())
        return false;
    for (size_t i = 0; i < aName.size(); ++i) {
        const Char c = aName[i];
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' ||
                            (c >= 0xC0 && !IsSurrogate(c) && c != 0xD7 && c != 0xF7 && c < 0xFFFE && IsLetter(c));
        const bool other = IsDigit(c) || c == u'-' || c == u'.';
        if (!(letter || (i > 0 && other)))
            return false;
    }
    return true;
}

// ---- TROConverterNode ---------------------------------------------------------------------

TROConverterNode::TROConverterNode(const String& aTag, int aDefaultOffset) : fOffset(aDefaultOffset), fName(aTag) {}

TROConverterNode::TROConverterNode(const String& aPrefix, const String& aTag, int aDefaultOffset)
    : fOffset(aDefaultOffset), fName(aPrefix.empty() ? aTag : aPrefix + u":" + aTag) {}

void TROConverterNode::AddAttribute(const String& aName, const String& aValue, bool aNewLine) {
    fAttributes.emplace_back(aName + u"=\"" + aValue + u"\"", aNewLine);
}

void TROConverterNode::AddAttribute(const String& aPrefix, const String& aName, const String& aValue, bool aNewLine) {
    AddAttribute(aPrefix.empty() ? aName : aPrefix + u":" + aName, aValue, aNewLine);
}

TROConverterNode* TROConverterNode::AddChild(const String& aName) {
    return AddChild(String(), aName);
}

TROConverterNode* TROConverterNode::AddChild(const String& aPrefix, const String& aName) {
    auto child = std::make_unique<TROConverterNode>(aPrefix, aName, fOffset);
    child->fIndent = fIndent + fOffset;
    fChilds.push_back(std::move(child));
    return fChilds.back().get();
}

void TROConverterNode::SetValue(const String& aValue, bool aNewLine) {
    fValue = aValue;
    fValueFromNewString = aNewLine;
}

void TROConverterNode::Render(String& out) const {
    const String indent(size_t(fIndent), u' ');
    out += indent + u"<" + fName;
    for (const auto& [text, newLine] : fAttributes) {
        if (newLine)
            out += u"\r\n" + String(size_t(fIndent + fOffset), u' ');
        else
            out += u' ';
        out += text;
    }
    if (!fChilds.empty()) {
        out += u">\r\n";
        for (const auto& child : fChilds)
            child->Render(out);
        out += indent + u"</" + fName + u">";
    } else if (!fValue.empty()) {
        out += u">";
        if (fValueFromNewString)
            out += u"\r\n" + String(size_t(fIndent + fOffset), u' ') + fValue + u"\r\n" + indent;
        else
            out += fValue;
        out += u"</" + fName + u">";
    } else {
        out += u" />";
    }
    out += u"\r\n";
}

String TROConverterNode::ToString() const {
    String out;
    Render(out);
    return out;
}

// ---- TRODLConverter -----------------------------------------------------------------------

void TRODLConverter::Convert(const TRODLLibrary* aLibrary, const String& aTargetEntity) {
    if (!aLibrary)
        throw EROException(u"Invalid library");
    if (!aTargetEntity.empty() && !ValidateTargetEntity(*aLibrary, aTargetEntity))
        throw EROException(u"Invalid TargetEntity \"%s\"", {aTargetEntity});
    fTargetEntity = aTargetEntity;
    fBuffer.clear();
    IntConvert(*aLibrary);
}

void TRODLConverter::ConvertFile(const String& aFileName, const String& aTargetEntity) {
    TXMLToRODL reader(nullptr, false);
    std::unique_ptr<TRODLLibrary> library = reader.ReadFromFile(aFileName);
    Convert(library.get(), aTargetEntity);
}

bool TRODLConverter::ValidateTargetEntity(const TRODLLibrary& aLibrary, const String& aTargetEntity) const {
    return aLibrary.FindService(aTargetEntity) != nullptr;
}

std::string TRODLConverter::AsBytes() const {
    std::string bytes;
    for (const String& line : fBuffer) {
        bytes += StringToUtf8(line);
        bytes += "\r\n";
    }
    return bytes;
}

void TRODLConverter::Write(const String& aText, int aIndentation) {
    fBuffer.push_back(String(size_t(std::max(aIndentation, 0)), u' ') + aText);
}

void TRODLConverter::WriteLines(const String& aText) {
    String line;
    for (size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == u'\r' || aText[i] == u'\n') {
            fBuffer.push_back(line);
            line.clear();
            if (aText[i] == u'\r' && i + 1 < aText.size() && aText[i + 1] == u'\n')
                ++i;
        } else {
            line += aText[i];
        }
    }
    if (!line.empty())
        fBuffer.push_back(line);
}

// ---- TRODLToXML ---------------------------------------------------------------------------

TRODLToXML::TRODLToXML(const String& aOutputFileName, bool aFlattenUsedRODLs)
    : fOutputFileName(aOutputFileName), fFlattenUsedRODLs(aFlattenUsedRODLs) {}

namespace {

constexpr const char16_t* kGroupsAttribute = u"ROServiceGroups";

String Bool(bool value) {
    return value ? u"1" : u"0";
}

String Guid(const TGUID& guid) {
    return GUIDToString(guid);
}

/// Splits a comma list; a part in single quotes may hold commas.
std::vector<String> SplitGroups(StringView text) {
    std::vector<String> parts;
    String current;
    bool quoted = false;
    for (Char c : text) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            parts.push_back(Trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(Trim(current));
    return parts;
}

/// The library's entities of one class, in library order (one pass over the library).
template <class T> std::vector<T*> OfKind(const TRODLLibrary& library) {
    std::vector<T*> result;
    for (int i = 0; i < library.Count(); ++i)
        if (auto* e = dynamic_cast<T*>(library.TRODLComplexEntity::Items(i)))
            result.push_back(e);
    return result;
}

} // namespace

struct TRODLToXML::Context {
    const TRODLToXML& Writer;
    const TRODLLibrary& Library;
    std::vector<String> Allowed;
    std::vector<String> Disallowed;
    std::set<String> Exceptions; // names as identifiers, compared case-sensitively
    std::map<String, bool> FileExists;

    bool Exists(const String& fileName) {
        if (fileName.empty())
            return false;
        const String key = UpperCase(fileName);
        auto it = FileExists.find(key);
        if (it == FileExists.end())
            it = FileExists.emplace(key, vgl::FileExists(fileName)).first;
        return it->second;
    }

    bool UsedRule(const TRODLEntity& e) {
        if (Writer.fFlattenUsedRODLs || !e.IsFromUsedRodl())
            return true;
        for (int i = 0; i < e.InUseCount(); ++i) {
            const TRODLUse* use = e.InUse(i);
            if (!Exists(ExpandRodlPath(use->RodlFile)) && !Exists(use->AbsoluteRodlFile))
                return true;
        }
        return false;
    }

    bool GroupRule(const TRODLEntity& e) const {
        if (Allowed.empty() && Disallowed.empty())
            return true;
        if (Exceptions.count(MakeValidIdentifier(e.Name())))
            return true;
        if (!e.HasAttribute(kGroupsAttribute))
            return false;
        std::vector<String> groups;
        for (const String& g : SplitToArray(e.AttributeValue(kGroupsAttribute), u','))
            groups.push_back(Trim(g));
        int allowed = 0;
        for (const String& g : groups) {
            if (std::find(Disallowed.begin(), Disallowed.end(), g) != Disallowed.end())
                return false;
            if (std::find(Allowed.begin(), Allowed.end(), g) != Allowed.end())
                ++allowed;
        }
        return allowed == int(Allowed.size());
    }

    bool PrivateRule(const TRODLBaseService& s) const { return !(Writer.ExcludePrivateServices && s.isPrivate); }

    /// Adds a type name and what it reaches (arrays: element type; structures: ancestor and
    /// element types), stopping at names already listed.
    void Reach(const String& typeName) {
        std::vector<String> work{typeName};
        while (!work.empty()) {
            const String name = work.back();
            work.pop_back();
            const TRODLStruct* s = Library.FindStruct(name);
            const TRODLArray* a = s ? nullptr : Library.FindArray(name);
            const TRODLEnum* en = s || a ? nullptr : Library.FindEnum(name);
            if (!s && !a && !en)
                continue;
            if (!Exceptions.insert(MakeValidIdentifier(name)).second)
                continue;
            if (a)
                work.push_back(a->ElementType());
            if (s) {
                if (!s->GetAncestor().empty())
                    work.push_back(s->GetAncestor());
                for (int i = 0; i < s->Count(); ++i)
                    work.push_back(s->Items(i)->DataType());
            }
        }
    }

    void ReachService(const TRODLBaseService& service) {
        const TRODLBaseService* current = &service;
        for (int step = 0; current && step <= Library.Count(); ++step) {
            if (const TRODLServiceInterface* def = current->Default())
                for (int i = 0; i < def->Count(); ++i) {
                    const TRODLOperation* op = def->Items(i);
                    for (int j = 0; j < op->Count(); ++j)
                        Reach(op->Items(j)->DataType());
                    if (op->Result())
                        Reach(op->Result()->DataType());
                }
            current = current->GetAncestor().empty() ? nullptr : Library.FindService(current->GetAncestor());
        }
    }

    void FillExceptionList() {
        for (TRODLService* s : OfKind<TRODLService>(Library))
            if (UsedRule(*s) && PrivateRule(*s) && GroupRule(*s))
                ReachService(*s);
        for (TRODLEventSink* s : OfKind<TRODLEventSink>(Library))
            if (UsedRule(*s) && GroupRule(*s))
                ReachService(*s);
        for (TRODLException* e : OfKind<TRODLException>(Library)) {
            Exceptions.insert(MakeValidIdentifier(e->Name()));
            for (int j = 0; j < e->Count(); ++j)
                Reach(e->Items(j)->DataType());
        }
        for (TRODLArray* a : OfKind<TRODLArray>(Library))
            if (GroupRule(*a))
                Reach(a->Name());
        for (TRODLStruct* st : OfKind<TRODLStruct>(Library))
            if (GroupRule(*st))
                Reach(st->Name());
    }

    // ---- Writing ----------------------------------------------------------------------

    void Attr(TROConverterNode& node, const String& name, const String& value) {
        node.AddAttribute(name, EscapeXmlAttribute(value));
    }
    void Flag(TROConverterNode& node, const String& name, bool value) {
        if (value)
            node.AddAttribute(name, u"1");
    }
    void FromUsed(TROConverterNode& node, const TRODLEntity& e) {
        if (const TRODLUse* use = e.LocatedInRodlUse())
            node.AddAttribute(u"FromUsedRodlUID", Guid(use->LoadedRodlLibraryGUID));
    }

    void Common(TROConverterNode& node, TRODLEntity& e, bool withGroup = true) {
        if (!e.Documentation().empty())
            node.AddChild(u"Documentation")->SetValue(MakeCDataText(e.Documentation()));
        if (e.HasAttributes()) {
            TROConverterNode* attributes = node.AddChild(u"CustomAttributes");
            TStrings& list = e.Attributes();
            for (int i = 0; i < list.Count(); ++i) {
                const String name = list.Names(i);
                if (Writer.ExcludeServiceGroupAttribute && SameText(name, kGroupsAttribute))
                    continue;
                if (!IsValidXmlElementName(name))
                    throw EROException(u"The custom attribute name \"%s\" of %s is no valid XML name",
                                       {name, e.Name()});
                attributes->AddChild(name)->AddAttribute(u"Value", EscapeXmlAttribute(list.ValueFromIndex(i)));
            }
        }
        if (withGroup && e.GroupUnder())
            node.AddChild(u"Group")->AddAttribute(u"Under", Guid(e.GroupUnder()->UID()));
    }

    void Roles(TROConverterNode& node, const std::vector<String>& roles) {
        TROConverterNode* list = node.AddChild(u"Roles");
        for (const String& role : roles) {
            const String text = Trim(role);
            if (text.starts_with(u"!"))
                list->AddChild(u"DenyRole")->SetValue(EscapeXmlElementText(TrimLeft(StringView(text).substr(1))));
            else
                list->AddChild(u"AllowRole")->SetValue(EscapeXmlElementText(text));
        }
    }

    void Includes(TROConverterNode& parent, const TRODLIncludes& includes) {
        static const std::pair<TROIncludePlatform, const char16_t*> names[] = {
            {plNative, u"Native"}, {plDotNet, u"DotNet"},         {plObjC, u"ObjC"},
            {plJava, u"Java"},     {plJavaScript, u"JavaScript"}, {plCocoa, u"Cocoa"}};
        TROConverterNode* node = parent.AddChild(u"Includes");
        node->AddAttribute(u"UID", Guid(includes.UID()));
        for (const auto& [platform, name] : names)
            if (!includes.Value(platform).empty())
                Attr(*node, name, includes.Value(platform));
    }

    void Parameter(TROConverterNode& parent, TRODLOperationParam& p) {
        static const char16_t* flags[] = {u"In", u"Out", u"InOut", u"Result"};
        TROConverterNode* node = parent.AddChild(u"Parameter");
        Attr(*node, u"Name", p.Name());
        Attr(*node, u"DataType", p.DataType());
        node->AddAttribute(u"Flag", flags[p.Flag()]);
        Common(*node, p);
    }

    void Operation(TROConverterNode& parent, TRODLOperation& op, bool isService) {
        TROConverterNode* node = parent.AddChild(u"Operation");
        Attr(*node, u"Name", op.Name());
        node->AddAttribute(u"UID", Guid(op.UID()));
        if (isService) {
            Flag(*node, u"ForceAsyncResponse", op.ForceAsyncResponse);
            if (!op.Roles.empty())
                Attr(*node, u"Roles", JoinStrings(op.Roles, u','));
            if (!op.Roles.empty())
                Roles(*node, op.Roles);
        }
        Common(*node, op);
        TROConverterNode* params = node->AddChild(u"Parameters");
        if (op.Result())
            Parameter(*params, *op.Result());
        for (int i = 0; i < op.Count(); ++i)
            Parameter(*params, *op.Items(i));
        if (isService && op.CodeBodyCount() > 0) {
            TROConverterNode* code = node->AddChild(u"Code");
            for (int i = 0; i < op.CodeBodyCount(); ++i) {
                const String language = op.CodeBodyLanguages(i);
                TROConverterNode* body = code->AddChild(u"Code");
                Attr(*body, u"Language", language);
                body->SetValue(MakeCDataText(op.GetCodeBody(language)->Text()));
            }
        }
    }

    void Service(TROConverterNode& parent, TRODLBaseService& s, bool isService) {
        TROConverterNode* node = parent.AddChild(isService ? u"Service" : u"EventSink");
        Attr(*node, u"Name", s.Name());
        node->AddAttribute(u"UID", Guid(s.UID()));
        if (!s.ImplUnit.empty())
            Attr(*node, u"ImplUnit", s.ImplUnit);
        if (!s.ImplClass.empty())
            Attr(*node, u"ImplClass", s.ImplClass);
        if (!s.GetAncestor().empty())
            Attr(*node, u"Ancestor", s.GetAncestor());
        Flag(*node, u"Abstract", s.Abstract());
        if (isService)
            Flag(*node, u"Private", s.isPrivate);
        FromUsed(*node, s);
        Flag(*node, u"DontCodeGen", s.GetDontCodegen());
        if (auto* service = dynamic_cast<TRODLService*>(&s); service && !service->Roles.empty())
            Roles(*node, service->Roles);
        Common(*node, s);
        TROConverterNode* interfaces = node->AddChild(u"Interfaces");
        for (int i = 0; i < s.Count(); ++i) {
            TRODLServiceInterface* intf = s.Items(i);
            TROConverterNode* in = interfaces->AddChild(u"Interface");
            Attr(*in, u"Name", intf->Name());
            in->AddAttribute(u"UID", Guid(intf->UID()));
            Common(*in, *intf);
            TROConverterNode* operations = in->AddChild(u"Operations");
            for (int j = 0; j < intf->Count(); ++j)
                Operation(*operations, *intf->Items(j), isService);
        }
    }

    void Struct(TROConverterNode& parent, TRODLBaseStruct& s, bool isException) {
        TROConverterNode* node = parent.AddChild(isException ? u"Exception" : u"Struct");
        Attr(*node, u"Name", s.Name());
        node->AddAttribute(u"UID", Guid(s.UID()));
        node->AddAttribute(u"AutoCreateParams", Bool(s.AutoCreateParams()));
        if (!s.GetAncestor().empty())
            Attr(*node, u"Ancestor", s.GetAncestor());
        Flag(*node, u"Abstract", s.Abstract());
        FromUsed(*node, s);
        Flag(*node, u"DontCodeGen", s.GetDontCodegen());
        Common(*node, s);
        TROConverterNode* elements = node->AddChild(u"Elements");
        for (int i = 0; i < s.Count(); ++i) {
            TRODLTypedEntity* e = s.Items(i);
            TROConverterNode* element = elements->AddChild(u"Element");
            Attr(*element, u"Name", e->Name());
            Attr(*element, u"DataType", e->DataType());
            Common(*element, *e);
        }
    }

    void Enum(TROConverterNode& parent, TRODLEnum& e) {
        TROConverterNode* node = parent.AddChild(u"Enum");
        Attr(*node, u"Name", e.Name());
        node->AddAttribute(u"UID", Guid(e.UID()));
        if (!e.PrefixEnumValues())
            node->AddAttribute(u"Prefix", u"0");
        FromUsed(*node, e);
        Flag(*node, u"DontCodeGen", e.GetDontCodegen());
        Common(*node, e);
        TROConverterNode* values = node->AddChild(u"EnumValues");
        for (int i = 0; i < e.Count(); ++i) {
            TROConverterNode* value = values->AddChild(u"EnumValue");
            Attr(*value, u"Name", e.Items(i)->Name());
            Common(*value, *e.Items(i));
        }
    }

    void Array(TROConverterNode& parent, TRODLArray& a) {
        TROConverterNode* node = parent.AddChild(u"Array");
        Attr(*node, u"Name", a.Name());
        node->AddAttribute(u"UID", Guid(a.UID()));
        FromUsed(*node, a);
        Flag(*node, u"DontCodeGen", a.GetDontCodegen());
        Common(*node, a);
        Attr(*node->AddChild(u"ElementType"), u"DataType", a.ElementType());
    }

    String RelativeRodl(const String& rodl) const {
        if (Writer.fOutputFileName.empty() || rodl.empty())
            return rodl;
        namespace fs = std::filesystem;
        const fs::path file(StringToUtf8(rodl));
        if (!file.is_absolute())
            return rodl;
        const fs::path folder = fs::path(StringToUtf8(Writer.fOutputFileName)).parent_path();
        const fs::path relative = file.lexically_relative(fs::absolute(folder).lexically_normal());
        return relative.empty() ? rodl : Utf8ToString(relative.generic_string());
    }

    void Use(TROConverterNode& parent, TRODLUse& u) {
        TROConverterNode* node = parent.AddChild(u"Use");
        Attr(*node, u"Name", u.Name());
        node->AddAttribute(u"UID", Guid(u.UID()));
        Attr(*node, u"Rodl", RelativeRodl(u.RodlFile));
        String absolute = u.AbsoluteRodlFile;
        if (absolute.empty() && !u.RodlFile.empty()) {
            namespace fs = std::filesystem;
            absolute = Utf8ToString(
                fs::absolute(fs::path(StringToUtf8(ExpandRodlPath(u.RodlFile)))).lexically_normal().generic_string());
        }
        Attr(*node, u"AbsoluteRodl", absolute);
        if (u.SplitMode != usmAsParent)
            node->AddAttribute(u"SplitMode", IntToStr(int(u.SplitMode)));
        Flag(*node, u"DontCodeGen", u.GetDontCodegen());
        if (!IsNullGUID(u.LoadedRodlLibraryGUID))
            node->AddAttribute(u"UsedRodlUID", Guid(u.LoadedRodlLibraryGUID));
        FromUsed(*node, u);
        Common(*node, u, false);
        if (u.Includes().IsNotEmpty())
            Includes(*node, u.Includes());
    }
};

void TRODLToXML::IntConvert(const TRODLLibrary& aLibrary) {
    Write(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    if (!StyleSheet.empty())
        Write(u"<?xml-stylesheet type=\"text/xsl\" href=\"" + EscapeXmlAttribute(StyleSheet) + u"\"?>");
    Context c{*this, aLibrary, {}, {}, {}, {}};
    for (const String& part : SplitGroups(ServiceGroup)) {
        if (part.empty())
            continue;
        auto& list = part.starts_with(u"!") ? c.Disallowed : c.Allowed;
        const String name = part.starts_with(u"!") ? part.substr(1) : part;
        if (std::find(list.begin(), list.end(), name) == list.end())
            list.push_back(name);
    }
    if (!c.Allowed.empty() || !c.Disallowed.empty())
        c.FillExceptionList();

    TRODLLibrary& library = const_cast<TRODLLibrary&>(aLibrary);
    TROConverterNode root(u"Library", 0);
    c.Attr(root, u"Name", library.Name());
    if (!library.Namespace.empty())
        c.Attr(root, u"Namespace", library.Namespace);
    root.AddAttribute(u"UID", Guid(library.UID()));
    c.Flag(root, u"SkipCodeGen", library.GetDontCodegen());
    c.Flag(root, u"DataSnap", library.DataSnapMode);
    c.Flag(root, u"ScopedEnums", library.ScopedEnums);
    root.AddAttribute(u"Version", u"3.0");
    c.Common(root, library);
    if (library.Includes() && library.Includes()->IsNotEmpty())
        c.Includes(root, *library.Includes());
    if (library.GroupCount() > 0) {
        TROConverterNode* groups = root.AddChild(u"Groups");
        for (TRODLGroup* g : OfKind<TRODLGroup>(library)) {
            if (!c.UsedRule(*g))
                continue;
            TROConverterNode* node = groups->AddChild(u"Group");
            c.Attr(*node, u"Name", g->Name());
            node->AddAttribute(u"UID", Guid(g->UID()));
            c.Common(*node, *g);
        }
    }
    TROConverterNode* services = root.AddChild(u"Services");
    for (TRODLService* s : OfKind<TRODLService>(library))
        if (c.UsedRule(*s) && c.PrivateRule(*s) && c.GroupRule(*s))
            c.Service(*services, *s, true);
    if (library.EventSinkCount() > 0) {
        TROConverterNode* sinks = root.AddChild(u"EventSinks");
        for (TRODLEventSink* s : OfKind<TRODLEventSink>(library))
            if (c.UsedRule(*s) && c.GroupRule(*s))
                c.Service(*sinks, *s, false);
    }
    TROConverterNode* structs = root.AddChild(u"Structs");
    for (TRODLStruct* s : OfKind<TRODLStruct>(library))
        if (c.UsedRule(*s) && c.GroupRule(*s))
            c.Struct(*structs, *s, false);
    TROConverterNode* enums = root.AddChild(u"Enums");
    for (TRODLEnum* e : OfKind<TRODLEnum>(library))
        if (c.UsedRule(*e) && c.GroupRule(*e))
            c.Enum(*enums, *e);
    TROConverterNode* arrays = root.AddChild(u"Arrays");
    for (TRODLArray* a : OfKind<TRODLArray>(library))
        if (c.UsedRule(*a) && c.GroupRule(*a))
            c.Array(*arrays, *a);
    if (library.UseCount() > 0) {
        TROConverterNode* uses = root.AddChild(u"Uses");
        for (TRODLUse* u : OfKind<TRODLUse>(library))
            if (c.UsedRule(*u))
                c.Use(*uses, *u);
    }
    if (library.ExceptionCount() > 0) {
        TROConverterNode* exceptions = root.AddChild(u"Exceptions");
        for (TRODLException* e : OfKind<TRODLException>(library))
            if (c.UsedRule(*e) && c.GroupRule(*e))
                c.Struct(*exceptions, *e, true);
    }
    Write(TrimRight(root.ToString()));
}

} // namespace vgl
