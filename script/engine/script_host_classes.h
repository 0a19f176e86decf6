#pragma once
// Host classes as scripts see them: a class item (TfsClassVariable) per registered host class,
// holding its members, and the member helpers that read, write or call host members.

#include <functional>

#include "platform/rtl/reflection.h"
#include "script/engine/script_items.h"

namespace vgl {

class TfsMethodHelper;

/// Classic method handler: (instance or none, registered class, upper-cased name, arguments as
/// a Variant array whose elements the handler may change for var parameters) → result.
using TfsCallMethodEvent =
    std::function<Variant(TObject* instance, TClass classType, const String& methodName, Variant& params)>;
/// New-style method handler: reads its arguments from the helper (GetVParam).
using TfsCallMethodNewEvent =
    std::function<Variant(TObject* instance, TClass classType, const String& methodName, TfsMethodHelper* caller)>;

/// Base of all class members. A member access chain sets the three links before it reads or
/// writes the helper.
class TfsCustomHelper : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;

    TfsCustomVariable* ParentRef = nullptr;
    Variant ParentValue;
    TfsScript* Prog = nullptr;
};

/// A host function or method, made from its prototype ("function Copy(s: String; from, count:
/// Integer): String"): name, result kind and parameters come from fsParsePrototype.
class TfsMethodHelper : public TfsCustomHelper {
public:
    /// Parses `syntax` against `script` (types are looked up there and in its parents). The
    /// helper is read-only; with parameters, VarArray is a Variant array 0..Count-1.
    TfsMethodHelper(const String& syntax, TfsScript* script);

    String Category;
    TClass ClassRef = nullptr;
    String Description;
    bool IndexMethod = false;
    TfsCallMethodEvent OnCall;
    TfsCallMethodNewEvent OnCallNew;
    /// The prototype text.
    String Syntax;
    /// The argument array of the classic handler.
    Variant VarArray;
};

/// A property member. Reading and writing it, through the host's published properties or
/// handlers, come with the member registration.
class TfsPropertyHelper : public TfsCustomHelper {
public:
    using TfsCustomHelper::TfsCustomHelper;

    TClass ClassRef = nullptr;
    bool IsPublished = false;
};

/// A named component owned by the host object (an object field of a form).
class TfsComponentHelper : public TfsCustomHelper {
public:
    TfsComponentHelper(const String& name, const String& className) : TfsCustomHelper(name, fvtClass, className) {}
};

/// One registered host class and its members, in registration order.
class TfsClassVariable : public TfsCustomVariable {
public:
    /// Name and TypeName are the class's name; one optional Variant parameter takes the
    /// argument of a typecast.
    TfsClassVariable(TClass aClass, const String& ancestor);

    /// A method member parsed from `syntax` against Program.
    TfsMethodHelper* AddMethod(const String& syntax, TfsCallMethodEvent callEvent);
    TfsMethodHelper* AddMethod(const String& syntax, TfsCallMethodNewEvent callEvent);

    /// The first member of that name (case-insensitive), else the same search in the ancestor
    /// class items found through Program (and its parents); a component helper is only
    /// returned when `includeComponentHelper` is set. An ancestor chain that comes back to a
    /// class already searched ends the search.
    TfsCustomHelper* Find(StringView name, bool includeComponentHelper = false) const;

    const String& Ancestor() const { return FAncestor; }
    TClass ClassRef() const { return FClassRef; }
    TfsCustomHelper* DefProperty() const { return FDefProperty; }
    void SetDefProperty(TfsCustomHelper* value) { FDefProperty = value; }
    int MembersCount() const { return FMembers.Count(); }
    TfsCustomHelper* GetMembers(int index) const;
    /// Appends a member the class item takes over; it gets the item's ClassRef where it has one.
    TfsCustomHelper* AddMember(std::unique_ptr<TfsCustomHelper> member);

    /// The script that holds the class item.
    TfsScript* Program = nullptr;

private:
    TfsCustomHelper* FindOwn(StringView name) const;

    String FAncestor;
    TClass FClassRef;
    TfsCustomHelper* FDefProperty = nullptr;
    TfsItemList FMembers;
};

} // namespace vgl
