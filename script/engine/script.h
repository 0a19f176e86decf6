#pragma once
// TfsScript: the unit of compilation and execution, and a namespace of named items. A name the
// script does not hold is looked up in its Parent, then the parent's parent, and so on.

#include <cstdint>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/string_list.h"
#include "script/engine/script_host_classes.h"
#include "script/engine/script_items.h"
#include "script/engine/script_limits.h"
#include "script/engine/script_names.h"
#include "script/engine/script_statements.h"

namespace vgl {

class TfsScript;
struct TfsModuleNames;

/// Base of the registration modules: a module registers its classes, functions, types and
/// constants into the script it is created for. TfsScript::Clear keeps modules.
class TfsRTTIModule : public TObject {
public:
    explicit TfsRTTIModule(TfsScript* script) : FScript(script) {}
    TfsScript* Script() const { return FScript; }

private:
    TfsScript* FScript;
};

/// Makes a registration module for a script (the module registers in its constructor).
using TfsRTTIModuleFactory = std::unique_ptr<TfsRTTIModule> (*)(TfsScript* script);

/// The process-wide list of registration module factories, the built-in functions first. Made
/// on first use; after FinalizeScriptEngine it is gone and stays gone (none is returned).
/// Written only during start-up and shut-down.
std::vector<TfsRTTIModuleFactory>* fsRTTIModuleClasses();
/// Frees the list and marks it finalised (FinalizeScriptEngine calls it).
void fsFinalizeRTTIModuleClasses();
/// Makes the list again after a finalisation (InitializeScriptEngine calls it).
void fsInitializeRTTIModuleClasses();

using TfsRunLineEvent = std::function<void(TfsScript* sender, const String& unitName, const String& sourcePos)>;
using TfsGetUnitEvent = std::function<void(TfsScript* sender, const String& unitName, String& unitText)>;

class TfsScript : public TComponent {
    VGL_CLASS(TfsScript, TComponent)

    explicit TfsScript(TComponent* owner);
    /// Frees every item of the index and the main statement.
    ~TfsScript() override;

    // ---- The item index ----
    /// Inserts (name, item) in front of the entries of an equal name (names compare with
    /// AnsiCompareText); the script owns the item. A TfsCustomVariable gets the script's AddedBy.
    TObject* Add(const String& name, std::unique_ptr<TObject> item);
    template <class T> T* Add(const String& name, std::unique_ptr<T> item) {
        T* raw = item.get();
        if constexpr (std::is_base_of_v<TfsCustomVariable, T>) {
            // The item's kind is known here: the index need not find it out.
            if (!raw)
                Add(name, std::unique_ptr<TObject>()); // raises as Add does
            Insert(name, raw, static_cast<TfsCustomVariable*>(raw), std::unique_ptr<TObject>(std::move(item)));
        } else {
            Add(name, std::unique_ptr<TObject>(std::move(item)));
        }
        return raw;
    }
    /// As Add, for an item owned elsewhere (a procedure's parameter seen as a local).
    void AddReference(const String& name, TObject* item);
    /// Deletes the entry holding `item` and hands the item back when the script owned it.
    /// Raises EListError "List index out of bounds (-1)" when the script does not hold it.
    std::unique_ptr<TObject> Remove(const TObject* item);
    int Count() const {
        Realize();
        return int(FIndex.size());
    }
    /// The item of the index-th entry (index order); EListError outside the range.
    TObject* GetItem(int index) const;
    /// The name of the index-th entry.
    const String& GetItemName(int index) const;

    /// FindLocal, then the parents' Find; none when no script holds the name.
    TfsCustomVariable* Find(StringView name) const;
    /// The first entry of that name in this script; an entry that holds no TfsCustomVariable
    /// counts as not found.
    TfsCustomVariable* FindLocal(StringView name) const;
    /// Find, when it gives a class item.
    TfsClassVariable* FindClass(StringView name) const;
    /// The kind (Typ) of the item Find gives; fvtClass when no script holds the name.
    TfsVarType KindOfName(StringView name) const;

    /// Frees every item but registration modules and items tagged fsRTTIOwner, clears the main
    /// statement and the unit line lists, and empties the error texts.
    void Clear();
    /// RemoveItems(owner), then clears the main statement and the unit line lists.
    void ClearItems(TfsOwnerTag owner);
    /// Frees, from the last entry to the first, every item whose AddedBy is `owner`.
    void RemoveItems(TfsOwnerTag owner);

    // ---- Registration (overridable; the internal callers go through these) ----
    /// A class item for `aClass` with the given ancestor name; none (nothing registered) when
    /// any item of the class's name is found here or in a parent. Copies the ancestor class
    /// item's default property.
    virtual TfsClassVariable* AddClass(TClass aClass, const String& ancestor);
    /// A read-only variable of the kind of `typ` holding `value` (typed write); nothing when
    /// the name is found.
    virtual void AddConst(const String& name, const String& typ, const Variant& value);
    /// A variable named `typ` of kind fvtEnum, then one read-only constant 0, 1, 2, ... per
    /// name of the comma list `names`.
    virtual void AddEnum(const String& typ, const String& names);
    /// As AddEnum with the values 1, 2, 4, ...
    virtual void AddEnumSet(const String& typ, const String& names);
    /// A host function parsed from the prototype `syntax`; shadows an earlier one of its name.
    virtual void AddMethod(const String& syntax, TfsCallMethodNewEvent callEvent, const String& category = String(),
                           const String& description = String());
    virtual void AddMethod(const String& syntax, TfsCallMethodEvent callEvent, const String& category = String(),
                           const String& description = String());
    /// AddVariable(name, class name of obj, obj as object value). Raises EArgumentException for
    /// no object.
    virtual void AddObject(const String& name, TObject* obj);
    /// A variable of the kind of `typ` holding `value` (typed write) with the script's
    /// OnGetVarValue; nothing when the name is found (the existing item keeps its value).
    virtual void AddVariable(const String& name, const String& typ, const Variant& value);
    /// A type name of kind `parentType`; nothing when the name is found.
    virtual void AddType(const String& typeName, TfsVarType parentType);
    /// The class item of `form`'s class (registered with its parent class as ancestor when
    /// missing), a component member per component `form` owns, and AddObject(form's name, form).
    virtual void AddComponent(TComponent* form);
    /// AddComponent.
    virtual void AddForm(TComponent* form);

    /// Once per script: a module from every factory of fsRTTIModuleClasses(), in list order, with
    /// every item they register tagged fsRTTIOwner. Clear keeps them.
    void AddRTTI();
    /// Frees the modules and every item tagged fsRTTIOwner.
    void ClearRTTI();

    /// Takes over an object a constructor made without an owner; it lives until the script goes.
    TObject* AdoptObject(std::unique_ptr<TObject> obj);

    // ---- Compiling and running ----
    /// Compiles Lines in the language SyntaxType into this script's items and main statement.
    /// True on success (ErrorPos then empty); false with ErrorMsg, ErrorPos ("line:column") and
    /// ErrorUnit for an error of the source, a constant that fails to compute or a run limit hit
    /// while computing one. Raises for an unregistered language or a broken grammar. The script
    /// is not cleared first: clear it (Clear or ClearItems) before compiling a new source.
    bool Compile();
    /// As Compile up to the intermediate code: on success the IL document is written to
    /// `stream` in the script XML format instead of being built. Same result rule as Compile.
    bool GetILCode(TStream& stream);
    /// Reads an IL document from `stream` and builds it in the language SyntaxType, as Compile
    /// does after the grammar walk. The IL comes from outside: a document that is no XML, or
    /// whose elements miss their parts, fails with ErrorMsg set. Same result rule as Compile.
    bool SetILCode(TStream& stream);
    /// Compile, then runs the main statement; the compile result. Errors of the run propagate
    /// with ErrorPos at the failing statement; EfsScriptLimit when a run limit is hit.
    bool Run();
    /// The value of an expression in this script's language, compiled in a child script that
    /// sees this script's names (those of the running procedure first). A compile error is
    /// returned as its text with EvaluteRiseError set; run-time errors propagate.
    Variant Evaluate(const String& expression);
    /// Calls the procedure or function `name` (FindLocal, or Find with `sGlobal`) with the
    /// elements of the array `params` as arguments; Null for an unknown name or no routine.
    /// Raises "Too many actual parameters" when the array has more elements than the routine
    /// has parameters.
    Variant CallFunction(const String& name, const Variant& params, bool sGlobal = false);
    /// CallFunction; afterwards element i of `params` holds parameter i's value.
    Variant CallFunction1(const String& name, Variant& params, bool sGlobal = false);
    /// CallFunction of the routine itself (none gives Null).
    Variant CallFunction2(TfsProcVariable* func, const Variant& params);
    /// Stops a run at the next statement: sets ExitCalled and Terminated here and in every
    /// procedure's local program.
    void Terminate();
    /// Records that a statement starts on the line of `pos` ("line:column") of the unit.
    void AddCodeLine(const String& unitName, const String& pos);
    /// Whether a statement starts on line `lineN` of the unit.
    bool IsExecutableLine(int lineN, const String& unitName = String()) const;

    // ---- Values by name ----
    /// The value of the item Find gives, or Null.
    Variant GetVariables(StringView name) const;
    /// Writes the item Find gives; for an unknown name AddVariable(name, "Variant", value).
    void SetVariables(const String& name, const Variant& value);

    /// The running procedure's name: ProgRunning's (recursively) while one runs.
    String GetProgName() const;
    void SetProgName(const String& value);
    /// SetProgName with the empty text.
    void ClearProgName() { (ProgRunning ? ProgRunning->FProgName : FProgName).clear(); }

    TStringList& Lines() { return FLines; }
    const TStringList& Lines() const { return FLines; }
    void SetLines(const TStrings& lines) { FLines.Assign(lines); }
    TStringList& IncludePath() { return FIncludePath; }
    TfsStatement& Statement() { return *FStatement; }

    TfsOwnerTag AddedBy = fsNoOwner;
    bool BreakCalled = false;
    bool ContinueCalled = false;
    bool ExitCalled = false;
    String ErrorMsg;
    String ErrorPos;
    String ErrorUnit;
    bool ExtendedCharset = false;
    bool IsRunning = false;
    bool MainProg = false;
    TfsGetUnitEvent OnGetILUnit;
    TfsGetUnitEvent OnGetUnit;
    TfsRunLineEvent OnRunLine;
    TfsGetVariableValueEvent OnGetVarValue;
    TfsScript* Parent = nullptr;
    TfsScript* ProgRunning = nullptr;
    bool RTTIAdded = false;
    String SyntaxType = u"DoveziVorude";
    bool Terminated = false;
    /// Per unit name, the sorted line numbers that hold statements.
    std::map<String, std::vector<int>> UnitLines;
    bool UseClassLateBinding = false;
    bool EvaluteRiseError = false;
    bool ClearLocalVars = false;
    /// The position of the statement in which the last error of a run arose (set as the error
    /// leaves it).
    String LastSourcePos;
    /// Time budget of a run this script starts as the outermost one (milliseconds; 0: none).
    /// Only the topmost script of a Parent chain is asked.
    std::int64_t RunTimeLimitMs = fsDefaultRunTimeLimitMs;
    /// Bound of nested script routine calls of such a run (0: only the stack bounds them).
    int MaxCallDepth = fsDefaultMaxCallDepth;

private:
    struct Entry {
        String Name;
        TObject* Item = nullptr;          // none: a free slot
        TfsCustomVariable* Var = nullptr; // Item as a variable; none when it is none
        std::unique_ptr<TObject> Owned;   // empty for references
    };
    const Entry& At(size_t index) const { return FEntries[FIndex[index]]; }
    // Registers the modules AddRTTI deferred, before anything reads or changes the entries, and
    // orders the entries a registration appended.
    void Realize() const {
        if (!FPendingModules.empty())
            const_cast<TfsScript*>(this)->RegisterModules();
        Settle();
    }
    void RegisterModules();
    // The names the waiting modules will enter, when a registration of the same modules in a
    // parentless TfsScript made them known; none otherwise.
    const TfsModuleNames* KnownModuleNames() const;
    // Whether an entry added now may wait for the modules (see FWaiting).
    bool MayWait() const;
    // The module names, while entries wait or may wait; none when a use must make the modules.
    const TfsModuleNames* WaitingModuleNames() const;
    // Enters the waiting entries in the order they were added, each with its owner tag.
    void EnterWaiting();
    // Makes the names this registration of `factories` entered known to the process.
    void RememberModuleNames(const std::vector<TfsRTTIModuleFactory>& factories) const;
    // `var` is `item` as a TfsCustomVariable (none when it is none).
    void Insert(const String& name, TObject* item, TfsCustomVariable* var, std::unique_ptr<TObject> owned);
    // Takes the index-th entry out of the index and frees its slot; the item it owned.
    std::unique_ptr<TObject> Erase(size_t index);
    // Index of the first of the first `count` entries whose name is not less than `name`.
    size_t LowerBound(StringView name, size_t count) const;
    // Sorts the appended entries into the index (see FSorted).
    void Settle() const {
        if (FSorted < FIndex.size())
            const_cast<TfsScript*>(this)->SettleAppended();
    }
    void SettleAppended();
    void AddEnumValues(const String& typ, const String& names, bool bitMask);
    void ClearProgram();

    // The entries stay in their slots; the index orders the slot numbers by name (equal names
    // newest first), so that entering a name moves four bytes per later entry, not an entry.
    std::vector<Entry> FEntries;
    std::vector<std::uint32_t> FFreeSlots;
    std::vector<std::uint32_t> FIndex;
    // While modules register, entries are appended to the index instead of being sorted in one by
    // one: FIndex[0, FSorted) is ordered, the rest is in the order of entering, and FAppended finds
    // the newest appended entry of a name. Every use of the index but entering and FindLocal sorts
    // the appended entries in first (Settle), which gives the order entering them one by one gives.
    // Outside a registration FSorted is the index's size.
    size_t FSorted = 0;
    bool FAppending = false;
    TfsNameTable FAppended;
    std::vector<std::unique_ptr<TObject>> FMadeObjects;
    // The arena of the last registration's items (see RegisterModules); it goes when the script
    // and every item cut from it have gone.
    struct ArenaRelease {
        void operator()(TfsItemArena* arena) const noexcept { arena->Release(); }
    };
    std::unique_ptr<TfsItemArena, ArenaRelease> FArena;
    // The module factories AddRTTI took while the script held no entry: they run when the
    // entries are first used, so a report whose script never runs never makes its modules.
    std::vector<TfsRTTIModuleFactory> FPendingModules;
    // Entries added while the modules wait, in the order of adding. They are entered after the
    // modules when the modules are made, which is where immediate registration would have put
    // them; until then look-ups answer from them and from the names the modules are known to
    // enter, so a report that only publishes its objects never makes its modules. Only a
    // parentless TfsScript (not a derived class, whose registrations may differ) keeps entries
    // aside; its modules are then made without a parent, as they would have been.
    struct Waiting {
        String Name;
        TObject* Item = nullptr;
        TfsCustomVariable* Var = nullptr;
        std::unique_ptr<TObject> Owned;
        TfsOwnerTag Tag = fsNoOwner;
    };
    std::vector<Waiting> FWaiting;
    TfsNameTable FWaitingNames;
    mutable std::shared_ptr<const TfsModuleNames> FModuleNames;
    mutable bool FModuleNamesAsked = false;
    TStringList FLines;
    TStringList FIncludePath;
    std::unique_ptr<TfsStatement> FStatement;
    String FProgName;
};

} // namespace vgl
