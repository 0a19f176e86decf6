#include "script/bindings/classes_bindings.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/list.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "report/foundation/initialization.h"
#include "script/bindings/bindings.h"
#include "script/engine/initialization.h"
#include "script/engine/script_xml.h"

namespace vgl {

namespace {

void StartUp() {
    static const bool done = (InitializeReportFoundation(), InitializeScriptEngine(), InitializeScriptBindings(), true);
    (void)done;
}

// A script with every binding module, and calls of its members as the compiled code makes them.
struct Bound {
    Bound() : Script(nullptr) {
        StartUp();
        Script.AddRTTI();
    }
    TfsCustomHelper* Member(const char16_t* cls, const char16_t* member, const Variant& self) {
        TfsClassVariable* c = Script.FindClass(cls);
        EXPECT_NE(c, nullptr);
        TfsCustomHelper* h = c->Find(member);
        EXPECT_NE(h, nullptr);
        h->ParentValue = self;
        h->Prog = &Script;
        return h;
    }
    Variant Call(const char16_t* cls, const char16_t* member, const Variant& self, std::vector<Variant> args = {}) {
        TfsCustomHelper* h = Member(cls, member, self);
        for (size_t i = 0; i < args.size(); ++i)
            h->GetParam(int(i))->SetValue(args[i]);
        return h->GetValue();
    }
    TObject* Create(const char16_t* cls, std::vector<Variant> args = {}) {
        TfsClassVariable* c = Script.FindClass(cls);
        return Call(cls, u"Create", c->GetValue(), std::move(args)).AsObject();
    }
    TfsScript Script;
};

} // namespace

TEST(ClassesBindings, ConstantsEnumerationsAndClassTree) {
    Bound b;
    EXPECT_EQ(b.Script.GetVariables(u"fmCreate"), Variant(65280));
    EXPECT_EQ(b.Script.GetVariables(u"fmShareDenyNone"), Variant(64));
    EXPECT_EQ(b.Script.GetVariables(u"soFromEnd"), Variant(2));
    EXPECT_EQ(b.Script.GetVariables(u"dupError"), Variant(2));
    EXPECT_EQ(b.Script.GetVariables(u"poLandscape"), Variant(1));
    EXPECT_EQ(b.Script.FindClass(u"TStringList")->Ancestor(), u"TStrings");
    EXPECT_EQ(b.Script.FindClass(u"TStrings")->Ancestor(), u"TPersistent");
    EXPECT_EQ(b.Script.FindClass(u"TList")->Ancestor(), u"TObject");
    EXPECT_EQ(b.Script.FindClass(u"TFileStream")->Ancestor(), u"TStream");
}

TEST(ClassesBindings, StringListCreatedByScriptIsAStringListWithDefaults) {
    Bound b;
    TObject* list = b.Create(u"TStringList");
    ASSERT_NE(dynamic_cast<TStringList*>(list), nullptr);
    const Variant v = Variant::FromObject(list);
    EXPECT_EQ(b.Call(u"TStringList", u"ClassName", v), Variant(u"TStringList"));
    EXPECT_EQ(b.Call(u"TStringList", u"Sorted", v), Variant(false));
    EXPECT_EQ(b.Call(u"TStringList", u"Duplicates", v).AsInteger(), int(dupIgnore));
    // Abstract TStrings cannot be made.
    EXPECT_ANY_THROW(b.Create(u"TStrings"));
}

TEST(ClassesBindings, StringListMembers) {
    Bound b;
    TStringList list;
    const Variant v = Variant::FromObject(&list);
    EXPECT_EQ(b.Call(u"TStringList", u"Add", v, {u"a"}), Variant(0));
    EXPECT_EQ(b.Call(u"TStringList", u"Add", v, {u"c"}), Variant(1));
    b.Member(u"TStringList", u"Sorted", v)->SetValue(true);
    EXPECT_TRUE(list.Sorted());
    // Find "b" in "a", "c": false, insertion index 1 written back.
    TfsCustomHelper* find = b.Member(u"TStringList", u"Find", v);
    find->GetParam(0)->SetValue(u"b");
    find->GetParam(1)->SetValue(-5);
    EXPECT_EQ(find->GetValue(), Variant(false));
    EXPECT_EQ(find->GetParam(1)->GetValue().AsInteger(), 1);
    b.Member(u"TStringList", u"Sorted", v)->SetValue(false);

    // Values of a missing name are empty; set then read.
    EXPECT_EQ(b.Call(u"TStringList", u"Values", v, {u"k"}), Variant(u""));
    TfsCustomHelper* values = b.Member(u"TStringList", u"Values", v);
    values->GetParam(0)->SetValue(u"k");
    values->SetValue(u"9");
    EXPECT_EQ(list.Values(u"k"), u"9");
    EXPECT_EQ(b.Call(u"TStringList", u"Names", v, {2}), Variant(u"k"));

    // The default property and Strings are the same member.
    TfsClassVariable* cls = b.Script.FindClass(u"TStringList");
    ASSERT_NE(cls->DefProperty(), nullptr);
    EXPECT_EQ(cls->DefProperty(), cls->Find(u"Strings"));
    TfsCustomHelper* strings = b.Member(u"TStringList", u"Strings", v);
    strings->GetParam(0)->SetValue(0);
    strings->SetValue(u"z");
    EXPECT_EQ(list[0], u"z");

    b.Member(u"TStringList", u"CommaText", v)->SetValue(u"x,\"y z\"");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(b.Call(u"TStringList", u"Count", v), Variant(2));
    EXPECT_ANY_THROW(b.Call(u"TStringList", u"Delete", v, {5}));
}

TEST(ClassesBindings, AssignTakesAStringListAsPersistent) {
    Bound b;
    TStringList source, dest;
    source.SetCommaText(u"p,q");
    b.Call(u"TStringList", u"Assign", Variant::FromObject(&dest), {Variant::FromObject(&source)});
    EXPECT_EQ(dest.CommaText(), u"p,q");
    TComponent other(nullptr);
    EXPECT_THROW(b.Call(u"TStringList", u"Assign", Variant::FromObject(&dest), {Variant::FromObject(&other)}),
                 EConvertError);
}

TEST(ClassesBindings, ListAddRemoveAndItems) {
    Bound b;
    TObject* list = b.Create(u"TList");
    const Variant v = Variant::FromObject(list);
    TStringList x, y, missing;
    EXPECT_EQ(b.Call(u"TList", u"Add", v, {Variant::FromObject(&x)}), Variant(0));
    EXPECT_EQ(b.Call(u"TList", u"Add", v, {Variant::FromObject(&y)}), Variant(1));
    EXPECT_EQ(b.Call(u"TList", u"Remove", v, {Variant::FromObject(&missing)}), Variant(-1));
    EXPECT_EQ(b.Call(u"TList", u"Remove", v, {Variant::FromObject(&x)}), Variant(0));
    b.Call(u"TList", u"Insert", v, {0, Variant::FromObject(&x)});
    EXPECT_EQ(b.Call(u"TList", u"Items", v, {1}).AsObject(), &y);
    TfsCustomHelper* items = b.Member(u"TList", u"Items", v);
    items->GetParam(0)->SetValue(1);
    items->SetValue(Variant::FromObject(&missing));
    EXPECT_EQ(static_cast<TList*>(list)->Get(1), &missing);
    EXPECT_EQ(b.Call(u"TList", u"Count", v), Variant(2));
    EXPECT_THROW(b.Call(u"TList", u"Items", v, {7}), EListError);
}

TEST(ClassesBindings, StreamSeekCopyReadWrite) {
    Bound b;
    TObject* a = b.Create(u"TMemoryStream");
    TObject* c = b.Create(u"TMemoryStream");
    const Variant va = Variant::FromObject(a), vc = Variant::FromObject(c);
    // Latin-1 characters are one byte each; Count is clamped to the text.
    EXPECT_EQ(b.Call(u"TMemoryStream", u"Write", va, {String(u"ab\u00e9"), 100}), Variant(3LL));
    const Variant end = b.Call(u"TMemoryStream", u"Seek", va, {0, 2});
    EXPECT_EQ(end.VType(), varInt64);
    EXPECT_EQ(end, Variant(3LL));
    EXPECT_EQ(b.Call(u"TMemoryStream", u"Size", va), Variant(3LL));
    // Count 0 copies the whole source, whatever its position.
    EXPECT_EQ(b.Call(u"TMemoryStream", u"CopyFrom", vc, {va, 0}), Variant(3LL));
    EXPECT_EQ(static_cast<TStream*>(c)->GetSize(), 3);
    b.Member(u"TMemoryStream", u"Position", vc)->SetValue(0);
    TfsCustomHelper* read = b.Member(u"TMemoryStream", u"Read", vc);
    read->GetParam(0)->SetValue(u"");
    read->GetParam(1)->SetValue(10);
    EXPECT_EQ(read->GetValue(), Variant(3LL));
    EXPECT_EQ(read->GetParam(0)->GetValue(), Variant(String(u"ab\u00e9")));
    EXPECT_THROW(b.Call(u"TMemoryStream", u"Seek", va, {0, 7}), EStreamError);
}

TEST(ClassesBindings, FileStreamConstructorAndMissingFile) {
    Bound b;
    const String path = u"/tmp/vgl_bindings_file_stream.bin";
    TObject* f = b.Create(u"TFileStream", {path, 65280});
    ASSERT_NE(dynamic_cast<TFileStream*>(f), nullptr);
    b.Call(u"TFileStream", u"Write", Variant::FromObject(f), {u"xyz", 3});
    b.Call(u"TFileStream", u"Free", Variant::FromObject(f));
    TStringList lines;
    lines.LoadFromFile(path);
    EXPECT_EQ(lines.Text(), u"xyz\r\n");
    std::remove("/tmp/vgl_bindings_file_stream.bin");
    EXPECT_THROW(b.Create(u"TFileStream", {u"/tmp/vgl_no_such_dir/x", 0}), EFOpenError);
}

TEST(ClassesBindings, FreeReleasesOnlyWhatTheScriptMayFree) {
    Bound b;
    // A script-made object: freed, and its value no longer converts.
    TObject* list = b.Create(u"TStringList");
    const Variant v = Variant::FromObject(list);
    b.Call(u"TStringList", u"Free", v);
    EXPECT_ANY_THROW(fsScriptValueToObject(v));
    // An owned component: its owner lets go of it.
    TComponent owner(nullptr);
    TObject* child = b.Create(u"TComponent", {Variant::FromObject(&owner)});
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(b.Call(u"TComponent", u"Owner", Variant::FromObject(child)).AsObject(), &owner);
    b.Call(u"TComponent", u"Free", Variant::FromObject(child));
    EXPECT_EQ(owner.ComponentCount(), 0);
    // Host objects stay.
    TStringList host;
    EXPECT_ANY_THROW(b.Call(u"TStringList", u"Free", Variant::FromObject(&host)));
    EXPECT_ANY_THROW(b.Call(u"TComponent", u"Free", Variant::FromObject(&owner)));
    host.Add(u"still here");
    EXPECT_EQ(host.Count(), 1);
}

TEST(ClassesBindings, XmlItemsMoveOnlyWhereTheTreeStaysSound) {
    Bound b;
    const Variant doc = Variant::FromObject(b.Create(u"TfsXMLDocument"));
    const Variant root = b.Call(u"TfsXMLDocument", u"Root", doc);
    const Variant child = b.Call(u"TfsXMLItem", u"Add", root);
    // No item goes inside itself or its own subtree.
    EXPECT_THROW(b.Call(u"TfsXMLItem", u"AddItem", root, {root}), EInvalidOperation);
    EXPECT_THROW(b.Call(u"TfsXMLItem", u"InsertItem", child, {0, root}), EInvalidOperation);
    // Another document's root stays with its document.
    TfsXMLDocument other;
    EXPECT_THROW(b.Call(u"TfsXMLItem", u"AddItem", child, {Variant::FromObject(other.Root())}), EInvalidOperation);
    EXPECT_EQ(other.Root()->Parent(), nullptr);

    // A made item moves into the tree, which owns it from then on.
    TObject* made = b.Create(u"TfsXMLItem");
    const Variant madeValue = Variant::FromObject(made);
    b.Call(u"TfsXMLItem", u"InsertItem", root, {0, madeValue});
    EXPECT_EQ(b.Call(u"TfsXMLItem", u"Items", root, {0}).AsObject(), made);
    EXPECT_EQ(fsModuleKeeping(&b.Script, made), nullptr);
    // An item inside another one leaves its parent's list when freed; a document's root does not go.
    b.Call(u"TfsXMLItem", u"Free", child);
    EXPECT_EQ(b.Call(u"TfsXMLItem", u"Count", root), Variant(1));
    EXPECT_ANY_THROW(b.Call(u"TfsXMLItem", u"Free", root));
    b.Call(u"TfsXMLDocument", u"Free", doc);
    EXPECT_ANY_THROW(fsScriptValueToObject(madeValue));
}

TEST(ClassesBindings, UnknownNamesAndClassesGiveZero) {
    Bound b;
    fs_classes::TFunctions module(&b.Script);
    TStringList list;
    EXPECT_EQ(module.MethodHandler(&list, &TStrings::StaticClassInfo(), u"NOSUCH", nullptr), Variant(0));
    TComponent component(nullptr);
    EXPECT_EQ(module.MethodHandler(&component, &TComponent::StaticClassInfo(), u"ADD", nullptr), Variant(0));
    EXPECT_EQ(module.PropertyGetter(&list, &TStrings::StaticClassInfo(), u"NOSUCH"), Variant(0));
    module.PropertySetter(&list, &TStrings::StaticClassInfo(), u"NOSUCH", 5);
    EXPECT_EQ(list.Count(), 0);
}

} // namespace vgl
