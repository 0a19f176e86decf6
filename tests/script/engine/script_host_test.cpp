#include "script/engine/script_host_classes.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "script/engine/script.h"
#include "script/engine/script_functions.h"

namespace vgl {

// A reflected host class with one published property of each kind the helpers map.
class THostItem : public TComponent {
    VGL_CLASS(THostItem, TComponent)
    explicit THostItem(TComponent* owner) : TComponent(owner) { ++Live; }
    ~THostItem() override { --Live; }

    int Count = 0;
    bool Flag = false;
    std::int64_t Big = 0;
    String Title;
    char16_t Letter = u'a';
    double Ratio = 0;
    std::uint8_t Small = 0;
    THostItem* Child = nullptr;
    std::function<void(TObject*)> OnPing;
    int GetFixed() const { return 7; }
    static inline int Live = 0;
};

VGL_DEFINE_CLASS(THostItem) {
    b.Property(u"Count", &THostItem::Count);
    b.Property(u"Flag", &THostItem::Flag);
    b.Property(u"Big", &THostItem::Big);
    b.Property(u"Title", &THostItem::Title);
    b.Property(u"Letter", &THostItem::Letter);
    b.Property(u"Ratio", &THostItem::Ratio);
    b.Property(u"Small", &THostItem::Small);
    b.Property(u"Child", &THostItem::Child);
    b.Property(u"Fixed", &THostItem::GetFixed, nullptr);
    b.Property(u"OnPing", &THostItem::OnPing);
}

namespace {

// A script with the built-in library, a TComponent item and a THostItem item.
struct HostScript {
    HostScript() : Script(nullptr) {
        Script.AddRTTI();
        Base = Script.AddClass(&TComponent::StaticClassInfo(), u"TPersistent");
        Item = Script.AddClass(&THostItem::StaticClassInfo(), u"TComponent");
    }
    // Points `helper` at `object` as the designator would.
    template <class H> H* Link(H* helper, const Variant& object) {
        helper->ParentValue = object;
        helper->Prog = &Script;
        return helper;
    }
    TfsPropertyHelper* Prop(StringView name, const Variant& object) {
        return Link(dynamic_cast<TfsPropertyHelper*>(Item->Find(name)), object);
    }
    TfsScript Script;
    TfsClassVariable* Base;
    TfsClassVariable* Item;
};

TEST(ScriptHostClasses, PublishedPropertiesAreSortedMembersWithoutEvents) {
    HostScript h;
    std::vector<String> names;
    for (int i = 0; i < h.Item->MembersCount(); ++i)
        names.push_back(h.Item->GetMembers(i)->Name);
    const std::vector<String> expected = {u"Big",  u"Child", u"Count", u"Fixed", u"Flag", u"Letter",
                                          u"Name", u"Ratio", u"Small", u"Tag",   u"Title"};
    EXPECT_EQ(names, expected);
    struct {
        const char16_t* Name;
        TfsVarType Typ;
        const char16_t* TypeName;
    } kinds[] = {{u"Big", fvtInt64, u"Int64"},    {u"Child", fvtClass, u"THostItem"}, {u"Count", fvtInt, u"Integer"},
                 {u"Flag", fvtBool, u"Boolean"},  {u"Letter", fvtChar, u"Char"},      {u"Ratio", fvtFloat, u"Double"},
                 {u"Title", fvtString, u"string"}};
    for (const auto& k : kinds) {
        auto* p = h.Item->Find(k.Name);
        ASSERT_NE(p, nullptr) << String(k.Name).size();
        EXPECT_EQ(p->Typ, k.Typ);
        EXPECT_EQ(p->TypeName, k.TypeName);
    }
    EXPECT_TRUE(h.Item->Find(u"Fixed")->IsReadOnly);
    // A later registration under a published name is shadowed by the published property.
    h.Item->AddProperty(u"Count", u"Integer", [](TObject*, TClass, const String&) { return Variant(99); });
    EXPECT_TRUE(static_cast<TfsPropertyHelper*>(h.Item->Find(u"Count"))->IsPublished);
    // Members of the ancestor class item are found; own ones win.
    h.Base->AddMethod(u"function Hello: Integer", [](TObject*, TClass, const String&, Variant&) { return Variant(1); });
    EXPECT_NE(h.Item->Find(u"Hello"), nullptr);
}

TEST(ScriptHostClasses, PublishedMembersGoBeforeMembersAddedBeforeAnyRead) {
    // The published members are made when the members are first read; members added before
    // that still come after them, in the order they were added.
    TfsScript s(nullptr);
    s.AddRTTI();
    s.AddClass(&TComponent::StaticClassInfo(), u"TPersistent");
    TfsClassVariable* item = s.AddClass(&THostItem::StaticClassInfo(), u"TComponent");
    item->AddMethod(u"procedure Go", TfsCallMethodEvent());
    item->AddProperty(u"Extra", u"Integer", nullptr);
    std::vector<String> names;
    for (int i = 0; i < item->MembersCount(); ++i)
        names.push_back(item->GetMembers(i)->Name);
    const std::vector<String> expected = {u"Big",   u"Child", u"Count", u"Fixed", u"Flag", u"Letter", u"Name",
                                          u"Ratio", u"Small", u"Tag",   u"Title", u"Go",   u"Extra"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(static_cast<TfsPropertyHelper*>(item->GetMembers(0))->ClassRef, &THostItem::StaticClassInfo());
    EXPECT_EQ(static_cast<TfsMethodHelper*>(item->GetMembers(11))->ClassRef, &THostItem::StaticClassInfo());
}

TEST(ScriptHostClasses, MembersFirstReadOnEightThreadsAtOnce) {
    for (int round = 0; round < 20; ++round) {
        TfsScript s(nullptr);
        s.AddClass(&TComponent::StaticClassInfo(), u"TPersistent");
        TfsClassVariable* item = s.AddClass(&THostItem::StaticClassInfo(), u"TComponent");
        item->AddMethod(u"procedure Go", TfsCallMethodEvent());
        std::vector<std::vector<const TfsCustomHelper*>> seen(8);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < seen.size(); ++t)
            threads.emplace_back([item, &seen, t] {
                const TfsCustomHelper* go = item->Find(u"Go");
                for (int i = 0; i < item->MembersCount(); ++i)
                    seen[t].push_back(item->GetMembers(i));
                seen[t].push_back(go);
            });
        for (auto& t : threads)
            t.join();
        ASSERT_EQ(seen[0].size(), 13u);
        EXPECT_EQ(seen[0][11], seen[0].back());
        for (const auto& s2 : seen)
            EXPECT_EQ(s2, seen[0]);
    }
}

TEST(ScriptHostClasses, MethodsOfEqualParameterCountsKeepTheirArgumentsApart) {
    HostScript h;
    THostItem obj(nullptr);
    const Variant o = Variant::FromObject(&obj);
    TfsMethodHelper* other = h.Item->AddMethod(u"function Other(a, b: Integer): Integer", TfsCallMethodEvent());
    Variant otherDuringCall;
    auto* m =
        h.Item->AddMethod(u"function Sum(a, b: Integer): Integer", [&](TObject*, TClass, const String&, Variant& args) {
            otherDuringCall = other->VarArray;
            VarArrayPut(args, 7, {0});
            return Variant(VarArrayGet(args, {0}).AsInteger() + VarArrayGet(args, {1}).AsInteger());
        });
    const Variant before = VarArrayGet(other->VarArray, {0});
    h.Link(m, o);
    m->GetParam(0)->SetValue(1);
    m->GetParam(1)->SetValue(2);
    EXPECT_EQ(m->GetValue(), Variant(9));
    ASSERT_EQ(VarArrayHighBound(otherDuringCall, 1), 1);
    EXPECT_EQ(VarArrayGet(otherDuringCall, {0}).VType(), before.VType());
    EXPECT_EQ(VarArrayGet(otherDuringCall, {1}).VType(), before.VType());
    EXPECT_EQ(VarArrayGet(other->VarArray, {0}).VType(), before.VType());
    EXPECT_TRUE(VarArrayGet(m->VarArray, {0}).IsNull());
}

TEST(ScriptHostClasses, PublishedReadAndWrite) {
    HostScript h;
    THostItem obj(nullptr), child(nullptr);
    const Variant o = Variant::FromObject(&obj);

    h.Prop(u"Count", o)->SetValue(Variant(u"12"));
    EXPECT_EQ(obj.Count, 12);
    EXPECT_EQ(h.Prop(u"Count", o)->GetValue(), Variant(12));
    h.Prop(u"Flag", o)->SetValue(true);
    EXPECT_TRUE(obj.Flag);
    EXPECT_EQ(h.Prop(u"Flag", o)->GetValue().VType(), varBoolean);
    h.Prop(u"Flag", o)->SetValue(5); // anything but True stores 0
    EXPECT_FALSE(obj.Flag);
    // All 64 bits reach a 64-bit property.
    h.Prop(u"Big", o)->SetValue(Variant(static_cast<long long>(0x123456789ALL)));
    EXPECT_EQ(obj.Big, 0x123456789ALL);
    EXPECT_EQ(h.Prop(u"Big", o)->GetValue().AsInt64(), 0x123456789ALL);
    h.Prop(u"Title", o)->SetValue(u"hello");
    EXPECT_EQ(obj.Title, u"hello");
    h.Prop(u"Letter", o)->SetValue(u"xyz");
    EXPECT_EQ(obj.Letter, u'x');
    EXPECT_EQ(h.Prop(u"Letter", o)->GetValue(), Variant(u"x"));
    h.Prop(u"Ratio", o)->SetValue(2.5);
    EXPECT_EQ(obj.Ratio, 2.5);
    // A class property takes the object itself.
    h.Prop(u"Child", o)->SetValue(Variant::FromObject(&child));
    EXPECT_EQ(obj.Child, &child);
    EXPECT_EQ(h.Prop(u"Child", o)->GetValue().AsObject(), &child);
    // Out of an ordinal property's range, and a number in place of an object.
    EXPECT_THROW(h.Prop(u"Small", o)->SetValue(300), ERangeError);
    EXPECT_THROW(h.Prop(u"Child", o)->SetValue(Variant(static_cast<long long>(0x7fff0000))), Exception);
    // Read-only members ignore writes.
    h.Prop(u"Fixed", o)->SetValue(1);
    EXPECT_EQ(h.Prop(u"Fixed", o)->GetValue(), Variant(7));
    // No object: a read is Null, a write raises.
    EXPECT_TRUE(h.Prop(u"Count", Null())->GetValue().IsNull());
    EXPECT_THROW(h.Prop(u"Count", Null())->SetValue(1), Exception);
}

TEST(ScriptHostClasses, HandlerPropertiesAndMethods) {
    HostScript h;
    THostItem obj(nullptr);
    const Variant o = Variant::FromObject(&obj);
    String seenName;
    auto* p = h.Item->AddProperty(
        u"Extra", u"Integer",
        [&](TObject* inst, TClass cls, const String& name) {
            seenName = name;
            EXPECT_EQ(inst, &obj);
            EXPECT_EQ(cls, &THostItem::StaticClassInfo());
            return Variant(41);
        },
        [&](TObject*, TClass, const String&, const Variant& v) { obj.Count = v.AsInteger(); });
    EXPECT_EQ(h.Link(p, o)->GetValue(), Variant(41));
    EXPECT_EQ(seenName, u"EXTRA");
    p->SetValue(3);
    EXPECT_EQ(obj.Count, 3);
    EXPECT_TRUE(h.Item->AddProperty(u"RO", u"Integer", nullptr)->IsReadOnly);

    // Classic handler: var parameter written back, argument array emptied afterwards.
    auto* m = h.Item->AddMethod(u"function Twice(var x: Integer; y: Integer): Integer",
                                [](TObject*, TClass, const String& name, Variant& args) {
                                    EXPECT_EQ(name, u"TWICE");
                                    const int x = VarArrayGet(args, {0}).AsInteger();
                                    VarArrayPut(args, x * 2, {0});
                                    return Variant(x + VarArrayGet(args, {1}).AsInteger());
                                });
    h.Link(m, o);
    m->GetParam(0)->SetValue(5);
    m->GetParam(1)->SetValue(1);
    EXPECT_EQ(m->GetValue(), Variant(6));
    EXPECT_EQ(m->GetParam(0)->GetValue(), Variant(10));
    EXPECT_EQ(m->GetParam(1)->GetValue(), Variant(1));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(VarArrayGet(m->VarArray, {i}).IsNull());
    // A class member on no object raises before its handler runs.
    h.Link(m, Null());
    EXPECT_THROW(m->GetValue(), Exception);
    // A method without handler gives 0.
    EXPECT_EQ(h.Link(h.Item->AddMethod(u"function Nothing: Integer", TfsCallMethodEvent()), o)->GetValue(), Variant(0));

    // Indexed property: classic read ".GET", write ".SET" with Count+1 arguments, value last.
    std::vector<String> calls;
    Variant lastArgs;
    auto* ix = h.Item->AddIndexProperty(u"Cells", u"Integer, String", u"Variant",
                                        TfsCallMethodEvent([&](TObject*, TClass, const String& name, Variant& a) {
                                            calls.push_back(name);
                                            lastArgs = a;
                                            return Variant(u"r");
                                        }));
    EXPECT_EQ(ix->Syntax, u"function Cells(p0: Integer; p1: String): Variant");
    h.Link(ix, o);
    ix->GetParam(0)->SetValue(1);
    ix->GetParam(1)->SetValue(u"k");
    EXPECT_EQ(ix->GetValue(), Variant(u"r"));
    ix->SetValue(u"v");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], u"CELLS.GET");
    EXPECT_EQ(calls[1], u"CELLS.SET");
    EXPECT_EQ(VarArrayHighBound(lastArgs, 1), 2);
    EXPECT_EQ(VarArrayGet(lastArgs, {2}), Variant(u"v"));
    // New-style default property: the assigned value is GetVParam(Count).
    Variant assigned;
    auto* def =
        h.Item->AddDefaultProperty(u"Items", u"Integer", u"Variant",
                                   TfsCallMethodNewEvent([&](TObject*, TClass, const String&, TfsMethodHelper* c) {
                                       assigned = c->GetVParam(c->Count());
                                       return Variant();
                                   }));
    EXPECT_EQ(h.Item->DefProperty(), def);
    h.Link(def, o)->GetParam(0)->SetValue(0);
    def->SetValue(Variant(u"w"));
    EXPECT_EQ(assigned, Variant(u"w"));
    EXPECT_TRUE(def->SetValueArg.IsNull());
}

TEST(ScriptHostClasses, ClassTokensAndConstructors) {
    const int liveBefore = THostItem::Live;
    {
        HostScript h;
        auto* ctor = h.Item->AddConstructor(u"constructor Create(AOwner: TComponent)", TfsCallMethodEvent());
        EXPECT_EQ(ctor->Typ, fvtConstructor);
        EXPECT_EQ(ctor->Syntax, u"function Create(AOwner: TComponent): Constructor");
        // Reading the class name builds nothing: it is a token.
        const Variant token = h.Item->GetValue();
        EXPECT_TRUE(fsIsClassToken(token));
        EXPECT_EQ(THostItem::Live, liveBefore);
        EXPECT_THROW(fsScriptValueToObject(token), Exception);
        // The constructor on the token builds a complete object; without owner the script keeps it.
        h.Link(ctor, token)->GetParam(0)->SetValue(Null());
        const Variant made = ctor->GetValue();
        EXPECT_EQ(made.AsObject(&THostItem::StaticClassInfo())->ClassName(), u"THostItem");
        EXPECT_EQ(THostItem::Live, liveBefore + 1);
        // With an owner, the owner frees it.
        THostItem owner(nullptr);
        ctor->GetParam(0)->SetValue(Variant::FromObject(&owner));
        EXPECT_EQ(static_cast<TComponent*>(ctor->GetValue().AsObject())->Owner(), &owner);
        // Any other member on a token raises.
        EXPECT_THROW(h.Prop(u"Count", token)->GetValue(), Exception);
        auto* run = h.Item->AddMethod(u"procedure Run", [](TObject*, TClass, const String&, Variant&) {
            ADD_FAILURE() << "handler reached";
            return Variant();
        });
        EXPECT_THROW(h.Link(run, token)->GetValue(), Exception);
        // A typecast argument is handed back once.
        h.Item->GetParam(0)->SetValue(Variant::FromObject(&owner));
        EXPECT_EQ(h.Item->GetValue().AsObject(), &owner);
        EXPECT_TRUE(fsIsClassToken(h.Item->GetValue()));
    }
    EXPECT_EQ(THostItem::Live, liveBefore);
}

TEST(ScriptHostClasses, ComponentsEventsAndScriptValues) {
    HostScript h;
    THostItem form(nullptr);
    form.SetName(u"Form1");
    auto* button = new THostItem(&form); // owned by form
    button->SetName(u"Button1");
    h.Script.AddForm(&form);
    auto* helper = dynamic_cast<TfsComponentHelper*>(h.Item->Find(u"Button1", true));
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(h.Item->Find(u"Button1"), nullptr); // hidden unless asked for
    EXPECT_EQ(h.Item->AddComponent(button), helper);
    EXPECT_EQ(h.Link(helper, Variant::FromObject(&form))->GetValue().AsObject(), button);
    try {
        helper->SetValue(1);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Can not assign value to component field Button1");
    }
    THostItem other(nullptr);
    try {
        h.Link(helper, Variant::FromObject(&other))->GetValue();
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Component with name Button1 not found");
    }
    EXPECT_EQ(h.Script.GetVariables(u"Form1").AsObject(), &form);

    auto* ev = h.Item->AddEvent(u"OnPing", nullptr);
    EXPECT_EQ(ev->GetValue(), Variant(u""));

    // Script values as objects: none, live objects; a freed object, numbers and texts raise.
    EXPECT_EQ(fsScriptValueToObject(Null()), nullptr);
    EXPECT_EQ(fsScriptValueToObject(0), nullptr);
    EXPECT_EQ(fsScriptValueToObject(Variant::FromObject(&other)), &other);
    Variant stale;
    {
        THostItem gone(nullptr);
        stale = Variant::FromObject(&gone);
    }
    EXPECT_THROW(fsScriptValueToObject(stale), Exception);
    EXPECT_THROW(fsScriptValueToObject(12345), Exception);
    EXPECT_THROW(fsScriptValueToObject(u"x"), Exception);
}

TEST(ScriptHostClasses, StringAndArrayHelpers) {
    TfsScript s(nullptr);
    s.AddRTTI();
    auto* str = dynamic_cast<TfsStringHelper*>(s.Find(u"__StringHelper"));
    auto* arr = dynamic_cast<TfsArrayHelper*>(s.Find(u"__ArrayHelper"));
    ASSERT_TRUE(str && arr);
    TfsVariable text(u"t", fvtString, u"String");
    text.SetValue(u"abc");
    str->ParentRef = &text;
    str->ParentValue = text.GetValue();
    str->GetParam(0)->SetValue(2);
    EXPECT_EQ(str->GetValue(), Variant(u"b"));
    str->SetValue(u"zq");
    EXPECT_EQ(text.GetValue(), Variant(u"azc"));
    for (int bad : {0, 4, -1}) {
        str->GetParam(0)->SetValue(bad);
        EXPECT_THROW(str->GetValue(), Exception) << bad;
        EXPECT_THROW(str->SetValue(u"x"), Exception) << bad;
    }
    str->GetParam(0)->SetValue(1);
    EXPECT_THROW(str->SetValue(u""), Exception);
    EXPECT_EQ(text.GetValue(), Variant(u"azc"));

    TfsVariable grid(u"g", fvtVariant, u"Variant");
    grid.SetValue(VarArrayCreate({0, 2, 1, 3}, varVariant));
    arr->ParentRef = &grid;
    arr->GetParam(0)->SetValue(2);
    arr->GetParam(1)->SetValue(3);
    arr->SetValue(u"x");
    EXPECT_EQ(VarArrayGet(grid.GetValue(), {2, 3}), Variant(u"x"));
    EXPECT_EQ(arr->GetValue(), Variant(u"x"));
    arr->GetParam(1)->SetValue(4);
    EXPECT_THROW(arr->GetValue(), Exception);
    EXPECT_THROW(arr->SetValue(1), Exception);
    arr->GetParam(1)->SetValue(Null());
    EXPECT_THROW(arr->GetValue(), Exception); // two dimensions need two indexes
}

TEST(ScriptHostClasses, RTTIModulesPerScript) {
    TfsScript a(nullptr), b(nullptr);
    a.AddRTTI();
    b.AddRTTI();
    auto modules = [](TfsScript& s) {
        std::vector<TObject*> found;
        for (int i = 0; i < s.Count(); ++i)
            if (dynamic_cast<TfsSysFunctions*>(s.GetItem(i)))
                found.push_back(s.GetItem(i));
        return found;
    };
    ASSERT_EQ(modules(a).size(), 1u);
    ASSERT_EQ(modules(b).size(), 1u);
    EXPECT_NE(modules(a)[0], modules(b)[0]);
    EXPECT_EQ(a.FindLocal(u"IntToStr")->AddedBy, fsRTTIOwner);
    const int count = a.Count();
    a.AddRTTI(); // once only
    EXPECT_EQ(a.Count(), count);
    a.AddVariable(u"Mine", u"Integer", 1);
    a.Clear();
    EXPECT_EQ(a.Count(), count);
    EXPECT_EQ(a.FindLocal(u"Mine"), nullptr);
    a.ClearRTTI();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.FindLocal(u"IntToStr"), nullptr);
    a.AddRTTI();
    EXPECT_EQ(a.Count(), count);
}

TEST(ScriptHostClasses, RTTIOnEightThreads) {
    std::vector<std::thread> threads;
    std::vector<int> counts(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&counts, t] {
            for (int i = 0; i < 20; ++i) {
                TfsScript s(nullptr);
                s.AddRTTI();
                counts[size_t(t)] = s.Count();
            }
        });
    for (auto& t : threads)
        t.join();
    for (int c : counts)
        EXPECT_EQ(c, counts[0]);
}

} // namespace
} // namespace vgl
