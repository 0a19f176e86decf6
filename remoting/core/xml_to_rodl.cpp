#include "remoting/core/xml_to_rodl.h"

#include <filesystem>
#include <map>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_document.h"

namespace vgl {

// ---- TRODLReader --------------------------------------------------------------------------

std::unique_ptr<TRODLLibrary> TRODLReader::Read(TStream* aStream, const String& aFileName) {
    if (!aStream)
        throw EROException(u"Invalid stream");
    return IntRead(*aStream, aFileName);
}

std::unique_ptr<TRODLLibrary> TRODLReader::ReadFromFile(const String& aFileName) {
    TFileStream file(aFileName, fmOpenRead | fmShareDenyWrite);
    return Read(&file, aFileName);
}

std::unique_ptr<TRODLLibrary> TRODLReader::ReadFromString(const String& aText, const String& aFileName) {
    TStringStream stream(aText, CP_UTF8);
    return Read(&stream, aFileName);
}

// ---- TXMLToRODL ---------------------------------------------------------------------------

/// The used-definition files being loaded, outermost first; shared by nested readers.
struct TXMLToRODL::Chain {
    std::vector<String> Files;
};

TXMLToRODL::TXMLToRODL(TRODLLibrary* aAddToExistingLibrary, bool aRecreateGuids)
    : fAddToExistingLibrary(aAddToExistingLibrary), fRecreateGuids(aRecreateGuids), fChain(std::make_shared<Chain>()) {}

TXMLToRODL::TXMLToRODL(std::shared_ptr<Chain> aChain)
    : fAddToExistingLibrary(nullptr), fRecreateGuids(false), fChain(std::move(aChain)) {}

TXMLToRODL::~TXMLToRODL() = default;

namespace {

String CanonicalFileName(const String& fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(StringToUtf8(fileName)), ec);
    if (ec)
        p = fs::absolute(fs::path(StringToUtf8(fileName))).lexically_normal();
    return Utf8ToString(p.generic_string());
}

/// Only regular files are read as used definitions (never devices or pipes).
bool IsDefinitionFile(const String& fileName) {
    std::error_code ec;
    return !fileName.empty() && std::filesystem::is_regular_file(std::filesystem::path(StringToUtf8(fileName)), ec);
}

String Text(const IXMLNodePtr& node) {
    return node ? VarToStr(node->GetValue()) : String();
}

String Attr(const IXMLNodePtr& node, const String& name) {
    IXMLNodePtr a = node->GetAttributeByName(name);
    return a ? VarToStr(a->GetValue()) : String();
}

bool HasAttr(const IXMLNodePtr& node, const String& name) {
    return node->GetAttributeByName(name) != nullptr;
}

bool Flag(const IXMLNodePtr& node, const String& name) {
    return Attr(node, name) == u"1";
}

/// The child elements of that exact name, in order.
std::vector<IXMLNodePtr> Children(const IXMLNodePtr& node, StringView name) {
    std::vector<IXMLNodePtr> result;
    if (!node)
        return result;
    for (IXMLNodePtr child = node->GetFirstChild(); child; child = child->GetNextSibling())
        if (child->GetName() == name)
            result.push_back(child);
    return result;
}

IXMLNodePtr FirstChild(const IXMLNodePtr& node, StringView name) {
    if (!node)
        return nullptr;
    for (IXMLNodePtr child = node->GetFirstChild(); child; child = child->GetNextSibling())
        if (child->GetName() == name)
            return child;
    return nullptr;
}

/// The elements of a section: the first child named `section`, then its children `entry`.
std::vector<IXMLNodePtr> Section(const IXMLNodePtr& node, StringView section, StringView entry) {
    return Children(FirstChild(node, section), entry);
}

String DataType(const String& text) {
    return SameText(text, u"string") ? String(u"AnsiString") : text;
}

bool IsElement(const IXMLNodePtr& node) {
    const String name = node->GetName();
    return !name.empty() && name[0] != u'#';
}

} // namespace

/// The state of one document read.
struct TXMLToRODL::Document {
    TXMLToRODL& Reader;
    TRODLLibrary& Library;
    TRODLUse* ReadingUse;
    String FileName;
    /// UID text as read → UID text as stored.
    std::map<String, String> GroupGuids;

    TGUID Guid(const String& text) const {
        const TGUID read = StringToGUID(text);
        return Reader.fRecreateGuids ? NewRODLGuid() : read;
    }

    TRODLUse* UseOf(const IXMLNodePtr& node) const {
        const String from = Attr(node, u"FromUsedRodlUID");
        TGUID uid{};
        if (from.empty() || !TryStringToGUID(from, uid))
            return nullptr;
        return Library.FindUseByUsedRodlID(uid);
    }

    bool Skip(const IXMLNodePtr& node) const {
        const TRODLUse* use = UseOf(node);
        if (!use)
            return false;
        const String rodl = ExpandRodlPath(use->RodlFile);
        return (!rodl.empty() && FileExists(rodl)) ||
               (!use->AbsoluteRodlFile.empty() && FileExists(use->AbsoluteRodlFile));
    }

    void Join(TRODLEntity& e, const IXMLNodePtr& node) const {
        if (ReadingUse)
            e.SetLocatedInRodlUse(ReadingUse);
        else if (TRODLUse* use = UseOf(node))
            e.SetLocatedInRodlUse(use);
    }

    void Common(TRODLEntity& e, const IXMLNodePtr& node, bool withGroup = true) {
        if (HasAttr(node, u"Documentation"))
            e.SetDocumentation(Attr(node, u"Documentation"));
        for (IXMLNodePtr child = node->GetFirstChild(); child; child = child->GetNextSibling()) {
            const String name = child->GetName();
            if (name == u"Documentation") {
                e.SetDocumentation(Text(child));
            } else if (name == u"CustomAttributes") {
                for (IXMLNodePtr a = child->GetFirstChild(); a; a = a->GetNextSibling()) {
                    if (!IsElement(a))
                        continue;
                    const String value = Attr(a, u"Value");
                    if (!value.empty())
                        e.Attributes().SetValue(a->GetName(), value);
                    if (SameText(a->GetName(), u"SOAPName"))
                        e.SetOriginalName(value);
                }
            } else if (name == u"Group" && withGroup) {
                const String under = Attr(child, u"Under");
                if (under.empty())
                    continue;
                const TGUID uid = StringToGUID(under);
                TRODLGroup* group = Library.FindGroup(uid);
                if (!group) {
                    auto it = GroupGuids.find(GUIDToString(uid));
                    if (it != GroupGuids.end())
                        group = Library.FindGroup(StringToGUID(it->second));
                }
                if (group && group != &e)
                    e.SetGroupUnder(group);
            }
        }
    }

    void ReadIncludes(TRODLIncludes& includes, const IXMLNodePtr& node) {
        includes.SetUID(Guid(Attr(node, u"UID")));
        includes.SetValue(plNative, Attr(node, u"Native"));
        includes.SetValue(plDotNet, Attr(node, u"DotNet"));
        includes.SetValue(plObjC, Attr(node, u"ObjC"));
        includes.SetValue(plJava, Attr(node, u"Java"));
        includes.SetValue(plJavaScript, Attr(node, u"JavaScript"));
        const String cocoa = Attr(node, u"Cocoa");
        includes.SetValue(plCocoa, cocoa.empty() ? Attr(node, u"CocoaLegacy") : cocoa);
    }

    std::vector<String> RoleList(const IXMLNodePtr& node) {
        std::vector<String> roles;
        IXMLNodePtr list = FirstChild(node, u"Roles");
        for (const IXMLNodePtr& r : Children(list, u"AllowRole"))
            roles.push_back(Text(r));
        for (const IXMLNodePtr& r : Children(list, u"DenyRole"))
            roles.push_back(u"!" + Text(r));
        return roles;
    }

    void Groups(const IXMLNodePtr& root) {
        std::vector<std::pair<TRODLGroup*, IXMLNodePtr>> made;
        for (const IXMLNodePtr& node : Section(root, u"Groups", u"Group")) {
            if (Attr(node, u"Name").empty() || Skip(node))
                continue;
            auto group = std::make_unique<TRODLGroup>();
            group->SetName(Attr(node, u"Name"));
            const String read = Attr(node, u"UID");
            group->SetUID(Guid(read));
            GroupGuids[GUIDToString(StringToGUID(read))] = GUIDToString(group->UID());
            TRODLGroup* raw = group.get();
            Library.Add(std::move(group));
            Join(*raw, node);
            made.emplace_back(raw, node);
        }
        for (auto& [group, node] : made)
            Common(*group, node);
    }

    void Uses(const IXMLNodePtr& root) {
        for (const IXMLNodePtr& node : Section(root, u"Uses", u"Use")) {
            if (Skip(node))
                continue;
            auto use = std::make_unique<TRODLUse>();
            if (TRODLUse* found = FindExistingUse(node))
                use->Assign(*found);
            use->SetName(Attr(node, u"Name"));
            use->SetUID(Guid(Attr(node, u"UID")));
            use->RodlFile = Attr(node, u"Rodl");
            use->AbsoluteRodlFile = Attr(node, u"AbsoluteRodl");
            use->SetDontCodegen(Flag(node, u"DontCodeGen"));
            use->Merged = Flag(node, u"Merged");
            const int split = StrToIntDef(Attr(node, u"SplitMode"), 0);
            use->SplitMode = split == 1 ? usmNever : split == 2 ? usmAlways : usmAsParent;
            if (HasAttr(node, u"UsedRodlUID"))
                use->LoadedRodlLibraryGUID = StringToGUID(Attr(node, u"UsedRodlUID"));
            Common(*use, node, false);
            Join(*use, node);
            if (IXMLNodePtr includes = FirstChild(node, u"Includes"))
                ReadIncludes(use->Includes(), includes);
            TRODLUse* raw = use.get();
            Library.Add(std::move(use));
            if (!raw->Merged && raw->Count() == 0)
                LoadUse(*raw);
        }
    }

    TRODLUse* FindExistingUse(const IXMLNodePtr& node) const {
        auto byFile = [&](const String& name) -> TRODLUse* {
            if (name.empty() || !FileExists(name))
                return nullptr;
            for (int i = 0; i < Library.UseCount(); ++i) {
                TRODLUse* use = Library.Use(i);
                if (SameText(ExpandRodlPath(use->RodlFile), name) || SameText(use->AbsoluteRodlFile, name))
                    return use;
            }
            return nullptr;
        };
        if (TRODLUse* use = byFile(Attr(node, u"AbsoluteRodl")))
            return use;
        if (TRODLUse* use = byFile(ExpandRodlPath(Attr(node, u"Rodl"))))
            return use;
        TGUID uid{};
        if (TryStringToGUID(Attr(node, u"UsedRodlUID"), uid))
            if (TRODLUse* use = Library.FindUseByUsedRodlID(uid))
                return use;
        if (IXMLNodePtr includes = FirstChild(node, u"Includes"))
            if (TryStringToGUID(Attr(includes, u"UID"), uid))
                for (int i = 0; i < Library.UseCount(); ++i)
                    if (IsEqualGUID(Library.Use(i)->Includes().UID(), uid))
                        return Library.Use(i);
        return nullptr;
    }

    void LoadUse(TRODLUse& use) {
        try {
            if (ReadingUse && ReadingUse->GetDontCodegen())
                use.SetDontCodegen(true);
            String file = ExpandRodlPath(use.RodlFile);
            if (!file.empty() && !FileName.empty()) {
                const String base =
                    ReadingUse && !ReadingUse->AbsoluteRodlFile.empty() ? ReadingUse->AbsoluteRodlFile : FileName;
                namespace fs = std::filesystem;
                const fs::path relative(StringToUtf8(file));
                if (!relative.is_absolute())
                    file = Utf8ToString(
                        (fs::path(StringToUtf8(base)).parent_path() / relative).lexically_normal().generic_string());
            }
            bool found = IsDefinitionFile(file);
            if (found) {
                use.AbsoluteRodlFile = file;
            } else if (IsDefinitionFile(use.AbsoluteRodlFile)) {
                file = use.AbsoluteRodlFile;
                use.RodlFile = file;
                found = true;
            }
            if (!found)
                return;
            // A file already being loaded on this chain, or a chain too deep, is not loaded.
            const String canonical = CanonicalFileName(file);
            auto& chain = Reader.fChain->Files;
            if (int(chain.size()) >= MaxRodlUseDepth || std::find(chain.begin(), chain.end(), canonical) != chain.end())
                return;
            TXMLToRODL nested(Reader.fChain);
            nested.LoadFileToLibrary(file, Library, &use);
            use.Merged = true;
            if (SameText(ExtractFileName(file), u"DataAbstract-Simple.RODL"))
                use.LoadedRodlLibraryName = u"DataAbstractSimple";
        } catch (const Exception&) {
            // A used definition that cannot be loaded leaves the use unmerged.
        }
    }

    void Services(const IXMLNodePtr& root, bool isService) {
        for (const IXMLNodePtr& node :
             Section(root, isService ? u"Services" : u"EventSinks", isService ? u"Service" : u"EventSink")) {
            if (Skip(node))
                continue;
            std::unique_ptr<TRODLBaseService> made;
            if (isService)
                made = std::make_unique<TRODLService>();
            else
                made = std::make_unique<TRODLEventSink>();
            TRODLBaseService& s = *made;
            s.SetName(Attr(node, u"Name"));
            s.SetAncestor(Attr(node, u"Ancestor"));
            if (isService)
                static_cast<TRODLService&>(s).Roles = RoleList(node);
            s.ImplUnit = Attr(node, u"ImplUnit");
            s.ImplClass = Attr(node, u"ImplClass");
            s.SetAbstract(Flag(node, u"Abstract"));
            if (isService)
                s.isPrivate = Flag(node, u"Private");
            s.SetUID(Guid(Attr(node, u"UID")));
            s.SetDontCodegen(Flag(node, u"DontCodeGen"));
            Library.Add(std::move(made));
            Join(s, node);
            Common(s, node);
            std::vector<IXMLNodePtr> interfaces = Section(node, u"Interfaces", u"Interface");
            if (interfaces.empty())
                continue;
            const IXMLNodePtr& in = interfaces.front();
            TRODLServiceInterface* intf = s.Items(0);
            intf->SetName(Attr(in, u"Name"));
            intf->SetUID(Guid(Attr(in, u"UID")));
            Common(*intf, in);
            for (const IXMLNodePtr& opNode : Section(in, u"Operations", u"Operation"))
                Operation(*static_cast<TRODLOperation*>(intf->Add()), opNode, isService);
        }
    }

    void Operation(TRODLOperation& op, const IXMLNodePtr& node, bool isService) {
        if (isService)
            op.Roles = RoleList(node);
        op.SetName(Attr(node, u"Name"));
        op.SetUID(Guid(Attr(node, u"UID")));
        if (isService)
            op.ForceAsyncResponse = Flag(node, u"ForceAsyncResponse");
        Common(op, node);
        for (const IXMLNodePtr& p : Section(node, u"Parameters", u"Parameter")) {
            const String flagText = Attr(p, u"Flag");
            static const std::pair<const char16_t*, TRODLParamFlag> flags[] = {
                {u"In", fIn}, {u"Out", fOut}, {u"InOut", fInOut}, {u"Result", fResult}};
            const auto* flag = std::find_if(std::begin(flags), std::end(flags),
                                            [&](const auto& f) { return SameText(flagText, f.first); });
            if (flag == std::end(flags))
                throw EROException(u"Invalid Parameter Flag \"%s\"", {flagText});
            TRODLOperationParam* param =
                flag->second == fResult ? op.AddResult() : static_cast<TRODLOperationParam*>(op.Add());
            param->SetName(Attr(p, u"Name"));
            param->SetFlag(flag->second);
            param->SetDataType(DataType(Attr(p, u"DataType")));
            Common(*param, p);
        }
        for (const IXMLNodePtr& code : Children(FirstChild(node, u"Code"), u"Code")) {
            String body = Text(code);
            if (!isService)
                body = AnsiToString(HexTextToBytes(body));
            op.SetCodeBodyAsString(Attr(code, u"Language"), &body);
        }
    }

    void Structs(const IXMLNodePtr& root, bool isException) {
        for (const IXMLNodePtr& node :
             Section(root, isException ? u"Exceptions" : u"Structs", isException ? u"Exception" : u"Struct")) {
            if (Skip(node))
                continue;
            std::unique_ptr<TRODLBaseStruct> made;
            if (isException)
                made = std::make_unique<TRODLException>();
            else
                made = std::make_unique<TRODLStruct>();
            TRODLBaseStruct& s = *made;
            s.SetName(Attr(node, u"Name"));
            s.SetUID(Guid(Attr(node, u"UID")));
            s.SetAncestor(Attr(node, u"Ancestor"));
            if (!isException) {
                s.SetAutoCreateParams(Attr(node, u"AutoCreateParams") != u"0");
                s.SetAbstract(Flag(node, u"Abstract"));
            }
            s.SetDontCodegen(Flag(node, u"DontCodeGen"));
            Library.Add(std::move(made));
            Join(s, node);
            Common(s, node);
            for (const IXMLNodePtr& e : Section(node, u"Elements", u"Element")) {
                TRODLEntity* element = s.Add();
                element->SetName(Attr(e, u"Name"));
                static_cast<TRODLTypedEntity*>(element)->SetDataType(DataType(Attr(e, u"DataType")));
                Common(*element, e);
            }
        }
    }

    void Enums(const IXMLNodePtr& root) {
        for (const IXMLNodePtr& node : Section(root, u"Enums", u"Enum")) {
            if (Skip(node))
                continue;
            auto made = std::make_unique<TRODLEnum>();
            TRODLEnum& e = *made;
            e.SetName(Attr(node, u"Name"));
            e.SetPrefixEnumValues(Attr(node, u"Prefix") != u"0");
            e.SetUID(Guid(Attr(node, u"UID")));
            e.SetDontCodegen(Flag(node, u"DontCodeGen"));
            Library.Add(std::move(made));
            Join(e, node);
            Common(e, node);
            for (const IXMLNodePtr& v : Section(node, u"EnumValues", u"EnumValue")) {
                TRODLEntity* value = e.Add();
                value->SetName(Attr(v, u"Name"));
                Common(*value, v);
            }
        }
    }

    void Arrays(const IXMLNodePtr& root) {
        for (const IXMLNodePtr& node : Section(root, u"Arrays", u"Array")) {
            if (Skip(node))
                continue;
            auto made = std::make_unique<TRODLArray>();
            TRODLArray& a = *made;
            a.SetName(Attr(node, u"Name"));
            a.SetUID(Guid(Attr(node, u"UID")));
            a.SetDontCodegen(Flag(node, u"DontCodeGen"));
            Library.Add(std::move(made));
            Join(a, node);
            Common(a, node);
            if (IXMLNodePtr type = FirstChild(node, u"ElementType"))
                a.SetElementType(DataType(Attr(type, u"DataType")));
        }
    }
};

namespace {
/// Puts a named file on the chain of files being loaded for the guard's life.
class TChainEntry {
public:
    TChainEntry(std::vector<String>& chain, const String& fileName) : fChain(chain), fOn(!fileName.empty()) {
        if (fOn)
            fChain.push_back(CanonicalFileName(fileName));
    }
    ~TChainEntry() {
        if (fOn)
            fChain.pop_back();
    }
    TChainEntry(const TChainEntry&) = delete;
    TChainEntry& operator=(const TChainEntry&) = delete;

private:
    std::vector<String>& fChain;
    bool fOn;
};
} // namespace

void TXMLToRODL::ReadInto(TStream& aStream, const String& aFileName, TRODLLibrary& aLibrary, TRODLUse* aUse,
                          bool aTakeRootAttributes) {
    TChainEntry entry(fChain->Files, aFileName);
    IXMLDocumentPtr xml = CreateROXmlDocument(TXmlParseOptions{.ProhibitDTD = true, .MaxBytes = 0});
    xml->New();
    aStream.SetPosition(0);
    xml->LoadFromStream(aStream);
    IXMLNodePtr root = xml->GetDocumentNode();
    Document d{*this, aLibrary, aUse, aFileName, {}};
    if (aUse) {
        aUse->LoadedRodlLibraryName = Attr(root, u"Name");
        aUse->LoadedRodlLibraryGUID = StringToGUID(Attr(root, u"UID"));
        aUse->LibDontCodegen = Flag(root, u"SkipCodeGen");
    } else if (aTakeRootAttributes) {
        aLibrary.SetName(Attr(root, u"Name"));
        aLibrary.Namespace = Attr(root, u"Namespace");
        aLibrary.SetUID(d.Guid(Attr(root, u"UID")));
        aLibrary.SetDontCodegen(Flag(root, u"SkipCodeGen"));
        aLibrary.DataSnapMode = Flag(root, u"DataSnap");
        aLibrary.ScopedEnums = Flag(root, u"ScopedEnums");
        d.Common(aLibrary, root);
    }
    if (IXMLNodePtr includes = FirstChild(root, u"Includes")) {
        TRODLIncludes read;
        d.ReadIncludes(read, includes);
        if (aUse)
            aUse->Includes().Assign(read);
        else
            aLibrary.EnsureIncludes().Assign(read);
    }
    d.Groups(root);
    d.Uses(root);
    d.Services(root, true);
    d.Services(root, false);
    d.Structs(root, false);
    d.Enums(root);
    d.Arrays(root);
    d.Structs(root, true);
}

std::unique_ptr<TRODLLibrary> TXMLToRODL::IntRead(TStream& aStream, const String& aFileName) {
    if (fAddToExistingLibrary) {
        ReadInto(aStream, aFileName, *fAddToExistingLibrary, nullptr, fAddToExistingLibrary->Name().empty());
        return nullptr;
    }
    auto library = std::make_unique<TRODLLibrary>();
    library->RodlFilename = aFileName;
    ReadInto(aStream, aFileName, *library, nullptr, true);
    return library;
}

void TXMLToRODL::LoadFileToLibrary(const String& aFileName, TRODLLibrary& aLibrary, TRODLUse* aUse) {
    TFileStream file(aFileName, fmOpenRead | fmShareDenyWrite);
    ReadInto(file, aFileName, aLibrary, aUse, true);
}

std::unique_ptr<TRODLLibrary> ReadRODLLibraryFromStream(TStream& aStream) {
    TXMLToRODL reader(nullptr, false);
    return reader.Read(&aStream, String());
}

} // namespace vgl
