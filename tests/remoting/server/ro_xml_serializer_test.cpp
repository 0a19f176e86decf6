#include "remoting/server/ro_xml_serializer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <unistd.h>

#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/xml_document.h"

using namespace vgl;

namespace {

struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

/// A German C locale and a decimal-comma C++ locale for the test's duration; the C locale is
/// compiled into a temporary folder when the system has none.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        fOldCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
        fOldC = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const auto dir = std::filesystem::temp_directory_path() / "vgl_ro_server_locale";
            std::filesystem::create_directories(dir);
            const std::string command =
                "localedef -i de_DE -f UTF-8 " + (dir / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
            if (std::filesystem::exists(dir / "de_DE.UTF-8" / "LC_NUMERIC") || std::system(command.c_str()) == 0) {
                setenv("LOCPATH", dir.c_str(), 1);
                std::setlocale(LC_ALL, "de_DE.UTF-8");
            }
        }
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, fOldC.c_str());
        std::locale::global(fOldCpp);
    }

private:
    std::locale fOldCpp;
    std::string fOldC;
};

const char16_t* kRoot = u"<Root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                        u"xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:ro=\"urn:ro\">";

/// A document whose root declares the prefixes the envelope declares, holding `body`.
IXMLNodePtr RootWith(const String& body) {
    auto doc = CreateROXmlDocument();
    doc->SetXML(String(kRoot) + body + u"</Root>");
    return doc->GetDocumentNode();
}

String ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return u"(no error)";
}

/// The element's XML passes xmllint once placed in a root that declares its prefixes.
bool PassesXmllint(const IXMLNodePtr& root) {
    const auto path =
        std::filesystem::temp_directory_path() / ("vgl_ro_xml_value_" + std::to_string(getpid()) + ".xml");
    {
        std::ofstream f(path, std::ios::binary);
        f << StringToUtf8(root->GetXML());
    }
    const bool ok = std::system(("xmllint --noout " + path.string() + " 2>/dev/null").c_str()) == 0;
    std::filesystem::remove(path);
    return ok;
}

const TypeInfo& BooleanType() {
    return TypeInfoFor(TypeTag<bool>{});
}

} // namespace

/// Writing: each case writes one value with the host's options and with types on, under a
/// decimal-comma locale; the element text and the type attribute are compared.
TEST(ROXMLSerializerValues, WrittenForms) {
    DecimalCommaLocale locale;
    struct Case {
        const char* what;
        std::function<void(TROXMLSerializer&)> write;
        String text;
        String type;
    };
    const Case cases[] = {
        {"int", [](auto& s) { s.WriteInteger(u"Count", otSLong, 5, -1); }, u"5", u"xsd:int"},
        {"sbyte", [](auto& s) { s.WriteInteger(u"Count", otSByte, -128, -1); }, u"-128", u"xsd:byte"},
        {"ulong", [](auto& s) { s.WriteInteger(u"Count", otULong, 4294967295, -1); }, u"4294967295",
         u"xsd:unsignedInt"},
        {"int64", [](auto& s) { s.WriteInt64(u"Count", -9000000000, -1); }, u"-9000000000", u"xsd:long"},
        {"uint64", [](auto& s) { s.WriteUInt64(u"Count", 18446744073709551615u, -1); }, u"18446744073709551615",
         u"xsd:unsignedLong"},
        {"true", [](auto& s) { s.WriteEnumerated(u"Count", BooleanType(), 1, -1); }, u"true", u"xsd:boolean"},
        {"false", [](auto& s) { s.WriteEnumerated(u"Count", BooleanType(), 0, -1); }, u"false", u"xsd:boolean"},
        {"0.1", [](auto& s) { s.WriteDouble(u"Count", ftDouble, 0.1, -1); }, u"0.1", u"xsd:double"},
        {"1E20", [](auto& s) { s.WriteDouble(u"Count", ftDouble, 1e20, -1); }, u"1E20", u"xsd:double"},
        {"-2.5E-5", [](auto& s) { s.WriteDouble(u"Count", ftDouble, -2.5e-5, -1); }, u"-2.5E-5", u"xsd:double"},
        {"single 0.1", [](auto& s) { s.WriteDouble(u"Count", ftSingle, 0.1f, -1); }, u"0.100000001490116",
         u"xsd:float"},
        {"NaN", [](auto& s) { s.WriteDouble(u"Count", ftDouble, NAN, -1); }, u"NaN", u"xsd:double"},
        {"INF", [](auto& s) { s.WriteDouble(u"Count", ftDouble, INFINITY, -1); }, u"INF", u"xsd:double"},
        {"-INF", [](auto& s) { s.WriteDouble(u"Count", ftDouble, -INFINITY, -1); }, u"-INF", u"xsd:double"},
        {"date 250ms", [](auto& s) { s.WriteDateTime(u"Count", EncodeDateTime(2024, 5, 6, 7, 8, 9, 250), -1); },
         u"2024-05-06T07:08:09.250", u"xsd:dateTime"},
        {"date 0ms", [](auto& s) { s.WriteDateTime(u"Count", EncodeDateTime(2024, 5, 6, 7, 8, 9, 0), -1); },
         u"2024-05-06T07:08:09", u"xsd:dateTime"},
        {"string", [](auto& s) { s.WriteUnicodeString(u"Count", u"a < b & c", -1); }, u"a < b & c", u"xsd:string"},
        {"guid", [](auto& s) { s.WriteGuid(u"Count", u"{6f9619ff-8b86-d011-b42d-00c04fc964ff}", -1); },
         u"6F9619FF-8B86-D011-B42D-00C04FC964FF", u"xsd:string"},
    };
    for (bool typed : {false, true}) {
        for (const auto& c : cases) {
            IXMLNodePtr root = RootWith({});
            TROXMLSerializer s(root);
            if (typed)
                s.SetSerializationOptions(DefaultXMLSerializationOptions() -
                                          TROXMLSerializationOptions{xsoSendUntyped});
            c.write(s);
            ASSERT_EQ(root->GetChildrenCount(), 1) << c.what;
            IXMLNodePtr element = root->GetChildren(0);
            EXPECT_EQ(element->GetName(), u"Count") << c.what;
            EXPECT_EQ(VarToStr(element->GetValue()), c.text) << c.what;
            if (typed) {
                EXPECT_EQ(VarToStr(element->GetAttributeValue(u"xsi:type", Variant(String()))), c.type) << c.what;
            } else {
                EXPECT_EQ(element->GetAttributeCount(), 0) << c.what;
            }
            EXPECT_TRUE(PassesXmllint(root)) << c.what;
        }
    }
}

/// Reading: each case reads the element <V> of `body` as one kind; `expected` is the value's text
/// form, or the error message.
TEST(ROXMLSerializerValues, ReadForms) {
    DecimalCommaLocale locale;
    enum Kind { SByte, SWord, UByte, SLong, Int64, UInt64, Bool, Dbl, Date, Guid, Str };
    struct Case {
        Kind kind;
        String body;
        String expected;
    };
    const Case cases[] = {
        {SLong, u"<V>5</V>", u"5"},
        {SLong, u"<V>$1F</V>", u"31"},
        {SLong, u"<V xsi:nil=\"true\"/>", u"0"},
        {SLong, u"", u"0"},
        {SLong, u"<V xsi:nil=\"1\"/>", u"'' ist kein gültiger Integerwert"},
        {SLong, u"<V></V>", u"'' ist kein gültiger Integerwert"},
        {SLong, u"<V>12a</V>", u"'12a' ist kein gültiger Integerwert"},
        // Out of the declared range: refused, never cut to the width.
        {SByte, u"<V>300</V>", u"'300' ist kein gültiger Integerwert"},
        {SByte, u"<V>-128</V>", u"-128"},
        {SByte, u"<V>128</V>", u"'128' ist kein gültiger Integerwert"},
        {UByte, u"<V>255</V>", u"255"},
        {UByte, u"<V>-1</V>", u"'-1' ist kein gültiger Integerwert"},
        {SWord, u"<V>70000</V>", u"'70000' ist kein gültiger Integerwert"},
        {SLong, u"<V>2147483648</V>", u"'2147483648' ist kein gültiger Integerwert"},
        {Int64, u"<V>-9000000000</V>", u"-9000000000"},
        {UInt64, u"<V>18446744073709551615</V>", u"18446744073709551615"},
        {UInt64, u"<V>0xFF</V>", u"255"},
        {UInt64, u"<V>-0</V>", u"0"},
        {UInt64, u"<V>-1</V>", u"'-1' is not a valid integer value"},
        {UInt64, u"<V>18446744073709551616</V>", u"'18446744073709551616' is not a valid integer value"},
        {Bool, u"<V>TRUE</V>", u"1"},
        {Bool, u"<V>false</V>", u"0"},
        {Bool, u"<V>1</V>", u"1"},
        {Bool, u"<V>0</V>", u"0"},
        {Bool, u"<V>yes</V>", u"The value \"yes\" for parameter \"V\" of \"Boolean\" type is invalid"},
        {Dbl, u"<V>0.1</V>", u"0.1"},
        {Dbl, u"<V> -2.5e-5</V>", u"-2.5E-5"},
        {Dbl, u"<V>1E20</V>", u"1E20"},
        {Dbl, u"<V>nan</V>", u"NaN"},
        {Dbl, u"<V>INF</V>", u"INF"},
        {Dbl, u"<V>-inf</V>", u"-INF"},
        {Dbl, u"<V>0,1</V>", u"'0,1' ist kein gültiger Gleitkommawert"},
        {Dbl, u"<V></V>", u"'' ist kein gültiger Gleitkommawert"},
        {Dbl, u"<V>1e</V>", u"'1e' ist kein gültiger Gleitkommawert"},
        {Date, u"<V></V>", u"0"},
        {Date, u"<V>2024-01-01T10:00:00+02:00</V>", u"2024-01-01T08:00:00"},
        {Guid, u"<V>6F9619FF-8B86-D011-B42D-00C04FC964FF</V>", u"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
        {Guid, u"", u"{}"},
        {Str, u"<V>text</V>", u"text"},
        {Str, u"<V xsi:nil=\"true\">x</V>", u""},
    };
    for (const auto& c : cases) {
        TROXMLSerializer s(RootWith(c.body));
        String got = ErrorOf([&] {
            std::int64_t i = 0;
            std::uint64_t u = 0;
            long double d = 0;
            TDateTime t = 0;
            String text;
            switch (c.kind) {
            case SByte:
                s.ReadInteger(u"V", otSByte, i, -1);
                throw Exception(IntToStr(i));
            case SWord:
                s.ReadInteger(u"V", otSWord, i, -1);
                throw Exception(IntToStr(i));
            case UByte:
                s.ReadInteger(u"V", otUByte, i, -1);
                throw Exception(IntToStr(i));
            case SLong:
                s.ReadInteger(u"V", otSLong, i, -1);
                throw Exception(IntToStr(i));
            case Int64:
                s.ReadInt64(u"V", i, -1);
                throw Exception(IntToStr(i));
            case UInt64:
                s.ReadUInt64(u"V", u, -1);
                throw Exception(UIntToStr(u));
            case Bool:
                s.ReadEnumerated(u"V", BooleanType(), i, -1);
                throw Exception(IntToStr(i));
            case Dbl:
                s.ReadDouble(u"V", ftDouble, d, -1);
                throw Exception(XmlFloatToStr(double(d)));
            case Date:
                s.ReadDateTime(u"V", t, -1);
                throw Exception(t == 0 ? String(u"0") : FormatDateTime(u"yyyy-mm-dd\"T\"hh:nn:ss", t));
            case Guid:
                s.ReadGuid(u"V", text, -1);
                throw Exception(text);
            case Str:
                s.ReadUnicodeString(u"V", text, -1);
                throw Exception(text);
            }
        });
        EXPECT_EQ(got, c.expected) << StringToUtf8(c.body);
    }
}

TEST(ROXMLSerializerValues, NamesStringsAndEnumerationEdges) {
    IXMLNodePtr root = RootWith({});
    TROXMLSerializer s(root);
    s.WriteInteger(u"_type", otSLong, 3, -1);
    EXPECT_EQ(root->GetChildren(0)->GetName(), u"type");
    std::int64_t v = 0;
    s.ReadInteger(u"_type", otSLong, v, -1);
    EXPECT_EQ(v, 3);
    s.ReadInteger(u"Type", otSLong, v, -1); // other letter case: not found
    EXPECT_EQ(v, 0);

    // An empty enumeration element leaves the value as it was.
    TROXMLSerializer r(RootWith(u"<Flag></Flag>"));
    std::int64_t flag = 1;
    r.ReadEnumerated(u"Flag", BooleanType(), flag, -1);
    EXPECT_EQ(flag, 1);

    // Limits on string length, both ways.
    s.SetMaxStringSize(3);
    EXPECT_EQ(ErrorOf([&] { s.WriteUnicodeString(u"S", u"abcd", -1); }),
              u"Cannot write string with length 4. Max allowed length is 3");
    TROXMLSerializer longText(RootWith(u"<S>abcd</S>"));
    longText.SetMaxStringSize(3);
    String text;
    EXPECT_EQ(ErrorOf([&] { longText.ReadUnicodeString(u"S", text, -1); }),
              u"Cannot read string with length 4. Max allowed length is 3");

    // Attribute strings: listed names travel as attributes of the current node, under their
    // alias when one is given; ANSI strings never do.
    IXMLNodePtr holder = RootWith({});
    TROXMLSerializer a(holder);
    a.Attributes().Add(u"Code");
    a.Attributes().Add(u"Lang");
    a.AnonymousAttributes().Add(u"Lang=xml:lang");
    a.WriteUnicodeString(u"Code", u"X1", -1);
    a.WriteUnicodeString(u"Lang", u"de", -1);
    a.WriteLegacyString(u"Code", u"ansi", {paAsAnsiString}, -1);
    EXPECT_EQ(VarToStr(holder->GetAttributeValue(u"Code", Variant(String()))), u"X1");
    EXPECT_EQ(VarToStr(holder->GetAttributeValue(u"xml:lang", Variant(String()))), u"de");
    EXPECT_EQ(holder->GetChildrenCount(), 1);
    a.ReadUnicodeString(u"Lang", text, -1);
    EXPECT_EQ(text, u"de");

    EXPECT_EQ(ErrorOf([&] { s.WriteGuid(u"G", u"not a guid", -1); }), u"'not a guid' kein gültiger Wert für GUID");
}

TEST(ROXMLSerializerValues, BinaryValues) {
    auto write = [](TROXMLSerializationOptions options, const TROBinaryMemoryStream* stream) {
        IXMLNodePtr root = RootWith({});
        TROXMLSerializer s(root);
        s.SetSerializationOptions(options);
        s.WriteBinary(u"Data", stream, -1);
        return root;
    };
    const auto host = DefaultXMLSerializationOptions();
    const auto typed = host - TROXMLSerializationOptions{xsoSendUntyped};

    TROBinaryMemoryStream bytes57(AnsiString(57, 'x'));
    IXMLNodePtr root = write(host, &bytes57);
    String text = VarToStr(root->GetChildren(0)->GetValue());
    EXPECT_EQ(text.size(), 78u);
    EXPECT_EQ(text.substr(76), u"\r\n");
    EXPECT_EQ(root->GetChildren(0)->GetAttributeCount(), 0);

    TROBinaryMemoryStream bytes3(AnsiString("abc"));
    EXPECT_EQ(VarToStr(write(host, &bytes3)->GetChildren(0)->GetValue()), u"YWJj");
    TROBinaryMemoryStream empty;
    EXPECT_EQ(VarToStr(write(host, &empty)->GetChildren(0)->GetValue()), u"");

    EXPECT_EQ(write(host, nullptr)->GetChildrenCount(), 0);
    IXMLNodePtr nil = write(typed, nullptr);
    ASSERT_EQ(nil->GetChildrenCount(), 1);
    EXPECT_TRUE(TROXMLSerializer::IsNilNode(nil->GetChildren(0)));

    IXMLNodePtr hex = write(typed + TROXMLSerializationOptions{xsoHexBinary}, &bytes3);
    EXPECT_EQ(VarToStr(hex->GetChildren(0)->GetValue()), u"616263");
    EXPECT_EQ(VarToStr(hex->GetChildren(0)->GetAttributeValue(u"xsi:type", Variant(String()))), u"xsd:hexBinary");

    auto read = [](const String& body, TROXMLSerializationOptions options = DefaultXMLSerializationOptions()) {
        TROXMLSerializer s(RootWith(body));
        s.SetSerializationOptions(options);
        std::unique_ptr<TObject> out;
        s.ReadBinary(u"Data", out, -1);
        auto* stream = dynamic_cast<TROBinaryMemoryStream*>(out.get());
        return stream ? stream->ToHexString() : String(u"(none)");
    };
    EXPECT_EQ(read(u"<Data>YW\r\nJj</Data>"), u"616263");
    EXPECT_EQ(read(u"<Data xsi:type=\"xsd:hexBinary\">0aFF</Data>"), u"0AFF");
    EXPECT_EQ(read(u"<Data>0a\r\nFF</Data>", host + TROXMLSerializationOptions{xsoHexBinary}), u"0AFF");
    EXPECT_EQ(read(u"<Data xsi:nil=\"true\"/>"), u"(none)");
    EXPECT_EQ(read(u""), u"(none)");
    EXPECT_EQ(ErrorOf([&] { read(u"<Data xsi:type=\"xsd:hexBinary\">0G</Data>"); }),
              u"incorrect hex byte is detected: G");
    EXPECT_EQ(ErrorOf([&] { read(u"<Data xsi:type=\"xsd:hexBinary\">0aF</Data>"); }),
              u"incorrect hex byte is detected: F");
    EXPECT_EQ(ErrorOf([&] { read(u"<Data>Z=9v</Data>"); }).substr(0, 20), u"Invalid base64 text:");
}

TEST(ROXMLSerializerValues, ZonedDateTimesVariantsAndXml) {
    auto written = [](const std::function<void(TROXMLSerializer&)>& write, bool typed = false) {
        IXMLNodePtr root = RootWith({});
        TROXMLSerializer s(root);
        if (typed)
            s.SetSerializationOptions(DefaultXMLSerializationOptions() - TROXMLSerializationOptions{xsoSendUntyped});
        write(s);
        return root;
    };
    const TDateTime when = EncodeDateTime(2024, 5, 6, 7, 8, 9, 0);
    auto zoned = [&](std::int32_t offset) {
        XsDateTime value(when, offset);
        return VarToStr(written([&](auto& s) { s.WriteXSDateTime(u"T", &value, -1); })->GetChildren(0)->GetValue());
    };
    EXPECT_EQ(zoned(-90), u"2024-05-06T07:08:09-01:30");
    EXPECT_EQ(zoned(0), u"2024-05-06T07:08:09Z");
    EXPECT_EQ(zoned(330), u"2024-05-06T07:08:09+05:30");
    EXPECT_EQ(zoned(XsDateTime::NoTimeZone), u"2024-05-06T07:08:09");

    TROXMLSerializer r(RootWith(u"<T>2024-05-06T07:08:09-01:30</T><U>2024-05-06T07:08:09</U><E/>"));
    std::unique_ptr<XsDateTime> value;
    r.ReadXsDateTime(u"T", value, -1);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->TimeZoneOffset(), -90);
    EXPECT_NEAR(value->DateTime(), when, 1e-9);
    r.ReadXsDateTime(u"U", value, -1);
    ASSERT_TRUE(value);
    EXPECT_FALSE(value->WriteTimeZone());
    r.ReadXsDateTime(u"E", value, -1);
    EXPECT_FALSE(value);

    // Variants: untyped ones come back as strings, typed ones in their kind.
    auto roundTrip = [&](const Variant& v, bool typed) {
        IXMLNodePtr root = written([&](auto& s) { s.WriteVariant(u"V", v, -1); }, typed);
        TROXMLSerializer s(root);
        Variant back = 42;
        s.ReadVariant(u"V", back, -1);
        return back;
    };
    EXPECT_EQ(VarType(roundTrip(Variant(7), false)), varUString);
    EXPECT_EQ(VarToStr(roundTrip(Variant(7), false)), u"7");
    EXPECT_EQ(VarType(roundTrip(Variant(7), true)), varInteger);
    EXPECT_EQ(VarType(roundTrip(Variant(std::uint8_t(200)), true)), varByte);
    EXPECT_EQ(VarType(roundTrip(Variant(true), true)), varBoolean);
    EXPECT_NE(roundTrip(Variant(true), true).AsInt64(), 0);
    EXPECT_EQ(VarType(roundTrip(Variant(0.5), true)), varDouble);
    EXPECT_EQ(VarType(roundTrip(Variant(), false)), varEmpty);
    EXPECT_EQ(VarType(roundTrip(Null(), false)), varNull);
    {
        TROXMLSerializer missing(RootWith({}));
        Variant back = 1;
        missing.ReadVariant(u"V", back, -1);
        EXPECT_TRUE(VarIsNull(back));
    }
    EXPECT_EQ(ErrorOf([&] { written([](auto& s) { s.WriteVariant(u"V", Variant::FromObject(nullptr), -1); }); }),
              u"Unsupported variant type \"259\" Not Supported");

    // XML values: embedded elements, escaped text, and text that is no XML.
    auto doc = CreateROXmlDocument();
    doc->SetXML(u"<Payload a=\"1\"><Item>x</Item></Payload>");
    IXMLNodePtr embedded = written([&](auto& s) { s.WriteXml(u"X", doc->GetDocumentNode(), -1); });
    EXPECT_EQ(embedded->GetChildren(0)->GetXML(), u"<X><Payload a=\"1\"><Item>x</Item></Payload></X>");
    std::shared_ptr<IXMLNode> back;
    TROXMLSerializer(embedded).ReadXml(u"X", back, -1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetXML(), u"<Payload a=\"1\"><Item>x</Item></Payload>");

    IXMLNodePtr encoded = written([&](auto& s) {
        s.SetSerializationOptions(DefaultXMLSerializationOptions() + TROXMLSerializationOptions{xsoEncodedXML});
        s.WriteXml(u"X", doc->GetDocumentNode(), -1);
    });
    EXPECT_EQ(encoded->GetChildren(0)->GetChildrenCount(), 1);
    EXPECT_EQ(encoded->GetChildren(0)->GetFirstChild()->GetName(), u"#text");
    TROXMLSerializer encodedReader(encoded);
    encodedReader.SetSerializationOptions(DefaultXMLSerializationOptions() + TROXMLSerializationOptions{xsoEncodedXML});
    encodedReader.ReadXml(u"X", back, -1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetLocalName(), u"Payload");

    TROXMLSerializer spaced(RootWith(u"<X>  <Payload/></X>"));
    EXPECT_EQ(ErrorOf([&] { spaced.ReadXml(u"X", back, -1); }), u"Invalid input");
    TROXMLSerializer empty(RootWith(u"<X></X>"));
    empty.ReadXml(u"X", back, -1);
    EXPECT_FALSE(back);
}

TEST(ROXMLSerializerValues, Enumerations) {
    const TypeInfo color = EnumTypeInfo(u"Color", {u"Color_Red", u"Color_Green", u"Color_"});
    const TypeInfo kind = EnumTypeInfo(u"TParcelKind", {u"pkParcel", u"pkLetter", u"___Empty"});
    IXMLNodePtr root = RootWith({});
    TROXMLSerializer s(root);
    s.SetSerializationOptions(DefaultXMLSerializationOptions() - TROXMLSerializationOptions{xsoSendUntyped});
    s.WriteEnumerated(u"A", color, 1, -1);
    s.WriteEnumerated(u"B", color, 2, -1); // nothing follows the prefix: kept whole
    s.WriteEnumerated(u"C", kind, 1, -1);
    s.WriteEnumerated(u"D", kind, 2, -1);
    EXPECT_EQ(VarToStr(root->GetChildren(0)->GetValue()), u"Green");
    EXPECT_EQ(VarToStr(root->GetChildren(0)->GetAttributeValue(u"xsi:type", Variant(String()))), u"ro:Color");
    EXPECT_EQ(VarToStr(root->GetChildren(1)->GetValue()), u"Color_");
    EXPECT_EQ(VarToStr(root->GetChildren(2)->GetValue()), u"pkLetter");
    EXPECT_EQ(VarToStr(root->GetChildren(3)->GetValue()), u"");

    std::int64_t v = 0;
    s.ReadEnumerated(u"A", color, v, -1);
    EXPECT_EQ(v, 1);
    s.ReadEnumerated(u"C", kind, v, -1);
    EXPECT_EQ(v, 1);
    TROXMLSerializer r(RootWith(u"<K>PKPARCEL</K><Bad>pkBox</Bad>"));
    r.ReadEnumerated(u"K", kind, v, -1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(ErrorOf([&] { r.ReadEnumerated(u"Bad", kind, v, -1); }),
              u"The value \"pkBox\" for parameter \"Bad\" of \"TParcelKind\" type is invalid");
}
