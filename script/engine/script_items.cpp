#include "script/engine/script_items.h"

#include <iterator>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script.h"

namespace vgl {

// ---- TfsItemList -----------------------------------------------------------------------------

TfsItemList::~TfsItemList() {
    TfsItemList::Clear();
}

void TfsItemList::Clear() {
    // The list is empty while its former entries are freed, in order from the first.
    auto items = std::move(FItems);
    FItems.clear();
    for (auto& item : items)
        item.reset();
}

TObject* TfsItemList::Add(std::unique_ptr<TObject> item) {
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

std::unique_ptr<TObject> TfsItemList::Remove(const TObject* item) {
    for (auto it = FItems.begin(); it != FItems.end(); ++it) {
        if (it->get() == item) {
            std::unique_ptr<TObject> taken = std::move(*it);
            FItems.erase(it);
            return taken;
        }
    }
    return nullptr;
}

void TfsItemList::Prepend(TfsItemList& front) {
    front.FItems.reserve(front.FItems.size() + FItems.size());
    // Moving the pointers cannot fail once the room is there.
    front.FItems.insert(front.FItems.end(), std::make_move_iterator(FItems.begin()),
                        std::make_move_iterator(FItems.end()));
    FItems.swap(front.FItems);
    front.FItems.clear();
}

TObject* TfsItemList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return FItems[size_t(index)].get();
}

// ---- TfsCustomVariable -----------------------------------------------------------------------

namespace {

// AnsiUpperCase, with ASCII names (nearly all) upper-cased in place: every registered item and
// member computes its upper-case name.
String UpperName(const String& name) {
    // Two passes without early exits, which the compiler turns into vector code.
    bool ascii = true;
    for (const Char c : name)
        ascii &= c < 0x80;
    if (!ascii)
        return AnsiUpperCase(name);
    String upper = name;
    for (Char& c : upper)
        c = c >= u'a' && c <= u'z' ? Char(c - 32) : c;
    return upper;
}

} // namespace

TfsCustomVariable::TfsCustomVariable(const String& name, TfsVarType typ, const String& typeName)
    : Name(name), Typ(typ), TypeName(typeName), UppercaseName(UpperName(name)), FValue(Null()) {}

Variant TfsCustomVariable::GetValue() {
    return FValue;
}

void TfsCustomVariable::SetValue(const Variant& value) {
    if (!IsReadOnly)
        FValue = value;
}

TfsParamItem* TfsCustomVariable::GetParam(int index) const {
    return static_cast<TfsParamItem*>(Items(index));
}

int TfsCustomVariable::GetNumberOfRequiredParams() const {
    int result = 0;
    for (int i = 0; i < Count(); ++i) {
        if (!GetParam(i)->IsOptional)
            ++result;
    }
    return result;
}

String TfsCustomVariable::GetFullTypeName() const {
    switch (Typ) {
    case fvtInt:
        return u"Integer";
    case fvtBool:
        return u"Boolean";
    case fvtFloat:
        return u"Extended";
    case fvtChar:
        return u"Char";
    case fvtString:
        return u"String";
    case fvtClass:
    case fvtEnum:
        return TypeName;
    case fvtArray:
        return u"Array";
    case fvtVariant:
    case fvtConstructor:
        return u"Variant";
    case fvtInt64:
        return u"Int64";
    }
    return TypeName;
}

// ---- TfsVariable -----------------------------------------------------------------------------

void TfsVariable::SetValue(const Variant& value) {
    if (IsReadOnly)
        return;
    // Convert first, so that a failed conversion leaves the stored value as it was.
    switch (Typ) {
    case fvtInt:
        if (value.VType() == varInteger)
            FValue = value;
        else
            FValue = Variant(value.AsInteger());
        break;
    case fvtBool:
        FValue = Variant(value.AsBoolean());
        break;
    case fvtFloat:
        FValue = VarType(value) == varDate ? value : Variant(value.AsDouble());
        break;
    case fvtString:
        FValue = Variant(value.AsString());
        break;
    case fvtInt64:
        FValue = Variant(static_cast<long long>(value.AsInt64()));
        break;
    default:
        FValue = value;
    }
}

Variant TfsVariable::GetValue() {
    if (!OnGetVarValue)
        return FValue;
    Variant stored = FValue;
    Variant shown = OnGetVarValue(Name, Typ, stored);
    return VarIsNull(shown) ? FValue : shown;
}

// ---- TfsStringVariable -----------------------------------------------------------------------

void TfsStringVariable::SetValue(const Variant& value) {
    Str = value.AsString();
}

Variant TfsStringVariable::GetValue() {
    if (!OnGetVarValue)
        return Variant(Str);
    Variant stored(Str);
    Variant shown = OnGetVarValue(Name, Typ, stored);
    return VarIsNull(shown) ? Variant(Str) : shown;
}

// ---- TfsParamItem ----------------------------------------------------------------------------

TfsParamItem::TfsParamItem(const String& name, TfsVarType typ, const String& typeName, bool isOptional, bool isVarParam)
    : TfsCustomVariable(name, typ, typeName), IsOptional(isOptional), IsVarParam(isVarParam) {}

// ---- TfsProcVariable -------------------------------------------------------------------------

TfsProcVariable::TfsProcVariable(const String& name, TfsVarType typ, const String& typeName, TfsScript* parent,
                                 bool isFunc)
    : TfsCustomVariable(name, typ, typeName), IsFunc(isFunc), FProg(std::make_unique<TfsScript>(nullptr)) {
    IsReadOnly = true;
    FProg->Parent = parent;
    if (parent)
        FProg->UseClassLateBinding = parent->UseClassLateBinding;
    if (isFunc) {
        auto result = std::make_unique<TfsVariable>(u"Result", typ, typeName);
        RefItem = FProg->Add(u"Result", std::move(result));
    }
}

TfsProcVariable::~TfsProcVariable() {
    // The parameters belong to the procedure's own list; Prog only refers to them.
    for (int i = 0; i < Count(); ++i) {
        const TObject* param = Items(i);
        for (int j = 0; j < FProg->Count(); ++j) {
            if (FProg->GetItem(j) == param) {
                FProg->Remove(param).release(); // not owned by Prog: nothing to free
                break;
            }
        }
    }
}

} // namespace vgl
