#pragma once
// Host classes as scripts see them: a class item (TfsClassVariable) per registered host class,
// holding its members, and the member helpers that read, write or call host members.

#include <atomic>
#include <functional>

#include "platform/rtl/reflection.h"
#include "script/engine/script_items.h"

namespace vgl {

class TfsMethodHelper;
class TfsPropertyHelper;

/// Property handlers: (instance or none, registered class, upper-cased name[, value][, caller]).
using TfsGetValueEvent = std::function<Variant(TObject* instance, TClass classType, const String& propName)>;
using TfsSetValueEvent =
    std::function<void(TObject* instance, TClass classType, const String& propName, const Variant& value)>;
using TfsGetValueNewEvent =
    std::function<Variant(TObject* instance, TClass classType, const String& propName, TfsPropertyHelper* caller)>;
using TfsSetValueNewEvent = std::function<void(TObject* instance, TClass classType, const String& propName,
                                               const Variant& value, TfsPropertyHelper* caller)>;

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
    /// A copy of a prepared helper (prototype, parameters with their defaults, category,
    /// description, class and handlers), so a module that registers the same prototypes in every
    /// script parses them once. Parameter values and the call state are not copied.
    explicit TfsMethodHelper(const TfsMethodHelper& model);

    /// Calls the handler (the read of an indexed property gets the name with ".GET"); a method
    /// without handler gives 0. A handler member other than a constructor raises a script error
    /// when there is no object, and any member but a constructor raises on a class token.
    Variant GetValue() override;
    /// Assignment to an indexed or default property: the handler gets the name with ".SET" and
    /// the assigned value after the indexes. Nothing happens for other methods.
    void SetValue(const Variant& value) override;
    /// Argument `index` of the current call; index Count() gives the value being assigned.
    Variant GetVParam(int index);
    /// Writes argument `index` (a var parameter's new value).
    void SetVParam(int index, const Variant& value);

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
    /// The value being assigned to an indexed property while a new-style handler runs.
    Variant SetValueArg;
};

/// A property member. Reading and writing it, through the host's published properties or
/// handlers, come with the member registration.
class TfsPropertyHelper : public TfsCustomHelper {
public:
    using TfsCustomHelper::TfsCustomHelper;

    /// A published property is read by name on the object's actual class (Null without an
    /// object); others ask their handler. A helper of kind fvtBool gives a Boolean.
    Variant GetValue() override;
    /// Ignored when read-only. A published write needs an object; class properties take the
    /// object itself, ordinal ones raise ERangeError outside their range.
    void SetValue(const Variant& value) override;

    TClass ClassRef = nullptr;
    bool IsPublished = false;
    TfsGetValueEvent OnGetValue;
    TfsSetValueEvent OnSetValue;
    TfsGetValueNewEvent OnGetValueNew;
    TfsSetValueNewEvent OnSetValueNew;
};

/// A named component owned by the host object (an object field of a form).
class TfsComponentHelper : public TfsCustomHelper {
public:
    TfsComponentHelper(const String& name, const String& className) : TfsCustomHelper(name, fvtClass, className) {}
    /// The component named Name that the object of ParentValue owns; raises "Component with
    /// name %s not found" when there is none.
    Variant GetValue() override;
    /// Always raises "Can not assign value to component field %s".
    void SetValue(const Variant& value) override;
};

/// An event member. Reading gives the empty text; binding a script procedure comes with the
/// event adapters, so a write raises for now.
class TfsEventHelper : public TfsCustomHelper {
public:
    TfsEventHelper(const String& name, TClass eventClass)
        : TfsCustomHelper(name, fvtString, String()), Event(eventClass) {}
    Variant GetValue() override { return String(); }
    void SetValue(const Variant& value) override;

    TClass ClassRef = nullptr;
    /// The adapter class that binds a script procedure to the event.
    TClass Event;
};

/// Indexes the array held by ParentRef in place: one, two or three integer indexes.
class TfsArrayHelper : public TfsCustomHelper {
public:
    /// `dimCount` required integer parameters; -1 gives three of which the last two are optional.
    TfsArrayHelper(const String& name, int dimCount, TfsVarType typ, const String& typeName);
    /// The element; an index outside the bounds, or no array, raises a script error.
    Variant GetValue() override;
    void SetValue(const Variant& value) override;
};

/// Indexes the text of ParentValue by a 1-based position (parameter 0).
class TfsStringHelper : public TfsCustomHelper {
public:
    TfsStringHelper();
    /// The character as a one-character text; a position outside the text raises.
    Variant GetValue() override;
    /// Replaces the character by the first one of the value's text and writes the whole text to
    /// ParentRef; a position outside the text or an empty value raises.
    void SetValue(const Variant& value) override;
};

/// A class name read as a value: the class item it names travels as this object, so that the
/// constructor member that follows knows which class to build. Nothing else may be done with it.
bool fsIsClassToken(const Variant& value);

/// The host object a script value stands for: none for Null, Empty, nil and 0; the referenced
/// object for a live object reference. A class token, a freed object and any other value raise
/// a script error.
TObject* fsScriptValueToObject(const Variant& value);

/// One registered host class and its members, in registration order.
class TfsClassVariable : public TfsCustomVariable {
public:
    /// Name and TypeName are the class's name; one optional Variant parameter takes the
    /// argument of a typecast. The class's published properties (events and unknown kinds
    /// left out) are the first members, sorted by name. They are made when the members are
    /// first read (MembersCount, GetMembers, Find, AddComponent), in front of the members added
    /// before: they depend on the class alone, and most scripts never read most classes' members.
    TfsClassVariable(TClass aClass, const String& ancestor);

    /// A method member parsed from `syntax` against Program.
    TfsMethodHelper* AddMethod(const String& syntax, TfsCallMethodEvent callEvent);
    TfsMethodHelper* AddMethod(const String& syntax, TfsCallMethodNewEvent callEvent);
    /// A property of the kind of `typ`; read-only without a write handler.
    TfsPropertyHelper* AddProperty(const String& name, const String& typ, TfsGetValueEvent getEvent,
                                   TfsSetValueEvent setEvent = nullptr);
    TfsPropertyHelper* AddPropertyEx(const String& name, const String& typ, TfsGetValueNewEvent getEvent,
                                     TfsSetValueNewEvent setEvent = nullptr);
    /// "constructor Create(AOwner: TComponent)" is registered as "function Create(AOwner:
    /// TComponent): Constructor".
    TfsMethodHelper* AddConstructor(const String& syntax, TfsCallMethodEvent callEvent);
    TfsMethodHelper* AddConstructor(const String& syntax, TfsCallMethodNewEvent callEvent);
    /// "function Name(p0: T0; p1: T1): Typ" from the comma list of index types, marked as an
    /// indexed property.
    TfsMethodHelper* AddIndexProperty(const String& name, const String& params, const String& typ,
                                      TfsCallMethodEvent callEvent, bool readOnly = false);
    TfsMethodHelper* AddIndexProperty(const String& name, const String& params, const String& typ,
                                      TfsCallMethodNewEvent callEvent, bool readOnly = false);
    /// AddIndexProperty, then the new member is the default property.
    TfsMethodHelper* AddDefaultProperty(const String& name, const String& params, const String& typ,
                                        TfsCallMethodEvent callEvent, bool readOnly = false);
    TfsMethodHelper* AddDefaultProperty(const String& name, const String& params, const String& typ,
                                        TfsCallMethodNewEvent callEvent, bool readOnly = false);
    TfsEventHelper* AddEvent(const String& name, TClass eventClass);
    /// The component helper for `c`'s name: an existing one, a new one, or none when a member of
    /// another kind has that name.
    TfsComponentHelper* AddComponent(TComponent* c);

    /// The typecast argument when one was written, else this class's token; the typecast
    /// parameter is cleared after each read.
    Variant GetValue() override;

    /// The first member of that name (case-insensitive), else the same search in the ancestor
    /// class items found through Program (and its parents); a component helper is only
    /// returned when `includeComponentHelper` is set. An ancestor chain that comes back to a
    /// class already searched ends the search.
    TfsCustomHelper* Find(StringView name, bool includeComponentHelper = false) const;

    const String& Ancestor() const { return FAncestor; }
    TClass ClassRef() const { return FClassRef; }
    TfsCustomHelper* DefProperty() const { return FDefProperty; }
    void SetDefProperty(TfsCustomHelper* value) { FDefProperty = value; }
    int MembersCount() const {
        MakePublished();
        return FMembers.Count();
    }
    TfsCustomHelper* GetMembers(int index) const;
    /// Appends a member the class item takes over; it gets the item's ClassRef where it has one.
    TfsCustomHelper* AddMember(std::unique_ptr<TfsCustomHelper> member);

    /// The script that holds the class item.
    TfsScript* Program = nullptr;

private:
    TfsCustomHelper* FindOwn(StringView name) const;
    void MakePublished() const {
        if (!FPublishedMade.load(std::memory_order_acquire))
            MakePublishedMembers();
    }
    // Puts the published properties' members in front of the members added so far; once. Several
    // threads that read a class item of a script they share make them once, under a lock.
    void MakePublishedMembers() const;

    String FAncestor;
    TClass FClassRef;
    TfsCustomHelper* FDefProperty = nullptr;
    mutable std::atomic<bool> FPublishedMade{false};
    mutable TfsItemList FMembers;
};

} // namespace vgl
