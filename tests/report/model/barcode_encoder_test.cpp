#include "report/model/barcode_encoder.h"

#include <gtest/gtest.h>

#include <ZXing/ReadBarcode.h>

#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

// The message of the exception `f` raises, or "<none>".
template <class F> std::string MessageOf(F f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "<none>";
}

// Paints a pattern at `unit` pixels per drawing unit (modules 1, 2, 3, 4) with a quiet zone and
// reads it back with zxing-cpp.
struct Decoded {
    std::string Text;
    std::string Symbology;
};
Decoded DecodePattern(const AnsiString& pattern, ZXing::BarcodeFormat format, int unit = 3) {
    const TBarcodeModules modules = BarcodeModules(1, 2.0);
    const int quiet = 20 * unit;
    const int width = BarcodePatternWidth(pattern, modules) * unit + 2 * quiet, height = 60;
    std::vector<std::uint8_t> image(std::size_t(width) * height, 255);
    int x = quiet;
    for (char c : pattern) {
        const TBarcodeElement e = BarcodePatternElement(c);
        const int w = modules[e.Size] * unit;
        if (e.Kind != TBarcodeElementKind::Space)
            for (int y = 0; y < height; ++y)
                for (int k = 0; k < w; ++k)
                    image[std::size_t(y) * width + x + k] = 0;
        x += w;
    }
    const ZXing::ImageView view(image.data(), width, height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format));
    if (!result.isValid())
        return {"<no decode>", ""};
    return {std::string(result.bytes().begin(), result.bytes().end()), result.symbologyIdentifier()};
}

const AnsiString kRouting = "%" + AnsiString("007110601632015376002000000").substr(0, 27);

TEST(BarcodeEncoder, RoutingTextChoosesSetsAndHasTheLabelWidth) {
    ASSERT_EQ(kRouting.size(), 28u);
    EXPECT_EQ(Code128AutoTokens(kRouting), "&B;%&C;" + kRouting.substr(1, 26) + "&B;" + kRouting.substr(27));
    const std::vector<int> values = Code128Values(Code128AutoTokens(kRouting));
    ASSERT_EQ(values.size(), 19u); // start, %, CODE C, 13 pairs, CODE B, digit, check
    EXPECT_EQ(values[0], 104);
    EXPECT_EQ(values[2], 99);
    EXPECT_EQ(values[16], 100);
    const TBarcodeEncoding e = EncodeBarcode(bcCode128, kRouting, false, csmModulo10);
    EXPECT_EQ(BarcodePatternWidth(e.Pattern, BarcodeModules(1, 2.0)), 222);
    EXPECT_EQ(DecodePattern(e.Pattern, ZXing::BarcodeFormat::Code128).Text, kRouting);
}

TEST(BarcodeEncoder, Code128PatternsDecode) {
    const AnsiString mixed = "Ab\x01\x1f"
                             "cd 12345 x";
    const std::vector<AnsiString> texts = {"ABC", "abc def",           mixed,  "AB1234", "AB12345", "1234567890",
                                           "x",   "\x02\x03\x04z\x05", "a\x01"};
    for (const AnsiString& text : texts) {
        const TBarcodeEncoding e = EncodeBarcode(bcCode128, text, false, csmModulo10);
        EXPECT_EQ(DecodePattern(e.Pattern, ZXing::BarcodeFormat::Code128).Text, text) << text;
    }
    for (TfrxBarcodeType type : {bcCode128A, bcCode128B}) {
        const TBarcodeEncoding e = EncodeBarcode(type, "HELLO 42", false, csmModulo10);
        EXPECT_EQ(DecodePattern(e.Pattern, ZXing::BarcodeFormat::Code128).Text, "HELLO 42");
    }
    const TBarcodeEncoding c = EncodeBarcode(bcCode128C, "123456", false, csmModulo10);
    EXPECT_EQ(DecodePattern(c.Pattern, ZXing::BarcodeFormat::Code128).Text, "123456");
}

TEST(BarcodeEncoder, Code128SetChoiceRules) {
    struct Case {
        AnsiString Text, Tokens;
    };
    const Case cases[] = {
        {"ABC", "&B;ABC"},
        {"AB1234", "&B;AB1234"},         // four digits at the end stay in B
        {"AB12345", "&B;AB&C;1234&B;5"}, // five switch for the even part
        {"a\x01", "&B;a&S;\x01"},        // one character of the other set is shifted
        {"\x01\x02z", "&A;\x01\x02&S;z"},
        {"&a;ABC&C;", "&B;ABC"}, // code-set tokens are removed first
        {"&1;0112345678901234", "&C;&1;0112345678901234"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Code128AutoTokens(c.Text), c.Tokens) << c.Text;
    const std::vector<int> abc = Code128Values("&B;ABC");
    EXPECT_EQ(abc.back(), 1);
    EXPECT_EQ(2 + BarcodePatternWidth(Code128Pattern(abc), BarcodeModules(1, 2.0)), 70);
}

TEST(BarcodeEncoder, Code128Errors) {
    const std::string invalid = "Invalid Barcode";
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode128C, "12345", false, csmNone); }), invalid);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode128, "", false, csmNone); }), invalid);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode128, "AB\x7f", false, csmNone); }), invalid);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode128, "\xe9", false, csmNone); }), invalid);
    EXPECT_EQ(MessageOf([] { Code128Values("&C;12&2;"); }), invalid);
    EXPECT_EQ(MessageOf([] { Code128Values("&C;12&4;"); }), invalid);
    EXPECT_EQ(MessageOf([] { Code128Values("&C;&S;1"); }), invalid);
    EXPECT_EQ(MessageOf([] { Code128Values("&B;A&S;"); }), invalid);
    EXPECT_EQ(MessageOf([] { Code128Values("ABC"); }), invalid);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcGS1Code128, "(01)1234", false, csmNone); }), invalid);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode_2_5_interleaved, "12(3)", false, csmNone); }),
              "Barcode must be numeric");
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode39, "ABC", false, csmNone); }),
              "Barcode type \"Code39\" is not supported");
    EXPECT_EQ(MessageOf([] { EncodeBarcode(TfrxBarcodeType(32), "1", false, csmNone); }),
              "TfrxBarcode: wrong BarcodeType");
    EXPECT_EQ(MessageOf([] { BarcodePatternElement('4'); }), "TfrxBarcode: internal Error");
}

TEST(BarcodeEncoder, Ean128AndGs1) {
    EXPECT_EQ(Code128Tokens(bcCodeEAN128, "0112345678901234", false, csmNone), "&C;&1;0112345678901234");
    EXPECT_EQ(Code128Tokens(bcCodeEAN128C, "(01)12345678901234", false, csmNone), "&C;&1;0112345678901234");
    EXPECT_EQ(Code128Tokens(bcCodeEAN128B, "&FNC1;AB", false, csmNone), "&B;&1;AB");
    EXPECT_EQ(Code128Tokens(bcCodeEAN128A, "12", true, csmModulo10), "&A;&1;123");

    const Decoded gs1 = DecodePattern(EncodeBarcode(bcGS1Code128, "(01)12345678901234", false, csmNone).Pattern,
                                      ZXing::BarcodeFormat::Code128);
    EXPECT_EQ(gs1.Text, "0112345678901234");
    EXPECT_EQ(gs1.Symbology, "]C1");
    const Decoded ean =
        DecodePattern(EncodeBarcode(bcCodeEAN128, "10ABC", false, csmNone).Pattern, ZXing::BarcodeFormat::Code128);
    EXPECT_EQ(ean.Text, "10ABC");
    EXPECT_EQ(ean.Symbology, "]C1");
}

TEST(BarcodeEncoder, Gs1Conversion) {
    struct Case {
        AnsiString Text, Tokens;
    };
    const Case cases[] = {
        {"(01)12345678901234", "&1;0112345678901234"},
        {"(10)ABC(21)123", "&1;10ABC&1;21123"},
        {"(01)1234", ""},                   // too short for a fixed AI
        {"(99)A", "&1;99A"},                // the row 9X
        {"(10)A(B(21)1", "&1;10A(B&1;211"}, // "(" not starting an AI stays data
        {"(711)X", "&1;711X"},              // 711 before 71X
        {"(3103)123456", "&1;3103123456"},
        {"()", ""},
        {"(10", ""},
        {"(10ABC", ""},                     // no ")" after the AI
        {"(10)", ""},                       // variable data too short
        {"(10)" + AnsiString(21, 'x'), ""}, // and too long
        {"x(10)A", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GS1ToCode128(c.Text), c.Tokens) << c.Text;
}

TEST(BarcodeEncoder, TwoOfFiveTypes) {
    // Interleaved: a leading zero for an odd length; with a check digit first.
    EXPECT_EQ(DecodePattern(EncodeBarcode(bcCode_2_5_interleaved, "12345", false, csmModulo10).Pattern,
                            ZXing::BarcodeFormat::ITF)
                  .Text,
              "012345");
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_interleaved, "123", false, csmNone).Pattern,
              EncodeBarcode(bcCode_2_5_interleaved, "0123", false, csmNone).Pattern);
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_interleaved, "123", true, csmModulo10).Pattern,
              EncodeBarcode(bcCode_2_5_interleaved, "1236", false, csmNone).Pattern);
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_interleaved, " \t1234\r\n", false, csmNone).Pattern,
              EncodeBarcode(bcCode_2_5_interleaved, "1234", false, csmNone).Pattern);
    const TBarcodeModules m = BarcodeModules(1, 2.0);
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_interleaved, "", false, csmNone).Pattern, "5050605");
    EXPECT_EQ(BarcodePatternWidth("5050605", m), 8);
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode_2_5_interleaved, "12a4", false, csmNone); }), "Invalid Barcode");

    const AnsiString itf = EncodeBarcode(bcCode_ITF_14, "12345678912345", false, csmNone).Pattern;
    EXPECT_EQ(itf.substr(0, 5), "33333");
    EXPECT_EQ(DecodePattern(itf.substr(5, itf.size() - 10), ZXing::BarcodeFormat::ITF).Text, "12345678912345");
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode_ITF_14, "1234", false, csmNone); }), "The length should be 14");
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode_ITF_14, "92345678912345", false, csmNone); }),
              "The first character must be 1-8");
    EXPECT_EQ(MessageOf([] { EncodeBarcode(bcCode_ITF_14, "1234567891234X", false, csmNone); }),
              "Only numbers are required");

    // Industrial and matrix against the standard 2-of-5 table, written out here.
    const char* table[10] = {"nnwwn", "wnnnw", "nwnnw", "wwnnn", "nnwnw", "wnwnn", "nwwnn", "nnnww", "wnnwn", "nwnwn"};
    AnsiString industrial = "55055050", matrix = "705050";
    for (char d : AnsiString("0819")) {
        for (int k = 0; k < 5; ++k) {
            const bool wide = table[d - '0'][k] == 'w';
            industrial += wide ? "60" : "50";
            matrix += k % 2 == 0 ? (wide ? '6' : '5') : (wide ? '1' : '0');
        }
        matrix += '0';
    }
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_industrial, "0819", false, csmNone).Pattern, industrial + "55050550");
    EXPECT_EQ(EncodeBarcode(bcCode_2_5_matrix, "0819", false, csmNone).Pattern, matrix + "70505");
}

TEST(BarcodeEncoder, ElementSizesAndRatio) {
    EXPECT_EQ(BarcodeModules(1, 2.0), (TBarcodeModules{1, 2, 3, 4}));
    EXPECT_EQ(BarcodeModules(2, 2.5), (TBarcodeModules{2, 5, 7, 10}));
    EXPECT_DOUBLE_EQ(ClampBarcodeRatio(bcCode39, 1.5), 2.0);
    EXPECT_DOUBLE_EQ(ClampBarcodeRatio(bcCode128, 1.5), 1.5);
    EXPECT_DOUBLE_EQ(ClampBarcodeRatio(bcCode_2_5_matrix, 2.0), 2.25);
    EXPECT_DOUBLE_EQ(ClampBarcodeRatio(bcCode_2_5_interleaved, 3.5), 3.0);
    EXPECT_EQ(BarcodeCheckSum("1234567", csmModulo10), "12345670");
    EXPECT_EQ(BarcodeCheckSum("1234567", csmNone), "1234567");
    EXPECT_EQ(BarcodeTypeName(bcCodeCodabar), u"Codebar");
    EXPECT_TRUE(BarcodeTypeDigitsOnly(bcCode128C));
    EXPECT_FALSE(BarcodeTypeDigitsOnly(bcGS1Code128));
}

TEST(BarcodeEncoder, ArbitraryBytesGiveAPatternOrAnException) {
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 3000; ++round) {
        AnsiString text(next() % 24, '\0');
        for (char& c : text) {
            const std::uint32_t r = next() >> 8;
            c = "&;()0123456789ABCSabc1"[r % 22];
            if (r % 7 == 0)
                c = char(r >> 5);
        }
        for (int t = 0; t < BarcodeTypeCount; ++t) {
            try {
                const TBarcodeEncoding e = EncodeBarcode(TfrxBarcodeType(t), text, (round & 1) != 0, csmModulo10);
                BarcodePatternWidth(e.Pattern, BarcodeModules(1, 2.0));
            } catch (const Exception&) {
            }
        }
        GS1ToCode128(text);
    }
}

} // namespace
} // namespace vgl
