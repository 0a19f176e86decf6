#include "platform/rtl/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

String ConvertError(const char16_t* from, const char16_t* to) {
    return String(u"Could not convert variant of type (") + from + u") into type (" + to + u")";
}

template <typename F> String MessageOf(F&& f) {
    try {
        f();
    } catch (const EVariantError& e) {
        return e.Message();
    }
    return u"<no EVariantError>";
}

TEST(Variant, ConvertsToInteger) {
    struct Case {
        Variant In;
        int Out;
    } cases[] = {
        {Variant(2.5), 2},      // halves to even
        {Variant(3.5), 4},      //
        {Variant(-2.5), -2},    //
        {Variant(u"42"), 42},   //
        {Variant(u" 12 "), 12}, // blanks around
        {Variant(u"1.5"), 2},   // float text, rounded
        {Variant(u"1,5"), 2},   // "," read as decimal separator
        {Variant(u"True"), -1}, //
        {Variant(true), -1},    //
        {Variant(), 0},         // Empty
        {Variant::FromCurrency(25000), 2},
        {Variant::FromCurrency(35000), 4},
        {Variant(std::int64_t{2147483647}), 2147483647},
        {Variant(std::uint64_t{5}), 5},
        {Variant::FromDate(45027.75), 45028},
        {Variant(AnsiString("-7")), -7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.In.AsInteger(), c.Out) << StringToUtf8(VarTypeAsText(c.In.VType()));
}

TEST(Variant, IntegerConversionErrorsNameBothTypes) {
    struct Case {
        Variant In;
        const char16_t* From;
    } cases[] = {
        {Null(), u"Null"},
        {Variant(u"abc"), u"UnicodeString"},
        {Variant(u""), u"UnicodeString"},
        {Variant(3e9), u"Double"},
        {Variant(std::nan("")), u"Double"},
        {Variant(std::int64_t{1} << 40), u"Int64"},
        {Variant(std::numeric_limits<std::uint64_t>::max()), u"UInt64"},
        {Variant(AnsiString("x")), u"String"},
        {VarArrayOf({1, 2}), u"Array Variant"},
        {Variant::FromError(5), u"Error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf([&] { (void)c.In.AsInteger(); }), ConvertError(c.From, u"Integer"));
    EXPECT_EQ(MessageOf([] { (void)Variant(std::numeric_limits<std::uint64_t>::max()).AsInt64(); }),
              ConvertError(u"UInt64", u"Int64"));
}

TEST(Variant, RangeChecksOfSmallIntegerKinds) {
    struct Case {
        Variant In;
        TVarType To;
        bool Ok;
    } cases[] = {
        {Variant(255), varByte, true},
        {Variant(256), varByte, false},
        {Variant(-1), varByte, false},
        {Variant(u"255"), varByte, true},
        {Variant(-128), varShortInt, true},
        {Variant(-129), varShortInt, false},
        {Variant(32767), varSmallint, true},
        {Variant(32768), varSmallint, false},
        {Variant(65535), varWord, true},
        {Variant(-1), varLongWord, false},
        {Variant(4294967295.0), varLongWord, true},
        {Variant(1e300), varSingle, false},
        {Variant(1.5), varSingle, true},
    };
    for (const Case& c : cases) {
        if (c.Ok) {
            Variant v = VarAsType(c.In, c.To);
            EXPECT_EQ(v.VType(), c.To);
            EXPECT_EQ(v, c.In);
        } else {
            EXPECT_EQ(MessageOf([&] { (void)VarAsType(c.In, c.To); }),
                      ConvertError(VarTypeAsText(c.In.VType()).c_str(), VarTypeAsText(c.To).c_str()));
        }
    }
    // Unsigned 64-bit values beyond the signed range survive.
    EXPECT_EQ(Variant(u"18446744073709551615").AsUInt64(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(VarAsType(Variant(1e19), varUInt64).AsUInt64(), 10000000000000000000ull);
}

TEST(Variant, ConvertsToText) {
    struct Case {
        Variant In;
        String Out;
    } cases[] = {
        {Variant(), u""},
        {Variant(-7), u"-7"},
        {Variant(1.5), u"1.5"},
        {Variant(true), u"True"},
        {Variant(false), u"False"},
        {Variant(u'x'), u"x"},
        {Variant(std::numeric_limits<std::uint64_t>::max()), u"18446744073709551615"},
        {Variant::FromCurrency(12345), u"1.2345"},
        {Variant::FromCurrency(-50000), u"-5"},
        {Variant::FromCurrency(std::numeric_limits<std::int64_t>::min()), u"-922337203685477.5808"},
        {Variant::FromDate(45027), u"11.04.2023"},
        {Variant::FromDate(45027.5), u"11.04.2023 12:00:00"},
        {Variant(AnsiString("caf\xE9")), u"caf\u00E9"}, // code page 1252
        {Variant::FromOleStr(u"ole"), u"ole"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.In.AsString(), c.Out);
    EXPECT_EQ(Variant(u"caf\u00E9").AsAnsiString(), "caf\xE9");
}

TEST(Variant, NullAndEmptyRules) {
    EXPECT_EQ(VarToStr(Null()), u"");
    EXPECT_EQ(VarToStrDef(Null(), u"-"), u"-");
    EXPECT_EQ(MessageOf([] { (void)Null().AsString(); }), ConvertError(u"Null", u"UnicodeString"));
    EXPECT_EQ(MessageOf([] { (void)Null().AsBoolean(); }), ConvertError(u"Null", u"Boolean"));
    EXPECT_EQ(MessageOf([] { (void)Null().AsDouble(); }), ConvertError(u"Null", u"Double"));
    EXPECT_TRUE(VarIsNull(Null()));
    EXPECT_TRUE(VarIsEmpty(Unassigned()));
    EXPECT_TRUE(VarIsClear(Variant(std::shared_ptr<IDispatch>())));
    EXPECT_FALSE(Variant().AsBoolean());
    EXPECT_EQ(Variant().AsDouble(), 0);
}

TEST(Variant, ConvertsToFloatAndBoolean) {
    EXPECT_EQ(Variant(u"1,5").AsDouble(), 1.5);
    EXPECT_EQ(Variant(u"-1.5e3").AsDouble(), -1500);
    EXPECT_EQ(Variant(true).AsDouble(), -1);
    EXPECT_EQ(Variant::FromCurrency(15000).AsDouble(), 1.5);
    EXPECT_EQ(Variant(u"1.5").AsCurrency(), 15000);
    EXPECT_EQ(Variant(3).AsCurrency(), 30000);
    EXPECT_EQ(MessageOf([] { (void)Variant(1e300).AsCurrency(); }), ConvertError(u"Double", u"Currency"));
    EXPECT_EQ(MessageOf([] { (void)Variant(u"1e400").AsDouble(); }), ConvertError(u"UnicodeString", u"Double"));
    EXPECT_EQ(Variant(u"11.04.2023").AsDate(), 45027);

    struct Case {
        Variant In;
        bool Out;
    } cases[] = {{Variant(0), false},      {Variant(2), true},     {Variant(0.0), false},
                 {Variant(u"true"), true}, {Variant(u"0"), false}, {Variant(u"-1"), true}};
    for (const Case& c : cases)
        EXPECT_EQ(c.In.AsBoolean(), c.Out);
    EXPECT_EQ(MessageOf([] { (void)Variant(u"yes").AsBoolean(); }), ConvertError(u"UnicodeString", u"Boolean"));
}

TEST(Variant, Comparison) {
    const double nan = std::nan("");
    struct Case {
        Variant A, B;
        TVariantRelationship R;
    } cases[] = {
        {Variant(1), Variant(1.0), vrEqual},
        {Variant(1), Variant(u"1"), vrEqual},
        {Variant(u"10"), Variant(9), vrGreaterThan}, // a text against a number compares as numbers
        {Variant(u"10"), Variant(u"9"), vrLessThan}, // two texts compare as texts
        {Variant(u"a"), Variant(u"B"), vrGreaterThan},
        {Variant(AnsiString("abc")), Variant(u"abc"), vrEqual},
        {Null(), Null(), vrEqual},
        {Null(), Variant(0), vrNotEqual},
        {Variant(0), Null(), vrNotEqual},
        {Variant(), Variant(), vrEqual},
        {Variant(), Variant(0), vrNotEqual},
        {Variant(std::numeric_limits<std::uint64_t>::max()), Variant(-1), vrGreaterThan},
        {Variant(std::int64_t{-1}), Variant(std::uint64_t{0}), vrLessThan},
        {Variant(true), Variant(-1), vrEqual},
        {Variant(true), Variant(u"True"), vrEqual},
        {Variant::FromCurrency(15000), Variant(1.5), vrEqual},
        {Variant((std::int64_t{1} << 53) + 1), Variant(std::int64_t{1} << 53), vrGreaterThan}, // exact
        {Variant(nan), Variant(1), vrNotEqual},
        {Variant::FromDate(45027), Variant(45027), vrEqual},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VarCompareValue(c.A, c.B), c.R)
            << StringToUtf8(VarToStr(c.A)) << " ? " << StringToUtf8(VarToStr(c.B));
    EXPECT_EQ(MessageOf([] { (void)VarCompareValue(VarArrayOf({1}), Variant(1)); }), u"Invalid variant operation");
    EXPECT_EQ(MessageOf([] { (void)VarCompareValue(Variant(u"abc"), Variant(1)); }),
              ConvertError(u"UnicodeString", u"Double"));
}

TEST(Variant, ArraysKeepBoundsPerDimension) {
    Variant a = VarArrayCreate({1, 3, -2, 0}, varInteger);
    EXPECT_EQ(VarType(a), varArray | varInteger);
    EXPECT_EQ(VarTypeAsText(VarType(a)), u"Array Integer");
    ASSERT_EQ(VarArrayDimCount(a), 2);
    EXPECT_EQ(VarArrayLowBound(a, 1), 1);
    EXPECT_EQ(VarArrayHighBound(a, 1), 3);
    EXPECT_EQ(VarArrayLowBound(a, 2), -2);
    EXPECT_EQ(VarArrayHighBound(a, 2), 0);
    EXPECT_EQ(VarArrayGet(a, {3, 0}).VType(), varInteger);
    EXPECT_EQ(VarArrayGet(a, {3, 0}).AsInteger(), 0);

    // Every element is addressed separately, and puts convert to the element type.
    int n = 0;
    for (int i = 1; i <= 3; ++i)
        for (int j = -2; j <= 0; ++j)
            VarArrayPut(a, Variant(IntToStr(++n)), {i, j});
    n = 0;
    for (int i = 1; i <= 3; ++i)
        for (int j = -2; j <= 0; ++j) {
            Variant e = VarArrayGet(a, {i, j});
            EXPECT_EQ(e.VType(), varInteger);
            EXPECT_EQ(e.AsInteger(), ++n);
        }

    const String outOfBounds = u"Variant or safe array index out of bounds";
    EXPECT_EQ(MessageOf([&] { (void)VarArrayGet(a, {0, 0}); }), outOfBounds);
    EXPECT_EQ(MessageOf([&] { (void)VarArrayGet(a, {1, 1}); }), outOfBounds);
    EXPECT_EQ(MessageOf([&] { (void)VarArrayGet(a, {1}); }), outOfBounds);
    EXPECT_EQ(MessageOf([&] { VarArrayPut(a, Variant(1), {4, 0}); }), outOfBounds);
    EXPECT_EQ(MessageOf([&] { (void)VarArrayHighBound(a, 3); }), outOfBounds);
    EXPECT_EQ(MessageOf([&] { VarArrayPut(a, Variant(u"x"), {1, 0}); }), ConvertError(u"UnicodeString", u"Integer"));
    EXPECT_EQ(MessageOf([] { (void)VarArrayLowBound(Variant(1), 1); }), u"Variant is not an array");
    EXPECT_EQ(VarArrayDimCount(Variant(1)), 0);
}

TEST(Variant, ArraysAreValues) {
    Variant a = VarArrayOf({1, u"two", 3.0});
    Variant b = a;
    VarArrayPut(b, Variant(u"changed"), {1});
    EXPECT_EQ(VarArrayGet(a, {1}).AsString(), u"two");
    EXPECT_EQ(VarArrayGet(b, {1}).AsString(), u"changed");

    // An array stored into itself keeps the old contents in that element.
    VarArrayPut(a, a, {0});
    Variant inner = VarArrayGet(a, {0});
    EXPECT_TRUE(VarIsArray(inner));
    EXPECT_EQ(VarArrayGet(inner, {0}).AsInteger(), 1);
}

TEST(Variant, RedimKeepsElements) {
    Variant a = VarArrayCreate({0, 9}, varVariant);
    for (int i = 0; i <= 9; ++i)
        VarArrayPut(a, Variant(i * 10), {i});
    VarArrayRedim(a, 2);
    EXPECT_EQ(VarArrayHighBound(a, 1), 2);
    EXPECT_EQ(VarArrayGet(a, {2}).AsInteger(), 20);
    VarArrayRedim(a, 4);
    EXPECT_TRUE(VarIsEmpty(VarArrayGet(a, {4})));

    // The last dimension grows in place; the first keeps its elements' positions.
    Variant m = VarArrayCreate({0, 1, 0, 0}, varInteger);
    VarArrayPut(m, Variant(5), {1, 0});
    VarArrayRedim(m, 1);
    EXPECT_EQ(VarArrayGet(m, {1, 0}).AsInteger(), 5);
    EXPECT_EQ(VarArrayGet(m, {1, 1}).AsInteger(), 0);

    Variant e = VarArrayCreate({0, -1}, varVariant); // empty dimension
    EXPECT_EQ(VarArrayHighBound(e, 1), -1);
    VarArrayRedim(e, 0);
    EXPECT_TRUE(VarIsEmpty(VarArrayGet(e, {0})));
}

TEST(Variant, ArrayCreationErrors) {
    const String error = u"Error creating variant or safe array";
    EXPECT_EQ(MessageOf([] { (void)VarArrayCreate({0}, varVariant); }), error);
    EXPECT_EQ(MessageOf([] { (void)VarArrayCreate({5, 3}, varVariant); }), error);
    EXPECT_EQ(MessageOf([] { (void)VarArrayCreate({0, 1}, varNull); }), error);
    EXPECT_EQ(MessageOf([] { (void)VarArrayCreate({0, 1 << 30}, varByte); }), error);
    EXPECT_EQ(MessageOf([] { (void)VarArrayCreate({0, 9999, 0, 9999}, varByte); }), error);
    EXPECT_EQ(MessageOf([] {
                  (void)VarArrayCreate({std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}, varByte);
              }),
              error);
}

TEST(Variant, ObjectReferencesAreCheckedHandles) {
    TComponent owner(nullptr);
    auto obj = std::make_unique<TPersistent>();
    Variant v = Variant::FromObject(obj.get());
    EXPECT_EQ(VarType(v), varObject);
    EXPECT_EQ(VarTypeAsText(varObject), u"Object");
    EXPECT_FALSE(VarIsOrdinal(v));
    EXPECT_EQ(v.AsObject(), obj.get());
    EXPECT_EQ(v.AsObject(&TPersistent::StaticClassInfo()), obj.get());
    Variant copy = v;
    EXPECT_TRUE(copy == Variant::FromObject(obj.get())); // identities compare
    EXPECT_FALSE(copy == Variant::FromObject(&owner));
    EXPECT_EQ(Variant::FromObject(nullptr).AsObject(), nullptr);
    EXPECT_TRUE(VarIsClear(Variant::FromObject(nullptr)));
    EXPECT_EQ(Variant().AsObject(), nullptr); // Empty reads as nil
    // A copied object is another object.
    TPersistent other(*obj);
    EXPECT_FALSE(Variant::FromObject(&other) == v);

    // No number, text or other kind passes for an object, and nothing is told as a number.
    for (const Variant& bad : {Variant(12345678), Variant(std::int64_t(0)), Variant(u"x"), Null()}) {
        SCOPED_TRACE(int(VarType(bad)));
        EXPECT_EQ(MessageOf([&] { (void)bad.AsObject(); }),
                  ConvertError(VarTypeAsText(VarType(bad)).c_str(), u"Object"));
    }
    EXPECT_EQ(MessageOf([&] { (void)v.AsInt64(); }), ConvertError(u"Object", u"Int64"));
    EXPECT_EQ(MessageOf([&] { (void)v.AsString(); }), ConvertError(u"Object", u"UnicodeString"));
    EXPECT_EQ(MessageOf([&] { (void)(v == Variant(1)); }), u"Invalid variant operation");

    // Typed access to another class.
    try {
        (void)v.AsObject(&TComponent::StaticClassInfo());
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidCast& e) {
        EXPECT_EQ(e.Message(), u"Invalid class typecast: TPersistent is no TComponent");
    }

    // Freed: every copy reads as freed, also when the address is taken again by a new object.
    obj.reset();
    EXPECT_EQ(MessageOf([&] { (void)v.AsObject(); }), u"Variant refers to a freed object");
    EXPECT_EQ(MessageOf([&] { (void)copy.AsObject(&TPersistent::StaticClassInfo()); }),
              u"Variant refers to a freed object");
    auto again = std::make_unique<TPersistent>();
    EXPECT_EQ(MessageOf([&] { (void)v.AsObject(); }), u"Variant refers to a freed object");
    EXPECT_FALSE(VarIsClear(v));

    // A component reads as freed from the start of its destruction: partners told while it is
    // torn down cannot reach it through a Variant.
    auto* child = new TComponent(&owner);
    Variant ref = Variant::FromObject(child);
    delete child;
    EXPECT_EQ(MessageOf([&] { (void)ref.AsObject(); }), u"Variant refers to a freed object");
}

// An interface that does nothing: the test is about how a Variant carries one.
class TNullDispatch : public IDispatch {
public:
    HRESULT GetIDsOfNames(StringView, std::int32_t&) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(std::int32_t, std::uint16_t, std::span<Variant>, std::span<const std::int32_t>, Variant*,
                   TExcepInfo&) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

TEST(Variant, DispatchReferences) {
    auto disp = std::make_shared<TNullDispatch>();
    Variant v(disp);
    EXPECT_EQ(VarType(v), varDispatch);
    EXPECT_EQ(v.AsDispatch(), disp);
    Variant copy = v; // copies share the interface, they do not clone it
    EXPECT_EQ(copy.AsDispatch().get(), disp.get());
    EXPECT_EQ(disp.use_count(), 3);
    EXPECT_FALSE(VarIsClear(v));
    EXPECT_EQ(VarAsType(v, varDispatch).AsDispatch(), disp);

    Variant nil{std::shared_ptr<IDispatch>()};
    EXPECT_EQ(VarType(nil), varDispatch);
    EXPECT_TRUE(VarIsClear(nil));
    EXPECT_EQ(Variant().AsDispatch(), nullptr);
    EXPECT_EQ(VarAsType(Variant(), varDispatch).AsDispatch(), nullptr);

    EXPECT_EQ(MessageOf([&] { (void)v.AsInteger(); }), ConvertError(u"Dispatch", u"Integer"));
    EXPECT_EQ(MessageOf([&] { (void)v.AsString(); }), ConvertError(u"Dispatch", u"UnicodeString"));
    EXPECT_EQ(MessageOf([] { (void)Variant(1).AsDispatch(); }), ConvertError(u"Integer", u"Dispatch"));
    EXPECT_EQ(MessageOf([&] { (void)VarCompareValue(v, copy); }), u"Invalid variant operation");
    EXPECT_EQ(VarCompareValue(v, Variant()), vrNotEqual);
    // An array of Variants holds interfaces like any other value.
    Variant arr = VarArrayOf({v, Variant(1)});
    EXPECT_EQ(VarArrayGet(arr, {0}).AsDispatch(), disp);
}

} // namespace
} // namespace vgl
