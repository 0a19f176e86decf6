#include "script/engine/script_tools.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/language_registry.h"
#include "script/engine/script.h"
#include "script_test_helpers.h"

namespace vgl {

class TToolsHostBase : public TComponent {
    VGL_CLASS(TToolsHostBase, TComponent)
    explicit TToolsHostBase(TComponent* owner) : TComponent(owner) {}
};
class TToolsHostDerived : public TToolsHostBase {
    VGL_CLASS(TToolsHostDerived, TToolsHostBase)
    explicit TToolsHostDerived(TComponent* owner) : TToolsHostBase(owner) {}
};
VGL_DEFINE_CLASS(TToolsHostBase) {}
VGL_DEFINE_CLASS(TToolsHostDerived) {}

namespace {

struct TypedScript : TfsScript {
    TypedScript() : TfsScript(nullptr) {
        AddType(u"Integer", fvtInt);
        AddType(u"String", fvtString);
        AddType(u"Extended", fvtFloat);
        AddType(u"Boolean", fvtBool);
        AddType(u"Variant", fvtVariant);
    }
};

TEST(ScriptTools, GrammarRegistry) {
    fsAddLanguageGrammar(u"DoveziVorude-test", u"<first/>");
    fsAddLanguageGrammar(u"DOVEZIVORUDE-TEST", u"<second/>");
    EXPECT_EQ(fsLanguageGrammar(u"dovezivorude-test"), u"<second/>");
    try {
        fsLanguageGrammar(u"X");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Language 'X' not found");
    }
}

TEST(ScriptTools, TypeCompatibility) {
    TypedScript s;
    s.AddClass(&TToolsHostBase::StaticClassInfo(), u"TComponent");
    s.AddClass(&TToolsHostDerived::StaticClassInfo(), u"TToolsHostBase");
    const TfsVarType all[] = {fvtInt,   fvtBool,    fvtFloat, fvtChar,        fvtString, fvtClass,
                              fvtArray, fvtVariant, fvtEnum,  fvtConstructor, fvtInt64};
    // Receiving kind → the offered kinds it accepts (classes and enumerations with equal names).
    struct Row {
        TfsVarType Receiving;
        std::vector<TfsVarType> Accepts;
    };
    const Row rows[] = {
        {fvtInt, {fvtInt, fvtFloat, fvtVariant, fvtEnum, fvtInt64}},
        {fvtInt64, {fvtInt, fvtFloat, fvtVariant, fvtEnum, fvtInt64}},
        {fvtBool, {fvtBool, fvtVariant}},
        {fvtFloat, {fvtInt, fvtFloat, fvtVariant}},
        {fvtChar, {fvtChar, fvtString, fvtVariant}},
        {fvtString, {fvtChar, fvtString, fvtVariant}},
        {fvtClass, {fvtVariant, fvtClass}},
        {fvtArray, {fvtArray, fvtVariant}},
        {fvtVariant, {all, all + 11}},
        {fvtEnum, {fvtInt, fvtVariant, fvtInt64, fvtEnum}},
        {fvtConstructor, {}},
    };
    for (const Row& row : rows) {
        for (const TfsVarType offered : all) {
            const bool expected = std::find(row.Accepts.begin(), row.Accepts.end(), offered) != row.Accepts.end();
            const String name = offered == fvtClass ? u"TToolsHostBase" : u"TAlign";
            EXPECT_EQ(fsTypesCompatible({row.Receiving, name}, {offered, name}, &s), expected)
                << int(row.Receiving) << " <- " << int(offered);
        }
    }
    // Classes accept descendants, not ancestors; enumerations need the same name.
    struct Named {
        TfsTypeRec Receiving, Offered;
        bool Expected;
    };
    const Named named[] = {
        {{fvtClass, u"TToolsHostBase"}, {fvtClass, u"TToolsHostDerived"}, true},
        {{fvtClass, u"TToolsHostDerived"}, {fvtClass, u"TToolsHostBase"}, false},
        {{fvtClass, u"TToolsHostBase"}, {fvtClass, u"TUnknown"}, false},
        {{fvtEnum, u"TAlign"}, {fvtEnum, u"talign"}, true},
        {{fvtEnum, u"TAlign"}, {fvtEnum, u"TAnchors"}, false},
    };
    for (const Named& n : named)
        EXPECT_EQ(fsTypesCompatible(n.Receiving, n.Offered, &s), n.Expected) << StringToUtf8(n.Offered.TypeName);

    TfsVariable i(u"i", fvtInt, u"Integer"), f(u"f", fvtFloat, u"Extended");
    EXPECT_FALSE(fsAssignCompatible(i, f, &s));
    EXPECT_TRUE(fsAssignCompatible(f, i, &s));
    EXPECT_TRUE(fsTypesCompatible({fvtInt, u""}, {fvtFloat, u""}, &s));
    EXPECT_EQ(fsTypeOfName(u"string", &s), fvtString);
    EXPECT_EQ(fsTypeOfName(u"TNoSuchType", &s), fvtClass);
}

TEST(ScriptTools, Prototypes) {
    TypedScript s;
    s.AddConst(u"DefaultSize", u"Integer", 12);

    auto copy = fsParsePrototype(u"function Copy(s: String; from, count: Integer): String", &s);
    EXPECT_EQ(copy->Name, u"Copy");
    EXPECT_EQ(copy->Typ, fvtString);
    EXPECT_EQ(copy->TypeName, u"String");
    ASSERT_EQ(copy->Count(), 3);
    const char16_t* names[] = {u"s", u"from", u"count"};
    const TfsVarType types[] = {fvtString, fvtInt, fvtInt};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(copy->GetParam(i)->Name, names[i]);
        EXPECT_EQ(copy->GetParam(i)->Typ, types[i]);
        EXPECT_FALSE(copy->GetParam(i)->IsOptional);
    }

    auto inc = fsParsePrototype(u"procedure Inc(var i: Integer; incr: Integer = 1)", &s);
    EXPECT_EQ(inc->Name, u"Inc");
    EXPECT_EQ(inc->TypeName, u"");
    ASSERT_EQ(inc->Count(), 2);
    EXPECT_TRUE(inc->GetParam(0)->IsVarParam);
    EXPECT_FALSE(inc->GetParam(0)->IsOptional);
    EXPECT_FALSE(inc->GetParam(1)->IsVarParam);
    EXPECT_TRUE(inc->GetParam(1)->IsOptional);
    EXPECT_EQ(inc->GetParam(1)->DefValue, Variant(1));
    EXPECT_EQ(inc->GetNumberOfRequiredParams(), 1);

    auto group = fsParsePrototype(u"procedure P(a, b: Integer = 0)", &s);
    ASSERT_EQ(group->Count(), 2);
    EXPECT_FALSE(group->GetParam(0)->IsOptional);
    EXPECT_TRUE(VarIsNull(group->GetParam(0)->DefValue));
    EXPECT_TRUE(group->GetParam(1)->IsOptional);
    EXPECT_EQ(group->GetParam(1)->DefValue, Variant(0));

    // Defaults: negative numbers, strings, named constants; "const" is dropped; macros.
    auto defaults = fsParsePrototype(
        u"macrofunction M(const a: Integer = -5; b: String = 'x'; c: Integer = DefaultSize; d: Variant = Nil): Variant",
        &s);
    EXPECT_TRUE(defaults->IsMacro);
    EXPECT_EQ(defaults->Typ, fvtVariant);
    ASSERT_EQ(defaults->Count(), 4);
    EXPECT_EQ(defaults->GetParam(0)->Name, u"a");
    EXPECT_EQ(defaults->GetParam(0)->DefValue, Variant(-5));
    EXPECT_EQ(defaults->GetParam(1)->DefValue, Variant(u"x"));
    EXPECT_EQ(defaults->GetParam(2)->DefValue, Variant(12));
    EXPECT_TRUE(defaults->GetParam(3)->IsOptional);
    EXPECT_TRUE(VarIsNull(defaults->GetParam(3)->DefValue));

    // Malformed prototypes end with the text, keeping what was read.
    const char16_t* broken[] = {u"procedure P(a, b: Integer",
                                u"procedure P(1)",
                                u"procedure P(",
                                u"function F(a:",
                                u"procedure P(a: Integer = 1e999)",
                                u"",
                                u"(((",
                                u"procedure P(;;;"};
    for (const char16_t* text : broken)
        EXPECT_NO_THROW(fsParsePrototype(text, &s)) << StringToUtf8(text);
    EXPECT_EQ(fsParsePrototype(u"procedure P(a, b: Integer", &s)->Count(), 2);
    EXPECT_EQ(fsParsePrototype(u"procedure P()", &s)->Count(), 0);
    EXPECT_EQ(fsParsePrototype(u"function Now: Extended", &s)->Typ, fvtFloat);
}

TEST(ScriptTools, APrototypeReadOnceTakesTypesAndDefaultsFromEachScript) {
    // A text is read once per process; the kinds of its types and the value of a named default
    // still come from the script each item is made for, at the time it is made.
    const String text = u"function F(a: TSize; b: Integer = Limit): TSize";
    TypedScript ints, strings;
    ints.AddType(u"TSize", fvtInt);
    ints.AddConst(u"Limit", u"Integer", 7);
    strings.AddType(u"TSize", fvtString);
    strings.AddConst(u"Limit", u"String", u"seven");
    TfsScript none(nullptr);
    struct Case {
        const TfsScript* Script;
        TfsVarType Typ;
        Variant Default;
    };
    const Case cases[] = {{&ints, fvtInt, Variant(7)},
                          {&strings, fvtString, Variant(u"seven")},
                          {&none, fvtClass, Null()},
                          {nullptr, fvtClass, Null()}};
    for (const Case& c : cases) {
        for (int round = 0; round < 2; ++round) {
            const auto f = fsParsePrototype(text, c.Script);
            EXPECT_EQ(f->Typ, c.Typ);
            ASSERT_EQ(f->Count(), 2);
            EXPECT_EQ(f->GetParam(0)->Typ, c.Typ);
            EXPECT_EQ(f->GetParam(0)->TypeName, u"TSize");
            EXPECT_EQ(VarType(f->GetParam(1)->DefValue), VarType(c.Default));
            EXPECT_EQ(VarToStr(f->GetParam(1)->DefValue), VarToStr(c.Default));
            TfsMethodHelper m(text, const_cast<TfsScript*>(c.Script));
            EXPECT_EQ(m.Typ, c.Typ);
            EXPECT_EQ(m.GetParam(0)->Typ, c.Typ);
            EXPECT_EQ(VarToStr(m.GetParam(1)->DefValue), VarToStr(c.Default));
        }
    }
    // A constant changed later is read again.
    ints.Remove(ints.FindLocal(u"Limit")).reset();
    ints.AddConst(u"Limit", u"Integer", 8);
    EXPECT_EQ(fsParsePrototype(text, &ints)->GetParam(1)->DefValue, Variant(8));

    // A text too long to be kept is read for the one use.
    String parameters;
    for (int i = 0; i < 300; ++i)
        parameters += (i ? u"; p" : u"p") + IntToStr(i) + u": TSize";
    const String longText = u"procedure Long(" + parameters + u")";
    ASSERT_GT(longText.size(), 2000u);
    TfsMethodHelper m(longText, &ints);
    ASSERT_EQ(m.Count(), 300);
    EXPECT_EQ(m.GetParam(299)->Name, u"p299");
    EXPECT_EQ(m.GetParam(299)->Typ, fvtInt);
}

TEST(ScriptTools, ConstantTextsAndPositions) {
    struct Case {
        const char16_t* Text;
        Variant Value;
        TVarType Type;
    };
    const Case cases[] = {
        {u"'abc'", Variant(u"abc"), varUString},
        {u"''", Variant(u""), varUString},
        {u"2147483647", Variant(2147483647), varInteger},
        {u"2147483648", Variant(2147483648LL), varInt64},
        {u"-2147483648", Variant(int(-2147483647 - 1)), varInteger},
        {u"-2147483649", Variant(-2147483649LL), varInt64},
        {u"$FF", Variant(255), varInteger},
        {u"1.5", Variant(1.5), varDouble},
        {u"1e3", Variant(1000.0), varDouble},
    };
    for (const Case& c : cases) {
        const Variant v = fsTextToValue(c.Text);
        EXPECT_EQ(VarType(v), c.Type) << StringToUtf8(c.Text);
        EXPECT_EQ(v, c.Value) << StringToUtf8(c.Text);
    }
    EXPECT_TRUE(VarIsNull(fsTextToValue(u"")));
    EXPECT_THROW(fsTextToValue(u"abc"), EConvertError);

    const TfsPoint pt = fsTextToPoint(u"12:5");
    EXPECT_EQ(pt.X, 5);
    EXPECT_EQ(pt.Y, 12);
    EXPECT_EQ(fsTextToPoint(u"").X, 0);
    EXPECT_THROW(fsTextToPoint(u"a:b"), EConvertError);
}

TEST(ScriptTools, VarRecsFeedFormat) {
    std::vector<TVarRec> recs = fsVariantToVarRecs(VarArrayOf({3}));
    EXPECT_EQ(Format(u"%d", recs), u"3");

    const AnsiString long8bit = AnsiString(299, 'a') + "\xE9"; // 300 characters, the last é in 1252
    recs = fsVariantToVarRecs(VarArrayOf({Variant(long8bit)}));
    const String text = Format(u"%s", recs);
    EXPECT_EQ(text.size(), 300u);
    EXPECT_EQ(text.back(), u'\u00E9');

    recs = fsVariantToVarRecs(VarArrayOf(
        {Variant(2.5), Variant(true), Variant(u"x"), Variant(5000000000LL), Variant::FromCurrency(12345), Null()}));
    ASSERT_EQ(recs.size(), 6u);
    EXPECT_EQ(Format(u"%g|%s|%d|%d", {recs[0], recs[2], recs[3], recs[5]}), u"2.5|x|5000000000|0");
    EXPECT_EQ(recs[1].GetKind(), TVarRec::vtBoolean);
    EXPECT_EQ(recs[4].AsExtended(), 1.2345L);
    fsClearVarRecs(recs);
    EXPECT_TRUE(recs.empty());
    EXPECT_THROW(fsVariantToVarRecs(Variant(1)), EVariantError);

    // Host arguments to script values.
    EXPECT_EQ(VarType(fsVarRecToVariant(TVarRec(7))), varInteger);
    EXPECT_EQ(fsVarRecToVariant(TVarRec(7LL)), Variant(7LL));
    EXPECT_EQ(fsVarRecToVariant(TVarRec(true)), Variant(true));
    EXPECT_EQ(fsVarRecToVariant(TVarRec(u'z')), Variant(u"z"));
    EXPECT_EQ(fsVarRecToVariant(TVarRec(0.25)), Variant(0.25));
    EXPECT_EQ(fsVarRecToVariant(TVarRec::Currency(25000)), Variant(2.5));
    EXPECT_EQ(fsVarRecToVariant(TVarRec(u"text")), Variant(u"text"));
    EXPECT_TRUE(VarIsNull(fsVarRecToVariant(TVarRec(static_cast<const void*>(nullptr)))));
}

TEST(ScriptTools, ContentsTree) {
    TypedScript s;
    s.AddConst(u"Quoted", u"String", u"a\"b<c&d");
    s.AddConst(u"Answer", u"Integer", 42);
    s.AddVariable(u"Counter", u"Integer", 0);
    s.AddEnum(u"TAlign", u"alNone, alTop");
    TfsClassVariable* cls = s.AddClass(&TToolsHostBase::StaticClassInfo(), u"TComponent");
    cls->AddMethod(u"procedure Run(Fast: Boolean)", TfsCallMethodEvent());
    cls->AddMethod(u"function Items(p0: Integer): Variant", TfsCallMethodEvent())->IndexMethod = true;
    cls->AddMember(std::make_unique<TfsPropertyHelper>(u"Count", fvtInt, u"Integer"));
    cls->AddMember(std::make_unique<TfsComponentHelper>(u"Button1", u"TButton"));
    s.AddMethod(u"function Copy(s: String; from, count: Integer): String", TfsCallMethodEvent(), u"ctString",
                u"Part of a <text> & more");
    s.AddMethod(u"function Other: Integer", TfsCallMethodEvent(), u"Other things");

    TfsXMLDocument doc;
    doc.Root()->SetName(u"contents");
    fsBuildContentsTree(s, *doc.Root(), false);
    const std::string xml = test::SaveXml(doc);
    EXPECT_TRUE(test::XmllintAccepts(xml)) << xml;

    // Read back through the engine's own reader.
    TfsXMLDocument back;
    TMemoryStream stream;
    stream.WriteBuffer(xml.data(), std::int64_t(xml.size()));
    stream.SetPosition(0);
    back.LoadFromStream(stream);
    TfsXMLItem* root = back.Root();
    ASSERT_EQ(root->Count(), 5);
    const char16_t* groups[] = {u"Functions", u"Classes", u"Types", u"Variables", u"Constants"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(root->Items(i)->Name(), groups[i]);

    TfsXMLItem* functions = root->Items(0);
    ASSERT_EQ(functions->Count(), 2);
    TfsXMLItem* ctString = functions->Items(0);
    EXPECT_EQ(ctString->Name(), u"ctString");
    EXPECT_EQ(ctString->GetProp(u"text"), u"ctString");
    EXPECT_EQ(ctString->Items(0)->GetProp(u"text"), u"function Copy(s: String; from, count: Integer): String");
    EXPECT_EQ(ctString->Items(0)->GetProp(u"description"), u"Part of a <text> & more");
    EXPECT_EQ(functions->Items(1)->GetProp(u"text"), u"Other things");

    TfsXMLItem* classItem = root->Items(1)->Items(0);
    EXPECT_EQ(classItem->GetProp(u"text"), u"TToolsHostBase = class(TComponent)");
    // The published properties of the host class (TComponent's Name and Tag) come first.
    ASSERT_EQ(classItem->Count(), 6);
    EXPECT_EQ(classItem->Items(0)->GetProp(u"text"), u"property Name: String");
    EXPECT_EQ(classItem->Items(1)->GetProp(u"text"), u"property Tag: Int64");
    EXPECT_EQ(classItem->Items(2)->GetProp(u"text"), u"procedure Run(Fast: Boolean)");
    EXPECT_EQ(classItem->Items(3)->GetProp(u"text"), u"index property Items(p0: Integer): Variant");
    EXPECT_EQ(classItem->Items(4)->GetProp(u"text"), u"property Count: Integer");
    EXPECT_EQ(classItem->Items(5)->GetProp(u"text"), u"event Button1");

    TfsXMLItem* types = root->Items(2);
    ASSERT_EQ(types->Count(), 1);
    EXPECT_EQ(types->Items(0)->Name(), u"item");
    EXPECT_EQ(types->Items(0)->GetProp(u"text"), u"TAlign: (alNone,alTop)"); // index order

    TfsXMLItem* variables = root->Items(3);
    ASSERT_EQ(variables->Count(), 2); // the enumeration's own name is a variable of its type
    EXPECT_EQ(variables->Items(0)->GetProp(u"text"), u"Counter: Integer");
    EXPECT_EQ(variables->Items(1)->GetProp(u"text"), u"TAlign: TAlign");

    TfsXMLItem* constants = root->Items(4);
    ASSERT_EQ(constants->Count(), 2);
    EXPECT_EQ(constants->Items(0)->GetProp(u"text"), u"Answer: Integer = 42");
    EXPECT_EQ(constants->Items(1)->GetProp(u"text"), u"Quoted: String = a\"b<c&d");

    TfsXMLDocument functionsOnly;
    fsBuildContentsTree(s, *functionsOnly.Root(), true);
    EXPECT_EQ(functionsOnly.Root()->Items(0)->Count(), 2);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(functionsOnly.Root()->Items(i)->Count(), 0);
}

} // namespace
} // namespace vgl
