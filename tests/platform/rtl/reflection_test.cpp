#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"

namespace vgl {
namespace {

enum TShapeKind { skRect, skCircle, skTriangle };
VGL_DECLARE_ENUM(TShapeKind);
VGL_DEFINE_ENUM(TShapeKind, u"skRect", u"skCircle", u"skTriangle")
VGL_DECLARE_SET(TShapeKinds, TShapeKind);
VGL_DEFINE_SET(TShapeKinds, TShapeKind)

using TNotifyEvent = std::function<void(TObject* sender)>;

const TypeInfo& ColorType() {
    static const TypeInfo t = AliasTypeInfo(TypeInfoFor(TypeTag<std::int32_t>{}), u"TColor");
    return t;
}

class TPen : public TPersistent {
    VGL_CLASS(TPen, TPersistent)
    int FWidth = 1;
};
VGL_DEFINE_CLASS(TPen) {
    b.Property(u"Width", &TPen::FWidth).Default(1);
}

class TShape : public TComponent {
    VGL_CLASS(TShape, TComponent)
    explicit TShape(TComponent* owner) : TComponent(owner) {}

    TShapeKind Kind() const { return FKind; }
    void SetKind(TShapeKind k) { FKind = k; }
    double GetCoord(int index) const { return FCoords[index]; }
    void SetCoord(int index, double v) { FCoords[index] = v; }
    bool IsTopStored(int index) const { return FCoords[index] != 0; }
    int Area() const { return 42; }

    TShapeKind FKind = skRect;
    TShapeKinds FAllowed{skRect};
    double FCoords[2] = {0, 0};
    String FCaption;
    AnsiString FCode;
    std::int64_t FPrice = 0; // Currency
    double FCreated = 0;     // TDateTime
    std::int32_t FColor = 0;
    std::uint8_t FAlpha = 255;
    bool FVisible = true;
    std::int64_t FBig = 0;
    Variant FValue;
    TPen FPen;
    TPen* GetPen() const { return const_cast<TPen*>(&FPen); }
    TComponent* FBuddy = nullptr;
    TNotifyEvent FOnClick;
};

VGL_DEFINE_CLASS(TShape) {
    b.Property(u"Kind", &TShape::Kind, &TShape::SetKind).Default(skRect);
    b.Property(u"Allowed", &TShape::FAllowed).Default(TShapeKinds{skRect});
    b.IndexedProperty(u"Left", 0, &TShape::GetCoord, &TShape::SetCoord);
    b.IndexedProperty(u"Top", 1, &TShape::GetCoord, &TShape::SetCoord).Stored(&TShape::IsTopStored);
    b.Property(u"Caption", &TShape::FCaption);
    b.Property(u"Code", &TShape::FCode);
    b.Property(u"Price", &TShape::FPrice).Type(CurrencyTypeInfo());
    b.Property(u"Created", &TShape::FCreated).Type(DateTimeTypeInfo());
    b.Property(u"Color", &TShape::FColor).Type(ColorType()).Default(0);
    b.Property(u"Alpha", &TShape::FAlpha).Default(255);
    b.Property(u"Visible", &TShape::FVisible).Default(true);
    b.Property(u"Big", &TShape::FBig);
    b.Property(u"Value", &TShape::FValue);
    b.Property(u"Pen", &TShape::GetPen, nullptr);
    b.Property(u"Buddy", &TShape::FBuddy);
    b.Property(u"Area", &TShape::Area, nullptr);
    b.Property(u"OnClick", &TShape::FOnClick);
    b.Attribute(u"ROCustomAttribute", u"soapname", u"click");
    b.ClassAttribute(u"ROCustomAttribute", u"ns", u"urn:shapes");
}

class TLabelShape : public TShape {
    VGL_CLASS(TLabelShape, TShape)
    explicit TLabelShape(TComponent* owner) : TShape(owner) { FVisible = false; }

    String FText;
    int Scale(int factor, int& counter, String& note, const String& suffix) {
        ++counter;
        note = FText + suffix;
        return factor * 2;
    }
    void Fill(TShapeKind kind, TShape*& created) {
        created = new TShape(this);
        created->FKind = kind;
    }
    void Befriend(TComponent* buddy) { FBuddy = buddy; }
};

VGL_DEFINE_CLASS(TLabelShape) {
    b.Property(u"_Hidden", &TLabelShape::FText).Stored(false);
    b.Property(u"Visible", &TLabelShape::FVisible).Default(false); // redeclared with another default
    b.Property(u"Text", &TLabelShape::FText);
    b.Method(u"Scale", &TLabelShape::Scale, {u"factor", u"counter", Out(u"note"), u"suffix"});
    b.Method(u"Fill", &TLabelShape::Fill, {u"kind", Out(u"created")});
    b.Method(u"Befriend", &TLabelShape::Befriend, {u"buddy"});
}

std::vector<String> Names(std::span<const PropInfo* const> props) {
    std::vector<String> names;
    for (const PropInfo* p : props)
        names.push_back(p->Name);
    return names;
}

TEST(Reflection, PropertyListsInDeclarationAndNameOrder) {
    const ClassInfo& c = TLabelShape::StaticClassInfo();
    std::vector<String> declared = {u"Name",  u"Tag",   u"Kind",    u"Allowed", u"Left",    u"Top",     u"Caption",
                                    u"Code",  u"Price", u"Created", u"Color",   u"Alpha",   u"Visible", u"Big",
                                    u"Value", u"Pen",   u"Buddy",   u"Area",    u"OnClick", u"_Hidden", u"Text"};
    EXPECT_EQ(Names(c.Properties()), declared);
    // The redeclared property keeps its ancestor's place but carries the new default.
    const PropInfo* visible = c.FindProperty(u"visible");
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->Declarer, &c);
    EXPECT_EQ(visible->Default, 0);
    EXPECT_EQ(TShape::StaticClassInfo().FindProperty(u"Visible")->Default, 1);

    std::vector<String> sorted = Names(c.SortedProperties());
    std::vector<String> expected = {u"Allowed", u"Alpha",   u"Area", u"Big",  u"Buddy", u"Caption", u"Code",
                                    u"Color",   u"Created", u"Kind", u"Left", u"Name",  u"OnClick", u"Pen",
                                    u"Price",   u"Tag",     u"Text", u"Top",  u"Value", u"Visible", u"_Hidden"};
    EXPECT_EQ(sorted, expected);
    EXPECT_LT(ComparePropNames(u"Abc", u"abcd"), 0);
    EXPECT_LT(ComparePropNames(u"Z9", u"z_"), 0);
}

// Every published property is found under its name in any ASCII case, a redeclaration as the
// redeclaring class's entry; names that only share a prefix or differ beyond ASCII case are not.
TEST(Reflection, FindPropertyByNameInAnyAsciiCase) {
    for (const ClassInfo* c :
         {&TObject::StaticClassInfo(), &TShape::StaticClassInfo(), &TLabelShape::StaticClassInfo()}) {
        for (const PropInfo* p : c->Properties()) {
            EXPECT_EQ(c->FindProperty(p->Name), p) << StringToUtf8(p->Name);
            EXPECT_EQ(c->FindProperty(AnsiUpperCase(p->Name)), p) << StringToUtf8(p->Name);
            EXPECT_EQ(c->FindProperty(AnsiLowerCase(p->Name)), p) << StringToUtf8(p->Name);
        }
        for (const char16_t* missing : {u"", u"Lef", u"Lefts", u"L\u00C9ft", u"Pen.Color", u"Nothing"})
            EXPECT_EQ(c->FindProperty(missing), nullptr) << StringToUtf8(missing);
    }
    EXPECT_EQ(TLabelShape::StaticClassInfo().FindProperty(u"VISIBLE")->Declarer, &TLabelShape::StaticClassInfo());
}

TEST(Reflection, TypeDescriptions) {
    const ClassInfo& c = TShape::StaticClassInfo();
    struct Case {
        const char16_t* prop;
        TTypeKind kind;
        const char16_t* typeName;
        int ordSize;
    };
    const Case cases[] = {
        {u"Kind", tkEnumeration, u"TShapeKind", 1},
        {u"Allowed", tkSet, u"TShapeKinds", 1},
        {u"Left", tkFloat, u"Double", 0},
        {u"Caption", tkUString, u"string", 0},
        {u"Code", tkLString, u"AnsiString", 0},
        {u"Price", tkFloat, u"Currency", 0},
        {u"Created", tkFloat, u"TDateTime", 0},
        {u"Color", tkInteger, u"TColor", 4},
        {u"Alpha", tkInteger, u"Byte", 1},
        {u"Visible", tkEnumeration, u"Boolean", 1},
        {u"Big", tkInt64, u"Int64", 8},
        {u"Value", tkVariant, u"Variant", 0},
        {u"Pen", tkClass, u"TPen", 0},
        {u"Buddy", tkClass, u"TComponent", 0},
        {u"OnClick", tkMethod, u"TMethod", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(StringToUtf8(k.prop));
        const PropInfo* p = c.FindProperty(k.prop);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(TypeKindName(p->Kind()), TypeKindName(k.kind));
        EXPECT_EQ(p->PropType->Name, k.typeName);
        EXPECT_EQ(p->PropType->OrdSize, k.ordSize);
    }
    EXPECT_EQ(c.FindProperty(u"Price")->PropType->FloatType, ftCurr);
    EXPECT_NE(&DateTimeTypeInfo(), &TypeInfoFor(TypeTag<double>{}));
    EXPECT_FALSE(TypeInfoFor(TypeTag<std::uint8_t>{}).OrdSigned);
    EXPECT_EQ(TypeKindName(tkWChar), u"tkWChar");
    EXPECT_EQ(TypeKindName(tkDynArray), u"tkDynArray");
    EXPECT_TRUE(c.FindProperty(u"Pen")->IsSubObject());
    EXPECT_TRUE(c.FindProperty(u"Buddy")->IsReference());
    EXPECT_FALSE(c.FindProperty(u"Area")->Writable());
    EXPECT_EQ(c.FindProperty(u"Top")->Index, 1);
    const AttributeInfo* a = FindAttribute(c.FindProperty(u"OnClick")->Attributes, u"rocustomattribute");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Value, u"click");
    EXPECT_EQ(FindAttribute(c.Attributes(), u"ROCustomAttribute")->Value, u"urn:shapes");
}

TEST(Reflection, EnumerationNamesAndValues) {
    const TypeInfo& t = TypeInfoFor(TypeTag<TShapeKind>{});
    EXPECT_EQ(t.Enum.Count(), 3);
    EXPECT_EQ(t.Enum.Width(), 1);
    EXPECT_EQ(GetEnumName(t, 2), u"skTriangle");
    EXPECT_EQ(GetEnumName(t, 3), u"");
    EXPECT_EQ(GetEnumValue(t, u"SKCIRCLE"), 1);
    EXPECT_EQ(GetEnumValue(t, u"skSquare"), -1);
    const TypeInfo& s = TypeInfoFor(TypeTag<TShapeKinds>{});
    EXPECT_EQ(SetToString(s, 5, true), u"[skRect,skTriangle]");
    EXPECT_EQ(StringToSet(s, u"[ skCircle , skTriangle ]"), 6u);
    EXPECT_EQ(StringToSet(s, u""), 0u);
    EXPECT_THROW(StringToSet(s, u"skRect,skOval"), EPropertyError);
    std::vector<String> many;
    for (int i = 0; i < 300; ++i)
        many.push_back(u"v" + IntToStr(i));
    EXPECT_EQ(EnumInfo(many).Width(), 2);
}

TEST(Reflection, GetAndSetByNameOnTheActualClass) {
    TLabelShape shape(nullptr);
    TObject& obj = shape; // the properties come from the object's actual class
    struct Case {
        const char16_t* prop;
        Variant value;
        Variant expected; // what GetPropValue gives back
    };
    const Case cases[] = {
        {u"Kind", Variant(u"skCircle"), Variant(u"skCircle")},
        {u"Kind", Variant(2), Variant(u"skTriangle")},
        {u"Allowed", Variant(u"skRect,skCircle"), Variant(u"skRect,skCircle")},
        {u"Left", Variant(12.5), Variant(12.5)},
        {u"Caption", Variant(u"Hällo"), Variant(u"Hällo")},
        {u"Code", Variant(u"Grüße"), Variant(u"Grüße")},
        {u"Price", Variant::FromCurrency(123456), Variant::FromCurrency(123456)},
        {u"Created", Variant::FromDate(45027.5), Variant::FromDate(45027.5)},
        {u"Color", Variant(0xFF00), Variant(0xFF00)},
        {u"Visible", Variant(true), Variant(true)},
        {u"Big", Variant(std::int64_t(1) << 40), Variant(std::int64_t(1) << 40)},
        {u"Value", Variant(u"any"), Variant(u"any")},
        {u"Text", Variant(42), Variant(u"42")},
        {u"Tag", Variant(7), Variant(std::int64_t(7))},
        {u"Name", Variant(u"Label1"), Variant(u"Label1")},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(StringToUtf8(k.prop));
        SetPropValue(obj, k.prop, k.value);
        Variant got = GetPropValue(obj, k.prop);
        EXPECT_EQ(VarType(got), VarType(k.expected));
        EXPECT_TRUE(got == k.expected) << StringToUtf8(VarToStr(got));
    }
    EXPECT_EQ(shape.FKind, skTriangle);
    EXPECT_EQ(shape.FPrice, 123456);
    EXPECT_EQ(shape.FCode, "Gr\xFC\xDF"
                           "e"); // code page 1252 bytes
    EXPECT_EQ(GetPropValue(obj, u"Kind", false).AsInteger(), 2);
    EXPECT_EQ(GetOrdProp(obj, u"Allowed"), 3);
    EXPECT_EQ(GetFloatProp(obj, u"Price"), 12.3456L);
    SetFloatProp(obj, u"Price", 0.00005L); // rounds to the nearest ten-thousandth
    EXPECT_EQ(shape.FPrice, 0);
    SetEnumProp(obj, u"Kind", u"skRect");
    EXPECT_EQ(GetEnumProp(obj, u"Kind"), u"skRect");
    SetSetProp(obj, u"Allowed", u"[skTriangle]");
    EXPECT_EQ(GetSetProp(obj, u"Allowed", true), u"[skTriangle]");
    EXPECT_EQ(GetOrdProp(obj, u"Area"), 42);
    EXPECT_EQ(GetStrProp(obj, u"Name"), u"Label1");
}

TEST(Reflection, AccessErrors) {
    TShape shape(nullptr);
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* message; // empty: any message
    };
    const Case cases[] = {
        {"unknown", [&] { GetOrdProp(shape, u"Missing"); }, "Property Missing does not exist"},
        {"read-only", [&] { SetOrdProp(shape, u"Area", 1); }, "Property Area is read-only"},
        {"wrong kind", [&] { GetStrProp(shape, u"Kind"); }, "Invalid property type: tkEnumeration"},
        {"enum range", [&] { SetOrdProp(shape, u"Kind", 3); }, "Range check error"},
        {"byte range", [&] { SetPropValue(shape, u"Alpha", Variant(256)); }, "Range check error"},
        {"set range", [&] { SetOrdProp(shape, u"Allowed", 8); }, "Range check error"},
        {"enum name", [&] { SetEnumProp(shape, u"Kind", u"skOval"); }, "Invalid property element: skOval"},
        {"class", [&] { SetObjectProp(shape, u"Buddy", &shape.FPen); }, "Invalid property value"},
        {"event type", [&] { SetMethodProp(shape, u"OnClick", std::any(42)); }, "Invalid property value"},
        {"method", [&] { GetPropValue(shape, u"OnClick"); }, "Invalid property type: tkMethod"},
        {"label prop", [&] { GetStrProp(shape, u"Text"); }, "Property Text does not exist"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        try {
            k.call();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), k.message);
        }
    }
    // A property of a derived class applied to an object of the base class is refused.
    const PropInfo* text = TLabelShape::StaticClassInfo().FindProperty(u"Text");
    EXPECT_THROW(GetStrProp(shape, *text), EPropertyError);
    EXPECT_EQ(shape.FKind, skRect);
}

TEST(Reflection, DefaultsAndStoredRules) {
    TLabelShape label(nullptr);
    const ClassInfo& c = label.ClassInfo();
    auto stored = [&](const char16_t* n) { return IsStoredProp(label, *c.FindProperty(n)); };
    auto isDefault = [&](const char16_t* n) { return IsDefaultPropValue(label, *c.FindProperty(n)); };
    EXPECT_FALSE(stored(u"Name"));
    EXPECT_FALSE(stored(u"_Hidden"));
    EXPECT_TRUE(stored(u"Left"));
    EXPECT_FALSE(stored(u"Top")); // predicate with the index: 0 is not stored
    label.SetCoord(1, 3);
    EXPECT_TRUE(stored(u"Top"));

    EXPECT_TRUE(isDefault(u"Kind"));
    EXPECT_TRUE(isDefault(u"Allowed"));
    EXPECT_TRUE(isDefault(u"Visible")); // the redeclared default False
    EXPECT_TRUE(isDefault(u"Alpha"));
    EXPECT_FALSE(isDefault(u"Big")); // no declared default: always written
    EXPECT_TRUE(isDefault(u"Caption"));
    label.FCaption = u"x";
    label.FVisible = true;
    label.FAllowed = {skRect, skCircle};
    EXPECT_FALSE(isDefault(u"Caption"));
    EXPECT_FALSE(isDefault(u"Visible"));
    EXPECT_FALSE(isDefault(u"Allowed"));
}

class TEventSource : public TComponent {
    VGL_CLASS(TEventSource, TComponent)
    explicit TEventSource(TComponent* owner) : TComponent(owner) {}
    TNotifyEvent FOnChange;
};
VGL_DEFINE_CLASS(TEventSource) {
    // The named event type is made in the call: the table must not be left holding a temporary.
    b.Property(u"OnChange", &TEventSource::FOnChange).Type(EventTypeInfo<TNotifyEvent>(u"TNotifyEvent"));
}

TEST(Reflection, NamedEventTypesLastAsLongAsTheTables) {
    const PropInfo* p = TEventSource::StaticClassInfo().FindProperty(u"OnChange");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->PropType->Kind, tkMethod);
    EXPECT_EQ(p->PropType->Name, u"TNotifyEvent");
    EXPECT_EQ(&EventTypeInfo<TNotifyEvent>(u"TNotifyEvent"), p->PropType);
    EXPECT_NE(&EventTypeInfo<TNotifyEvent>(u"TOtherEvent"), p->PropType);
}

TEST(Reflection, ObjectAndEventProperties) {
    TComponent owner(nullptr);
    auto* a = new TShape(&owner);
    auto* b = new TShape(&owner);
    SetObjectProp(*a, u"Buddy", b);
    EXPECT_EQ(a->FBuddy, b);
    EXPECT_EQ(GetPropValue(*a, u"Buddy").AsObject(), b);
    SetPropValue(*a, u"Buddy", Variant::FromObject(nullptr));
    EXPECT_EQ(a->FBuddy, nullptr);
    EXPECT_EQ(GetObjectProp(*a, u"Pen"), &a->FPen);

    TObject* seen = nullptr;
    SetMethodProp(*a, u"OnClick", std::any(TNotifyEvent([&](TObject* sender) { seen = sender; })));
    ASSERT_TRUE(a->FOnClick);
    a->FOnClick(a);
    EXPECT_EQ(seen, a);
    std::any handler = GetMethodProp(*a, u"OnClick");
    ASSERT_TRUE(handler.has_value());
    SetMethodProp(*b, u"OnClick", handler); // the same handler on another object
    b->FOnClick(b);
    EXPECT_EQ(seen, b);
    SetMethodProp(*a, u"OnClick", std::any());
    EXPECT_FALSE(a->FOnClick);
    EXPECT_FALSE(GetMethodProp(*a, u"OnClick").has_value());
}

TEST(Reflection, MethodsByNameWithVarAndOutParameters) {
    TLabelShape label(nullptr);
    label.FText = u"ab";
    const MethodInfo* m = label.ClassInfo().FindMethod(u"scale");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->Params.size(), 4u);
    EXPECT_EQ(m->Params[0].Flags, 0u);
    EXPECT_EQ(m->Params[1].Flags, unsigned(pfVar));
    EXPECT_EQ(m->Params[2].Flags, unsigned(pfOut));
    EXPECT_EQ(m->Params[3].Flags, unsigned(pfConst));
    EXPECT_EQ(m->Params[2].ParamType->Name, u"string");
    EXPECT_EQ(m->ResultType->Name, u"Integer");

    std::vector<Variant> args = {Variant(21), Variant(5), Variant(), Variant(u"!")};
    Variant r = InvokeMethod(label, u"Scale", args);
    EXPECT_EQ(r.AsInteger(), 42);
    EXPECT_EQ(args[1].AsInteger(), 6);
    EXPECT_EQ(args[2].AsString(), u"ab!");
    EXPECT_EQ(args[3].AsString(), u"!");

    std::vector<Variant> fill = {Variant(u"skCircle"), Variant()};
    EXPECT_TRUE(InvokeMethod(label, u"Fill", fill).IsEmpty());
    auto* created = dynamic_cast<TShape*>(fill[1].AsObject());
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->FKind, skCircle);
    EXPECT_EQ(created->Owner(), &label);

    std::vector<Variant> one = {Variant(1)};
    EXPECT_THROW(InvokeMethod(label, u"Scale", one), EArgumentException);
    EXPECT_THROW(InvokeMethod(label, u"Missing", one), EPropertyError);
    std::vector<Variant> badEnum = {Variant(u"skOval"), Variant()};
    EXPECT_THROW(InvokeMethod(label, u"Fill", badEnum), EPropertyError);
    TShape plain(nullptr);
    EXPECT_THROW(InvokeMethod(plain, u"Scale", args), EPropertyError); // declared on the subclass only
}

// Object references reach typed access (property writes, method arguments) only through a
// checked handle: a number, a freed object or an object of another class is refused cleanly.
TEST(Reflection, ObjectArgumentsAndValuesAreChecked) {
    TComponent owner(nullptr);
    TLabelShape label(nullptr);
    auto* gone = new TShape(&owner);
    Variant freed = Variant::FromObject(gone);
    delete gone;
    TPersistent notAComponent;
    const Variant wrongClass = Variant::FromObject(&notAComponent);
    auto* buddy = new TShape(&owner);
    label.FBuddy = buddy;

    struct Case {
        const char* what;
        Variant value;
        String message;
    };
    const Case cases[] = {
        {"integer", Variant(12345678), u"Could not convert variant of type (Integer) into type (Object)"},
        {"int64 address", Variant(std::int64_t(reinterpret_cast<std::intptr_t>(buddy))),
         u"Could not convert variant of type (Int64) into type (Object)"},
        {"text", Variant(u"Buddy"), u"Could not convert variant of type (UnicodeString) into type (Object)"},
        {"freed", freed, u"Variant refers to a freed object"},
        {"wrong class", wrongClass, u"Invalid class typecast: TPersistent is no TComponent"},
    };
    auto messageOf = [](const std::function<void()>& call) -> String {
        try {
            call();
        } catch (const Exception& e) {
            return e.Message();
        }
        return u"<no exception>";
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(messageOf([&] { SetPropValue(label, u"Buddy", k.value); }), k.message);
        EXPECT_EQ(label.FBuddy, buddy); // untouched
        std::vector<Variant> args = {k.value};
        EXPECT_EQ(messageOf([&] { InvokeMethod(label, u"Befriend", args); }), k.message);
        EXPECT_EQ(messageOf([&] { (void)k.value.AsObject(&TComponent::StaticClassInfo()); }), k.message);
    }
    std::vector<Variant> notAShape = {Variant(u"skCircle"), Variant::FromObject(&owner)};
    EXPECT_EQ(messageOf([&] { InvokeMethod(label, u"Fill", notAShape); }),
              u"Invalid class typecast: TComponent is no TShape");

    std::vector<Variant> ok = {Variant::FromObject(buddy)};
    InvokeMethod(label, u"Befriend", ok);
    EXPECT_EQ(label.FBuddy, buddy);
    SetPropValue(label, u"Buddy", Unassigned());
    EXPECT_EQ(label.FBuddy, nullptr);
}

TEST(Reflection, ClassRegistryAndFactories) {
    RegisterClasses({&TShape::StaticClassInfo(), &TLabelShape::StaticClassInfo()});
    RegisterClass(&TShape::StaticClassInfo()); // again: nothing happens
    EXPECT_EQ(GetClass(u"tlabelshape"), &TLabelShape::StaticClassInfo());
    EXPECT_EQ(GetClass(u"TNoSuchClass"), nullptr);
    try {
        FindClass(u"TNoSuchClass");
        ADD_FAILURE();
    } catch (const EClassNotFound& e) {
        EXPECT_STREQ(e.what(), "Class TNoSuchClass not found");
    }
    ClassInfo impostor(u"TSHAPE", &TObject::StaticClassInfo());
    EXPECT_THROW(RegisterClass(&impostor), EFilerError);

    TComponent owner(nullptr);
    TComponent& made = FindClass(u"TLabelShape")->CreateComponent(owner);
    EXPECT_EQ(made.Owner(), &owner);
    EXPECT_EQ(made.ClassName(), u"TLabelShape");
    EXPECT_FALSE(static_cast<TLabelShape&>(made).FVisible); // the class's own constructor ran
    EXPECT_TRUE(made.InheritsFrom(&TShape::StaticClassInfo()));
    EXPECT_FALSE(made.InheritsFrom(&TPen::StaticClassInfo()));
    std::unique_ptr<TObject> pen = TPen::StaticClassInfo().Create();
    EXPECT_EQ(pen->ClassName(), u"TPen");
    EXPECT_THROW(TPen::StaticClassInfo().CreateComponent(owner), EInvalidOperation);
    UnRegisterClass(&TLabelShape::StaticClassInfo());
    EXPECT_EQ(GetClass(u"TLabelShape"), nullptr);
    UnRegisterClass(&TShape::StaticClassInfo());
}

TEST(Reflection, ExceptionsHaveStableNamesAndAreMadeByName) {
    struct Case {
        const char16_t* name;
        const char16_t* parent;
    };
    const Case cases[] = {{u"EConvertError", u"Exception"},
                          {u"EClassNotFound", u"EFilerError"},
                          {u"EZeroDivide", u"EMathError"},
                          {u"Exception", u"TObject"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(StringToUtf8(k.name));
        std::unique_ptr<Exception> e = CreateException(k.name, u"boom");
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->ClassName(), k.name);
        EXPECT_EQ(e->ClassType()->Name(), k.name);
        EXPECT_EQ(e->ClassType()->Parent()->Name(), k.parent);
        EXPECT_EQ(e->Message(), u"boom");
    }
    EXPECT_EQ(CreateException(u"TShape", u"x"), nullptr);
    EXPECT_EQ(CreateException(u"ENoSuch", u"x"), nullptr);
    std::unique_ptr<Exception> e = CreateException(u"erangeerror", u"out");
    try {
        e->Raise();
    } catch (const EIntError& caught) { // thrown as its actual class
        EXPECT_EQ(caught.ClassName(), u"ERangeError");
    }
    EConvertError local(u"x");
    const Exception& base = local;
    EXPECT_EQ(base.ClassName(), u"EConvertError");
    EXPECT_TRUE(base.InheritsFrom(&Exception::StaticClassInfo()));
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

// A band-like class that publishes a property of its own type and one of a descendant's type:
// building its table must not need the tables it is building.
class TBandLike : public TComponent {
    VGL_CLASS(TBandLike, TComponent)
    explicit TBandLike(TComponent* owner) : TComponent(owner) {}
    TBandLike* FNext = nullptr;
    class TChildLike* FChild = nullptr;
};
class TChildLike : public TBandLike {
    VGL_CLASS(TChildLike, TBandLike)
    explicit TChildLike(TComponent* owner) : TBandLike(owner) {}
    int FGap = 0;
};
VGL_DEFINE_CLASS(TBandLike) {
    b.Property(u"Next", &TBandLike::FNext);
    b.Property(u"Child", &TBandLike::FChild);
}
VGL_DEFINE_CLASS(TChildLike) {
    b.Property(u"Gap", &TChildLike::FGap);
}

TEST(Reflection, ClassesMayPublishTheirOwnAndTheirDescendantsTypes) {
    const ClassInfo& band = TBandLike::StaticClassInfo();
    ASSERT_EQ(band.Properties().size(), TComponent::StaticClassInfo().Properties().size() + 2);
    EXPECT_EQ(band.FindProperty(u"Next")->PropType->ClassType, &band);
    const ClassInfo& child = TChildLike::StaticClassInfo();
    EXPECT_EQ(band.FindProperty(u"Child")->PropType->ClassType, &child);
    // The descendant's table is complete and holds its ancestor's properties first.
    EXPECT_EQ(child.Properties().size(), band.Properties().size() + 1);
    EXPECT_NE(child.FindProperty(u"Next"), nullptr);

    TComponent owner(nullptr);
    auto& a = static_cast<TBandLike&>(band.CreateComponent(owner));
    auto& c = static_cast<TChildLike&>(child.CreateComponent(owner));
    SetObjectProp(a, u"Child", &c);
    SetObjectProp(c, u"Next", &a);
    EXPECT_EQ(a.FChild, &c);
    EXPECT_EQ(c.FNext, &a);
}

} // namespace
} // namespace vgl
