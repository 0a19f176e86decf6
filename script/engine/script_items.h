#pragma once
// The items a script holds: variables, constants, type names, parameters and script
// procedures. Every value an item stores or computes is a Variant; the engine reads and writes
// items only through GetValue and SetValue, which the descendants override.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/variant.h"
#include "script/engine/script_item_arena.h"

namespace vgl {

class TfsScript;

/// The static kind of an item or an expression; the ordinals are stored.
enum TfsVarType {
    fvtInt,
    fvtBool,
    fvtFloat,
    fvtChar,
    fvtString,
    fvtClass,
    fvtArray,
    fvtVariant,
    fvtEnum,
    fvtConstructor,
    fvtInt64
};

/// Who registered an item: 0 for items the parser declares, 1 for registration modules
/// (kept by TfsScript::Clear), or the identity of a host that registers its own items
/// (fsOwnerTag(host)) so that TfsScript::ClearItems removes them together.
using TfsOwnerTag = std::uintptr_t;
constexpr TfsOwnerTag fsNoOwner = 0;
constexpr TfsOwnerTag fsRTTIOwner = 1;
inline TfsOwnerTag fsOwnerTag(const void* host) {
    return reinterpret_cast<TfsOwnerTag>(host);
}

/// Provider of a variable's value: (name, kind, stored value) → the value to show, or Null to
/// show the stored value.
using TfsGetVariableValueEvent = std::function<Variant(const String& varName, TfsVarType varTyp, Variant& oldValue)>;

/// An ordered list that owns its objects.
class TfsItemList : public TObject {
public:
    TfsItemList() = default;
    /// Frees the entries (TfsItemList::Clear).
    ~TfsItemList() override;
    TfsItemList(const TfsItemList&) = delete;
    TfsItemList& operator=(const TfsItemList&) = delete;

    /// Frees the entries in order from the first; the list is empty while they are freed.
    virtual void Clear();
    /// Appends an object the list takes over; returns it.
    TObject* Add(std::unique_ptr<TObject> item);
    /// Takes the first occurrence out of the list and hands it back; none when absent.
    std::unique_ptr<TObject> Remove(const TObject* item);
    int Count() const { return int(FItems.size()); }
    /// Raises EListError "List index out of bounds (%d)" outside 0..Count-1.
    TObject* Items(int index) const;
    /// Items without the range check, for loops over 0..Count-1.
    TObject* ItemAt(int index) const { return FItems[size_t(index)].get(); }
    /// Makes room for `count` entries in all, so that adding up to them allocates nothing.
    void Reserve(int count) { FItems.reserve(size_t(std::max(count, 0))); }
    /// Exchanges the entries of the two lists.
    void Swap(TfsItemList& other) noexcept { FItems.swap(other.FItems); }
    /// Moves the entries of `front` in front of this list's entries, in their order; `front` is
    /// left empty. Nothing changes when room cannot be made.
    void Prepend(TfsItemList& front);

private:
    std::vector<std::unique_ptr<TObject>> FItems;
};

class TfsParamItem;
class TfsDesignatorItem;
class TfsStringVariable;

/// Base of every script item. Its own list holds its parameters (TfsParamItem) in order.
class TfsCustomVariable : public TfsItemList {
public:
    TfsCustomVariable(const String& name, TfsVarType typ, const String& typeName);

    /// Items made while a script's modules register come from that script's item arena
    /// (script_item_arena.h), others from the ordinary allocator.
    static void* operator new(std::size_t size) { return fsAllocateItem(size); }
    static void operator delete(void* p) noexcept { fsFreeItem(p); }

    /// The stored value or, in descendants, a computed one.
    virtual Variant GetValue();
    /// Stores the value unless IsReadOnly; descendants convert, forward or compute.
    virtual void SetValue(const Variant& value);
    /// Direct access to the stored value (array helpers change arrays in place).
    Variant* PValue() { return &FValue; }

    /// The index-th parameter; raises EListError outside the range.
    TfsParamItem* GetParam(int index) const;
    /// Parameters whose IsOptional is false.
    int GetNumberOfRequiredParams() const;
    /// "Integer", "Boolean", "Extended", "Char", "String", "Array", "Variant", "Int64", or
    /// TypeName for classes and enumerations.
    String GetFullTypeName() const;

    TfsOwnerTag AddedBy = fsNoOwner;
    bool IsMacro = false;
    bool IsReadOnly = false;
    String Name;
    bool NeedResult = true;
    /// A related item (a function's Result variable, the item a designator stands for); not owned.
    TfsCustomVariable* RefItem = nullptr;
    String SourcePos;
    String SourceUnit;
    TfsVarType Typ;
    String TypeName;
    /// Name upper-cased at creation; host handlers receive member names in this form.
    String UppercaseName;
    TfsGetVariableValueEvent OnGetVarValue;

protected:
    Variant FValue;
};

/// A variable or constant: writes convert to the item's kind, reads may ask OnGetVarValue.
class TfsVariable : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
    /// Ignored when IsReadOnly. Integer, Boolean, Extended (a date stays a date), String and
    /// Int64 items store the value converted to their kind; other kinds store it unchanged. A
    /// value that does not convert (Null among them) raises EVariantError and changes nothing.
    void SetValue(const Variant& value) override;
    /// The stored value, or OnGetVarValue's answer when it gives one that is not Null.
    Variant GetValue() override;
};

/// A type name (AddType); Typ holds the kind it stands for.
class TfsTypeVariable : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
};

/// A string variable that keeps its text as a String, so that characters can be addressed.
class TfsStringVariable : public TfsVariable {
public:
    using TfsVariable::TfsVariable;
    /// Stores the value's text (no read-only test); Null raises EVariantError.
    void SetValue(const Variant& value) override;
    /// Str, or OnGetVarValue's answer when it gives one that is not Null.
    Variant GetValue() override;

    String Str;
};

/// One parameter of a procedure, host method or helper.
class TfsParamItem : public TfsCustomVariable {
public:
    TfsParamItem(const String& name, TfsVarType typ, const String& typeName, bool isOptional, bool isVarParam);

    Variant DefValue = Null();
    bool IsOptional;
    bool IsVarParam;
};

/// One saved local value of a running procedure.
struct TfsLocalVariablesHelper {
    Variant Value;
    TfsCustomVariable* VariableLink = nullptr;
};

/// A script procedure or function. It owns its local script Prog, whose Parent is the
/// declaring script; a function's Result variable lives in Prog and is RefItem. Parameters
/// are owned by the procedure's own list; Prog refers to them (AddReference) as locals.
class TfsProcVariable : public TfsCustomVariable {
public:
    TfsProcVariable(const String& name, TfsVarType typ, const String& typeName, TfsScript* parent, bool isFunc);
    /// Takes the own parameters out of Prog first, then frees Prog with the other locals.
    ~TfsProcVariable() override;

    TfsScript& Prog() const { return *FProg; }

    /// Calls the routine with the values its parameters hold: runs the body and gives Result
    /// for a function, Null for a procedure. Raises EfsScriptLimit beyond the nesting bound.
    Variant GetValue() override;
    /// Pushes the values of the routine's locals and parameters; the frame's index.
    int SaveLocalVariables();
    /// Writes the frame's values back (var parameters not with `skipVarParams`) and drops the
    /// frame. With `args`, the var parameters' values at the time of the call are written into
    /// the matching argument expressions. Nothing for a negative index.
    void RestoreLocalVariables(int stackIndex, bool skipVarParams, TfsDesignatorItem* args);

    bool Executing = false;
    bool IsFunc;
    /// The number of saved local frames of calls in progress.
    int FrameCount() const { return FFrameCount; }

private:
    // The variables and parameters of Prog that a frame saves, found again when Prog's item
    // count changes.
    struct TLocal {
        TfsCustomVariable* Item;
        TfsStringVariable* Text; // the same item when it keeps its value as text
        bool IsVarParam;
    };
    const std::vector<TLocal>& Locals() { return FLocalsFor == ProgCount() ? FLocals : FindLocals(); }
    int ProgCount() const;
    const std::vector<TLocal>& FindLocals();
    std::vector<TLocal> FLocals;
    int FLocalsFor = -1;
    bool FHasVarParams = false;
    // Saved frames: the first FFrameCount entries are in use; the others keep their storage for
    // the next recursion.
    std::vector<std::vector<TfsLocalVariablesHelper>> FVarsStack;
    int FFrameCount = 0;

    std::unique_ptr<TfsScript> FProg;
};

} // namespace vgl
