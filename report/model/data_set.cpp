#include "report/model/data_set.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxRangeBegin, u"rbFirst", u"rbCurrent")
VGL_DEFINE_ENUM(TfrxRangeEnd, u"reLast", u"reCurrent", u"reCount")
VGL_DEFINE_ENUM(TfrxFieldType, u"fftNumeric", u"fftString", u"fftBoolean", u"fftDateTime")

VGL_DEFINE_CLASS(TfrxDialogComponent) {}

VGL_DEFINE_CLASS(TfrxDataSet) {
    using T = TfrxDataSet;
    b.Property(u"Enabled", &T::Enabled, &T::SetEnabled).Default(true);
    b.Property(u"RangeBegin", &T::RangeBegin, &T::SetRangeBegin).Default(rbFirst);
    b.Property(u"RangeEnd", &T::RangeEnd, &T::SetRangeEnd).Default(reLast);
    b.Property(u"RangeEndCount", &T::RangeEndCount, &T::SetRangeEndCount).Default(0);
    b.Property(u"UserName", &T::UserName, &T::SetUserName);
    b.Property(u"OnCheckEOF", &T::OnCheckEOF).Type(EventTypeInfo<TfrxCheckEOFEvent>(u"TfrxCheckEOFEvent"));
    b.Property(u"OnFirst", &T::OnFirst).Type(EventTypeInfo<TfrxDataSetNotifyEvent>(u"TNotifyEvent"));
    b.Property(u"OnNext", &T::OnNext).Type(EventTypeInfo<TfrxDataSetNotifyEvent>(u"TNotifyEvent"));
    b.Property(u"OnPrior", &T::OnPrior).Type(EventTypeInfo<TfrxDataSetNotifyEvent>(u"TNotifyEvent"));
}

VGL_DEFINE_CLASS(TfrxUserDataSet) {
    using T = TfrxUserDataSet;
    b.Property(u"Fields", &T::Fields, &T::SetFields);
    b.Property(u"OnGetValue", &T::OnGetValue).Type(EventTypeInfo<TfrxUserDataSetGetValueEvent>(u"TfrxGetValueEvent"));
    b.Property(u"OnNewGetValue", &T::OnNewGetValue)
        .Type(EventTypeInfo<TfrxUserDataSetNewGetValueEvent>(u"TfrxNewGetValueEvent"));
    b.Property(u"OnGetBlobValue", &T::OnGetBlobValue)
        .Type(EventTypeInfo<TfrxGetBlobValueEvent>(u"TfrxGetBlobValueEvent"));
    b.Property(u"OnIsBlobField", &T::OnIsBlobField).Type(EventTypeInfo<TfrxIsBlobFieldEvent>(u"TfrxIsBlobFieldEvent"));
}

VGL_DEFINE_CLASS(TfrxCustomDBDataSet) {
    using T = TfrxCustomDBDataSet;
    b.Property(u"CloseDataSource", &T::CloseDataSource, &T::SetCloseDataSource).Stored(true);
    b.Property(u"FieldAliases", &T::FieldAliases, &T::SetFieldAliases);
    b.Property(u"OpenDataSource", &T::OpenDataSource, &T::SetOpenDataSource).Default(true);
    b.Property(u"OnClose", &T::OnClose).Type(EventTypeInfo<TfrxDataSetNotifyEvent>(u"TNotifyEvent"));
    b.Property(u"OnOpen", &T::OnOpen).Type(EventTypeInfo<TfrxDataSetNotifyEvent>(u"TNotifyEvent"));
}

namespace {

// The global data-set list. Data sets are created and freed by label modules on their own request
// threads while others look names up: look-ups share the lock, joining and leaving take it alone,
// and so do changes of the two fields the look-ups read (UserName and Enabled).
struct TGlobalDataSetList {
    std::shared_mutex Mutex;
    std::vector<TfrxDataSet*> Items;
};

TGlobalDataSetList& GlobalList() {
    static TGlobalDataSetList list;
    return list;
}

} // namespace

// ---- TfrxDialogComponent ----------------------------------------------------------------------

TfrxDialogComponent::TfrxDialogComponent(TComponent* owner) : TfrxReportComponent(owner) {
    frComponentStyle().Exclude(csPreviewVisible);
    SetWidth(28);
    SetHeight(28);
}

TfrxDialogComponent::~TfrxDialogComponent() = default;

// ---- TfrxDataSet ------------------------------------------------------------------------------

TfrxDataSet::TfrxDataSet(TComponent* owner)
    : TfrxDialogComponent(owner), FListOwner(owner), FListOwnerIsReport(InheritsFromClassName(owner, u"TfrxReport")) {
    TGlobalDataSetList& list = GlobalList();
    std::unique_lock lock(list.Mutex);
    list.Items.push_back(this);
}

TfrxDataSet::~TfrxDataSet() {
    TGlobalDataSetList& list = GlobalList();
    std::unique_lock lock(list.Mutex);
    const auto it = std::find(list.Items.begin(), list.Items.end(), this);
    if (it != list.Items.end())
        list.Items.erase(it);
}

void TfrxDataSet::SetName(const String& value) {
    TfrxDialogComponent::SetName(value);
    if (!value.empty() && FUserName.empty())
        SetUserName(value);
}

String TfrxDataSet::UserName() const {
    return FUserName;
}

void TfrxDataSet::SetUserName(const String& value) {
    if (Trim(value).empty())
        throw Exception(frxResourcesInstance().Get(u"prInvProp"));
    std::unique_lock lock(GlobalList().Mutex);
    FUserName = value;
}

bool TfrxDataSet::Enabled() const {
    return FEnabled;
}

void TfrxDataSet::SetEnabled(bool value) {
    std::unique_lock lock(GlobalList().Mutex);
    FEnabled = value;
}

void TfrxDataSet::Open() {
    if (OnOpen)
        OnOpen(this);
}

void TfrxDataSet::Close() {
    if (OnClose)
        OnClose(this);
}

void TfrxDataSet::First() {
    FRecNo = 0;
    FEof = false;
    if (OnFirst)
        OnFirst(this);
}

void TfrxDataSet::Next() {
    FEof = false;
    ++FRecNo;
    if (FRangeEnd == reCount && FRecNo >= FRangeEndCount) {
        FRecNo = FRangeEndCount - 1;
        FEof = true;
        return;
    }
    if (OnNext)
        OnNext(this);
}

void TfrxDataSet::Prior() {
    --FRecNo;
    if (OnPrior)
        OnPrior(this);
}

bool TfrxDataSet::Eof() {
    bool result = (FRangeEnd == reCount && FRecNo >= FRangeEndCount) || FEof;
    if (OnCheckEOF)
        OnCheckEOF(this, result);
    return result;
}

int TfrxDataSet::RecordCount() {
    return FRangeBegin == rbFirst && FRangeEnd == reCount ? FRangeEndCount : 0;
}

void TfrxDataSet::GetFieldList(TStringList& list) {
    list.Clear();
}

bool TfrxDataSet::HasField(const String& fieldName) {
    TStringList fields;
    GetFieldList(fields);
    for (int i = 0; i < fields.Count(); ++i)
        if (AnsiSameText(fields.Get(i), fieldName))
            return true;
    return false;
}

// ---- TfrxUserDataSet --------------------------------------------------------------------------

TfrxUserDataSet::TfrxUserDataSet(TComponent* owner) : TfrxDataSet(owner), FFields(std::make_unique<TStringList>()) {}

TfrxUserDataSet::~TfrxUserDataSet() = default;

void TfrxUserDataSet::SetFields(TStringList* value) {
    if (!value)
        FFields->Clear();
    else if (value != FFields.get())
        FFields->Assign(*value);
}

String TfrxUserDataSet::GetDisplayText(const String& index) {
    String result;
    if (OnGetValue) {
        Variant value = Null();
        OnGetValue(index, value);
        result = VarToStr(value);
    }
    if (OnNewGetValue) {
        Variant value = Null();
        OnNewGetValue(this, index, value);
        result = VarToStr(value);
    }
    return result;
}

Variant TfrxUserDataSet::GetValue(const String& index) {
    Variant result = Null();
    if (OnGetValue)
        OnGetValue(index, result);
    if (OnNewGetValue)
        OnNewGetValue(this, index, result);
    return result;
}

int TfrxUserDataSet::FieldsCount() {
    return FFields->Count();
}

bool TfrxUserDataSet::IsBlobField(const String& fieldName) {
    return OnIsBlobField ? OnIsBlobField(this, fieldName) : false;
}

void TfrxUserDataSet::AssignBlobTo(const String& fieldName, TObject* obj) {
    if (OnGetBlobValue)
        OnGetBlobValue(this, fieldName, obj);
}

void TfrxUserDataSet::GetFieldList(TStringList& list) {
    list.Assign(*FFields);
}

// ---- TfrxCustomDBDataSet ----------------------------------------------------------------------

namespace {

std::unique_ptr<TStringList> SortedFieldList() {
    auto list = std::make_unique<TStringList>();
    list->Duplicates = dupIgnore;
    list->SetSorted(true);
    return list;
}

} // namespace

TfrxCustomDBDataSet::TfrxCustomDBDataSet(TComponent* owner)
    : TfrxDataSet(owner), FAliases(std::make_unique<TStringList>()), FFields(SortedFieldList()) {}

TfrxCustomDBDataSet::~TfrxCustomDBDataSet() = default;

void TfrxCustomDBDataSet::SetFieldAliases(TStringList* value) {
    if (!value)
        FAliases->Clear();
    else if (value != FAliases.get())
        FAliases->Assign(*value);
}

String TfrxCustomDBDataSet::ConvertAlias(const String& fName) const {
    for (int i = 0; i < FAliases->Count(); ++i) {
        const String line = FAliases->Get(i);
        const size_t eq = line.find(u'=');
        if (eq != String::npos && AnsiSameText(line.substr(eq + 1), fName))
            return line.substr(0, eq);
    }
    return fName;
}

String TfrxCustomDBDataSet::GetAlias(const String& fName) const {
    for (int i = 0; i < FAliases->Count(); ++i) {
        const String line = FAliases->Get(i);
        const size_t eq = line.find(u'=');
        if (eq != String::npos && AnsiSameText(line.substr(0, eq), fName))
            return line.substr(eq + 1);
    }
    return fName;
}

int TfrxCustomDBDataSet::FieldsCount() {
    TStringList names;
    GetFieldList(names);
    return names.Count();
}

// ---- The global list --------------------------------------------------------------------------

TfrxDataSet* FindGlobalDataSet(TfrxDataSet* dataSet, const String& name, TComponent* owner) {
    if (name.empty())
        return nullptr;
    if (!owner)
        return dataSet;
    const bool ownerIsReport = InheritsFromClassName(owner, u"TfrxReport");
    TGlobalDataSetList& list = GlobalList();
    std::shared_lock lock(list.Mutex);
    for (TfrxDataSet* item : list.Items) {
        if (!AnsiSameText(item->UserName(), name))
            continue;
        if (ownerIsReport && item->FListOwnerIsReport && item->FListOwner != owner)
            continue;
        return item;
    }
    return dataSet;
}

void GetGlobalDataSetList(TStringList& list) {
    list.Clear();
    TGlobalDataSetList& global = GlobalList();
    std::shared_lock lock(global.Mutex);
    for (TfrxDataSet* item : global.Items)
        if (!item->UserName().empty() && item->Enabled())
            list.AddObject(item->UserName(), item);
}

int GlobalDataSetCount() {
    TGlobalDataSetList& list = GlobalList();
    std::shared_lock lock(list.Mutex);
    return int(list.Items.size());
}

} // namespace vgl
