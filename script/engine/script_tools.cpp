#include "script/engine/script_tools.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script.h"
#include "script/engine/script_parser.h"
#include "script/engine/script_prototype.h"
#include "script/engine/script_text_cache.h"
#include "script/engine/script_xml.h"

namespace vgl {

// ---- Types -----------------------------------------------------------------------------------

TfsVarType fsTypeOfName(StringView name, const TfsScript* script) {
    return script ? script->KindOfName(name) : fvtClass;
}

bool fsClassInherits(StringView classA, StringView classB, const TfsScript* script) {
    if (!script)
        return false;
    const TfsClassVariable* a = script->FindClass(classA);
    const TfsClassVariable* b = script->FindClass(classB);
    return a && b && b->ClassRef() && b->ClassRef()->InheritsFrom(a->ClassRef());
}

bool fsTypesCompatible(const TfsTypeRec& receiving, const TfsTypeRec& offered, const TfsScript* script) {
    const TfsVarType t = offered.Typ;
    switch (receiving.Typ) {
    case fvtInt:
    case fvtInt64:
        return t == fvtInt || t == fvtFloat || t == fvtVariant || t == fvtEnum || t == fvtInt64;
    case fvtBool:
        return t == fvtBool || t == fvtVariant;
    case fvtFloat:
        return t == fvtInt || t == fvtFloat || t == fvtVariant;
    case fvtChar:
    case fvtString:
        return t == fvtChar || t == fvtString || t == fvtVariant;
    case fvtClass:
        return t == fvtVariant || (t == fvtClass && fsClassInherits(receiving.TypeName, offered.TypeName, script));
    case fvtArray:
        return t == fvtArray || t == fvtVariant;
    case fvtVariant:
        return true;
    case fvtEnum:
        return t == fvtInt || t == fvtVariant || t == fvtInt64 ||
               (t == fvtEnum && AnsiSameText(receiving.TypeName, offered.TypeName));
    case fvtConstructor:
        return false;
    }
    return false;
}

bool fsAssignCompatible(const TfsCustomVariable& target, const TfsCustomVariable& source, const TfsScript* script) {
    if (target.Typ == fvtInt && source.Typ == fvtFloat)
        return false;
    return fsTypesCompatible({target.Typ, target.TypeName}, {source.Typ, source.TypeName}, script);
}

// ---- Argument lists --------------------------------------------------------------------------

Variant fsVarRecToVariant(const TVarRec& arg) {
    switch (arg.GetKind()) {
    case TVarRec::vtInteger:
        return Variant(int(arg.AsInt64()));
    case TVarRec::vtInt64:
        return Variant(static_cast<long long>(arg.AsInt64()));
    case TVarRec::vtUInt64:
        return Variant(static_cast<unsigned long long>(arg.AsUInt64()));
    case TVarRec::vtBoolean:
        return Variant(arg.AsInt64() != 0);
    case TVarRec::vtChar:
        return Variant(Char(arg.AsInt64()));
    case TVarRec::vtExtended:
        return Variant(static_cast<double>(arg.AsExtended()));
    case TVarRec::vtCurrency:
        return Variant(static_cast<double>(arg.AsInt64()) / 10000.0);
    case TVarRec::vtString:
        return Variant(arg.AsString());
    case TVarRec::vtPointer:
        break;
    }
    return Null();
}

std::vector<TVarRec> fsVariantToVarRecs(const Variant& values) {
    const int low = VarArrayLowBound(values, 1);
    const int high = VarArrayHighBound(values, 1);
    std::vector<TVarRec> result;
    result.reserve(size_t(std::max(high - low + 1, 0)));
    for (int i = low; i <= high; ++i) {
        const Variant v = VarArrayGet(values, {i});
        switch (VarType(v)) {
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
            result.emplace_back(v.AsInteger());
            break;
        case varLongWord:
            result.emplace_back(static_cast<long long>(v.AsInt64()));
            break;
        case varSingle:
        case varDouble:
        case varCurrency:
        case varDate:
            result.emplace_back(v.AsExtended());
            break;
        case varBoolean:
            result.emplace_back(v.AsBoolean());
            break;
        case varInt64:
            result.emplace_back(static_cast<long long>(v.AsInt64()));
            break;
        case varUInt64:
            result.emplace_back(static_cast<unsigned long long>(v.AsUInt64()));
            break;
        case varOleStr:
        case varString: // the whole 8-bit text, converted from its code page
        case varUString:
            result.emplace_back(v.AsString());
            break;
        default:
            result.emplace_back(0);
        }
    }
    return result;
}

void fsClearVarRecs(std::vector<TVarRec>& varRecs) {
    varRecs.clear();
}

// ---- Constants and positions -----------------------------------------------------------------

Variant fsTextToValue(StringView text) {
    if (text.empty())
        return Null();
    if (text[0] == u'\'')
        return Variant(text.size() >= 2 ? String(text.substr(1, text.size() - 2)) : String());
    std::int64_t n = 0;
    if (TryStrToInt64(text, n)) {
        if (n >= -2147483648LL && n <= 2147483647LL)
            return Variant(int(n));
        return Variant(static_cast<long long>(n));
    }
    // The decimal separator of the process is '.', which StrToFloat reads.
    return Variant(static_cast<double>(StrToFloat(text)));
}

TfsPoint fsTextToPoint(StringView text) {
    TfsPoint pt;
    if (text.empty())
        return pt;
    const size_t colon = text.find(u':');
    const StringView line = colon == StringView::npos ? text : text.substr(0, colon);
    const StringView column = colon == StringView::npos ? StringView() : text.substr(colon + 1);
    pt.Y = StrToInt(line);
    pt.X = StrToInt(column);
    return pt;
}

// ---- Prototypes ------------------------------------------------------------------------------

std::unique_ptr<TfsCustomVariable> fsParsePrototype(StringView prototype, const TfsScript* script) {
    std::unique_ptr<TfsPrototype> holder;
    const TfsPrototype& proto = fsPrototypeOf(prototype, holder);
    auto result = std::make_unique<TfsCustomVariable>(proto.Name, fsPrototypeResultType(proto, script), proto.TypeName);
    result->IsMacro = proto.IsMacro;
    fsAddPrototypeParams(proto, script, *result);
    return result;
}

// ---- Comma lists -----------------------------------------------------------------------------

const TfsCommaList& fsCommaListOf(StringView text, std::unique_ptr<TfsCommaList>& holder) {
    // The built-in modules register about seventy lists.
    static TfsTextCache<TfsCommaList> cache(1024, 1024);
    return cache.Get(text, holder, [](StringView t) {
        TStringList list;
        list.SetCommaText(t);
        auto result = std::make_unique<TfsCommaList>();
        result->Items.reserve(size_t(list.Count()));
        result->Trimmed.reserve(size_t(list.Count()));
        for (int i = 0; i < list.Count(); ++i) {
            result->Items.push_back(list.Get(i));
            result->Trimmed.push_back(Trim(list.Get(i)));
        }
        return result;
    });
}

// ---- Contents tree ---------------------------------------------------------------------------

namespace {

// A name the script XML writer can write as an element name: the text itself when it is an
// identifier, else "_" and the hexadecimal code units (so equal texts still find one child).
String ElementName(StringView text) {
    if (IsValidIdent(text))
        return String(text);
    String name = u"_";
    for (const Char c : text)
        name += IntToHex(c, 4);
    return name;
}

String MemberText(const TfsCustomHelper& member) {
    if (const auto* m = dynamic_cast<const TfsMethodHelper*>(&member)) {
        if (!m->IndexMethod)
            return m->Syntax;
        // "function Items(p0: Integer): TObject" → "index property Items(p0: Integer): TObject"
        const String trimmed = TrimLeft(m->Syntax);
        const size_t blank = trimmed.find(u' ');
        return u"index property" + (blank == String::npos ? String() : trimmed.substr(blank));
    }
    if (dynamic_cast<const TfsPropertyHelper*>(&member))
        return u"property " + member.Name + u": " + member.GetFullTypeName();
    return u"event " + member.Name;
}

} // namespace

void fsBuildContentsTree(const TfsScript& script, TfsXMLItem& item, bool functionsOnly) {
    TfsXMLItem* functions = item.FindItem(u"Functions");
    TfsXMLItem* classes = item.FindItem(u"Classes");
    TfsXMLItem* types = item.FindItem(u"Types");
    TfsXMLItem* variables = item.FindItem(u"Variables");
    TfsXMLItem* constants = item.FindItem(u"Constants");

    for (int i = 0; i < script.Count(); ++i) {
        TObject* obj = script.GetItem(i);
        if (const auto* m = dynamic_cast<const TfsMethodHelper*>(obj)) {
            TfsXMLItem* category = functions->FindItem(ElementName(m->Category));
            category->SetProp(u"text", m->Category);
            TfsXMLItem* entry = category->Add();
            entry->SetName(u"item");
            entry->SetProp(u"text", m->Syntax);
            entry->SetProp(u"description", m->Description);
            continue;
        }
        if (functionsOnly)
            continue;
        if (const auto* c = dynamic_cast<const TfsClassVariable*>(obj)) {
            TfsXMLItem* entry = classes->Add();
            entry->SetName(u"item");
            entry->SetProp(u"text", c->Name + u" = class(" + c->Ancestor() + u")");
            for (int j = 0; j < c->MembersCount(); ++j) {
                TfsXMLItem* member = entry->Add();
                member->SetName(u"item");
                member->SetProp(u"text", MemberText(*c->GetMembers(j)));
            }
            continue;
        }
        auto* v = dynamic_cast<TfsVariable*>(obj);
        if (!v)
            continue;
        if (v->Typ == fvtEnum && !AnsiSameText(v->Name, v->TypeName)) {
            TfsXMLItem* type = types->FindItem(ElementName(v->TypeName));
            const String list = type->GetProp(u"text");
            type->SetProp(u"type", v->TypeName);
            type->SetProp(u"text", list.empty() ? v->Name : list + u"," + v->Name);
            continue;
        }
        TfsXMLItem* entry = (v->IsReadOnly ? constants : variables)->Add();
        entry->SetName(u"item");
        String text = v->Name + u": " + v->GetFullTypeName();
        if (v->IsReadOnly)
            text += u" = " + VarToStr(v->GetValue());
        entry->SetProp(u"text", text);
    }

    for (int i = 0; i < types->Count(); ++i) {
        TfsXMLItem* type = types->Items(i);
        if (type->Name() == u"item")
            continue;
        const String typeName = type->GetProp(u"type");
        const String list = type->GetProp(u"text");
        type->SetText(String());
        type->SetProp(u"text", typeName + u": (" + list + u")");
        type->SetName(u"item");
    }
}

} // namespace vgl
