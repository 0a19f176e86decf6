#include "codes/dpd_aztec.h"

#include <gtest/gtest.h>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <string>
#include <vector>

#include "codes/typed_barcode.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"

namespace vgl {
namespace {

const std::string RS = "\x1e", GS = "\x1d", US = "\x1f", EOT = "\x04";

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

String Chars(char16_t c, size_t count) {
    return String(count, c);
}

void Set(TDPDAztecField* field, StringView value) {
    ASSERT_NE(field, nullptr);
    field->SetFieldValue(value);
}

// Blocks of a content text split at RS (without envelope), then at GS.
std::vector<std::vector<std::string>> Blocks(const std::string& content) {
    const auto split = [](const std::string& s, char separator) {
        std::vector<std::string> parts;
        size_t start = 0;
        for (size_t end; (end = s.find(separator, start)) != std::string::npos; start = end + 1)
            parts.push_back(s.substr(start, end - start));
        parts.push_back(s.substr(start));
        return parts;
    };
    std::vector<std::vector<std::string>> blocks;
    for (const std::string& block : split(content.substr(4, content.size() - 5), '\x1e'))
        blocks.push_back(split(block, '\x1d'));
    return blocks;
}

// The picture of AsImage read by zxing-cpp, with a white margin around it.
std::string DecodeImage(TImage& image) {
    auto* bitmap = dynamic_cast<TBitmap*>(image.Picture().GetGraphic());
    if (!bitmap)
        return "<no bitmap>";
    const int margin = 40, width = bitmap->GetWidth() + 2 * margin, height = bitmap->GetHeight() + 2 * margin;
    std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * height, 255);
    for (int y = 0; y < bitmap->GetHeight(); ++y)
        for (int x = 0; x < bitmap->GetWidth(); ++x)
            pixels[static_cast<size_t>(y + margin) * width + x + margin] = bitmap->GetPixel(x, y) & 0xFF;
    const ZXing::ImageView view(pixels.data(), width, height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Aztec));
    if (!result.isValid())
        return "<no decode>";
    return std::string(result.bytes().begin(), result.bytes().end());
}

TEST(DPDAztecBuild, DefaultsGiveTheEmptyEnvelope) {
    TDPDAztec aztec;
    const std::string expected =
        Bytes({0x5B, 0x29, 0x3E, 0x1E, 0x30, 0x31, 0x1D, 0x30, 0x32, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D,
               0x1D, 0x1D, 0x1D, 0x30, 0x30, 0x31, 0x2F, 0x30, 0x30, 0x31, 0x1D, 0x1D, 0x4E, 0x1D, 0x1D,
               0x1D, 0x1D, 0x1E, 0x30, 0x37, 0x1D, 0x47, 0x30, 0x33, 0x1D, 0x30, 0x1D, 0x1D, 0x1D, 0x1D,
               0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x30, 0x1D, 0x1E, 0x04});
    EXPECT_EQ(aztec.AsString(), expected);
    EXPECT_EQ(aztec.GeoLabelVersion(), u"Ref: 2017 0123 Geolabel V4.3");
    EXPECT_EQ(aztec.MaxChars(), 1000);

    // Clear restores the same state after values, blocks and flags were changed.
    Set(aztec.ISO_RecTown(), u"Dresden");
    aztec.SetS05_IsDefined(true);
    aztec.ParcelInfo().SetIsCOD(u'1');
    aztec.Clear();
    EXPECT_EQ(aztec.AsString(), expected);
    EXPECT_EQ(aztec.ParcelInfo().IsCOD(), u' ');
}

TEST(DPDAztecBuild, CompoundsAndOptionalBlocks) {
    TDPDAztec aztec;
    Set(aztec.STD_RecAdd3(), u"Hinterhaus");
    EXPECT_EQ(Blocks(aztec.AsString())[1][5], std::string(9, '\x1f') + "Hinterhaus");

    aztec.SetS01_IsDefined(true);
    Set(aztec.S01_FormatID(), u"S010");
    Set(aztec.S01_SendTown(), u"Aschaffenburg");
    aztec.SetS05_IsDefined(true);
    Set(aztec.S05_FormatID(), u"S050");
    Set(aztec.S05_Paid(), u"Y");
    aztec.SetS03_IsDefined(true);
    Set(aztec.S03_FormatID(), u"S030");
    Set(aztec.S03_Articles(1).Art_Desc, u"Schrauben");
    Set(aztec.S03_Articles(1).Art_Qty, u"4");

    const auto blocks = Blocks(aztec.AsString());
    ASSERT_EQ(blocks.size(), 6u); // ISO, STD, S01, S03, S05 and the empty piece after the last RS
    EXPECT_EQ(blocks[2],
              (std::vector<std::string>{"07", "S010", US + US + US + US + US + US + "Aschaffenburg" + US + US}));
    ASSERT_EQ(blocks[3].size(), 23u);
    EXPECT_EQ(blocks[3][2], "0"); // S03_CompInformation at the first attempt
    EXPECT_EQ(blocks[3][18], "");
    EXPECT_EQ(blocks[3][19], "Schrauben" + US + "4" + US + US + US + US);
    EXPECT_EQ(blocks[4], (std::vector<std::string>{"07", "S050", "Y", ""}));
    EXPECT_EQ(blocks[5], (std::vector<std::string>{""}));
}

TEST(DPDAztecBuild, CharactersBeyondLatin1BecomeQuestionMarks) {
    TDPDAztec aztec;
    Set(aztec.ISO_RecTown(), u"Łódź \u00FCber \u20AC");
    EXPECT_EQ(Blocks(aztec.AsString())[0][14], "?\xF3"
                                               "d? \xFC"
                                               "ber ?");
}

TEST(DPDAztecBuild, BlockSwitchCreatesAndReleasesFields) {
    TDPDAztec aztec;
    EXPECT_EQ(aztec.S02_Curr(), nullptr);
    aztec.SetS02_IsDefined(true);
    TDPDAztecField* curr = aztec.S02_Curr();
    ASSERT_NE(curr, nullptr);
    EXPECT_EQ(aztec.S02_Header()->FieldValue(), u"07");
    EXPECT_EQ(curr->MaxChars(), 3);
    curr->SetFieldValue(u"EUR");
    aztec.SetS02_IsDefined(true); // unchanged: the same objects, values kept
    EXPECT_EQ(aztec.S02_Curr(), curr);
    EXPECT_EQ(curr->FieldValue(), u"EUR");
    aztec.SetS02_IsDefined(false);
    EXPECT_EQ(aztec.S02_Curr(), nullptr);
    EXPECT_EQ(aztec.S03_Articles(4).Art_OriginCountry, nullptr);
    aztec.Clear();
    EXPECT_FALSE(aztec.S02_IsDefined());

    EXPECT_THROW(aztec.SetS01_SendTown(
                     std::make_unique<TDPDAztecField>(u"S01_SendTown", 35, u"1", u"", TDPDAztecFieldOptions{})),
                 EArgumentException); // its block is off
    EXPECT_THROW(
        aztec.SetField(fiISO_Header, std::make_unique<TDPDAztecField>(u"X", 1, u"1", u"", TDPDAztecFieldOptions{})),
        EArgumentException);
    EXPECT_THROW(aztec.SetISO_RecTown(nullptr), EArgumentException);
    EXPECT_THROW(aztec.SetIsDefined(9, true), EArgumentOutOfRangeException);
    EXPECT_THROW(aztec.S03_Articles(5), EArgumentOutOfRangeException);

    aztec.SetISO_RecTown(
        std::make_unique<TDPDAztecField>(u"ISO_RecTown", 35, u"1", u"Leipzig", TDPDAztecFieldOptions{}));
    EXPECT_EQ(Blocks(aztec.AsString())[0][14], "Leipzig");
}

// A parcel whose receiver compound (184 characters) only fits its 150 once the priority-10
// member is dropped, with a priority-10 account number, a priority-2 article and region text.
struct FittingParcel {
    TDPDAztec aztec;
    explicit FittingParcel(size_t streetLength) {
        Set(aztec.STD_RecComment(), Chars(u'C', 70));
        Set(aztec.STD_RecCompName2(), Chars(u'N', 35));
        Set(aztec.STD_RecContact(), Chars(u'K', 35));
        Set(aztec.STD_RecAdd2(), Chars(u'A', 35));
        Set(aztec.ISO_CustAccNumber(), Chars(u'U', 17));
        aztec.SetS03_IsDefined(true);
        Set(aztec.S03_FormatID(), u"S030");
        Set(aztec.S03_DestCountryReg(), Chars(u'R', 15));
        Set(aztec.S03_Articles(0).Art_Desc, Chars(u'D', 35));
        Set(aztec.ISO_RecStreet(), Chars(u'S', streetLength));
    }
};

TEST(DPDAztecBuild, FittingDropsLowPrioritiesStepByStep) {
    // Full text: 58 + 17 (account) + 184 (compound) + 30 (S03 block) + 15 (region) + 40 (article)
    // + the street = 344 + street. Reducing the compound saves 35, level 9 the account (17),
    // level 1 the region and the article (55).
    const size_t full = 344;
    struct Case {
        size_t street;
        size_t length;
        bool compName2, account, region;
        const char* compInformation;
        const char* barcodeOF;
    };
    const Case cases[] = {
        {1000 - full, 1000, true, true, true, "0", "0"},          // fits as it stands
        {1001 - full, 1001 - 35, false, true, true, "0", "0"},    // second attempt: compound reduced
        {700, full + 700 - 52, false, false, true, "1", "0"},     // level 9
        {750, full + 750 - 107, false, false, false, "1", "0"},   // level 1
        {3000, full + 3000 - 107, false, false, false, "1", "1"}, // even level 1 is too long
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("street " + std::to_string(c.street));
        FittingParcel parcel(c.street);
        const std::string text = parcel.aztec.AsString();
        EXPECT_EQ(text.size(), c.length);
        EXPECT_EQ(text.find(std::string(35, 'N')) != std::string::npos, c.compName2);
        EXPECT_EQ(text.find(std::string(17, 'U')) != std::string::npos, c.account);
        EXPECT_EQ(text.find(std::string(15, 'R')) != std::string::npos, c.region);
        const auto blocks = Blocks(text);
        EXPECT_EQ(blocks[2][2], c.compInformation);
        EXPECT_EQ(blocks[1][2], c.barcodeOF);
        EXPECT_EQ(blocks[1][5].size(), c.compName2 ? 184u : 149u); // the contact (X) always stays
        EXPECT_EQ(blocks[2][18].empty(), !c.region);               // articles go with level 1
    }
}

TEST(DPDAztecBuild, LevelOneKeepsPriorityTenCompoundMembersThatFit) {
    TDPDAztec aztec;
    Set(aztec.STD_RecCompName2(), u"Abteilung Einkauf");
    Set(aztec.ISO_ConsCustRef1(), Chars(u'5', 35)); // priority 5
    Set(aztec.STD_NoHandWoutData(), u"1");          // priority 2: only level 1 drops it
    Set(aztec.ISO_RecStreet(), Chars(u'S', 916));   // 58 + 26 (compound) + 916 = 1000 at level 1
    const std::string text = aztec.AsString();
    EXPECT_EQ(text.size(), 1000u);
    const auto blocks = Blocks(text);
    EXPECT_EQ(blocks[0][9], "");
    EXPECT_EQ(blocks[1][3], "");
    EXPECT_EQ(blocks[1][5], "\x1f"
                            "Abteilung Einkauf" +
                                std::string(8, '\x1f'));
}

TEST(DPDAztecImage, SymbolCarriesTheContentLiterally) {
    struct Case {
        const char* name;
        String town;
        String company;
    };
    const Case cases[] = {
        {"plain", u"Dresden", u"Muster GmbH"},
        {"backslashes", u"C:\\temp\\x", u"\\"},           // a lone backslash at a value's end
        {"escape lookalikes", u"\\e(26)\\f\\p", u"\\\\"}, // would be an ECI, FNC1 and reader flag
        {"separators",
         u"A\x1d"
         u"B\x1e"
         u"C\x1f"
         u"D\x04"
         u"E",
         u"[)>\x1e"
         u"01"},
        {"high bytes", u"\u00C4\u00D6\u00DC\u00DF\u00E9\u00FF\u0080\u0099", u"\u00A0\u00BF"},
    };
    TDPDAztec aztec;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        aztec.Clear();
        Set(aztec.ISO_RecTown(), c.town);
        Set(aztec.ISO_RecCompName1(), c.company);
        Set(aztec.STD_RecContact(), u"Frau M\u00FCller");
        Set(aztec.ISO_ParcelNumber(), u"01905002345615");
        EXPECT_EQ(DecodeImage(aztec.AsImage()), aztec.AsString());
    }

    // Reading the image again without a change keeps the drawing.
    TImage& image = aztec.AsImage();
    EXPECT_EQ(image.Width, 600);
    EXPECT_EQ(image.Picture().GetWidth(), 600);
    EXPECT_EQ(DecodeImage(image), aztec.AsString());
}

// The first read draws the symbol once; the picture is the same, pixel for pixel, as one that
// drew another content first and was then redrawn over it.
TEST(DPDAztecImage, FirstDrawingEqualsARedrawing) {
    const auto pixels = [](TImage& image) {
        auto* bitmap = dynamic_cast<TBitmap*>(image.Picture().GetGraphic());
        std::vector<std::uint32_t> out;
        for (int y = 0; bitmap && y < bitmap->GetHeight(); ++y)
            for (int x = 0; x < bitmap->GetWidth(); ++x)
                out.push_back(std::uint32_t(bitmap->GetPixel(x, y)));
        return out;
    };
    TDPDAztec first, redrawn;
    Set(redrawn.ISO_RecTown(), u"A much longer town name that makes a larger symbol, Stadt");
    redrawn.AsImage();
    for (TDPDAztec* aztec : {&first, &redrawn}) {
        Set(aztec->ISO_RecTown(), u"Paris");
        Set(aztec->ISO_ParcelNumber(), u"01905002345615");
    }
    const std::vector<std::uint32_t> drawnOnce = pixels(first.AsImage());
    ASSERT_EQ(drawnOnce.size(), 600u * 600u);
    EXPECT_EQ(drawnOnce, pixels(redrawn.AsImage()));
    EXPECT_EQ(DecodeImage(first.AsImage()), first.AsString());
}

TEST(DPDAztecImage, ContentTooLargeForAnySymbolRaises) {
    TDPDAztec aztec;
    String street;
    for (int k = 0; k < 4000; ++k)
        street += static_cast<Char>(0x80 + k % 96); // byte-mode characters: far beyond any symbol
    Set(aztec.ISO_RecStreet(), street);
    try {
        aztec.AsImage();
        FAIL() << "no exception";
    } catch (const EBarcodeException& e) {
        EXPECT_NE(e.Message().find(u"cannot be encoded"), String::npos);
    }
    // Still refused on the next read, and a fitting content draws again.
    EXPECT_THROW(aztec.AsImage(), EBarcodeException);
    Set(aztec.ISO_RecStreet(), u"Hauptstr. 1");
    EXPECT_EQ(DecodeImage(aztec.AsImage()), aztec.AsString());
}

} // namespace
} // namespace vgl
