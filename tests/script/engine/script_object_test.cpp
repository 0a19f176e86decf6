#include "script/engine/script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script_tools.h"

namespace vgl {

// Host classes for the class items: a base and a descendant.
class TScriptHostBase : public TComponent {
    VGL_CLASS(TScriptHostBase, TComponent)
    explicit TScriptHostBase(TComponent* owner) : TComponent(owner) {}
};
class TScriptHostDerived : public TScriptHostBase {
    VGL_CLASS(TScriptHostDerived, TScriptHostBase)
    explicit TScriptHostDerived(TComponent* owner) : TScriptHostBase(owner) {}
};
VGL_DEFINE_CLASS(TScriptHostBase) {}
VGL_DEFINE_CLASS(TScriptHostDerived) {}

namespace {

// A script with the basic type names registered, as the built-in module would.
struct TypedScript : TfsScript {
    TypedScript() : TfsScript(nullptr) {
        AddType(u"Integer", fvtInt);
        AddType(u"String", fvtString);
        AddType(u"Extended", fvtFloat);
        AddType(u"Boolean", fvtBool);
        AddType(u"Variant", fvtVariant);
        AddType(u"Int64", fvtInt64);
    }
};

Variant ValueOf(TfsScript& s, StringView name) {
    TfsCustomVariable* v = s.Find(name);
    return v ? v->GetValue() : Unassigned();
}

TEST(ScriptObjectModel, ContainerCases) {
    struct Case {
        const char* Name;
        std::function<void()> Run;
    };
    const Case cases[] = {
        {"names differing in case: the newest wins",
         [] {
             TfsScript s(nullptr);
             auto* older = s.Add(u"Alpha", std::make_unique<TfsVariable>(u"Alpha", fvtInt, u"Integer"));
             auto* newer = s.Add(u"ALPHA", std::make_unique<TfsVariable>(u"ALPHA", fvtInt, u"Integer"));
             EXPECT_EQ(s.FindLocal(u"alpha"), newer);
             EXPECT_EQ(s.FindLocal(u"Alpha"), newer);
             s.Remove(newer); // freed; the older one shows again
             EXPECT_EQ(s.FindLocal(u"ALPHA"), older);
         }},
        {"unnamed entries sort first and are never found",
         [] {
             TfsScript s(nullptr);
             s.AddVariable(u"a", u"Variant", 1);
             s.Add(String(), std::make_unique<TfsRTTIModule>(&s));
             EXPECT_TRUE(dynamic_cast<TfsRTTIModule*>(s.GetItem(0)));
             EXPECT_EQ(s.FindLocal(u""), nullptr);
         }},
        {"lookup through the parent",
         [] {
             TfsScript parent(nullptr), child(nullptr);
             child.Parent = &parent;
             parent.AddVariable(u"a", u"Variant", 1);
             parent.AddVariable(u"b", u"Variant", 2);
             child.AddVariable(u"b", u"Variant", 4); // found in the parent: nothing added
             child.Add(u"b", std::make_unique<TfsVariable>(u"b", fvtVariant, u"Variant"))->SetValue(3);
             EXPECT_EQ(ValueOf(child, u"a"), Variant(1));
             EXPECT_EQ(ValueOf(child, u"B"), Variant(3));
             EXPECT_EQ(child.FindLocal(u"a"), nullptr);
             EXPECT_EQ(parent.Find(u"c"), nullptr);
         }},
        {"Clear keeps modules and module items",
         [] {
             TfsScript s(nullptr);
             s.AddedBy = fsRTTIOwner;
             s.AddVariable(u"kept", u"Variant", 1);
             s.AddedBy = fsNoOwner;
             s.Add(String(), std::make_unique<TfsRTTIModule>(&s));
             s.AddVariable(u"parsed", u"Variant", 2);
             s.Statement().Add(std::make_unique<TfsStatement>(&s));
             s.UnitLines[u""] = {1, 2};
             s.ErrorMsg = u"x";
             s.ErrorPos = u"1:1";
             s.Clear();
             EXPECT_NE(s.Find(u"kept"), nullptr);
             EXPECT_EQ(s.Find(u"parsed"), nullptr);
             EXPECT_EQ(s.Count(), 2);
             EXPECT_EQ(s.Statement().Count(), 0);
             EXPECT_TRUE(s.UnitLines.empty());
             EXPECT_EQ(s.ErrorMsg, u"");
             EXPECT_EQ(s.ErrorPos, u"");
         }},
        {"ClearItems(X) frees X's items and the program only",
         [] {
             TfsScript s(nullptr);
             int x = 0, y = 0;
             s.AddedBy = fsOwnerTag(&x);
             s.AddVariable(u"x1", u"Variant", 1);
             s.AddVariable(u"x2", u"Variant", 1);
             s.AddedBy = fsOwnerTag(&y);
             s.AddVariable(u"y1", u"Variant", 1);
             s.AddedBy = fsNoOwner;
             s.AddVariable(u"p", u"Variant", 1);
             s.Statement().Add(std::make_unique<TfsStatement>(&s));
             s.ErrorMsg = u"kept";
             s.ClearItems(fsOwnerTag(&x));
             EXPECT_EQ(s.Find(u"x1"), nullptr);
             EXPECT_EQ(s.Find(u"x2"), nullptr);
             EXPECT_NE(s.Find(u"y1"), nullptr);
             EXPECT_NE(s.Find(u"p"), nullptr);
             EXPECT_EQ(s.Statement().Count(), 0);
             EXPECT_EQ(s.ErrorMsg, u"kept");
         }},
        {"AddEnum numbers 0, 1, 2 and AddEnumSet 1, 2, 4",
         [] {
             TfsScript s(nullptr);
             s.AddEnum(u"TAlign", u"alNone, alTop ,alClient");
             s.AddEnumSet(u"TAligns", u"asNone, asTop ,asClient");
             const std::pair<const char16_t*, int> expected[] = {{u"alNone", 0}, {u"alTop", 1}, {u"alClient", 2},
                                                                 {u"asNone", 1}, {u"asTop", 2}, {u"asClient", 4}};
             for (const auto& [name, value] : expected) {
                 TfsCustomVariable* v = s.Find(name);
                 ASSERT_NE(v, nullptr);
                 EXPECT_EQ(v->GetValue(), Variant(value));
                 EXPECT_EQ(v->Typ, fvtEnum);
                 EXPECT_TRUE(v->IsReadOnly);
                 v->SetValue(9);
                 EXPECT_EQ(v->GetValue(), Variant(value));
             }
             EXPECT_EQ(s.Find(u"alTop")->TypeName, u"TAlign");
             EXPECT_EQ(s.Find(u"TAlign")->Typ, fvtEnum);
         }},
        {"AddVariable on an existing name keeps its value; Variables creates Variants",
         [] {
             TypedScript s;
             s.AddVariable(u"v", u"Integer", 1);
             s.AddVariable(u"V", u"String", u"other");
             EXPECT_EQ(s.GetVariables(u"v"), Variant(1));
             s.SetVariables(u"v", u"7"); // typed write converts
             EXPECT_EQ(VarType(s.GetVariables(u"v")), varInteger);
             EXPECT_EQ(s.GetVariables(u"v"), Variant(7));
             s.SetVariables(u"fresh", u"text");
             EXPECT_EQ(s.Find(u"fresh")->TypeName, u"Variant");
             EXPECT_EQ(s.Find(u"fresh")->Typ, fvtVariant);
             EXPECT_TRUE(VarIsNull(s.GetVariables(u"unknown")));
         }},
        {"AddConst Integer \"42\" stores 42 and refuses writes",
         [] {
             TypedScript s;
             s.AddConst(u"c", u"Integer", u"42");
             TfsCustomVariable* c = s.Find(u"c");
             EXPECT_EQ(VarType(c->GetValue()), varInteger);
             EXPECT_EQ(c->GetValue(), Variant(42));
             s.SetVariables(u"c", 5);
             EXPECT_EQ(c->GetValue(), Variant(42));
             s.AddConst(u"c", u"Integer", 1); // existing name: nothing
             EXPECT_EQ(s.Find(u"c")->GetValue(), Variant(42));
         }},
        {"OnGetVarValue returning Null or 5",
         [] {
             TypedScript s;
             Variant answer = Null();
             s.OnGetVarValue = [&](const String& name, TfsVarType typ, Variant& old) {
                 EXPECT_EQ(name, u"v");
                 EXPECT_EQ(typ, fvtInt);
                 EXPECT_EQ(old, Variant(3));
                 return answer;
             };
             s.AddVariable(u"v", u"Integer", 3);
             EXPECT_EQ(s.GetVariables(u"v"), Variant(3));
             answer = 5;
             EXPECT_EQ(s.GetVariables(u"v"), Variant(5));
             EXPECT_EQ(*s.Find(u"v")->PValue(), Variant(3));
         }},
        {"AddMethod with an empty description takes the name",
         [] {
             TypedScript s;
             s.AddMethod(u"function Copy(s: String; from, count: Integer): String", TfsCallMethodEvent(), u"ctString");
             auto* m = dynamic_cast<TfsMethodHelper*>(s.Find(u"copy"));
             ASSERT_NE(m, nullptr);
             EXPECT_EQ(m->Description, u"Copy");
             EXPECT_EQ(m->Category, u"ctString");
             EXPECT_EQ(m->Count(), 3);
             EXPECT_TRUE(m->IsReadOnly);
             EXPECT_EQ(VarArrayHighBound(m->VarArray, 1), 2);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Run();
    }
}

TEST(ScriptObjectModel, IndexAfterMixedAddsAndRemovalsMatchesASortedList) {
    // The index keeps entries in reused slots and orders slot numbers; after every step it must
    // read like a plain list kept sorted by name (ASCII case folded), equal names newest first.
    struct Ref {
        String Name;
        TObject* Item;
        TfsOwnerTag Owner;
    };
    const auto folded = [](StringView n) {
        String f(n);
        for (Char& c : f)
            if (c >= u'A' && c <= u'Z')
                c = Char(c + 32);
        return f;
    };
    std::vector<Ref> ref;
    TfsScript s(nullptr);
    const TfsOwnerTag owners[] = {fsOwnerTag(&ref), fsOwnerTag(&s)};
    const char16_t* names[] = {u"", u"a", u"A", u"ab", u"aB", u"b", u"B", u"ba", u"_x", u"c"};
    std::mt19937 random(53);
    for (int step = 0; step < 600; ++step) {
        const unsigned op = random() % 10;
        if (op < 6 || ref.empty()) {
            const String name = names[random() % std::size(names)];
            s.AddedBy = owners[random() % 2];
            TObject* item = s.Add(name, std::make_unique<TfsVariable>(name, fvtInt, u"Integer"));
            const auto at =
                std::find_if(ref.begin(), ref.end(), [&](const Ref& r) { return folded(r.Name) >= folded(name); });
            ref.insert(at, Ref{name, item, s.AddedBy});
        } else if (op < 9) {
            const size_t i = random() % ref.size();
            s.Remove(ref[i].Item).reset();
            ref.erase(ref.begin() + std::ptrdiff_t(i));
        } else {
            const TfsOwnerTag owner = owners[random() % 2];
            s.RemoveItems(owner);
            std::erase_if(ref, [&](const Ref& r) { return r.Owner == owner; });
        }
        ASSERT_EQ(s.Count(), int(ref.size())) << "step " << step;
        for (size_t i = 0; i < ref.size(); ++i) {
            ASSERT_EQ(s.GetItem(int(i)), ref[i].Item) << "step " << step << ", entry " << i;
            ASSERT_EQ(s.GetItemName(int(i)), ref[i].Name);
        }
        for (const char16_t* name : names) {
            const auto first =
                std::find_if(ref.begin(), ref.end(), [&](const Ref& r) { return folded(r.Name) == folded(name); });
            EXPECT_EQ(s.FindLocal(name), first == ref.end() ? nullptr : first->Item) << "step " << step;
        }
    }
}

struct RegistrationScenario;
RegistrationScenario* CurrentScenario = nullptr;

// A seeded sequence of entries, look-ups, removals and reads of the count, run by a registration
// module of the next test (while the modules register) and directly on a script (outside any
// registration). What the look-ups found is logged.
struct RegistrationScenario {
    unsigned Seed = 0;
    std::vector<std::string> Log;

    void Run(TfsScript& s) {
        static const char16_t* const names[] = {u"",         u"a",    u"A",      u"ab",           u"aB",
                                                u"b",        u"_x",   u"\u00e4", u"\u00c4",       u"k",
                                                u"\u212a",   u"K",    u"s",      u"\u017f",       u"IntToStr",
                                                u"inttostr", u"True", u"Tfrx",   u"TfrxMemoView", u"tfrxMemoViewX"};
        std::mt19937 random(Seed);
        std::vector<TObject*> made;
        int serial = 0;
        const TfsOwnerTag saved = s.AddedBy;
        for (int step = 0; step < 500; ++step) {
            const unsigned op = random() % 100;
            const String name = names[random() % std::size(names)];
            if (op < 60) {
                auto v = std::make_unique<TfsVariable>(name, fvtInt, u"Integer");
                v->SetValue(++serial);
                s.AddedBy = random() % 2 ? saved : fsOwnerTag(&CurrentScenario);
                made.push_back(s.Add(name, std::move(v)));
            } else if (op < 85) {
                TfsCustomVariable* found = s.FindLocal(name);
                if (!found)
                    Log.push_back("-");
                else if (dynamic_cast<TfsVariable*>(found))
                    Log.push_back(StringToUtf8(VarToStr(*found->PValue())));
                else
                    Log.push_back(StringToUtf8(found->ClassName()));
            } else if (op < 93 && !made.empty()) {
                const size_t i = random() % made.size();
                s.Remove(made[i]).reset();
                made.erase(made.begin() + std::ptrdiff_t(i));
            } else {
                Log.push_back("count " + std::to_string(s.Count()));
            }
        }
        s.AddedBy = saved;
    }
};

std::unique_ptr<TfsRTTIModule> ScenarioModule(TfsScript* script) {
    CurrentScenario->Run(*script);
    return std::make_unique<TfsRTTIModule>(script);
}

// The entries in index order, the scenario's own module left out.
std::vector<std::string> IndexOf(const TfsScript& s) {
    std::vector<std::string> entries;
    for (int i = 0; i < s.Count(); ++i) {
        if (typeid(*s.GetItem(i)) == typeid(TfsRTTIModule))
            continue;
        std::string entry = StringToUtf8(s.GetItemName(i)) + " ";
        if (auto* v = dynamic_cast<TfsVariable*>(s.GetItem(i)))
            entry += (VarType(*v->PValue()) == varObject ? std::string("object")
                                                          : StringToUtf8(VarToStr(*v->PValue()))) +
                     " " + std::to_string(v->AddedBy);
        else
            entry += StringToUtf8(s.GetItem(i)->ClassName());
        entries.push_back(entry);
    }
    return entries;
}

TEST(ScriptObjectModel, RegistrationEntersItemsAsEnteringThemOneByOneDoes) {
    // While modules register, the index takes entries in another way; every look-up in between and
    // the index afterwards must be what entering the same items one at a time gives. Both into a
    // fresh script (registered on first use) and into one that holds entries (registered at once).
    std::vector<TfsRTTIModuleFactory>* modules = fsRTTIModuleClasses();
    ASSERT_NE(modules, nullptr);
    for (const bool holdsEntries : {false, true}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            TfsScript direct(nullptr);
            if (holdsEntries)
                direct.AddVariable(u"B", u"Integer", -1);
            direct.AddRTTI();
            direct.Count();
            RegistrationScenario one{seed, {}};
            direct.AddedBy = fsRTTIOwner;
            one.Run(direct);
            direct.AddedBy = fsNoOwner;

            RegistrationScenario other{seed, {}};
            CurrentScenario = &other;
            modules->push_back(&ScenarioModule);
            TfsScript registered(nullptr);
            if (holdsEntries)
                registered.AddVariable(u"B", u"Integer", -1);
            registered.AddRTTI();
            const int count = registered.Count();
            modules->pop_back();
            CurrentScenario = nullptr;

            EXPECT_EQ(other.Log, one.Log) << "seed " << seed;
            EXPECT_EQ(count, direct.Count() + 1); // the scenario's module itself
            EXPECT_EQ(IndexOf(registered), IndexOf(direct)) << "seed " << seed;
        }
    }
}

TEST(ScriptObjectModel, EntriesAddedBeforeTheModulesAreMadeStandWhereImmediateRegistrationPutsThem) {
    // A parentless script adds a host's entries before anything needs its modules; the modules
    // are made only when an entry of theirs or the whole index is asked for. Every look-up in
    // between, and the index afterwards, must be what making the modules first gives.
    {
        TfsScript known(nullptr); // a first registration makes the modules' names known
        known.AddRTTI();
        known.Count();
    }
    TStringList object;
    const TfsOwnerTag host = fsOwnerTag(&object);
    const auto fill = [&](TfsScript& s, std::vector<std::string>& seen) {
        s.AddedBy = host;
        s.AddObject(u"Memo1", &object);
        s.AddVariable(u"Value", u"Variant", Null());
        s.AddVariable(u"Counter", u"Integer", 2.0); // typed by the modules' Integer
        s.AddMethod(u"function IntToStr(Name: String): Variant", TfsCallMethodNewEvent()); // shadows
        s.AddedBy = fsNoOwner;
        s.AddVariable(u"Other", u"String", u"x");
        for (const char16_t* name : {u"memo1", u"Value", u"Counter", u"Other", u"Missing"}) {
            TfsCustomVariable* v = s.FindLocal(name);
            const Variant value = v ? v->GetValue() : Null();
            seen.push_back(StringToUtf8(name) + " " + (v ? std::to_string(int(v->Typ)) : "none") + " " +
                           (VarType(value) == varObject ? "object" : StringToUtf8(VarToStr(value))));
            seen.push_back("kind " + std::to_string(int(fsTypeOfName(name, &s))));
        }
        const TfsCustomVariable* f = s.FindLocal(u"IntToStr");
        seen.push_back(f ? StringToUtf8(f->ClassName()) + " " + std::to_string(f->Count()) : "none");
        s.AddVariable(u"FloatToStr", u"Variant", 7); // a module's name: not added
        seen.push_back(StringToUtf8(s.FindLocal(u"FloatToStr")->ClassName()));
    };
    for (const bool clearHost : {false, true}) {
        SCOPED_TRACE(clearHost ? "host entries cleared" : "as filled");
        TfsScript made(nullptr);
        made.AddRTTI();
        made.Count();
        TfsScript waiting(nullptr);
        waiting.AddRTTI();
        std::vector<std::string> seenMade, seenWaiting;
        fill(made, seenMade);
        fill(waiting, seenWaiting);
        EXPECT_EQ(seenWaiting, seenMade);
        if (clearHost) {
            made.ClearItems(host);
            waiting.ClearItems(host);
        }
        EXPECT_EQ(IndexOf(waiting), IndexOf(made));
        EXPECT_EQ(waiting.Count(), made.Count());
    }
    // Freed while entries still wait: nothing is made and nothing is lost.
    TfsScript freed(nullptr);
    freed.AddRTTI();
    freed.AddObject(u"Memo1", &object);
    EXPECT_EQ(freed.FindLocal(u"Memo1")->GetValue().AsObject(), &object);
}

TEST(ScriptObjectModel, TypedWritesConvertOrRefuse) {
    struct Case {
        TfsVarType Typ;
        Variant In;
        TVarType Stored;
    };
    const Case cases[] = {
        {fvtInt, Variant(2.5), varInteger},      {fvtBool, Variant(1), varBoolean},
        {fvtFloat, Variant(2), varDouble},       {fvtFloat, Variant::FromDate(45000.5), varDate},
        {fvtString, Variant(12), varUString},    {fvtInt64, Variant(3), varInt64},
        {fvtVariant, Variant(u"x"), varUString}, {fvtChar, Variant(4), varInteger},
    };
    for (const Case& c : cases) {
        TfsVariable v(u"v", c.Typ, u"");
        v.SetValue(c.In);
        EXPECT_EQ(VarType(v.GetValue()), c.Stored) << int(c.Typ);
    }
    // Null does not go into a typed item; the stored value stays.
    for (const TfsVarType typ : {fvtInt, fvtBool, fvtFloat, fvtString, fvtInt64}) {
        TfsVariable v(u"v", typ, u"");
        v.SetValue(Variant(1));
        const Variant before = v.GetValue();
        EXPECT_THROW(v.SetValue(Null()), EVariantError) << int(typ);
        EXPECT_EQ(v.GetValue(), before);
    }
    TfsStringVariable s(u"s", fvtString, u"String");
    s.IsReadOnly = true; // string variables keep their text whatever the flag
    s.SetValue(12);
    EXPECT_EQ(s.Str, u"12");
    EXPECT_THROW(s.SetValue(Null()), EVariantError);
}

TEST(ScriptObjectModel, FullTypeNames) {
    const std::pair<TfsVarType, const char16_t*> cases[] = {
        {fvtInt, u"Integer"},   {fvtBool, u"Boolean"},        {fvtFloat, u"Extended"}, {fvtChar, u"Char"},
        {fvtString, u"String"}, {fvtClass, u"TFoo"},          {fvtArray, u"Array"},    {fvtVariant, u"Variant"},
        {fvtEnum, u"TFoo"},     {fvtConstructor, u"Variant"}, {fvtInt64, u"Int64"},
    };
    for (const auto& [typ, name] : cases)
        EXPECT_EQ(TfsCustomVariable(u"x", typ, u"TFoo").GetFullTypeName(), name);
}

// A host that routes variable registrations through its own bookkeeping.
class TRecordingScript : public TfsScript {
public:
    TRecordingScript() : TfsScript(nullptr) {}
    void AddVariable(const String& name, const String& typ, const Variant& value) override {
        Calls.push_back(name + u":" + typ);
        TfsScript::AddVariable(name, typ, value);
    }
    std::vector<String> Calls;
};

TEST(ScriptObjectModel, InternalCallersUseTheOverridableRegistration) {
    TRecordingScript s;
    TScriptHostBase host(nullptr);
    s.AddObject(u"Host", &host);
    s.SetVariables(u"Fresh", 1);
    s.SetVariables(u"Fresh", 2); // found: a write, no registration
    const std::vector<String> expected = {u"Host:TScriptHostBase", u"Fresh:Variant"};
    EXPECT_EQ(s.Calls, expected);
    EXPECT_EQ(s.GetVariables(u"Host").AsObject(), &host);
    EXPECT_THROW(s.AddObject(u"None", nullptr), EArgumentException);
}

TEST(ScriptObjectModel, RemoveAndProcedures) {
    TfsScript s(nullptr);
    TfsVariable stranger(u"x", fvtInt, u"Integer");
    EXPECT_THROW(s.Remove(&stranger), EListError);

    // A function's parameters are owned by the procedure and seen as locals of its script.
    auto proc = std::make_unique<TfsProcVariable>(u"F", fvtInt, u"Integer", &s, true);
    auto* param =
        static_cast<TfsParamItem*>(proc->Add(std::make_unique<TfsParamItem>(u"a", fvtInt, u"Integer", false, false)));
    proc->Prog().AddReference(u"a", param);
    EXPECT_EQ(proc->Prog().Parent, &s);
    EXPECT_TRUE(proc->IsReadOnly);
    ASSERT_NE(proc->RefItem, nullptr);
    EXPECT_EQ(proc->Prog().FindLocal(u"Result"), proc->RefItem);
    EXPECT_EQ(proc->Prog().Find(u"a"), param);
    s.Add(u"F", std::move(proc));
    s.Clear(); // frees the procedure, its script and its parameter once each
    EXPECT_EQ(s.Count(), 0);
}

TEST(ScriptObjectModel, ProgNameFollowsTheRunningProcedure) {
    TfsScript main(nullptr), local(nullptr);
    main.SetProgName(u"main");
    main.ProgRunning = &local;
    main.SetProgName(u"Proc");
    EXPECT_EQ(local.GetProgName(), u"Proc");
    EXPECT_EQ(main.GetProgName(), u"Proc");
    main.ProgRunning = nullptr;
    EXPECT_EQ(main.GetProgName(), u"main");
}

TEST(ScriptObjectModel, ClassItems) {
    TypedScript s;
    TfsClassVariable* base = s.AddClass(&TScriptHostBase::StaticClassInfo(), u"TComponent");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->Name, u"TScriptHostBase");
    EXPECT_EQ(base->Typ, fvtClass);
    EXPECT_EQ(base->Count(), 1);
    EXPECT_TRUE(base->GetParam(0)->IsOptional);
    EXPECT_EQ(s.AddClass(&TScriptHostBase::StaticClassInfo(), u"TComponent"), nullptr);

    TfsMethodHelper* shared = base->AddMethod(u"function Shared: Integer", TfsCallMethodEvent());
    TfsMethodHelper* items = base->AddMethod(u"function Items(p0: Integer): Variant", TfsCallMethodNewEvent());
    base->SetDefProperty(items);
    EXPECT_EQ(shared->ClassRef, &TScriptHostBase::StaticClassInfo());

    TfsScript child(nullptr);
    child.Parent = &s; // the ancestor is found through the parent chain
    TfsClassVariable* derived = child.AddClass(&TScriptHostDerived::StaticClassInfo(), u"TScriptHostBase");
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(derived->DefProperty(), items);
    EXPECT_EQ(derived->Find(u"SHARED"), shared);
    TfsMethodHelper* own = derived->AddMethod(u"function Shared: String", TfsCallMethodEvent());
    EXPECT_EQ(derived->Find(u"shared"), own);
    EXPECT_EQ(derived->Find(u"missing"), nullptr);
    EXPECT_EQ(child.FindClass(u"TScriptHostBase"), base);
    EXPECT_EQ(child.FindClass(u"Integer"), nullptr);

    // Component members only when asked for.
    derived->AddMember(std::make_unique<TfsComponentHelper>(u"Button1", u"TButton"));
    EXPECT_EQ(derived->Find(u"Button1"), nullptr);
    EXPECT_NE(derived->Find(u"Button1", true), nullptr);

    // A class named as its own ancestor ends the member search.
    TfsScript lone(nullptr);
    TfsClassVariable* self = lone.AddClass(&TComponent::StaticClassInfo(), u"TComponent");
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->Find(u"anything"), nullptr);
}

} // namespace
} // namespace vgl
