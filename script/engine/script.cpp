#include "script/engine/script.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <typeinfo>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "script/engine/il_parser.h"
#include "script/engine/script_tools.h"

namespace vgl {

VGL_DEFINE_CLASS(TfsScript) {
    b.Property(u"SyntaxType", &TfsScript::SyntaxType);
}

TfsScript::TfsScript(TComponent* owner) : TComponent(owner), FStatement(std::make_unique<TfsStatement>(this)) {
    FIncludePath.Add(String());
}

TfsScript::~TfsScript() {
    ClearProgram();
    while (!FMadeObjects.empty()) {
        std::unique_ptr<TObject> obj = std::move(FMadeObjects.back());
        FMadeObjects.pop_back();
        obj.reset();
    }
    // Free from the last entry of the index to the first. The slots are not kept for reuse, and
    // the index holds only the entries not freed yet while an item goes.
    Settle();
    while (!FIndex.empty()) {
        const std::uint32_t slot = FIndex.back();
        FIndex.pop_back();
        FSorted = FIndex.size();
        std::unique_ptr<TObject> owned = std::move(FEntries[slot].Owned);
        FEntries[slot].Item = nullptr;
        owned.reset();
    }
    FWaitingNames.Clear();
    while (!FWaiting.empty()) {
        std::unique_ptr<TObject> owned = std::move(FWaiting.back().Owned);
        FWaiting.pop_back();
        owned.reset();
    }
}

// ---- Modules' names known in advance -------------------------------------------------------

/// The names a registration of a list of modules entered in a parentless script, with what Find
/// gives for each right afterwards (the newest entry of the name): whether it is a variable, and
/// its kind. Made once per process from the first such registration and then only read.
struct TfsModuleNames {
    std::vector<TfsRTTIModuleFactory> Factories;
    std::vector<String> Names;
    std::vector<char> IsVariable;
    std::vector<TfsVarType> Kinds;
    TfsNameTable Table;

    std::int64_t Find(StringView name) const {
        return Table.Find(name, [this](std::uint32_t i) -> StringView { return Names[i]; });
    }
};

namespace {

std::mutex ModuleNamesLock;
std::shared_ptr<const TfsModuleNames> ModuleNamesOfProcess;

} // namespace

const TfsModuleNames* TfsScript::KnownModuleNames() const {
    if (!FModuleNamesAsked) {
        FModuleNamesAsked = true;
        std::lock_guard<std::mutex> lock(ModuleNamesLock);
        if (ModuleNamesOfProcess && ModuleNamesOfProcess->Factories == FPendingModules)
            FModuleNames = ModuleNamesOfProcess;
    }
    return FModuleNames && FModuleNames->Factories == FPendingModules ? FModuleNames.get() : nullptr;
}

bool TfsScript::MayWait() const {
    return !FPendingModules.empty() && !FAppending && !Parent && typeid(*this) == typeid(TfsScript) &&
           KnownModuleNames();
}

const TfsModuleNames* TfsScript::WaitingModuleNames() const {
    if (FPendingModules.empty())
        return nullptr;
    // Entries wait only while the names are known, and the list of modules cannot change then.
    if (!FWaiting.empty())
        return FModuleNames.get();
    return MayWait() ? FModuleNames.get() : nullptr;
}

void TfsScript::EnterWaiting() {
    std::vector<Waiting> waiting = std::move(FWaiting);
    FWaiting.clear();
    FWaitingNames.Clear();
    const TfsOwnerTag saved = AddedBy;
    try {
        for (Waiting& w : waiting) {
            AddedBy = w.Tag;
            Insert(w.Name, w.Item, w.Var, std::move(w.Owned));
        }
    } catch (...) {
        AddedBy = saved;
        throw;
    }
    AddedBy = saved;
}

// ---- The item index --------------------------------------------------------------------------

namespace {

// The error of SetILCode for a document that is no IL program.
const String kInvalidILCode = u"Invalid intermediate code";

} // namespace

size_t TfsScript::LowerBound(StringView name, size_t count) const {
    size_t lo = 0, hi = count;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (fsCompareNames(At(mid).Name, name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TfsScript::Insert(const String& name, TObject* item, TfsCustomVariable* var, std::unique_ptr<TObject> owned) {
    if (!FPendingModules.empty()) {
        if (!FWaiting.empty() || MayWait()) {
            if (var)
                var->AddedBy = AddedBy;
            if (FWaiting.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
                throw EListError(u"Too many script items");
            FWaitingNames.Reserve(FWaiting.size() + 1);
            FWaiting.push_back(Waiting{name, item, var, std::move(owned), AddedBy});
            FWaitingNames.Enter(name, std::uint32_t(FWaiting.size() - 1),
                                [this](std::uint32_t i) -> StringView { return FWaiting[i].Name; });
            return;
        }
        RegisterModules();
    }
    if (var)
        var->AddedBy = AddedBy;
    // In front of every entry of an equal name: the newest of a name shadows the older ones. While
    // modules register, the entry is appended and sorted in later.
    if (!FAppending)
        Settle();
    const size_t at = FAppending ? FIndex.size() : LowerBound(name, FIndex.size());
    // Room in the index (and the table of appended names) first, so that nothing can fail once
    // the slot holds the item.
    if (FIndex.size() == FIndex.capacity())
        FIndex.reserve(std::max<size_t>(16, FIndex.capacity() * 2));
    if (FAppending)
        FAppended.Reserve(FAppended.Count() + 1);
    std::uint32_t slot;
    if (FFreeSlots.empty()) {
        if (FEntries.size() >= std::numeric_limits<std::uint32_t>::max())
            throw EListError(u"Too many script items");
        slot = std::uint32_t(FEntries.size());
        FEntries.push_back(Entry{name, item, var, std::move(owned)});
    } else {
        slot = FFreeSlots.back();
        FEntries[slot] = Entry{name, item, var, std::move(owned)};
        FFreeSlots.pop_back();
    }
    FIndex.insert(FIndex.begin() + std::ptrdiff_t(at), slot);
    if (FAppending)
        FAppended.Enter(name, slot, [this](std::uint32_t s) -> StringView { return FEntries[s].Name; });
    else
        FSorted = FIndex.size();
}

void TfsScript::SettleAppended() {
    // The appended entries newest first, then ordered by name keeping that order among equal
    // names; the sort keys decide most comparisons without reading the names.
    struct Keyed {
        std::uint64_t Key;
        std::uint32_t Slot;
    };
    std::vector<Keyed> appended;
    appended.reserve(FIndex.size() - FSorted);
    for (size_t i = FIndex.size(); i-- > FSorted;)
        appended.push_back(Keyed{fsNameSortKey(FEntries[FIndex[i]].Name), FIndex[i]});
    std::stable_sort(appended.begin(), appended.end(), [this](const Keyed& a, const Keyed& b) {
        return a.Key != b.Key ? a.Key < b.Key : fsCompareNames(FEntries[a.Slot].Name, FEntries[b.Slot].Name) < 0;
    });
    if (FSorted == 0) {
        for (size_t i = 0; i < appended.size(); ++i)
            FIndex[i] = appended[i].Slot;
    } else {
        // Ahead of the older entries of an equal name.
        std::vector<std::uint32_t> merged;
        merged.reserve(FIndex.size());
        auto older = FIndex.begin(), olderEnd = FIndex.begin() + std::ptrdiff_t(FSorted);
        for (const Keyed& a : appended) {
            while (older != olderEnd && fsCompareNames(FEntries[*older].Name, FEntries[a.Slot].Name) < 0)
                merged.push_back(*older++);
            merged.push_back(a.Slot);
        }
        merged.insert(merged.end(), older, olderEnd);
        FIndex.swap(merged);
    }
    FSorted = FIndex.size();
    FAppended.Clear();
}

std::unique_ptr<TObject> TfsScript::Erase(size_t index) {
    // Callers settle the index first: every entry is in order.
    const std::uint32_t slot = FIndex[index];
    FIndex.erase(FIndex.begin() + std::ptrdiff_t(index));
    FSorted = FIndex.size();
    Entry& e = FEntries[slot];
    std::unique_ptr<TObject> owned = std::move(e.Owned);
    e.Item = nullptr;
    e.Var = nullptr;
    e.Name.clear();
    FFreeSlots.push_back(slot);
    return owned;
}

TObject* TfsScript::Add(const String& name, std::unique_ptr<TObject> item) {
    if (!item)
        throw EArgumentException(u"TfsScript.Add: no item");
    TObject* raw = item.get();
    Insert(name, raw, dynamic_cast<TfsCustomVariable*>(raw), std::move(item));
    return raw;
}

void TfsScript::AddReference(const String& name, TObject* item) {
    if (!item)
        throw EArgumentException(u"TfsScript.AddReference: no item");
    Insert(name, item, dynamic_cast<TfsCustomVariable*>(item), nullptr);
}

std::unique_ptr<TObject> TfsScript::Remove(const TObject* item) {
    Realize();
    for (size_t i = 0; i < FIndex.size(); ++i) {
        if (At(i).Item == item)
            return Erase(i);
    }
    throw EListError(u"List index out of bounds (%d)", {-1});
}

TObject* TfsScript::GetItem(int index) const {
    Realize();
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return At(size_t(index)).Item;
}

const String& TfsScript::GetItemName(int index) const {
    Realize();
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return At(size_t(index)).Name;
}

TfsCustomVariable* TfsScript::FindLocal(StringView name) const {
    if (!FPendingModules.empty()) {
        // A name neither waiting nor entered by the modules is not found, made or not.
        if (const TfsModuleNames* modules = WaitingModuleNames()) {
            const std::int64_t w =
                FWaitingNames.Find(name, [this](std::uint32_t i) -> StringView { return FWaiting[i].Name; });
            if (w >= 0)
                return FWaiting[size_t(w)].Var;
            if (modules->Find(name) < 0)
                return nullptr;
        }
        const_cast<TfsScript*>(this)->RegisterModules();
    }
    // The appended entries are newer than the ordered ones: the newest of a name is among them
    // when any of them has that name.
    if (FSorted < FIndex.size()) {
        const std::int64_t slot =
            FAppended.Find(name, [this](std::uint32_t s) -> StringView { return FEntries[s].Name; });
        if (slot >= 0)
            return FEntries[size_t(slot)].Var;
    }
    const size_t at = LowerBound(name, FSorted);
    if (at < FSorted && fsCompareNames(At(at).Name, name) == 0)
        return At(at).Var;
    return nullptr;
}

TfsCustomVariable* TfsScript::Find(StringView name) const {
    for (const TfsScript* s = this; s; s = s->Parent) {
        if (TfsCustomVariable* item = s->FindLocal(name))
            return item;
    }
    return nullptr;
}

TfsClassVariable* TfsScript::FindClass(StringView name) const {
    return dynamic_cast<TfsClassVariable*>(Find(name));
}

TfsVarType TfsScript::KindOfName(StringView name) const {
    for (const TfsScript* s = this; s; s = s->Parent) {
        // While entries wait, the kind of a module's item is known without making the modules.
        if (const TfsModuleNames* modules = s->WaitingModuleNames()) {
            const std::int64_t w =
                s->FWaitingNames.Find(name, [s](std::uint32_t i) -> StringView { return s->FWaiting[i].Name; });
            if (w >= 0) {
                if (const TfsCustomVariable* v = s->FWaiting[size_t(w)].Var)
                    return v->Typ;
                continue;
            }
            const std::int64_t m = modules->Find(name);
            if (m >= 0 && modules->IsVariable[size_t(m)])
                return modules->Kinds[size_t(m)];
            continue;
        }
        if (const TfsCustomVariable* item = s->FindLocal(name))
            return item->Typ;
    }
    return fvtClass;
}

void TfsScript::ClearProgram() {
    FStatement->Clear();
    UnitLines.clear();
}

void TfsScript::Clear() {
    if (!FWaiting.empty())
        Realize();
    Settle();
    for (size_t i = 0; i < FIndex.size();) {
        const Entry& e = At(i);
        if ((e.Var && e.Var->AddedBy == fsRTTIOwner) || dynamic_cast<const TfsRTTIModule*>(e.Item)) {
            ++i;
            continue;
        }
        Erase(i).reset();
    }
    ClearProgram();
    ErrorPos.clear();
    ErrorMsg.clear();
    ErrorUnit.clear();
}

void TfsScript::ClearItems(TfsOwnerTag owner) {
    RemoveItems(owner);
    ClearProgram();
}

void TfsScript::RemoveItems(TfsOwnerTag owner) {
    // Every entry the modules would make is the registration's own; waiting entries are freed
    // in index order like the others.
    if (owner == fsRTTIOwner || !FWaiting.empty())
        Realize();
    Settle();
    for (size_t i = FIndex.size(); i-- > 0;) {
        if (i >= FIndex.size())
            continue; // freeing an item may have taken later entries with it
        const TfsCustomVariable* v = At(i).Var;
        if (!v || v->AddedBy != owner)
            continue;
        Erase(i).reset();
    }
}

// ---- Registration ----------------------------------------------------------------------------

TfsClassVariable* TfsScript::AddClass(TClass aClass, const String& ancestor) {
    if (!aClass)
        throw EArgumentException(u"TfsScript.AddClass: no class");
    const String& className = ClassNameOf(aClass);
    if (Find(className))
        return nullptr;
    auto cls = std::make_unique<TfsClassVariable>(aClass, ancestor);
    cls->Program = this;
    TfsClassVariable* result = Add(className, std::move(cls));
    if (TfsClassVariable* parentClass = FindClass(ancestor); parentClass && parentClass != result)
        result->SetDefProperty(parentClass->DefProperty());
    return result;
}

void TfsScript::AddConst(const String& name, const String& typ, const Variant& value) {
    if (Find(name))
        return;
    auto v = std::make_unique<TfsVariable>(name, fsTypeOfName(typ, this), typ);
    v->SetValue(value);
    v->IsReadOnly = true;
    Add(name, std::move(v));
}

void TfsScript::AddEnumValues(const String& typ, const String& names, bool bitMask) {
    Add(typ, std::make_unique<TfsVariable>(typ, fvtEnum, typ));
    std::unique_ptr<TfsCommaList> holder;
    const std::vector<String>& list = fsCommaListOf(names, holder).Trimmed;
    // Set values are 32-bit masks: a 33rd member would have no bit.
    if (bitMask && list.size() > 32)
        throw EArgumentException(u"Set %s has more than 32 members", {typ});
    for (int i = 0; i < int(list.size()); ++i) {
        const String& name = list[size_t(i)];
        auto v = std::make_unique<TfsVariable>(name, fvtEnum, typ);
        v->SetValue(Variant(bitMask ? int(std::uint32_t(1) << unsigned(i)) : i));
        v->IsReadOnly = true;
        Add(name, std::move(v));
    }
}

void TfsScript::AddEnum(const String& typ, const String& names) {
    AddEnumValues(typ, names, false);
}

void TfsScript::AddEnumSet(const String& typ, const String& names) {
    AddEnumValues(typ, names, true);
}

namespace {

template <class Event>
std::unique_ptr<TfsMethodHelper> MakeMethod(TfsScript* script, const String& syntax, Event callEvent,
                                            const String& category, const String& description) {
    auto m = std::make_unique<TfsMethodHelper>(syntax, script);
    if constexpr (std::is_same_v<Event, TfsCallMethodEvent>)
        m->OnCall = std::move(callEvent);
    else
        m->OnCallNew = std::move(callEvent);
    m->Description = description.empty() ? m->Name : description;
    m->Category = category;
    return m;
}

} // namespace

void TfsScript::AddMethod(const String& syntax, TfsCallMethodNewEvent callEvent, const String& category,
                          const String& description) {
    auto m = MakeMethod(this, syntax, std::move(callEvent), category, description);
    // The item lives until the script frees it, which Add never does: its name serves as the key.
    const TfsMethodHelper& item = *m;
    Add(item.Name, std::move(m));
}

void TfsScript::AddMethod(const String& syntax, TfsCallMethodEvent callEvent, const String& category,
                          const String& description) {
    auto m = MakeMethod(this, syntax, std::move(callEvent), category, description);
    // The item lives until the script frees it, which Add never does: its name serves as the key.
    const TfsMethodHelper& item = *m;
    Add(item.Name, std::move(m));
}

void TfsScript::AddObject(const String& name, TObject* obj) {
    if (!obj)
        throw EArgumentException(u"AddObject: no object for %s", {name});
    AddVariable(name, obj->ClassName(), Variant::FromObject(obj));
}

void TfsScript::AddVariable(const String& name, const String& typ, const Variant& value) {
    if (Find(name))
        return;
    auto v = std::make_unique<TfsVariable>(name, fsTypeOfName(typ, this), typ);
    v->SetValue(value);
    v->OnGetVarValue = OnGetVarValue;
    Add(name, std::move(v));
}

void TfsScript::AddType(const String& typeName, TfsVarType parentType) {
    if (Find(typeName))
        return;
    Add(typeName, std::make_unique<TfsTypeVariable>(typeName, parentType, String()));
}

// ---- Compiling and running -----------------------------------------------------------------------

bool TfsScript::Compile() {
    ErrorMsg.clear();
    ErrorUnit.clear();
    {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        if (parser.MakeILScript(FLines.Text()))
            parser.ParseILScript();
    }
    const bool ok = ErrorMsg.empty();
    if (ok)
        ErrorPos.clear();
    return ok;
}

bool TfsScript::GetILCode(TStream& stream) {
    ErrorMsg.clear();
    {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        if (parser.MakeILScript(FLines.Text()))
            parser.ILScript().SaveToStream(stream);
    }
    const bool ok = ErrorMsg.empty();
    if (ok)
        ErrorPos.clear();
    return ok;
}

bool TfsScript::SetILCode(TStream& stream) {
    ErrorMsg.clear();
    ErrorPos.clear();
    ErrorUnit.clear();
    {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        bool loaded = false;
        try {
            parser.ILScript().LoadFromStream(stream);
            loaded = parser.ILScript().Root()->Name() == u"program";
            if (!loaded)
                ErrorMsg = kInvalidILCode;
        } catch (const Exception& e) {
            ErrorMsg = kInvalidILCode + u": " + e.Message();
        }
        if (loaded)
            parser.ParseILScript();
    }
    const bool ok = ErrorMsg.empty();
    if (ok)
        ErrorPos.clear();
    return ok;
}

bool TfsScript::Run() {
    if (!Compile())
        return false;
    TfsRunGuard run(this);
    ExitCalled = false;
    Terminated = false;
    IsRunning = true;
    try {
        FStatement->Execute();
    } catch (...) {
        ExitCalled = false;
        Terminated = false;
        IsRunning = false;
        throw;
    }
    ExitCalled = false;
    Terminated = false;
    IsRunning = false;
    return true;
}

Variant TfsScript::Evaluate(const String& expression) {
    EvaluteRiseError = false;
    Variant result = Null();
    TfsScript* host = ProgRunning ? ProgRunning : this;
    TfsScript child(nullptr);
    if (!host->RTTIAdded)
        child.AddRTTI();
    child.Parent = host;
    child.OnGetVarValue = host->OnGetVarValue;
    child.SyntaxType = SyntaxType;
    // Evaluation reports no lines.
    struct RestoreRunLine {
        TfsRunLineEvent& Hook;
        TfsRunLineEvent Saved;
        ~RestoreRunLine() { Hook = std::move(Saved); }
    } restore{OnRunLine, std::move(OnRunLine)};
    OnRunLine = nullptr;
    String text;
    if (SameText(SyntaxType, u"DoveziVorude"))
        text = u"function fsEvaluateFUNC: Variant; begin Result := " + expression + u" end; begin end.";
    else if (SameText(SyntaxType, u"D++Evuzez"))
        text = u"Variant fsEvaluateFUNC() { return " + expression + u"; } {}";
    else if (SameText(SyntaxType, u"VadorAvarov"))
        text = u"function fsEvaluateFUNC\r\nreturn " + expression + u"\r\nend function";
    else if (SameText(SyntaxType, u"JScript"))
        text = u"function fsEvaluateFUNC() { return (" + expression + u"); }";
    child.Lines().SetText(text);
    if (child.Compile()) {
        TfsRunGuard run(&child);
        if (TfsCustomVariable* func = child.FindLocal(u"fsEvaluateFUNC"))
            result = func->GetValue();
    } else {
        result = Variant(child.ErrorMsg);
        EvaluteRiseError = true;
    }
    return result;
}

namespace {

// Calls `proc` with the elements of `params` as its arguments; with `out`, element i of `out`
// receives parameter i's value afterwards.
Variant CallRoutine(TfsScript& script, TfsProcVariable* proc, const Variant& params, Variant* out) {
    if (!proc)
        return Null();
    TfsRunGuard run(&script);
    int low = 0, count = 0;
    if (params.IsArray() && VarArrayDimCount(params) == 1) {
        low = VarArrayLowBound(params, 1);
        count = VarArrayHighBound(params, 1) - low + 1;
    }
    if (count > proc->Count())
        throw Exception(fsScriptMessages().STooManyParams);
    const int frame = proc->Executing ? proc->SaveLocalVariables() : -1;
    Variant result;
    try {
        for (int i = 0; i < proc->Count(); ++i) {
            TfsParamItem* param = proc->GetParam(i);
            // A parameter the caller leaves out gets its default (Null when it has none), so no
            // value of an earlier call is left behind.
            param->SetValue(i < count ? VarArrayGet(params, {low + i}) : param->DefValue);
        }
        result = proc->GetValue();
        if (out) {
            for (int i = 0; i < count; ++i)
                VarArrayPut(*out, proc->GetParam(i)->GetValue(), {low + i});
        }
    } catch (...) {
        proc->RestoreLocalVariables(frame, true, nullptr);
        throw;
    }
    proc->RestoreLocalVariables(frame, true, nullptr);
    return result;
}

} // namespace

Variant TfsScript::CallFunction(const String& name, const Variant& params, bool sGlobal) {
    TfsCustomVariable* item = sGlobal ? Find(name) : FindLocal(name);
    return CallRoutine(*this, dynamic_cast<TfsProcVariable*>(item), params, nullptr);
}

Variant TfsScript::CallFunction1(const String& name, Variant& params, bool sGlobal) {
    TfsCustomVariable* item = sGlobal ? Find(name) : FindLocal(name);
    return CallRoutine(*this, dynamic_cast<TfsProcVariable*>(item), params, &params);
}

Variant TfsScript::CallFunction2(TfsProcVariable* func, const Variant& params) {
    return CallRoutine(*this, func, params, nullptr);
}

void TfsScript::Terminate() {
    ExitCalled = true;
    Terminated = true;
    for (const Waiting& w : FWaiting)
        if (auto* proc = dynamic_cast<TfsProcVariable*>(w.Item))
            proc->Prog().Terminate();
    Settle();
    for (size_t i = 0; i < FIndex.size(); ++i) {
        if (auto* proc = dynamic_cast<TfsProcVariable*>(At(i).Item))
            proc->Prog().Terminate();
    }
}

void TfsScript::AddCodeLine(const String& unitName, const String& pos) {
    const size_t colon = pos.find(u':');
    const int line = StrToIntDef(StringView(pos).substr(0, colon), -1);
    if (line < 0)
        return;
    std::vector<int>& lines = UnitLines[unitName];
    const auto at = std::lower_bound(lines.begin(), lines.end(), line);
    if (at == lines.end() || *at != line)
        lines.insert(at, line);
}

bool TfsScript::IsExecutableLine(int lineN, const String& unitName) const {
    const auto it = UnitLines.find(unitName);
    return it != UnitLines.end() && std::binary_search(it->second.begin(), it->second.end(), lineN);
}

// ---- Values by name --------------------------------------------------------------------------

Variant TfsScript::GetVariables(StringView name) const {
    if (TfsCustomVariable* v = Find(name))
        return v->GetValue();
    return Null();
}

void TfsScript::SetVariables(const String& name, const Variant& value) {
    if (TfsCustomVariable* v = Find(name))
        v->SetValue(value);
    else
        AddVariable(name, u"Variant", value);
}

String TfsScript::GetProgName() const {
    // A running procedure's own script may run another procedure in turn: follow the chain.
    return ProgRunning && ProgRunning != this ? ProgRunning->GetProgName() : FProgName;
}

void TfsScript::SetProgName(const String& value) {
    if (ProgRunning)
        ProgRunning->FProgName = value;
    else
        FProgName = value;
}

// ---- Registration modules ------------------------------------------------------------------------

namespace {

struct ModuleRegistry {
    std::unique_ptr<std::vector<TfsRTTIModuleFactory>> List;
    bool Finalized = false;
};

ModuleRegistry& Registry() {
    static ModuleRegistry registry;
    return registry;
}

} // namespace

std::unique_ptr<TfsRTTIModule> fsCreateSysFunctions(TfsScript* script); // script_functions.cpp

std::vector<TfsRTTIModuleFactory>* fsRTTIModuleClasses() {
    // Made on first use: a function-local static is initialised once even when several threads
    // ask at the same time; afterwards the list is only read until shut-down.
    static const bool made = [] {
        ModuleRegistry& r = Registry();
        if (!r.Finalized && !r.List)
            r.List = std::make_unique<std::vector<TfsRTTIModuleFactory>>(1, &fsCreateSysFunctions);
        return true;
    }();
    (void)made;
    return Registry().List.get();
}

void fsFinalizeRTTIModuleClasses() {
    Registry().List.reset();
    Registry().Finalized = true;
}

void fsInitializeRTTIModuleClasses() {
    ModuleRegistry& r = Registry();
    r.Finalized = false;
    if (!r.List)
        r.List = std::make_unique<std::vector<TfsRTTIModuleFactory>>(1, &fsCreateSysFunctions);
}

void TfsScript::AddRTTI() {
    if (RTTIAdded)
        return;
    if (auto* list = fsRTTIModuleClasses())
        FPendingModules = *list;
    RTTIAdded = true;
    // With no entry yet there is nothing to order the modules' entries against: the first use of
    // the entries makes the modules. Otherwise they are made now, in front of what is there.
    if (!FIndex.empty())
        RegisterModules();
}

namespace {

// The most entries one registration of modules has made in this process: a registration makes
// room for that many at once instead of growing the lists step by step.
std::atomic<size_t> RegisteredEntries{0};

} // namespace

void TfsScript::RegisterModules() {
    const std::vector<TfsRTTIModuleFactory> factories = std::move(FPendingModules);
    FPendingModules.clear();
    // Entries waited only in a parentless script: its modules are made as they would have been
    // when the first of them was added, without a parent, and the entries follow them.
    TfsScript* const parent = Parent;
    if (!FWaiting.empty())
        Parent = nullptr;
    const size_t before = FIndex.size();
    const size_t expected = RegisteredEntries.load(std::memory_order_relaxed);
    FEntries.reserve(FEntries.size() + expected);
    FIndex.reserve(before + expected);
    FAppended.Reserve(expected);
    // The modules' items are cut from an arena of this registration's own. An earlier
    // registration's arena is left to the items it still holds, so that registering again after
    // ClearRTTI does not keep the memory of the items ClearRTTI freed.
    FArena.reset(TfsItemArena::Create());
    const TfsItemArenaScope arenaScope(FArena.get());
    const TfsOwnerTag saved = AddedBy;
    AddedBy = fsRTTIOwner;
    // The modules enter their items in appending mode; a registration started by one of them
    // leaves the mode to the outer one.
    const bool outer = !FAppending;
    FAppending = true;
    try {
        for (TfsRTTIModuleFactory factory : factories)
            Add(String(), std::unique_ptr<TObject>(factory(this)));
    } catch (...) {
        AddedBy = saved;
        if (outer)
            FAppending = false;
        ClearRTTI(); // removes what the modules registered before the error
        Parent = parent;
        try {
            EnterWaiting();
        } catch (...) {
            // the registration's error is the one to report; entries that could not be entered
            // are freed
        }
        throw;
    }
    AddedBy = saved;
    if (outer) {
        FAppending = false;
        Settle();
        if (before == 0 && !Parent && !factories.empty() && typeid(*this) == typeid(TfsScript))
            RememberModuleNames(factories);
    }
    Parent = parent;
    if (FIndex.size() > before + expected)
        RegisteredEntries.store(FIndex.size() - before, std::memory_order_relaxed);
    EnterWaiting();
}

void TfsScript::RememberModuleNames(const std::vector<TfsRTTIModuleFactory>& factories) const {
    {
        std::lock_guard<std::mutex> lock(ModuleNamesLock);
        if (ModuleNamesOfProcess && ModuleNamesOfProcess->Factories == factories)
            return;
    }
    auto names = std::make_shared<TfsModuleNames>();
    names->Factories = factories;
    names->Names.reserve(FIndex.size());
    names->IsVariable.reserve(FIndex.size());
    names->Kinds.reserve(FIndex.size());
    names->Table.Reserve(FIndex.size());
    // The index holds equal names newest first: the first of each name is what Find gives.
    for (size_t i = 0; i < FIndex.size(); ++i) {
        const Entry& e = At(i);
        if (!names->Names.empty() && fsCompareNames(names->Names.back(), e.Name) == 0)
            continue;
        names->Names.push_back(e.Name);
        names->IsVariable.push_back(e.Var ? 1 : 0);
        names->Kinds.push_back(e.Var ? e.Var->Typ : fvtClass);
    }
    for (size_t i = 0; i < names->Names.size(); ++i)
        names->Table.Enter(names->Names[i], std::uint32_t(i),
                           [&names](std::uint32_t k) -> StringView { return names->Names[k]; });
    std::lock_guard<std::mutex> lock(ModuleNamesLock);
    if (!ModuleNamesOfProcess || ModuleNamesOfProcess->Factories != factories)
        ModuleNamesOfProcess = std::move(names);
}

void TfsScript::ClearRTTI() {
    if (!RTTIAdded)
        return;
    FPendingModules.clear();
    // The modules are not made: what waited for them is entered alone.
    EnterWaiting();
    Settle();
    for (size_t i = 0; i < FIndex.size();) {
        const Entry& e = At(i);
        if ((e.Var && e.Var->AddedBy == fsRTTIOwner) || dynamic_cast<const TfsRTTIModule*>(e.Item)) {
            Erase(i).reset();
            continue;
        }
        ++i;
    }
    RTTIAdded = false;
}

TObject* TfsScript::AdoptObject(std::unique_ptr<TObject> obj) {
    FMadeObjects.push_back(std::move(obj));
    return FMadeObjects.back().get();
}

void TfsScript::AddComponent(TComponent* form) {
    if (!form)
        throw EArgumentException(u"AddComponent: no component");
    TfsClassVariable* cls = FindClass(form->ClassName());
    if (!cls) {
        const TClass parent = form->ClassType()->Parent();
        cls = AddClass(form->ClassType(), parent ? ClassNameOf(parent) : String());
        if (!cls)
            return;
    }
    for (int i = 0; i < form->ComponentCount(); ++i)
        cls->AddComponent(form->Components(i));
    AddObject(form->Name(), form);
}

void TfsScript::AddForm(TComponent* form) {
    AddComponent(form);
}

} // namespace vgl
