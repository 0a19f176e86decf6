#include "remoting/core/ro_binary_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(const Variant& v) {
    TMemoryStream s;
    WriteVariantToStream(v, s);
    auto span = s.Bytes();
    return Bytes(span.begin(), span.end());
}

Variant Read(const Bytes& bytes) {
    TMemoryStream s;
    s.WriteBuffer(bytes);
    s.SetPosition(0);
    Variant v = ReadVariantFromStream(s);
    EXPECT_EQ(s.GetPosition(), s.GetSize()) << "the whole variant is consumed";
    return v;
}

Bytes Le32(std::initializer_list<std::int64_t> words) {
    Bytes out;
    for (std::int64_t w : words)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(w) >> (8 * i)));
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Deep equality that also compares type codes and array bounds.
void ExpectSame(const Variant& a, const Variant& b) {
    ASSERT_EQ(a.VType(), b.VType());
    if (!a.IsArray()) {
        if (a.VType() == varError)
            EXPECT_EQ(a.AsError(), b.AsError());
        else if (a.VType() == varSingle || a.VType() == varDouble || a.VType() == varDate)
            EXPECT_EQ(a.AsDouble(), b.AsDouble());
        else
            EXPECT_TRUE(a == b) << VarToStr(a).size();
        return;
    }
    ASSERT_EQ(VarArrayDimCount(a), 1);
    ASSERT_EQ(VarArrayLowBound(a, 1), VarArrayLowBound(b, 1));
    ASSERT_EQ(VarArrayHighBound(a, 1), VarArrayHighBound(b, 1));
    for (int i = VarArrayLowBound(a, 1); i <= VarArrayHighBound(a, 1); ++i)
        ExpectSame(VarArrayGet(a, {i}), VarArrayGet(b, {i}));
}

template <class E> void ExpectThrows(const Bytes& bytes, const char16_t* message) {
    try {
        Read(bytes);
        ADD_FAILURE() << "no exception";
    } catch (const E& e) {
        if (message)
            EXPECT_EQ(e.Message(), String(message));
    }
}

TEST(BinaryVariantTest, WrittenBytes) {
    EXPECT_EQ(Write(Variant(5)), (Bytes{3, 0, 0, 0, 5, 0, 0, 0}));
    EXPECT_EQ(Write(Variant(String(u"AB"))), (Bytes{2, 1, 0, 0, 2, 0, 0, 0, 0x41, 0x42}));
    EXPECT_EQ(Write(Variant(String())), (Bytes{2, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Write(Variant(true)), (Bytes{11, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Write(Variant::FromCurrency(12345)), Le32({6, 12345, 0}));
    // A UInt64 that fits keeps code 20 and reads back signed.
    Bytes u = Write(Variant(5ull));
    EXPECT_EQ(u, Le32({20, 5, 0}));
    EXPECT_EQ(Read(u).VType(), varInt64);
    // Larger ones travel with code 21 and come back unsigned.
    Bytes big = Write(Variant(~0ull));
    EXPECT_EQ(big, Le32({21, 0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(Read(big).VType(), varUInt64);
    EXPECT_EQ(Read(big).AsUInt64(), ~0ull);
}

TEST(BinaryVariantTest, LongWordReadsBackWithoutChangingSign) {
    Variant small = Read(Write(Variant(5u)));
    EXPECT_EQ(small.VType(), varInteger);
    EXPECT_EQ(small.AsInteger(), 5);
    Variant big = Read(Write(Variant(4000000000u)));
    EXPECT_EQ(big.VType(), varLongWord);
    EXPECT_EQ(big.AsInt64(), 4000000000);
}

TEST(BinaryVariantTest, ArrayBounds) {
    Variant bytes = VarArrayCreate({5, 7}, varByte);
    for (int i = 5; i <= 7; ++i)
        VarArrayPut(bytes, Variant(static_cast<unsigned char>(i * 10)), {i});
    EXPECT_EQ(Write(bytes), (Le32({8209, 3}) + Bytes{50, 60, 70}));
    Variant back = Read(Write(bytes));
    EXPECT_EQ(VarArrayLowBound(back, 1), 0);
    EXPECT_EQ(VarArrayHighBound(back, 1), 2);
    EXPECT_EQ(VarArrayGet(back, {2}).AsInteger(), 70);

    Variant ints = VarArrayCreate({5, 7}, varInteger);
    VarArrayPut(ints, Variant(-9), {6});
    ExpectSame(Read(Write(ints)), ints);
    Variant empty = VarArrayCreate({3, 2}, varVariant);
    ExpectSame(Read(Write(empty)), empty);

    Variant twoD = VarArrayCreate({0, 1, 0, 1}, varInteger);
    try {
        Write(twoD);
        ADD_FAILURE();
    } catch (const EROBinaryConversionException& e) {
        EXPECT_EQ(e.Message(), u"Variant Array DimCount must be 1 but is 2");
    }
}

TEST(BinaryVariantTest, RoundTripOfEveryKind) {
    const Variant cases[] = {
        Variant(),
        Null(),
        Variant(static_cast<short>(-12345)),
        Variant(-2000000000),
        Variant(1.5f),
        Variant(-2.25e300),
        Variant::FromCurrency(-9223372036854775807LL),
        Variant::FromDate(45123.75),
        Variant::FromOleStr(u"ole \u00e9\u4e2d"),
        Variant(String(u"text \u00e9 \U0001F600")),
        Variant(AnsiString("ansi \xe9")),
        Variant(false),
        Variant(true),
        Variant(static_cast<signed char>(-128)),
        Variant(static_cast<unsigned char>(255)),
        Variant(static_cast<unsigned short>(65535)),
        Variant(-5000000000LL),
        Variant(static_cast<unsigned long long>(1) << 63),
        Variant(4294967295u),
        VarArrayOf({Variant(1), Variant(String(u"x")), VarArrayOf({Variant(2.5), Null(), VarArrayOf({})})}),
        DecimalToVariant(TDecimal{1, 2, 3, 0x80040000u}),
    };
    for (const Variant& v : cases) {
        SCOPED_TRACE(VarTypeAsText(v.VType()).size());
        ExpectSame(Read(Write(v)), v);
    }
    Variant err = Read(Write(Variant::FromError(1)));
    EXPECT_EQ(err.AsError(), static_cast<std::int32_t>(0x80020004u));
}

TEST(BinaryVariantTest, UnsupportedKinds) {
    try {
        Write(Variant(std::shared_ptr<IDispatch>()));
        ADD_FAILURE();
    } catch (const EROBinaryConversionException& e) {
        EXPECT_EQ(e.Message(), u"Marshaling of IDispatch (9) type variants is not supported.");
    }
    try {
        Write(Variant::FromObject(nullptr));
        ADD_FAILURE();
    } catch (const EROBinaryConversionException& e) {
        EXPECT_EQ(e.Message(), u"Unsupported variant type \"259\"");
    }
    // What was written before a failing element stays in the stream.
    TMemoryStream s;
    EXPECT_THROW(WriteVariantToStream(VarArrayOf({Variant(1), Variant::FromObject(nullptr)}), s),
                 EROBinaryConversionException);
    EXPECT_EQ(s.GetSize(), 12 + 8);
}

TEST(BinaryVariantTest, DecimalCodeReadsIntoByteArray) {
    Variant v = Read(Le32({14, 7, 0, 0, 0x00020000}));
    TDecimal d;
    ASSERT_TRUE(VariantToDecimalBytes(v, d));
    EXPECT_EQ(DecimalToString(d, u'.'), u"0.07");
    ExpectThrows<EROException>(Le32({14, 7, 0, 0}), u"Unexpected end of stream.");
}

TEST(BinaryVariantTest, MalformedInputRaises) {
    Bytes nested;
    for (int i = 0; i < 40; ++i)
        nested = nested + Le32({8204, 0, 0});
    nested = nested + Le32({0});
    struct Case {
        Bytes bytes;
        bool endOfStream;
    } cases[] = {
        {Bytes{3, 0}, true},
        {Le32({3}), true},
        {Le32({258, -1}), true},
        {Le32({258, 5}) + Bytes{'a'}, true},
        {Le32({258, 0x7FFFFFFF}), true},
        {Le32({8209, -2}), true},
        {Le32({8209, 1000000}) + Bytes{1, 2}, true},
        {Le32({8204, 0, 0x7FFFFFFF}), true},
        {Le32({8195, 5, 3}), false},
        {Le32({8195, 0, -0x7FFFFFFF}), false},
        {Le32({8192 + 9, 0, 0, 9}), false},
        {Le32({8192 + 14, 0, -1}), false},
        {Le32({8192 + 0x103, 0, -1}), false},
        {Le32({99}), false},
        {Le32({9}), false},
        {Le32({-1}), false},
        {Le32({0x4003}), false},
        {nested, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        if (c.endOfStream)
            ExpectThrows<EROException>(c.bytes, u"Unexpected end of stream.");
        else
            ExpectThrows<EROBinaryConversionException>(c.bytes, nullptr);
    }
    ExpectThrows<EROBinaryConversionException>(Le32({99}), u"Unsupported variant type \"99\"");
    // Exactly the limit of nesting still reads.
    Bytes deep;
    for (int i = 0; i < MaxBinaryVariantDepth; ++i)
        deep = deep + Le32({8204, 0, 0});
    deep = deep + Le32({3, 1});
    EXPECT_NO_THROW(Read(deep));
}

TEST(BinaryVariantTest, LengthPrefixedTexts) {
    TMemoryStream s;
    WriteLengthPrefixedBytes(s, "\xe9\x80");
    WriteLengthPrefixedBytes(s, "\xc3\xa9");
    WriteLengthPrefixedBytes(s, "");
    EXPECT_EQ(s.GetSize(), 4 + 2 + 4 + 2 + 4);
    s.SetPosition(0);
    EXPECT_EQ(ReadAnsiStringFromStream(s), u"\u00e9\u20ac");
    EXPECT_EQ(ReadUTF8StringFromStream(s), u"\u00e9");
    EXPECT_EQ(ReadUTF8StringFromStream(s), u"");
    EXPECT_THROW(ReadUTF8StringFromStream(s), EROException);
}

// The expected column comes from data/decimal_table.py (Python's decimal module).
TEST(DecimalTest, TextTableAgreesWithPython) {
    std::ifstream in(VGL_TEST_DATA_DIR "/decimal_table.txt");
    ASSERT_TRUE(in);
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        ++rows;
        auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos);
        String text = Utf8ToString(line.substr(0, tab));
        std::string expected = line.substr(tab + 1);
        SCOPED_TRACE(line);
        if (expected == "error") {
            EXPECT_THROW(StrToDecimalValue(text, u'.'), EConvertError);
        } else if (expected == "overflow") {
            try {
                StrToDecimalValue(text, u'.');
                ADD_FAILURE();
            } catch (const EOverflow& e) {
                EXPECT_EQ(e.Message(), u"Value was either too large or too small for a TDecimal");
            }
        } else {
            std::istringstream fields(expected);
            std::uint32_t lo, mid, hi;
            int scale, negative;
            std::string written;
            fields >> lo >> mid >> hi >> scale >> negative >> written;
            TDecimal d = StrToDecimalValue(text, u'.');
            EXPECT_EQ(d.Lo, lo);
            EXPECT_EQ(d.Mid, mid);
            EXPECT_EQ(d.Hi, hi);
            EXPECT_EQ(d.Scale(), scale);
            EXPECT_EQ(d.Negative(), negative != 0);
            EXPECT_EQ(d.Flags & 0x7F00FFFFu, 0u);
            EXPECT_EQ(DecimalToString(d, u'.'), Utf8ToString(written));
        }
    }
    EXPECT_GT(rows, 30);
    try {
        StrToDecimalValue(u"", u'.');
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Cannot convert empty string to decimal value");
    }
    TDecimal comma = StrToDecimalValue(u"-1,5", u',');
    EXPECT_EQ(DecimalToString(comma, u','), u"-1,5");
}

TEST(DecimalTest, ToString) {
    auto dec = [](std::uint32_t lo, std::uint32_t mid, std::uint32_t hi, int scale, bool negative) {
        return TDecimal{lo, mid, hi, (static_cast<std::uint32_t>(scale) << 16) | (negative ? 0x80000000u : 0u)};
    };
    EXPECT_EQ(DecimalToString(dec(12345, 0, 0, 2, false), u'.'), u"123.45");
    EXPECT_EQ(DecimalToString(dec(5, 0, 0, 3, false), u'.'), u"0.005");
    EXPECT_EQ(DecimalToString(dec(0, 0, 0, 2, false), u'.'), u"0.00");
    EXPECT_EQ(DecimalToString(dec(0, 0, 0, 0, false), u'.'), u"0");
    EXPECT_EQ(DecimalToString(dec(~0u, ~0u, ~0u, 0, true), u'.'), u"-79228162514264337593543950335");
    EXPECT_EQ(DecimalToString(dec(~0u, ~0u, ~0u, 28, true), u','), u"-7,9228162514264337593543950335");
}

TEST(DecimalTest, VariantForm) {
    TDecimal d{0x01020304, 5, 6, 0x80030000u};
    Variant v = DecimalToVariant(d);
    EXPECT_EQ(v.VType(), varArray | varByte);
    EXPECT_EQ(VarArrayHighBound(v, 1), 15);
    EXPECT_EQ(VarArrayGet(v, {0}).AsInteger(), 4);
    EXPECT_EQ(VarArrayGet(v, {15}).AsInteger(), 0x80);
    TDecimal back;
    ASSERT_TRUE(VariantToDecimalBytes(v, back));
    EXPECT_EQ(back, d);
    EXPECT_FALSE(VariantToDecimalBytes(VarArrayCreate({0, 14}, varByte), back));
    EXPECT_FALSE(VariantToDecimalBytes(VarArrayCreate({0, 15}, varInteger), back));
    EXPECT_FALSE(VariantToDecimalBytes(Variant(16), back));
    EXPECT_TRUE(VariantToDecimalBytes(VarArrayCreate({1, 16}, varByte), back));
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

TEST(BcdTest, TextForms) {
    struct Case {
        const char16_t* text;
        const char16_t* written; // nullptr: not a valid BCD value
    } cases[] = {
        {u"0", u"0"},           {u"  -12.50 ", u"-12.50"}, {u"+007", u"7"},     {u"1.5e3", u"1500"},
        {u"1.5E-3", u"0.0015"}, {u".5", u"0.5"},           {u"5.", u"5"},       {u"-0.00", u"0.00"},
        {u"", nullptr},         {u"-", nullptr},           {u"1.2.3", nullptr}, {u"1e", nullptr},
        {u"abc", nullptr},      {u"1 2", nullptr},         {u"1e999", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(String(c.text).size());
        if (c.written) {
            EXPECT_EQ(BcdToStr(StrToBcd(c.text)), c.written);
        } else {
            try {
                StrToBcd(c.text);
                ADD_FAILURE();
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.Message(), String(c.text) + u" is not a valid BCD value");
            }
        }
    }
    String digits64(64, u'9');
    EXPECT_EQ(BcdToStr(StrToBcd(digits64)), digits64);
    EXPECT_THROW(StrToBcd(digits64 + u"9"), EConvertError);
    EXPECT_EQ(StrToBcd(u"1e-64").Precision, 64);
    EXPECT_THROW(StrToBcd(u"1e-65"), EConvertError); // 65 digits after the point
}

TEST(BcdTest, VariantKindConvertsThroughItsText) {
    Variant v = VarBcdCreate(StrToBcd(u"-12.75"));
    EXPECT_EQ(v.VType(), varBcd);
    EXPECT_EQ(v.AsString(), u"-12.75");
    EXPECT_EQ(v.AsDouble(), -12.75);
    EXPECT_EQ(v.AsInteger(), -13);
    EXPECT_EQ(v.AsCurrency(), -127500);
    EXPECT_EQ(VarToBcd(v), StrToBcd(u"-12.75"));
    EXPECT_EQ(VarTypeAsText(varBcd), u"FMTBcd");
    EXPECT_THROW(WriteVariantToStream(v, *std::make_unique<TMemoryStream>()), EROBinaryConversionException);
}

TEST(BcdTest, DecimalConversions) {
    EXPECT_EQ(BcdToStr(VariantToBcd(Variant(String(u"1,5")))), u"1.5");
    EXPECT_EQ(BcdToStr(VariantToBcd(Variant(String(u"2.25")))), u"2.25");
    EXPECT_EQ(BcdToStr(VariantToBcd(Null())), u"0");
    EXPECT_EQ(BcdToStr(VariantToBcd(Variant(42))), u"42");
    EXPECT_THROW(VariantToBcd(Variant(String(u"x"))), EConvertError);

    for (const char16_t* text : {u"-12.50", u"0.0000000000000000000000000001", u"79228162514264337593543950335",
                                 u"-7.9228162514264337593543950335", u"0"}) {
        TDecimal d = StrToDecimalValue(text, u'.');
        TBcd bcd = DecimalToBcd(d);
        EXPECT_EQ(BcdToDecimal(bcd), d) << String(text).size(); // lossless, scale included
        TDecimal back;
        ASSERT_TRUE(VariantToDecimalBytes(BcdToVariant(bcd, true), back));
        EXPECT_EQ(back, d);
        EXPECT_EQ(VariantToBcd(DecimalToVariant(d)), bcd);
        Variant asBcd = BcdToVariant(bcd, false);
        EXPECT_EQ(asBcd.VType(), varBcd);
        EXPECT_EQ(VariantToBcd(asBcd), bcd);
    }
    // A BCD beyond the decimal's range cannot become one.
    EXPECT_THROW(BcdToDecimal(StrToBcd(u"1e30")), EOverflow);
}

} // namespace
} // namespace vgl
