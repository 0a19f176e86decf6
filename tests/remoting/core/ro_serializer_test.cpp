#include "remoting/core/ro_serializer.h"

#include <gtest/gtest.h>

#include "platform/rtl/component.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "tests/remoting/core/ro_test_types.h"

namespace vgl {
namespace {

TEST(ROSerializerTest, WriteChoosesTheTypedOperation) {
    TTestResultArray array;
    TROBinaryMemoryStream stream;
    EROUnknownType failure(u"x");
    struct Case {
        const TypeInfo* type;
        std::int64_t ord;
        long double flt;
        String text;
        AnsiString ansi;
        Variant var;
        TObject* obj;
        TParamAttributes attributes;
        const char16_t* logged;
    } cases[] = {
        {&GuidTypeInfo(),
         0,
         0,
         u"{00000000-0000-0000-0000-000000000001}",
         "",
         {},
         nullptr,
         {},
         u"WriteGuid v {00000000-0000-0000-0000-000000000001}"},
        {&TypeInfoFor(TypeTag<bool>{}), 1, 0, u"", "", {}, nullptr, {}, u"WriteEnumerated v True"},
        {&TypeInfoFor(TypeTag<std::uint8_t>{}), 200, 0, u"", "", {}, nullptr, {}, u"WriteInteger v otUByte=200"},
        {&TypeInfoFor(TypeTag<std::int64_t>{}), -5, 0, u"", "", {}, nullptr, {}, u"WriteInt64 v -5"},
        {&DateTimeTypeInfo(), 0, 2.5, u"", "", {}, nullptr, {}, u"WriteDateTime v 2.5"},
        {&CurrencyTypeInfo(), 0, 1.25, u"", "", {}, nullptr, {}, u"WriteDouble v 1.25"},
        {&TypeInfoFor(TypeTag<String>{}), 0, 0, u"abc", "", {}, nullptr, {}, u"WriteUnicodeString v abc"},
        {&TypeInfoFor(TypeTag<String>{}),
         0,
         0,
         u"abc",
         "",
         {},
         nullptr,
         {paAsAnsiString},
         u"WriteLegacyString v paAsAnsiString=abc"},
        {&WideStringTypeInfo(), 0, 0, u"abc", "", {}, nullptr, {}, u"WriteUnicodeString v abc"},
        {&TypeInfoFor(TypeTag<AnsiString>{}),
         0,
         0,
         u"",
         "\xC3\xA4",
         {},
         nullptr,
         {},
         u"WriteLegacyString v paAsAnsiString=\u00C3\u00A4"},
        {&Utf8StringTypeInfo(), 0, 0, u"", "\xC3\xA4", {}, nullptr, {}, u"WriteLegacyString v paAsUTF8String=\u00E4"},
        {&DecimalTypeInfo(), 0, 0, u"", "", Variant(7), nullptr, {}, u"WriteDecimal v 7"},
        {&TypeInfoFor(TypeTag<Variant>{}), 0, 0, u"", "", Variant(7), nullptr, {}, u"WriteVariant v 7"},
        {&TTestResultArray::StaticClassInfo().Type(), 0, 0, u"", "", {}, &array, {}, u"WriteArray v TTestResultArray"},
        {&TTestResultInfo::StaticClassInfo().Type(), 0, 0, u"", "", {}, nullptr, {}, u"WriteStruct v TTestResultInfo"},
        {&TROBinaryMemoryStream::StaticClassInfo().Type(), 0, 0, u"", "", {}, &stream, {}, u"WriteBinary v"},
        {&EROUnknownType::StaticClassInfo().Type(), 0, 0, u"", "", {}, &failure, {}, u"WriteException v"},
    };
    for (const Case& c : cases) {
        TROValue v;
        v.Ord = c.ord;
        v.Float = c.flt;
        v.Text = c.text;
        v.Ansi = c.ansi;
        v.Var = c.var;
        v.Object = c.obj;
        TRecordingSerializer w;
        w.Write(u"v", *c.type, v, -1, c.attributes);
        ASSERT_EQ(w.Log.size(), 1u) << StringToUtf8(c.type->Name);
        EXPECT_EQ(w.Log[0], c.logged) << StringToUtf8(c.type->Name);
    }
}

TEST(ROSerializerTest, UnsupportedTypesAreRefused) {
    TypeInfo record;
    record.Kind = tkRecord;
    record.Name = u"TSomeRecord";
    TypeInfo unknownInterface;
    unknownInterface.Kind = tkInterface;
    unknownInterface.Name = u"IUnknown";
    struct Case {
        const TypeInfo* type;
        bool readRaisesUnknownType;
        const char16_t* message;
    } cases[] = {
        {&record, false, u"Type \"tkRecord\" not supported"},
        {&TypeInfoFor(TypeTag<TTestFlags>{}), false, u"Type \"tkSet\" not supported"},
        {&TComponent::StaticClassInfo().Type(), true, u"Type \"tkClass\" not supported"},
        {&unknownInterface, true, u"Type \"tkInterface\" not supported"},
    };
    for (const Case& c : cases) {
        TRecordingSerializer s;
        TROValue v;
        try {
            s.Write(u"v", *c.type, v, -1);
            ADD_FAILURE() << "write did not raise";
        } catch (const EROUnknownType& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        try {
            s.Read(u"v", *c.type, v, -1);
            ADD_FAILURE() << "read did not raise";
        } catch (const EROException& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.InheritsFrom(&EROUnknownType::StaticClassInfo()), c.readRaisesUnknownType)
                << StringToUtf8(c.message);
        }
        EXPECT_TRUE(s.Log.empty());
    }
}

TEST(ROSerializerTest, StringFlavoursAndLengthLimits) {
    TRecordingSerializer s;
    s.Input[u"a"] = String(20, u'x');
    s.Input[u"w"] = u"\u00E4";
    AnsiString ansi;
    s.ReadAnsiString(u"a", ansi, -1, 10);
    EXPECT_EQ(ansi.size(), 20u);
    String wide;
    s.ReadWideString(u"w", wide, -1, 10);
    AnsiString utf8;
    s.ReadUTF8String(u"w", utf8, -1, 10);
    EXPECT_EQ(utf8, "\xC3\xA4");
    s.WriteAnsiString(u"x", AnsiString("\xE4"), -1);
    s.WriteWideString(u"y", u"z", -1);
    EXPECT_EQ(s.Log, (std::vector<String>{u"ReadLegacyString a paAsAnsiString=-1", u"ReadUnicodeString w 10",
                                          u"ReadLegacyString w paAsUTF8String=-1",
                                          u"WriteLegacyString x paAsAnsiString=\u00E4", u"WriteUnicodeString y z"}));
}

TEST(ROSerializerTest, ReadersWithErrorHandlingNameTheField) {
    TRecordingSerializer s;
    s.Input[u"Count"] = u"12x";
    String conversion;
    try {
        StrToInt64(u"12x");
    } catch (const EConvertError& e) {
        conversion = e.Message();
    }
    std::int64_t value = 0;
    try {
        s.ReadIntegerWithErrorHandling(u"Count", otSLong, value, -1);
        ADD_FAILURE() << "nothing raised";
    } catch (const EROException& e) {
        EXPECT_EQ(e.ClassName(), u"EROException");
        EXPECT_EQ(e.Message(), u"Exception \"EConvertError\" with message \"" + conversion +
                                   u"\" happens during reading field \"Count\".");
    }
    s.Input[u"Count"] = u"12";
    s.ReadIntegerWithErrorHandling(u"Count", otSLong, value, -1);
    EXPECT_EQ(value, 12);
    // An operation the format does not implement.
    std::shared_ptr<IXMLNode> node;
    EXPECT_THROW(s.ReadXml(u"x", node, -1), EAbstractError);
    EXPECT_THROW(s.ReadXmlWithErrorHandling(u"x", node, -1), EROException);
}

TEST(ROSerializerTest, AFailedObjectReadFreesWhatWasRead) {
    int before = TTestResultInfo::Live;
    TRecordingSerializer s;
    s.Input[u"list"] = u"2";
    s.Input[u"ResultType"] = u"nonsense";
    TROValue v;
    EXPECT_THROW(s.Read(u"list", TTestResultArray::StaticClassInfo().Type(), v, -1), EConvertError);
    EXPECT_EQ(v.Owned, nullptr);
    EXPECT_EQ(v.Object, nullptr);
    EXPECT_EQ(TTestResultInfo::Live, before);

    s.Log.clear();
    s.Input[u"ResultType"] = u"resSWAPLabel";
    s.Input[u"ResultBase64"] = u"bytes";
    s.Read(u"list", TTestResultArray::StaticClassInfo().Type(), v, -1);
    auto* list = dynamic_cast<TTestResultArray*>(v.Object);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->GetItems(1)->FResultType, resSWAPLabel);
    EXPECT_EQ(list->GetItems(1)->FResultBase64->ToString(), u"bytes");
    EXPECT_EQ(s.Names(u"ReadStruct"), (std::vector<String>{u"item", u"item"}));
}

TEST(ROSerializerTest, ValueArraysTravelElementByElement) {
    TTestIntArray a;
    for (int v : {5, 6, 7})
        a.Add(v);
    TRecordingSerializer w;
    a.WriteComplex(w);
    EXPECT_EQ(w.Log, (std::vector<String>{u"WriteInteger item otSLong=5", u"WriteInteger item otSLong=6",
                                          u"WriteInteger item otSLong=7"}));
    TRecordingSerializer r;
    r.Input[u"item"] = u"9";
    a.ReadComplex(r);
    EXPECT_EQ(a.GetItems(2), 9);
    EXPECT_EQ(r.GetArrayElementName(u"Integer"), u"item");
}

TEST(ROSerializerTest, ValueArraysOfEveryKind) {
    TROArrayOf<String> texts;
    texts.Add(u"a");
    TROArrayOf<bool> flags;
    flags.Add(true);
    TROArrayOf<double> numbers;
    numbers.Add(0.5);
    TROArrayOf<TTestCODType> kinds;
    kinds.Add(codCash);
    TROArrayOf<AnsiString> bytes;
    bytes.Add(AnsiString("b"));
    TROArrayOf<Variant> variants;
    variants.Add(Variant(3));
    TRecordingSerializer w;
    for (TROArray* a : std::initializer_list<TROArray*>{&texts, &flags, &numbers, &kinds, &bytes, &variants})
        a->WriteComplex(w);
    EXPECT_EQ(w.Log, (std::vector<String>{u"WriteUnicodeString item a", u"WriteEnumerated item True",
                                          u"WriteDouble item 0.5", u"WriteEnumerated item codCash",
                                          u"WriteLegacyString item paAsAnsiString=b", u"WriteVariant item 3"}));
    TRecordingSerializer r;
    r.Input[u"item"] = u"True";
    flags.ReadComplex(r);
    EXPECT_TRUE(flags.GetItems(0));
    TROArrayOf<bool> copy;
    copy.Assign(&flags);
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_EQ(kinds.IndexOf(codCash), 0);
}

TEST(ROSerializerTest, OtherObjectsTravelPropertyByProperty) {
    TTestPlain p;
    p.FSmall = -3;
    p.FName = u"n";
    p.FKind = codCash;
    p.FCurrency = 12500; // 1.25
    p.FBytes = "b";
    TRecordingSerializer strict;
    strict.Strict = true;
    strict.WriteObject(&p);
    EXPECT_EQ(strict.Log, (std::vector<String>{u"WriteInteger Small otSWord=-3", u"WriteUnicodeString Name n",
                                               u"WriteEnumerated Kind codCash", u"WriteDouble Price 1.25",
                                               u"WriteLegacyString Bytes paAsUTF8String=b"}));
    TRecordingSerializer sorted;
    sorted.WriteObject(&p);
    EXPECT_EQ(sorted.Names(), (std::vector<String>{u"Bytes", u"Kind", u"Name", u"Price", u"Small"}));

    TRecordingSerializer r;
    r.Input = {{u"Small", u"7"}, {u"Name", u"m"}, {u"Kind", u"codNone"}, {u"Price", u"2.5"}, {u"Bytes", u"c"}};
    TTestPlain q;
    r.ReadObject(&q);
    EXPECT_EQ(q.FSmall, 7);
    EXPECT_EQ(q.FName, u"m");
    EXPECT_EQ(q.FKind, codNone);
    EXPECT_EQ(q.FCurrency, 25000);
    EXPECT_EQ(q.FBytes, "c");
    r.ReadObject(nullptr); // skipped
}

TEST(ROSerializerTest, ValidElementNames) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {{u"Name", u"Name"}, {u" TList<Foo> ", u"TList_Foo_"}, {u"1st", u"_1st"}, {u"", u""}};
    for (const Case& c : cases)
        EXPECT_EQ(TROSerializer::GetValidElementName(c.in), c.out);
}

TEST(ROSerializerTest, EnumerationStorageWidths) {
    TypeInfo wide = EnumTypeInfo(u"TWide", std::vector<String>(300, u"v"));
    unsigned char storage[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    SetEnumOrdValue(0x102, wide, storage);
    EXPECT_EQ(storage[2], 0xFF);
    EXPECT_EQ(GetEnumOrdValue(wide, storage), 0x102);
    const TypeInfo& narrow = TypeInfoFor(TypeTag<TTestCODType>{});
    SetEnumOrdValue(255, narrow, storage);
    EXPECT_EQ(GetEnumOrdValue(narrow, storage), 255); // no sign extension
}

} // namespace
} // namespace vgl
