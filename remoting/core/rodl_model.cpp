#include "remoting/core/rodl_model.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/xml_to_rodl.h"

namespace vgl {

const char16_t* const RODLSimpleTypeNames[16] = {
    u"Integer", u"DateTime", u"Double", u"Currency", u"WideString", u"AnsiString", u"Int64",      u"Boolean",
    u"Variant", u"Binary",   u"Xml",    u"Guid",     u"Decimal",    u"Utf8String", u"XsDateTime", u"???"};

bool IsInputParamFlag(TRODLParamFlag aFlag) {
    return aFlag == fIn || aFlag == fInOut;
}

namespace {

std::mutex GuidSourceLock;
std::function<TGUID()> GuidSource;

constexpr const char16_t* SInvalidIndex = u"Invalid index %d";

bool Same(StringView a, StringView b) {
    return SameText(a, b);
}

/// A case-insensitive set of names.
struct NameLess {
    bool operator()(const String& a, const String& b) const { return CompareText(a, b) < 0; }
};
using TNameSet = std::set<String, NameLess>;

} // namespace

void SetRODLGuidSource(std::function<TGUID()> aSource) {
    std::lock_guard lock(GuidSourceLock);
    GuidSource = std::move(aSource);
}

TGUID NewRODLGuid() {
    std::function<TGUID()> source;
    {
        std::lock_guard lock(GuidSourceLock);
        source = GuidSource;
    }
    return source ? source() : NewGuid();
}

String MakeValidIdentifier(StringView text) {
    String result = Trim(text);
    for (Char& c : result)
        if (!(IsDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'))
            c = u'_';
    if (!result.empty() && IsDigit(result[0]))
        result.insert(result.begin(), u'_');
    return result;
}

String ExpandRodlPath(StringView text) {
    if (!text.starts_with(u"$("))
        return String(text);
    const size_t close = text.find(u')');
    if (close == StringView::npos)
        return String(text);
    const std::string name = StringToUtf8(text.substr(2, close - 2));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    return (value ? Utf8ToString(value) : String()) + String(text.substr(close + 1));
}

void TRODLMessageList::AddMessage(int aKind, const String& anItemPath, TRODLEntity*, int, const String& aMessage) {
    Lines.push_back(IntToStr(aKind) + u"|" + anItemPath + u"|" + aMessage);
}

// ---- TRODLEntity --------------------------------------------------------------------------

TRODLEntity::TRODLEntity() : fUID(NewRODLGuid()) {}

TRODLEntity::~TRODLEntity() {
    SetGroupUnder(nullptr);
    LeaveAllUses();
}

void TRODLEntity::SetName(const String& aName) {
    fName = MakeValidIdentifier(aName);
}

TRODLLibrary* TRODLEntity::OwnerLibrary() const {
    for (const TRODLEntity* e = this; e; e = e->fOwner)
        if (auto* library = dynamic_cast<const TRODLLibrary*>(e))
            return const_cast<TRODLLibrary*>(library);
    throw EAssertionFailed(u"The entity %s belongs to no library", {fName});
}

void TRODLEntity::SetGroupUnder(TRODLGroup* aGroup) {
    if (aGroup == fGroupUnder)
        return;
    if (fGroupUnder) {
        auto& members = fGroupUnder->fMembers;
        members.erase(std::remove(members.begin(), members.end(), this), members.end());
    }
    fGroupUnder = aGroup;
    if (aGroup)
        aGroup->fMembers.push_back(this);
}

TStrings& TRODLEntity::Attributes() {
    if (!fAttributes)
        fAttributes = std::make_unique<TStringList>();
    return *fAttributes;
}

String TRODLEntity::AttributeValue(const String& aName) const {
    if (!fAttributes)
        return {};
    for (int i = 0; i < fAttributes->Count(); ++i)
        if (Same(fAttributes->Names(i), aName))
            return fAttributes->ValueFromIndex(i);
    return {};
}

bool TRODLEntity::HasAttribute(const String& aName) const {
    if (!fAttributes)
        return false;
    for (int i = 0; i < fAttributes->Count(); ++i)
        if (Same(fAttributes->Names(i), aName))
            return true;
    return false;
}

void TRODLEntity::SetLocatedInRodlUse(TRODLUse* aUse) {
    if (!aUse || std::find(fInUse.begin(), fInUse.end(), aUse) != fInUse.end())
        return;
    fInUse.push_back(aUse);
    aUse->fItems.push_back(this);
}

void TRODLEntity::LeaveUse(TRODLUse* aUse) {
    auto it = std::find(fInUse.begin(), fInUse.end(), aUse);
    if (it == fInUse.end())
        return;
    fInUse.erase(it);
    auto& items = aUse->fItems;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
}

void TRODLEntity::LeaveAllUses() {
    while (!fInUse.empty())
        LeaveUse(fInUse.back());
}

void TRODLEntity::Assign(const TRODLEntity& aSource) {
    if (&aSource == this)
        return;
    fOwner = aSource.fOwner;
    Data = aSource.Data;
    fName = aSource.fName;
    fOriginalName = aSource.fOriginalName;
    if (aSource.HasAttributes())
        Attributes().Assign(*aSource.fAttributes);
    else if (fAttributes)
        fAttributes->Clear();
    fDontCodegen = aSource.fDontCodegen;
    fDocumentation = aSource.fDocumentation;
    fUID = aSource.fUID;
    if (aSource.fGroupUnder) {
        // A copy of the group's own data only: group chains may be circular.
        const TRODLGroup& source = *aSource.fGroupUnder;
        auto group = std::make_unique<TRODLGroup>();
        group->fName = source.fName;
        group->fOriginalName = source.fOriginalName;
        group->fDocumentation = source.fDocumentation;
        group->fUID = source.fUID;
        group->Data = source.Data;
        if (source.HasAttributes())
            group->Attributes().Assign(*source.fAttributes);
        SetGroupUnder(group.get());
        fOwnGroup = std::move(group);
    } else {
        SetGroupUnder(nullptr);
    }
    LeaveAllUses();
    for (TRODLUse* use : aSource.fInUse)
        SetLocatedInRodlUse(use);
}

void TRODLEntity::Validate(IROPluginMessages& aMessages) {
    if (Trim(fName).empty()) {
        if (dynamic_cast<TRODLBaseStruct*>(fOwner) || dynamic_cast<TRODLEnum*>(fOwner)) {
            aMessages.AddMessage(RODLError, fOwner->Name(), this, -1, u"Empty item is detected");
        } else if (dynamic_cast<TRODLOperation*>(fOwner)) {
            const TRODLEntity* service = fOwner->Owner() ? fOwner->Owner()->Owner() : nullptr;
            aMessages.AddMessage(RODLError, (service ? service->Name() : String()) + u"." + fOwner->Name(), this, -1,
                                 u"Empty param is detected");
        } else {
            aMessages.AddMessage(RODLError, String(), this, -1, u"No Name specified");
        }
    }
    if (IsNullGUID(fUID))
        aMessages.AddMessage(RODLWarning, fName, this, -1, u"No UID specified");
}

// ---- Groups, includes, typed entities -----------------------------------------------------

TRODLGroup::~TRODLGroup() {
    for (TRODLEntity* member : fMembers)
        member->fGroupUnder = nullptr;
}

String TRODLIncludes::Value(TROIncludePlatform aPlatform) const {
    return aPlatform == plUnknown ? String() : fValues[aPlatform];
}

void TRODLIncludes::SetValue(TROIncludePlatform aPlatform, const String& value) {
    if (aPlatform != plUnknown)
        fValues[aPlatform] = value;
}

bool TRODLIncludes::IsNotEmpty() const {
    for (int p = plNative; p <= plCocoa; ++p)
        if (!fValues[p].empty())
            return true;
    return false;
}

void TRODLIncludes::Assign(const TRODLEntity& aSource) {
    TRODLEntity::Assign(aSource);
    if (auto* includes = dynamic_cast<const TRODLIncludes*>(&aSource))
        for (int p = plNative; p <= plCocoa; ++p)
            fValues[p] = includes->fValues[p];
}

void TRODLTypedEntity::SetDataType(const String& value) {
    fDataType = MakeValidIdentifier(value);
}

void TRODLTypedEntity::Assign(const TRODLEntity& aSource) {
    TRODLEntity::Assign(aSource);
    if (auto* typed = dynamic_cast<const TRODLTypedEntity*>(&aSource))
        fDataType = typed->fDataType;
}

namespace {
String OwnerDotName(const TRODLEntity& e) {
    return (e.Owner() ? e.Owner()->Name() : String()) + u"." + e.Name();
}

TRODLLibrary* LibraryOrNone(const TRODLEntity& e) {
    for (const TRODLEntity* p = &e; p; p = p->Owner())
        if (auto* library = dynamic_cast<const TRODLLibrary*>(p))
            return const_cast<TRODLLibrary*>(library);
    return nullptr;
}
} // namespace

void TRODLTypedEntity::Validate(IROPluginMessages& aMessages) {
    TRODLEntity::Validate(aMessages);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (fDataType.empty())
        aMessages.AddMessage(RODLError, OwnerDotName(*this), this, -1, u"No data type specified.");
    else if (library && !library->IsValidType(fDataType))
        aMessages.AddMessage(RODLError, OwnerDotName(*this), this, -1,
                             Format(u"Invalid or undefined data type \"%s\".", {fDataType}));
    if (Owner() && !dynamic_cast<TRODLOperation*>(Owner()) && Same(fDataType, Owner()->Name()))
        aMessages.AddMessage(RODLWarning, Owner()->Name() + u" & " + OwnerDotName(*this), this, -1,
                             u"Struct contains itself recursively.");
}

String TRODLOperationParam::FlagAsString() const {
    switch (fFlag) {
    case fIn:
        return u"in";
    case fOut:
        return u"out";
    case fInOut:
        return u"in/out";
    case fResult:
        return u"result";
    }
    return {};
}

void TRODLOperationParam::SetFlagAsString(const String& value) {
    static const std::pair<const char16_t*, TRODLParamFlag> flags[] = {
        {u"in", fIn}, {u"out", fOut}, {u"in/out", fInOut}, {u"result", fResult}};
    for (const auto& [text, flag] : flags)
        if (Same(value, text)) {
            fFlag = flag;
            return;
        }
    throw EROException(u"Invalid Parameter Flag \"%s\"", {value});
}

void TRODLOperationParam::Assign(const TRODLEntity& aSource) {
    TRODLTypedEntity::Assign(aSource);
    if (auto* param = dynamic_cast<const TRODLOperationParam*>(&aSource))
        fFlag = param->fFlag;
}

void TRODLArray::SetElementType(const String& value) {
    fElementType = Trim(value);
}

void TRODLArray::Assign(const TRODLEntity& aSource) {
    TRODLEntity::Assign(aSource);
    if (auto* array = dynamic_cast<const TRODLArray*>(&aSource))
        fElementType = array->fElementType;
}

void TRODLArray::Validate(IROPluginMessages& aMessages) {
    TRODLEntity::Validate(aMessages);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (fElementType.empty())
        aMessages.AddMessage(RODLError, Name(), this, -1, u"No data type specified.");
    else if (library && !library->IsValidType(fElementType))
        aMessages.AddMessage(RODLError, Name(), this, -1,
                             Format(u"Invalid or undefined data type \"%s\".", {fElementType}));
}

// ---- TRODLUse -----------------------------------------------------------------------------

TRODLUse::TRODLUse() : fIncludes(std::make_unique<TRODLIncludes>()) {}

TRODLUse::~TRODLUse() {
    while (!fItems.empty())
        fItems.back()->LeaveUse(this);
}

void TRODLUse::Assign(const TRODLEntity& aSource) {
    TRODLEntity::Assign(aSource);
    auto* use = dynamic_cast<const TRODLUse*>(&aSource);
    if (!use)
        return;
    RodlFile = use->RodlFile;
    AbsoluteRodlFile = use->AbsoluteRodlFile;
    LoadedRodlLibraryName = use->LoadedRodlLibraryName;
    LoadedRodlLibraryGUID = use->LoadedRodlLibraryGUID;
    SplitMode = use->SplitMode;
    Merged = use->Merged;
    LibDontCodegen = use->LibDontCodegen;
    fIncludes->Assign(*use->fIncludes);
    for (TRODLEntity* item : std::vector<TRODLEntity*>(use->fItems))
        item->SetLocatedInRodlUse(this);
}

void TRODLUse::Validate(IROPluginMessages& aMessages) {
    TRODLEntity::Validate(aMessages);
    const String expanded = ExpandRodlPath(RodlFile);
    if (!(!expanded.empty() && FileExists(expanded)) && !(!AbsoluteRodlFile.empty() && FileExists(AbsoluteRodlFile)))
        aMessages.AddMessage(RODLWarning, ExtractFileName(RodlFile), this, -1,
                             Format(u"The referenced RODL file \"%s\" could not be found.", {RodlFile}));
}

// ---- TRODLComplexEntity -------------------------------------------------------------------

TRODLComplexEntity::~TRODLComplexEntity() {
    // Last first, so that entities that refer to earlier ones (groups, uses) unlink in order.
    while (!fItems.empty())
        fItems.pop_back();
}

TRODLEntity* TRODLComplexEntity::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EROException(SInvalidIndex, {index});
    return fItems[size_t(index)].get();
}

void TRODLComplexEntity::CheckItemClass(const TRODLEntity& anEntity) const {
    if (!IsItemClass(anEntity))
        throw EROException(u"Invalid type \"%s. Expected \"%s\"\"", {anEntity.ClassName(), ItemClassName()});
}

int TRODLComplexEntity::Add(std::unique_ptr<TRODLEntity> anEntity) {
    if (!anEntity)
        throw EROException(u"Invalid type \"nil. Expected \"%s\"\"", {ItemClassName()});
    CheckItemClass(*anEntity);
    anEntity->SetOwner(this);
    fItems.push_back(std::move(anEntity));
    return Count() - 1;
}

TRODLEntity* TRODLComplexEntity::Add() {
    std::unique_ptr<TRODLEntity> item = CreateItem();
    NewItemCreated(*item);
    TRODLEntity* raw = item.get();
    Add(std::move(item));
    return raw;
}

void TRODLComplexEntity::Insert(int index, std::unique_ptr<TRODLEntity> anEntity) {
    if (index < 0 || index > Count())
        throw EROException(SInvalidIndex, {index});
    if (!anEntity)
        throw EROException(u"Invalid type \"nil. Expected \"%s\"\"", {ItemClassName()});
    CheckItemClass(*anEntity);
    anEntity->SetOwner(this);
    fItems.insert(fItems.begin() + index, std::move(anEntity));
}

TRODLEntity* TRODLComplexEntity::Insert(int index) {
    std::unique_ptr<TRODLEntity> item = CreateItem();
    NewItemCreated(*item);
    TRODLEntity* raw = item.get();
    Insert(index, std::move(item));
    return raw;
}

void TRODLComplexEntity::Exchange(int index1, int index2) {
    Items(index1);
    Items(index2);
    std::swap(fItems[size_t(index1)], fItems[size_t(index2)]);
}

int TRODLComplexEntity::IndexOf(const TRODLEntity* anEntity) const {
    for (int i = 0; i < Count(); ++i)
        if (fItems[size_t(i)].get() == anEntity)
            return i;
    return -1;
}

void TRODLComplexEntity::Remove(TRODLEntity* anEntity) {
    const int index = IndexOf(anEntity);
    if (index >= 0)
        Delete(index);
}

void TRODLComplexEntity::Delete(int index) {
    Items(index);
    std::unique_ptr<TRODLEntity> gone = std::move(fItems[size_t(index)]);
    fItems.erase(fItems.begin() + index);
}

void TRODLComplexEntity::Clear() {
    while (!fItems.empty())
        fItems.pop_back();
}

std::unique_ptr<TRODLEntity> TRODLComplexEntity::Extract(int index) {
    Items(index);
    std::unique_ptr<TRODLEntity> item = std::move(fItems[size_t(index)]);
    fItems.erase(fItems.begin() + index);
    item->SetOwner(nullptr);
    return item;
}

TRODLEntity* TRODLComplexEntity::ItemByName(StringView aName) const {
    for (const auto& item : fItems)
        if (Same(item->Name(), aName))
            return item.get();
    return nullptr;
}

TRODLEntity* TRODLComplexEntity::ItemByUID(const TGUID& aUID) const {
    for (const auto& item : fItems)
        if (IsEqualGUID(item->UID(), aUID))
            return item.get();
    return nullptr;
}

bool TRODLComplexEntity::ContainsEntity(const TRODLEntity* anEntity, bool aRecurse) const {
    for (const auto& item : fItems) {
        if (item.get() == anEntity)
            return true;
        if (aRecurse)
            if (auto* complex = dynamic_cast<const TRODLComplexEntity*>(item.get()))
                if (complex->ContainsEntity(anEntity, true))
                    return true;
    }
    return false;
}

void TRODLComplexEntity::Sort() {
    std::stable_sort(fItems.begin(), fItems.end(),
                     [](const auto& a, const auto& b) { return CompareText(a->Name(), b->Name()) < 0; });
}

String TRODLComplexEntity::UniqueName(const String& aBase) const {
    if (!ItemByName(aBase))
        return aBase;
    for (int i = 1;; ++i) {
        const String candidate = aBase + IntToStr(i);
        bool taken = false;
        for (const auto& item : fItems)
            taken = taken || item->Name() == candidate;
        if (!taken)
            return candidate;
    }
}

void TRODLComplexEntity::Validate(IROPluginMessages& aMessages) {
    TRODLEntity::Validate(aMessages);
    // Names compared in a sorted index, so that large libraries validate in n log n.
    std::vector<TRODLEntity*> named;
    for (const auto& item : fItems)
        if (!dynamic_cast<TRODLUse*>(item.get()))
            named.push_back(item.get());
    std::stable_sort(named.begin(), named.end(),
                     [](const TRODLEntity* a, const TRODLEntity* b) { return CompareText(a->Name(), b->Name()) < 0; });
    for (size_t i = 1; i < named.size(); ++i)
        if (Same(named[i - 1]->Name(), named[i]->Name()))
            aMessages.AddMessage(RODLError, Name() + u"." + named[i]->Name(), named[i], -1, u"Duplicate name.");
    for (const auto& item : fItems)
        item->Validate(aMessages);
}

// ---- Structures ---------------------------------------------------------------------------

void TRODLBaseStruct::SetAncestor(const String& value) {
    fAncestor = Trim(value);
}

void TRODLBaseStruct::NewItemCreated(TRODLEntity& e) {
    e.SetName(u"Field" + IntToStr(Count() + 1));
}

bool TRODLBaseStruct::DescendsFrom(const TRODLEntity* anEntity) const {
    TRODLLibrary* library = LibraryOrNone(*this);
    if (!library)
        return false;
    const TRODLBaseStruct* current = this;
    const int steps = library->StructCount() + library->ExceptionCount() + 1;
    for (int i = 0; i < steps && current && !current->fAncestor.empty(); ++i) {
        current = library->FindBaseStruct(current->fAncestor);
        if (current == anEntity)
            return true;
    }
    return false;
}

namespace {
std::unique_ptr<TStringList> NewItemList(bool aIgnoreDuplicates) {
    auto list = std::make_unique<TStringList>();
    if (aIgnoreDuplicates) {
        list->SetCaseSensitive(false);
        list->Duplicates = dupIgnore;
        list->SetSorted(true);
    }
    return list;
}
} // namespace

std::unique_ptr<TStringList> TRODLBaseStruct::CalcItems(bool aIncludeAncestors, bool aIgnoreDuplicates) const {
    auto list = NewItemList(aIgnoreDuplicates);
    TRODLLibrary* library = LibraryOrNone(*this);
    const TRODLBaseStruct* current = this;
    const int steps = library ? library->StructCount() + library->ExceptionCount() + 1 : 1;
    for (int step = 0; current && step < steps; ++step) {
        for (int i = current->Count() - 1; i >= 0; --i)
            list->AddObject(current->Items(i)->Name(), current->Items(i));
        if (current->fAncestor.empty() || !library)
            break;
        TRODLBaseStruct* ancestor = library->FindBaseStruct(current->fAncestor);
        if (!ancestor)
            break;
        if (ancestor->DescendsFrom(current))
            throw EROCircularReference(SCircularReference, {current->Name(), ancestor->Name()});
        if (!aIncludeAncestors)
            break;
        current = ancestor;
    }
    return list;
}

std::unique_ptr<TStringList> TRODLBaseStruct::CalcItemsMarshalingOrder(bool aIncludeAncestors) const {
    std::unique_ptr<TStringList> list = CalcItems(aIncludeAncestors, true);
    list->SetSorted(false);
    list->CustomSort([](const TStringList& l, int a, int b) { return CompareText(l.Get(a), l.Get(b)); });
    return list;
}

void TRODLBaseStruct::Assign(const TRODLEntity& aSource) {
    TRODLEntity::Assign(aSource);
    auto* source = dynamic_cast<const TRODLBaseStruct*>(&aSource);
    if (!source)
        return;
    fAncestor = source->fAncestor;
    SetAutoCreateParams(source->AutoCreateParams());
    SetAbstract(source->Abstract());
    for (int i = 0; i < source->Count(); ++i) {
        auto element = std::make_unique<TRODLTypedEntity>();
        element->Assign(*source->Items(i));
        Add(std::move(element));
    }
}

namespace {

/// Reports own items whose names an ancestor already uses.
void CheckAncestorItems(IROPluginMessages& aMessages, TRODLEntity& self, const std::vector<TRODLEntity*>& own,
                        const std::function<std::unique_ptr<TStringList>()>& ancestorItems, const String& ancestor) {
    try {
        std::unique_ptr<TStringList> inherited = ancestorItems();
        TNameSet names;
        for (int i = 0; i < inherited->Count(); ++i)
            names.insert(inherited->Get(i));
        for (TRODLEntity* item : own)
            if (names.count(item->Name()))
                aMessages.AddMessage(
                    RODLError, self.Name() + u"." + item->Name(), item, -1,
                    Format(u"An item named \"%s\" already exists in ancestor \"%s\".", {item->Name(), ancestor}));
    } catch (const EROCircularReference&) {
        aMessages.AddMessage(RODLWarning, self.Name(), &self, -1,
                             u"Contained items have been not checked for name duplicates in ancestors because of "
                             u"the ancestors' circularity");
    }
}

} // namespace

void TRODLBaseStruct::Validate(IROPluginMessages& aMessages) {
    TRODLComplexEntity::Validate(aMessages);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (!library)
        return;
    const bool isException = dynamic_cast<TRODLException*>(this) != nullptr;
    if (!isException && Count() == 0 && fAncestor.empty())
        aMessages.AddMessage(RODLWarning, Name(), this, -1, u"Struct does not contain any elements.");
    if (fAncestor.empty())
        return;
    const bool valid = isException ? library->IsValidException(fAncestor) : library->IsValidType(fAncestor);
    if (!valid) {
        aMessages.AddMessage(RODLError, Name(), this, -1,
                             Format(u"Invalid or undefined ancestor type \"%s\".", {fAncestor}));
        return;
    }
    TRODLBaseStruct* ancestor = library->FindBaseStruct(fAncestor);
    if (!ancestor)
        return;
    if (ancestor->DescendsFrom(this)) {
        aMessages.AddMessage(RODLError, Name(), this, -1, Format(SCircularReference, {Name(), ancestor->Name()}));
        return;
    }
    std::vector<TRODLEntity*> own;
    for (int i = 0; i < Count(); ++i)
        own.push_back(Items(i));
    CheckAncestorItems(
        aMessages, *this, own, [&] { return ancestor->CalcItems(true, true); }, ancestor->Name());
}

// ---- Enumerations -------------------------------------------------------------------------

void TRODLEnum::NewItemCreated(TRODLEntity& e) {
    e.SetName(u"Value" + IntToStr(Count() + 1));
}

void TRODLEnum::Validate(IROPluginMessages& aMessages) {
    TRODLComplexEntity::Validate(aMessages);
    if (Count() == 0)
        aMessages.AddMessage(RODLError, Name(), this, -1, u"Enum does not contain any values.");
}

// ---- Operations ---------------------------------------------------------------------------

TRODLOperation::~TRODLOperation() = default;

void TRODLOperation::NewItemCreated(TRODLEntity& e) {
    e.SetName(u"Param" + IntToStr(Count() + 1));
}

namespace {
void RefuseResult(const TRODLEntity* anEntity) {
    if (auto* param = dynamic_cast<const TRODLOperationParam*>(anEntity))
        if (param->Flag() == fResult)
            throw EROException(u"Cannot add Result parameter to collection. Use AddResult instead");
}
} // namespace

int TRODLOperation::Add(std::unique_ptr<TRODLEntity> anEntity) {
    RefuseResult(anEntity.get());
    return TRODLComplexEntity::Add(std::move(anEntity));
}

void TRODLOperation::Insert(int index, std::unique_ptr<TRODLEntity> anEntity) {
    RefuseResult(anEntity.get());
    TRODLComplexEntity::Insert(index, std::move(anEntity));
}

TRODLOperationParam* TRODLOperation::AddResult() {
    if (!fOperationResult) {
        fOperationResult = std::make_unique<TRODLOperationParam>();
        fOperationResult->SetName(u"Result");
        fOperationResult->SetFlag(fResult);
        fOperationResult->SetOwner(this);
    }
    return fOperationResult.get();
}

void TRODLOperation::RemoveResult() {
    fOperationResult.reset();
}

TRODLOperationParam* TRODLOperation::GetParameter(StringView aName) const {
    if (auto* param = static_cast<TRODLOperationParam*>(ItemByName(aName)))
        return param;
    throw EROUnknownItem(u"Cannot find parameter %s", {String(aName)});
}

const TStrings* TRODLOperation::GetCodeBody(StringView aLanguage) const {
    auto it = fCodeBodies.find(LowerCase(aLanguage));
    return it == fCodeBodies.end() ? nullptr : it->second.get();
}

void TRODLOperation::SetCodeBody(const String& aLanguage, const TStrings* aLines) {
    const String key = LowerCase(aLanguage);
    if (!aLines) {
        fCodeBodies.erase(key);
        return;
    }
    auto& lines = fCodeBodies[key];
    if (!lines)
        lines = std::make_unique<TStringList>();
    lines->Assign(*aLines);
}

void TRODLOperation::SetCodeBodyAsString(const String& aLanguage, const String* aText) {
    if (!aText) {
        SetCodeBody(aLanguage, nullptr);
        return;
    }
    TStringList lines;
    lines.SetText(*aText);
    SetCodeBody(aLanguage, &lines);
}

String TRODLOperation::CodeBodyLanguages(int index) const {
    if (index < 0 || index >= CodeBodyCount())
        throw EROException(SInvalidIndex, {index});
    auto it = fCodeBodies.begin();
    std::advance(it, index);
    return it->first;
}

void TRODLOperation::Validate(IROPluginMessages& aMessages) {
    TRODLComplexEntity::Validate(aMessages);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (library && fOperationResult && !library->IsValidType(fOperationResult->DataType()))
        aMessages.AddMessage(RODLError, Name(), this, -1,
                             Format(u"Invalid or undefined data type \"%s\".", {fOperationResult->DataType()}));
}

// ---- Service interfaces and services ------------------------------------------------------

void TRODLServiceInterface::NewItemCreated(TRODLEntity& e) {
    e.SetName(u"Operation" + IntToStr(Count() + 1));
    e.SetUID(NewRODLGuid());
}

namespace {
const TRODLBaseService* OwnerService(const TRODLEntity& e) {
    return dynamic_cast<const TRODLBaseService*>(e.Owner());
}
} // namespace

TRODLOperation* TRODLServiceInterface::FindOperation(StringView aName, bool aIncludeAncestors) const {
    if (auto* own = static_cast<TRODLOperation*>(ItemByName(aName)))
        return own;
    const TRODLBaseService* service = OwnerService(*this);
    if (!aIncludeAncestors || !service)
        return nullptr;
    TRODLLibrary* library = LibraryOrNone(*this);
    String ancestor = service->GetAncestor();
    for (int step = 0; library && !ancestor.empty() && step <= library->Count(); ++step) {
        TRODLService* next = library->GetService(ancestor);
        if (TRODLServiceInterface* def = next->Default())
            if (TRODLOperation* op = def->FindOperation(aName, false))
                return op;
        ancestor = next->GetAncestor();
    }
    return nullptr;
}

TRODLOperation* TRODLServiceInterface::GetOperation(StringView aName) const {
    if (TRODLOperation* op = FindOperation(aName))
        return op;
    throw EROUnknownItem(u"Cannot find operation %s", {String(aName)});
}

void TRODLServiceInterface::GetOperationsList(std::vector<TRODLOperation*>& aList) const {
    aList.clear();
    for (int i = 0; i < Count(); ++i)
        aList.push_back(Items(i));
    const TRODLBaseService* service = OwnerService(*this);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (!service || !library)
        return;
    String ancestor = service->GetAncestor();
    for (int step = 0; !ancestor.empty() && step <= library->Count(); ++step) {
        TRODLService* next = library->FindService(ancestor);
        if (!next)
            break;
        if (TRODLServiceInterface* def = next->Default())
            for (int i = 0; i < def->Count(); ++i)
                aList.push_back(def->Items(i));
        ancestor = next->GetAncestor();
    }
}

std::unique_ptr<TStringList> TRODLServiceInterface::CalcItems(bool aIncludeAncestors, bool aIgnoreDuplicates) const {
    auto list = NewItemList(aIgnoreDuplicates);
    const TRODLBaseService* service = OwnerService(*this);
    TRODLLibrary* library = LibraryOrNone(*this);
    const TRODLServiceInterface* current = service ? service->Default() : this;
    if (!current)
        current = this;
    const int steps = library ? library->ServiceCount() + library->EventSinkCount() + 1 : 1;
    for (int step = 0; current && step < steps; ++step) {
        for (int i = current->Count() - 1; i >= 0; --i)
            list->AddObject(current->Items(i)->Name(), current->Items(i));
        if (!aIncludeAncestors || !service || !library || service->GetAncestor().empty())
            break;
        const TRODLBaseService* ancestor = library->FindService(service->GetAncestor());
        if (!ancestor)
            break;
        if (ancestor->DescendsFrom(service))
            throw EROCircularReference(SCircularReference, {service->Name(), ancestor->Name()});
        service = ancestor;
        current = ancestor->Default();
    }
    return list;
}

TRODLBaseService::TRODLBaseService() {
    TRODLEntity* def = TRODLComplexEntity::Add();
    def->SetName(u"Default");
    def->SetUID(NewRODLGuid());
}

TRODLServiceInterface* TRODLBaseService::Default() const {
    if (Count() == 1)
        return Items(0);
    return static_cast<TRODLServiceInterface*>(ItemByName(u"Default"));
}

void TRODLBaseService::SetAncestor(const String& value) {
    fAncestor = Trim(value);
}

TRODLBaseService* TRODLBaseService::AncestorService() const {
    if (fAncestor.empty())
        return nullptr;
    return OwnerLibrary()->GetService(fAncestor);
}

bool TRODLBaseService::DescendsFrom(const TRODLEntity* anEntity) const {
    TRODLLibrary* library = LibraryOrNone(*this);
    if (!library)
        return false;
    const TRODLBaseService* current = this;
    const int steps = library->ServiceCount() + library->EventSinkCount() + 1;
    for (int i = 0; i < steps && current && !current->fAncestor.empty(); ++i) {
        current = dynamic_cast<const TRODLEventSink*>(this) ? library->FindBaseService(current->fAncestor)
                                                            : library->FindService(current->fAncestor);
        if (current == anEntity)
            return true;
    }
    return false;
}

void TRODLBaseService::Validate(IROPluginMessages& aMessages) {
    TRODLComplexEntity::Validate(aMessages);
    TRODLLibrary* library = LibraryOrNone(*this);
    if (!library)
        return;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Count() == 0 && fAncestor.empty())
            aMessages.AddMessage(RODLWarning, Name() + u"." + Items(i)->Name(), Items(i), -1,
                                 u"Service interface does not contain any elements.");
    if (fAncestor.empty())
        return;
    const bool isSink = dynamic_cast<TRODLEventSink*>(this) != nullptr;
    const TRODLBaseService* ancestor =
        isSink ? static_cast<TRODLBaseService*>(library->FindEventSink(fAncestor)) : library->FindService(fAncestor);
    if (!ancestor) {
        aMessages.AddMessage(RODLError, Name(), this, -1,
                             Format(u"Invalid or undefined ancestor type \"%s\".", {fAncestor}));
        return;
    }
    if (ancestor->DescendsFrom(this)) {
        aMessages.AddMessage(RODLError, Name(), this, -1, Format(SCircularReference, {Name(), ancestor->Name()}));
        return;
    }
    TRODLServiceInterface* def = Default();
    TRODLServiceInterface* ancestorDefault = ancestor->Default();
    if (!def || !ancestorDefault)
        return;
    std::vector<TRODLEntity*> own;
    for (int i = 0; i < def->Count(); ++i)
        own.push_back(def->Items(i));
    CheckAncestorItems(
        aMessages, *this, own, [&] { return ancestorDefault->CalcItems(true, true); }, ancestor->Name());
}

// ---- TRODLLibrary -------------------------------------------------------------------------

namespace {
enum Kind { kArray, kEnum, kStruct, kService, kUse, kException, kEventSink, kGroup };
}

TRODLLibrary::TRODLLibrary() {
    SetName(u"NewLibrary");
}

int TRODLLibrary::KindOf(const TRODLEntity& e) {
    if (dynamic_cast<const TRODLArray*>(&e))
        return kArray;
    if (dynamic_cast<const TRODLEnum*>(&e))
        return kEnum;
    if (dynamic_cast<const TRODLStruct*>(&e))
        return kStruct;
    if (dynamic_cast<const TRODLService*>(&e))
        return kService;
    if (dynamic_cast<const TRODLUse*>(&e))
        return kUse;
    if (dynamic_cast<const TRODLException*>(&e))
        return kException;
    if (dynamic_cast<const TRODLEventSink*>(&e))
        return kEventSink;
    if (dynamic_cast<const TRODLGroup*>(&e))
        return kGroup;
    return -1;
}

int TRODLLibrary::Add(std::unique_ptr<TRODLEntity> anEntity) {
    const int kind = anEntity ? KindOf(*anEntity) : -1;
    const int index = TRODLComplexEntity::Add(std::move(anEntity));
    if (kind >= 0)
        ++fCounts[kind];
    return index;
}

void TRODLLibrary::Insert(int index, std::unique_ptr<TRODLEntity> anEntity) {
    const int kind = anEntity ? KindOf(*anEntity) : -1;
    TRODLComplexEntity::Insert(index, std::move(anEntity));
    if (kind >= 0)
        ++fCounts[kind];
}

void TRODLLibrary::RemoveEntity(TRODLEntity* anEntity) {
    const int index = IndexOf(anEntity);
    if (index < 0)
        return;
    if (auto* group = dynamic_cast<TRODLGroup*>(anEntity)) {
        // Members (at any level) move to the group's own group.
        TRODLGroup* target = group->GroupUnder() == group ? nullptr : group->GroupUnder();
        for (TRODLEntity* member : std::vector<TRODLEntity*>(group->Members()))
            member->SetGroupUnder(member == target ? nullptr : target);
    }
    if (auto* use = dynamic_cast<TRODLUse*>(anEntity)) {
        for (int i = Count() - 1; i >= 0; --i) {
            TRODLEntity* e = TRODLComplexEntity::Items(i);
            if (e != use && e->LocatedInRodlUse() == use && e->InUseCount() == 1)
                RemoveEntity(e);
        }
    }
    const int kind = KindOf(*anEntity);
    if (kind >= 0)
        --fCounts[kind];
    TRODLComplexEntity::Delete(IndexOf(anEntity));
}

void TRODLLibrary::Remove(TRODLEntity* anEntity) {
    RemoveEntity(anEntity);
}

void TRODLLibrary::Delete(int index) {
    RemoveEntity(TRODLComplexEntity::Items(index));
}

void TRODLLibrary::Clear() {
    TRODLComplexEntity::Clear();
    std::fill(std::begin(fCounts), std::end(fCounts), 0);
    Namespace.clear();
    RodlFilename.clear();
    fIncludes.reset();
}

TRODLIncludes& TRODLLibrary::EnsureIncludes() {
    if (!fIncludes)
        fIncludes = std::make_unique<TRODLIncludes>();
    return *fIncludes;
}

TRODLEntity* TRODLLibrary::NthOfKind(int kind, int index) const {
    if (index < 0 || index >= fCounts[kind])
        throw EROException(SInvalidIndex, {index});
    int seen = 0;
    for (int i = 0; i < Count(); ++i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        if (KindOf(*e) == kind && seen++ == index)
            return e;
    }
    throw EROException(SInvalidIndex, {index});
}

TRODLArray* TRODLLibrary::Arrays(int index) const {
    return static_cast<TRODLArray*>(NthOfKind(kArray, index));
}
TRODLEnum* TRODLLibrary::Enums(int index) const {
    return static_cast<TRODLEnum*>(NthOfKind(kEnum, index));
}
TRODLStruct* TRODLLibrary::Structs(int index) const {
    return static_cast<TRODLStruct*>(NthOfKind(kStruct, index));
}
TRODLService* TRODLLibrary::Services(int index) const {
    return static_cast<TRODLService*>(NthOfKind(kService, index));
}
TRODLUse* TRODLLibrary::Use(int index) const {
    return static_cast<TRODLUse*>(NthOfKind(kUse, index));
}
TRODLException* TRODLLibrary::Exceptions(int index) const {
    return static_cast<TRODLException*>(NthOfKind(kException, index));
}
TRODLEventSink* TRODLLibrary::EventSinks(int index) const {
    return static_cast<TRODLEventSink*>(NthOfKind(kEventSink, index));
}
TRODLGroup* TRODLLibrary::Groups(int index) const {
    return static_cast<TRODLGroup*>(NthOfKind(kGroup, index));
}

template <class T> T* TRODLLibrary::FindOfKind(int kind, StringView aName) const {
    if (fCounts[kind] == 0)
        return nullptr;
    for (int i = 0; i < Count(); ++i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        if (KindOf(*e) == kind && Same(e->Name(), aName))
            return static_cast<T*>(e);
    }
    return nullptr;
}

TRODLStruct* TRODLLibrary::FindStruct(StringView aName) const {
    return FindOfKind<TRODLStruct>(kStruct, aName);
}
TRODLEnum* TRODLLibrary::FindEnum(StringView aName) const {
    return FindOfKind<TRODLEnum>(kEnum, aName);
}
TRODLArray* TRODLLibrary::FindArray(StringView aName) const {
    return FindOfKind<TRODLArray>(kArray, aName);
}
TRODLService* TRODLLibrary::FindService(StringView aName) const {
    return FindOfKind<TRODLService>(kService, aName);
}
TRODLException* TRODLLibrary::FindException(StringView aName) const {
    return FindOfKind<TRODLException>(kException, aName);
}
TRODLEventSink* TRODLLibrary::FindEventSink(StringView aName) const {
    return FindOfKind<TRODLEventSink>(kEventSink, aName);
}
TRODLUse* TRODLLibrary::FindUse(StringView aName) const {
    return FindOfKind<TRODLUse>(kUse, aName);
}

TRODLBaseStruct* TRODLLibrary::FindBaseStruct(StringView aName) const {
    for (int i = 0; i < Count(); ++i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        if (auto* s = dynamic_cast<TRODLBaseStruct*>(e); s && Same(e->Name(), aName))
            return s;
    }
    return nullptr;
}

TRODLBaseService* TRODLLibrary::FindBaseService(StringView aName) const {
    for (int i = 0; i < Count(); ++i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        if (auto* s = dynamic_cast<TRODLBaseService*>(e); s && Same(e->Name(), aName))
            return s;
    }
    return nullptr;
}

TRODLGroup* TRODLLibrary::FindGroup(const TGUID& aUID) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* g = dynamic_cast<TRODLGroup*>(TRODLComplexEntity::Items(i)); g && IsEqualGUID(g->UID(), aUID))
            return g;
    return nullptr;
}

TRODLUse* TRODLLibrary::FindUseByUsedRodlID(const TGUID& aUID) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* u = dynamic_cast<TRODLUse*>(TRODLComplexEntity::Items(i));
            u && IsEqualGUID(u->LoadedRodlLibraryGUID, aUID))
            return u;
    return nullptr;
}

TRODLUse* TRODLLibrary::FindUseByFilename(StringView aName) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* u = dynamic_cast<TRODLUse*>(TRODLComplexEntity::Items(i)); u && Same(u->RodlFile, aName))
            return u;
    return nullptr;
}

TRODLService* TRODLLibrary::GetService(StringView aName) const {
    if (TRODLService* s = FindService(aName))
        return s;
    throw EROUnknownItem(u"Cannot find service %s", {String(aName)});
}

TRODLStruct* TRODLLibrary::GetStruct(StringView aName) const {
    if (TRODLStruct* s = FindStruct(aName))
        return s;
    throw EROUnknownItem(u"Cannot find struct %s", {String(aName)});
}

bool TRODLLibrary::IsValidSimpleType(StringView aName) {
    for (const char16_t* name : RODLSimpleTypeNames)
        if (Same(name, aName))
            return true;
    return false;
}

bool TRODLLibrary::IsValidCustomType(StringView aName) const {
    return FindArray(aName) || FindStruct(aName) || FindEnum(aName);
}

bool TRODLLibrary::IsValidType(StringView aName) const {
    return IsValidSimpleType(aName) || IsValidCustomType(aName);
}

bool TRODLLibrary::IsValidService(StringView aName) const {
    return FindService(aName) != nullptr;
}

bool TRODLLibrary::IsValidEventSink(StringView aName) const {
    return FindEventSink(aName) != nullptr;
}

bool TRODLLibrary::IsValidException(StringView aName) const {
    return FindException(aName) != nullptr;
}

std::vector<TRODLArray*> TRODLLibrary::GetArraysByElement(StringView aName) const {
    std::vector<TRODLArray*> result;
    for (int i = 0; i < ArrayCount(); ++i)
        if (Same(Arrays(i)->ElementType(), aName))
            result.push_back(Arrays(i));
    return result;
}

namespace {

/// The entities of a kind a code generator writes, last to first.
template <class T>
std::vector<T*> Selection(const TRODLLibrary& library, int count, T* (TRODLLibrary::*nth)(int) const) {
    std::vector<T*> result;
    for (int i = count - 1; i >= 0; --i) {
        T* e = (library.*nth)(i);
        if (!e->IsFromUsedRodl() && !e->GetDontCodegen())
            result.push_back(e);
    }
    return result;
}

/// Puts entities after their ancestors.
template <class T> std::vector<T*> AncestryOrder(const std::vector<T*>& input) {
    TNameSet names;
    for (T* e : input)
        names.insert(e->Name());
    std::vector<T*> pending = input;
    std::vector<T*> result;
    for (int i = int(pending.size()) - 1; i >= 0; --i) {
        const String ancestor = pending[size_t(i)]->GetAncestor();
        if (ancestor.empty() || !names.count(ancestor)) {
            result.push_back(pending[size_t(i)]);
            pending.erase(pending.begin() + i);
        }
    }
    while (!pending.empty()) {
        bool moved = false;
        for (int i = int(pending.size()) - 1; i >= 0; --i) {
            const String ancestor = pending[size_t(i)]->GetAncestor();
            auto at = std::find_if(result.begin(), result.end(), [&](T* e) { return SameText(e->Name(), ancestor); });
            if (at != result.end()) {
                result.insert(at + 1, pending[size_t(i)]);
                pending.erase(pending.begin() + i);
                moved = true;
            }
        }
        if (!moved) {
            String text;
            for (T* e : pending)
                text += e->GetAncestor() + u"\r\n";
            throw EROException(u"Invalid or recursive inheritance for the following entities: %s", {text});
        }
    }
    return result;
}

template <class T> std::vector<T*> SortedByName(std::vector<T*> list) {
    std::stable_sort(list.begin(), list.end(), [](T* a, T* b) { return CompareText(a->Name(), b->Name()) < 0; });
    return list;
}

template <class From, class To> std::vector<To*> Upcast(const std::vector<From*>& list) {
    return std::vector<To*>(list.begin(), list.end());
}

} // namespace

std::vector<TRODLBaseService*> TRODLLibrary::CalcServiceOrder() const {
    return AncestryOrder(
        Upcast<TRODLService, TRODLBaseService>(Selection(*this, ServiceCount(), &TRODLLibrary::Services)));
}
std::vector<TRODLBaseService*> TRODLLibrary::CalcEventSinkOrder() const {
    return AncestryOrder(
        Upcast<TRODLEventSink, TRODLBaseService>(Selection(*this, EventSinkCount(), &TRODLLibrary::EventSinks)));
}
std::vector<TRODLBaseStruct*> TRODLLibrary::CalcStructOrder() const {
    return AncestryOrder(Upcast<TRODLStruct, TRODLBaseStruct>(Selection(*this, StructCount(), &TRODLLibrary::Structs)));
}
std::vector<TRODLBaseStruct*> TRODLLibrary::CalcExceptionOrder() const {
    return AncestryOrder(
        Upcast<TRODLException, TRODLBaseStruct>(Selection(*this, ExceptionCount(), &TRODLLibrary::Exceptions)));
}
std::vector<TRODLArray*> TRODLLibrary::CalcArrayOrder() const {
    return SortedByName(Selection(*this, ArrayCount(), &TRODLLibrary::Arrays));
}
std::vector<TRODLEnum*> TRODLLibrary::CalcEnumOrder() const {
    return SortedByName(Selection(*this, EnumCount(), &TRODLLibrary::Enums));
}

// ---- Tool operations ----------------------------------------------------------------------

namespace {

/// Every typed entity that names a type: array element types aside, the elements of structures
/// and exceptions and the parameters and results of the default-interface operations of
/// services and event sinks.
void ForEachTypeReference(const TRODLLibrary& library, const std::function<void(TRODLTypedEntity&)>& visit) {
    for (int i = 0; i < library.Count(); ++i) {
        TRODLEntity* e = library.TRODLComplexEntity::Items(i);
        if (auto* s = dynamic_cast<TRODLBaseStruct*>(e)) {
            for (int j = 0; j < s->Count(); ++j)
                visit(*s->Items(j));
        } else if (auto* service = dynamic_cast<TRODLBaseService*>(e)) {
            if (TRODLServiceInterface* def = service->Default())
                for (int j = 0; j < def->Count(); ++j) {
                    TRODLOperation* op = def->Items(j);
                    for (int k = 0; k < op->Count(); ++k)
                        visit(*op->Items(k));
                    if (op->Result())
                        visit(*op->Result());
                }
        }
    }
}

} // namespace

bool TRODLLibrary::CheckForUsableName(StringView aName) const {
    if (aName.empty() || ItemByName(aName) || IsValidSimpleType(aName))
        return false;
    if (!ScopedEnums)
        for (int i = 0; i < EnumCount(); ++i)
            if (!Enums(i)->PrefixEnumValues() && Enums(i)->ItemByName(aName))
                return false;
    for (int i = 0; i < ArrayCount(); ++i)
        if (Same(Arrays(i)->ElementType(), aName))
            return false;
    bool used = false;
    ForEachTypeReference(*this, [&](TRODLTypedEntity& t) { used = used || Same(t.DataType(), aName); });
    return !used;
}

void TRODLLibrary::Rename(TRODLEntity* anEntity, const String& aNewName) {
    if (!anEntity)
        throw EROException(u"anEntity must be assigned");
    const String oldName = anEntity->Name();
    if (anEntity->IsFromUsedRodl() || !CheckForUsableName(aNewName))
        throw EROException(u"%s item cannot be renamed to %s.", {oldName, aNewName});
    anEntity->SetName(aNewName);
    const String newName = anEntity->Name();
    for (int i = 0; i < ArrayCount(); ++i)
        if (Same(Arrays(i)->ElementType(), oldName))
            Arrays(i)->SetElementType(newName);
    ForEachTypeReference(*this, [&](TRODLTypedEntity& t) {
        if (Same(t.DataType(), oldName))
            t.SetDataType(newName);
    });
}

void TRODLLibrary::RemoveUnusedItems() {
    std::map<String, TRODLEntity*, NameLess> candidates;
    for (int i = 0; i < Count(); ++i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        const int kind = KindOf(*e);
        if ((kind == kStruct || kind == kArray || kind == kEnum) && !e->IsFromUsedRodl())
            candidates.emplace(e->Name(), e);
    }
    // Taking a name out also takes out what that type needs (iteratively, so that cycles end).
    std::function<void(const String&)> takeOut = [&](const String& name) {
        std::vector<String> work{name};
        while (!work.empty()) {
            const String current = work.back();
            work.pop_back();
            auto it = candidates.find(current);
            if (it == candidates.end())
                continue;
            TRODLEntity* e = it->second;
            candidates.erase(it);
            if (auto* s = dynamic_cast<TRODLStruct*>(e)) {
                for (int j = 0; j < s->Count(); ++j)
                    work.push_back(s->Items(j)->DataType());
                if (!s->GetAncestor().empty())
                    work.push_back(s->GetAncestor());
            } else if (auto* a = dynamic_cast<TRODLArray*>(e)) {
                work.push_back(a->ElementType());
            }
        }
    };
    for (int i = 0; i < ServiceCount(); ++i) {
        TRODLService* service = Services(i);
        if (service->IsFromUsedRodl() || !service->Default())
            continue;
        TRODLServiceInterface* def = service->Default();
        for (int j = 0; j < def->Count(); ++j) {
            TRODLOperation* op = def->Items(j);
            for (int k = 0; k < op->Count(); ++k)
                takeOut(op->Items(k)->DataType());
            if (op->Result())
                takeOut(op->Result()->DataType());
        }
    }
    for (int i = 0; i < StructCount(); ++i) {
        TRODLStruct* s = Structs(i);
        if (!candidates.count(s->Name()))
            continue;
        // An ancestor chain that leaves the candidates keeps the structure.
        String ancestor = s->GetAncestor();
        for (int step = 0; !ancestor.empty() && step <= StructCount(); ++step) {
            if (!candidates.count(ancestor)) {
                takeOut(s->Name());
                break;
            }
            TRODLStruct* next = FindStruct(ancestor);
            ancestor = next ? next->GetAncestor() : String();
        }
    }
    for (int i = 0; i < ExceptionCount(); ++i) {
        TRODLException* e = Exceptions(i);
        if (e->IsFromUsedRodl())
            continue;
        for (int j = 0; j < e->Count(); ++j)
            takeOut(e->Items(j)->DataType());
    }
    for (int i = Count() - 1; i >= 0; --i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        auto it = candidates.find(e->Name());
        if (it != candidates.end() && it->second == e)
            RemoveEntity(e);
    }
}

void TRODLLibrary::ClearDuplicates() {
    std::set<String> seen;
    for (int i = Count() - 1; i >= 0; --i) {
        TRODLEntity* e = TRODLComplexEntity::Items(i);
        if (dynamic_cast<TRODLUse*>(e) || IsNullGUID(e->UID()))
            continue;
        if (!seen.insert(GUIDToString(e->UID())).second)
            RemoveEntity(e);
    }
}

void TRODLLibrary::UseRODL(const String& aFileName, IROPluginMessages* aMessages) {
    for (int i = 0; i < UseCount(); ++i)
        if (Same(ExpandRodlPath(Use(i)->RodlFile), aFileName) || Same(Use(i)->AbsoluteRodlFile, aFileName))
            return;
    TRODLLibrary read;
    TXMLToRODL reader(nullptr, false);
    reader.LoadFileToLibrary(aFileName, read, nullptr);
    auto use = std::make_unique<TRODLUse>();
    use->SetName(read.Name());
    use->SetUID(read.UID());
    use->RodlFile = read.RodlFilename;
    use->SetDontCodegen(read.GetDontCodegen());
    use->AbsoluteRodlFile = aFileName;
    Add(std::move(use));
    struct Kind {
        int kind;
        const char16_t* text;
    } kinds[] = {{kStruct, u"Structure %s was found in imported RODL %s and was removed."},
                 {kEnum, u"Enum %s was found in imported RODL %s and was removed."},
                 {kArray, u"Array %s was found in imported RODL %s and was removed."}};
    for (const Kind& k : kinds)
        for (int i = Count() - 1; i >= 0; --i) {
            TRODLEntity* e = TRODLComplexEntity::Items(i);
            if (KindOf(*e) != k.kind)
                continue;
            const bool clash = (k.kind == kStruct && read.FindStruct(e->Name())) ||
                               (k.kind == kEnum && read.FindEnum(e->Name())) ||
                               (k.kind == kArray && read.FindArray(e->Name()));
            if (!clash)
                continue;
            const String name = e->Name();
            RemoveEntity(e);
            if (aMessages)
                aMessages->AddMessage(RODLWarning, name, nullptr, -1, Format(k.text, {name, aFileName}));
        }
}

} // namespace vgl
