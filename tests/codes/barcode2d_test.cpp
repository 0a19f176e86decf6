#include "codes/barcode2d.h"

#include <gtest/gtest.h>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "codes/aztec_barcode.h"
#include "platform/graphics/bitmap.h"

namespace vgl {
namespace {

// The text whose characters are the bytes (0-255) of `bytes`, as the label road widens them.
String Widen(const std::string& bytes) {
    String text;
    for (unsigned char c : bytes)
        text += static_cast<Char>(c);
    return text;
}

// Reads the bitmap's Aztec symbol with zxing-cpp, with a white border of `border` pixels around
// it (the symbol has no quiet zone of its own).
std::string DecodeBitmap(const TBitmap& bitmap, int border = 40) {
    const int width = bitmap.GetWidth() + 2 * border, height = bitmap.GetHeight() + 2 * border;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height, 255);
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            const TColor c = bitmap.GetPixel(x, y);
            image[static_cast<std::size_t>(y + border) * width + x + border] =
                static_cast<std::uint8_t>((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
        }
    const ZXing::ImageView view(image.data(), width, height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Aztec));
    if (!result.isValid())
        return "<no decode>";
    return std::string(result.bytes().begin(), result.bytes().end());
}

TBitmap& PictureBitmap(TImage& image) {
    auto* bitmap = dynamic_cast<TBitmap*>(image.Picture().GetGraphic());
    if (!bitmap)
        throw std::runtime_error("the picture holds no bitmap");
    return *bitmap;
}

// Bytes of `length` characters mixing text, digits and ISO-8859-1 letters and controls.
std::string Content(std::size_t length) {
    const std::string piece = "Paket 0815 M\xfcller/Stra\xdf"
                              "e \xe9\x80\x9f\xff\x01 ";
    std::string s;
    while (s.size() < length)
        s += piece;
    s.resize(length);
    return s;
}

// The shortest Content whose symbol (default settings) has `side` modules.
std::string ContentOfSide(int side) {
    for (std::size_t length = 1; length < 2000; ++length)
        if (EncodeAztec(Content(length)).Side() == side)
            return Content(length);
    throw std::runtime_error("no content of that side");
}

std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

struct Fixture600 {
    TImage image;
    TBarcode2D_AztecCode code{nullptr};
    Fixture600(int width = 600, int height = 600) {
        image.Width = width;
        image.Height = height;
        code.SetStretch(true);
        code.SetImage(&image);
    }
};

TEST(Barcode2DTest, StretchedSmallestSymbolFillsThePictureWith40PixelModules) {
    Fixture600 f;
    f.code.SetBarcode(u"A");
    const TAztecSymbol symbol = EncodeAztec("A");
    ASSERT_EQ(symbol.Side(), 15);
    TBitmap& bitmap = PictureBitmap(f.image);
    ASSERT_EQ(bitmap.GetWidth(), 600);
    ASSERT_EQ(bitmap.GetHeight(), 600);
    EXPECT_EQ(f.code.LockedRect(), Rect(0, 0, 600, 600));

    // Every module is a 40 x 40 block in its colour: probe its four corner pixels and its centre.
    for (int row = 0; row < 15; ++row)
        for (int column = 0; column < 15; ++column) {
            const TColor expected = symbol.IsDark(row, column) ? clBlack : clWhite;
            for (auto [dx, dy] : {std::pair{0, 0}, {39, 0}, {0, 39}, {39, 39}, {20, 20}})
                ASSERT_EQ(bitmap.GetPixel(column * 40 + dx, row * 40 + dy), expected)
                    << "module " << row << "," << column;
        }

    const auto path = std::filesystem::temp_directory_path() / ("barcode2d_test_" + std::to_string(getpid()) + ".bmp");
    {
        const std::vector<std::uint8_t> bytes = bitmap.SaveToBytes();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // ImageMagick names the format "BMP" or, for this header version, "BMP3".
    const std::string identified = RunCommand("identify -format '%m %w %h' '" + path.string() + "'");
    EXPECT_TRUE(identified == "BMP 600 600" || identified == "BMP3 600 600") << identified;
    std::filesystem::remove(path);
}

TEST(Barcode2DTest, StretchedPictureHoldsEveryModuleAndDecodesToTheExactBytes) {
    // 600 is a multiple of 15 only: elsewhere neighbouring modules differ by a pixel. zxing-cpp
    // reads the stretched picture up to 95 modules (about 6 pixels each); beyond that its
    // detector loses the grid, so the larger sizes are checked module by module only.
    struct Case {
        int side;
        bool decode;
    };
    for (const Case& k : {Case{15, true}, Case{45, true}, Case{67, true}, Case{95, true}, Case{151, false}}) {
        const std::string bytes = k.side == 15 ? std::string("\xe9\x80!") : ContentOfSide(k.side);
        Fixture600 f;
        f.code.SetBarcode(Widen(bytes));
        ASSERT_EQ(AztecSizeInfo(f.code.GetCurrentSize()).Side, k.side);
        const TBitmap& bitmap = PictureBitmap(f.image);
        const TAztecSymbol symbol = EncodeAztec(bytes);
        for (int row = 0; row < k.side; ++row)
            for (int column = 0; column < k.side; ++column) {
                const int x = (2 * column + 1) * 600 / (2 * k.side), y = (2 * row + 1) * 600 / (2 * k.side);
                ASSERT_EQ(bitmap.GetPixel(x, y), symbol.IsDark(row, column) ? clBlack : clWhite)
                    << "side " << k.side << " module " << row << "," << column;
            }
        if (k.decode) {
            EXPECT_EQ(DecodeBitmap(bitmap), bytes) << "side " << k.side;
        }
    }
}

TEST(Barcode2DTest, LabelSettingsReadEscapesAndKeepEveryLatin1Byte) {
    Fixture600 f;
    f.code.SetAllowEscape(true);
    f.code.SetBarcode(Widen("A\\\\B\x80\x9f\xff"));
    EXPECT_EQ(DecodeBitmap(PictureBitmap(f.image)), "A\\B\x80\x9f\xff");
}

TEST(Barcode2DTest, UnstretchedSymbolTakesModulePixelsAtTheMargins) {
    TImage image;
    image.Width = image.Height = 100;
    TBarcode2D_AztecCode code(nullptr);
    code.SetLeftMargin(10);
    code.SetTopMargin(20);
    code.SetImage(&image);
    code.SetBarcode(u"A");
    EXPECT_EQ(code.LockedRect(), Rect(10, 20, 25, 35));
    const TAztecSymbol symbol = EncodeAztec("A");
    const TBitmap& bitmap = PictureBitmap(image);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 10 && x < 25 && y >= 20 && y < 35;
            const TColor expected = inside && symbol.IsDark(y - 20, x - 10) ? clBlack : clWhite;
            ASSERT_EQ(bitmap.GetPixel(x, y), expected) << x << "," << y;
        }
}

TEST(Barcode2DTest, OrientationAndMirrorMapModulesToTheirPixels) {
    const TAztecSymbol symbol = EncodeAztec("HELLO");
    const int side = symbol.Side(), module = 3, pixels = side * module;
    struct Case {
        TBarcodeOrientation orientation;
        bool mirrored;
        // Canvas module position of matrix (row, column).
        std::pair<int, int> (*place)(int row, int column, int last);
    };
    const Case cases[] = {
        {boLeftRight, false,
         [](int r, int c, int) {
             return std::pair{c, r};
         }},
        {boBottomTop, false,
         [](int r, int c, int last) {
             return std::pair{r, last - c};
         }},
        {boRightLeft, false,
         [](int r, int c, int last) {
             return std::pair{last - c, last - r};
         }},
        {boTopBottom, false,
         [](int r, int c, int last) {
             return std::pair{last - r, c};
         }},
        {boLeftRight, true,
         [](int r, int c, int last) {
             return std::pair{last - c, r};
         }},
    };
    for (const Case& k : cases) {
        TBarcode2D_AztecCode code(nullptr);
        code.SetOrientation(k.orientation);
        code.SetMirrored(k.mirrored);
        code.SetBarcode(u"HELLO");
        TBitmap bitmap(pixels + 10, pixels + 10);
        bitmap.Canvas().FillRect(Rect(0, 0, pixels + 10, pixels + 10));
        ASSERT_EQ(code.DrawTo(bitmap.Canvas(), 5, 5, module), 0);
        for (int row = 0; row < side; ++row)
            for (int column = 0; column < side; ++column) {
                const auto [x, y] = k.place(row, column, side - 1);
                const TColor expected = symbol.IsDark(row, column) ? clBlack : clWhite;
                for (int dy = 0; dy < module; ++dy)
                    for (int dx = 0; dx < module; ++dx)
                        ASSERT_EQ(bitmap.GetPixel(5 + x * module + dx, 5 + y * module + dy), expected)
                            << "orientation " << k.orientation << " mirrored " << k.mirrored;
            }
        // Nothing outside the drawing.
        for (int t = 0; t < pixels + 10; ++t)
            for (auto [x, y] : {std::pair{t, 4}, {4, t}, {t, pixels + 5}, {pixels + 5, t}})
                ASSERT_EQ(bitmap.GetPixel(x, y), clWhite) << "orientation " << k.orientation;
        if (!k.mirrored) {
            EXPECT_EQ(DecodeBitmap(bitmap), "HELLO");
        }
    }
}

TEST(Barcode2DTest, SidewaysStretchSwapsOnlyAnExplicitSize) {
    struct Case {
        int imageWidth, imageHeight, barcodeWidth, barcodeHeight;
        TRect expected;
    };
    const Case cases[] = {
        {600, 600, 300, 200, Rect(0, 0, 200, 300)}, // the symbol's own width and height turn with it
        {600, 400, 0, 0, Rect(0, 0, 600, 400)},     // the picture's area stays the picture's
        {600, 400, -100, -50, Rect(0, 0, 500, 350)},
    };
    for (const Case& k : cases) {
        Fixture600 f(k.imageWidth, k.imageHeight);
        f.code.SetOrientation(boTopBottom);
        f.code.SetBarcodeWidth(k.barcodeWidth);
        f.code.SetBarcodeHeight(k.barcodeHeight);
        f.code.SetBarcode(u"ROTATED");
        EXPECT_EQ(f.code.LockedRect(), k.expected) << k.imageWidth << "x" << k.imageHeight;
    }
}

TEST(Barcode2DTest, ColoursQuietZoneAndInversion) {
    struct Case {
        bool inversed;
        TColor dark, light;
    };
    for (const Case& k : {Case{false, clNavy, clYellow}, Case{true, clYellow, clNavy}}) {
        TImage image;
        image.Width = image.Height = 80;
        TBarcode2D_AztecCode code(nullptr);
        code.SetBarColor(clNavy);
        code.SetSpaceColor(clYellow);
        code.SetInversed(k.inversed);
        code.SetModule(3);
        code.SetShowQuietZone(true);
        code.SetLeadingQuietZone(2);
        code.SetTopQuietZone(1);
        code.SetImage(&image);
        code.SetBarcode(u"A");
        EXPECT_EQ(code.LockedRect(), Rect(0, 0, (2 + 15) * 3, (1 + 15) * 3));
        const TBitmap& bitmap = PictureBitmap(image);
        EXPECT_EQ(bitmap.GetPixel(0, 0), k.light); // quiet zone
        EXPECT_EQ(bitmap.GetPixel(6 + 7 * 3, 3 + 7 * 3), k.dark) << "centre of the finder";
        EXPECT_EQ(bitmap.GetPixel(6 + 6 * 3, 3 + 7 * 3), k.light) << "first light ring";
    }
}

TEST(Barcode2DTest, InvalidDataFiresItsEventAndDrawsNothing) {
    struct Case {
        const char* name;
        bool asData;
        std::string input;
        int expectedIndex; // 0: an invalid length is expected
        char expectedChar;
    };
    const Case cases[] = {
        {"bad escape in text", false, "AB\\xC", 4, 'x'},          {"final backslash in text", false, "AB\\", 3, '\\'},
        {"too long text", false, std::string(4000, 'a'), 0, 0},   {"bad escape in data", true, "AB\\xC", 4, 'x'},
        {"too long data", true, std::string(4000, '\xe9'), 0, 0},
    };
    for (const Case& k : cases) {
        Fixture600 f;
        f.code.SetAllowEscape(true);
        f.code.SetBarcode(u"VALID");
        TBitmap& bitmap = PictureBitmap(f.image);
        ASSERT_EQ(bitmap.GetPixel(300, 300), clBlack) << k.name;

        std::vector<std::string> events;
        f.code.OnInvalidChar = [&](TObject* sender, int index, Char c, bool linear) {
            EXPECT_EQ(sender, &f.code);
            EXPECT_FALSE(linear);
            events.push_back("char " + std::to_string(index) + " " + std::string(1, static_cast<char>(c)));
        };
        f.code.OnInvalidDataChar = [&](TObject*, int index, char c, bool) {
            events.push_back("data char " + std::to_string(index) + " " + std::string(1, c));
        };
        f.code.OnInvalidLength = [&](TObject*, const String& text, bool) {
            EXPECT_EQ(text, Widen(k.input));
            events.push_back("length");
        };
        f.code.OnInvalidDataLength = [&](TObject*, const AnsiString& data, bool) {
            EXPECT_EQ(data, k.input);
            events.push_back("data length");
        };
        EXPECT_NO_THROW(k.asData ? f.code.SetData(k.input) : f.code.SetBarcode(Widen(k.input))) << k.name;
        const std::string prefix = k.asData ? "data " : "";
        const std::string expected =
            k.expectedIndex ? prefix + "char " + std::to_string(k.expectedIndex) + " " + std::string(1, k.expectedChar)
                            : prefix + "length";
        EXPECT_EQ(events, std::vector<std::string>{expected}) << k.name;
        // The old symbol was erased before the new data was tried: no stale symbol remains.
        EXPECT_EQ(bitmap.GetPixel(300, 300), clWhite) << k.name;
        EXPECT_TRUE(f.code.LockedRect().IsEmpty()) << k.name;

        // An explicit redraw of the same bad data reports again and leaves the picture alone.
        bitmap.SetPixel(300, 300, clRed);
        events.clear();
        EXPECT_FALSE(f.code.Draw(true));
        EXPECT_EQ(events.size(), 1u) << k.name;
        EXPECT_EQ(bitmap.GetPixel(300, 300), clRed) << k.name;
    }
}

TEST(Barcode2DTest, InvalidPositionIsMappedBackToTheText) {
    struct Case {
        const char* name;
        String text;
        bool prefixEncoder; // OnEncode puts two bytes before the data
        int parserAnswer;   // what ParseBarcodeIndex answers; none when -1
        int expectedIndex;
        Char expectedChar;
        int expectedCode; // what DrawTo returns
    };
    const Case cases[] = {
        {"direct", u"AB\\q", false, -1, 4, u'q', 4},
        {"after a surrogate pair", u"\U0001F600\\q", false, -1, 4, u'q', 4},
        {"through OnEncode by bisection", u"A\\q", true, -1, 3, u'q', 3},
        {"through ParseBarcodeIndex", u"A\\q", true, 42, -3, 0, 42}, // 42 lies outside the text
        {"ParseBarcodeIndex names no position", u"A\\q", true, 0, -3, 0, -2},
        {"ParseBarcodeIndex answers below zero", u"A\\q", true, -5, -3, 0, -2},
    };
    for (const Case& k : cases) {
        TBarcode2D_AztecCode code(nullptr);
        code.SetAllowEscape(true);
        if (k.prefixEncoder)
            code.OnEncode = [](TObject*, AnsiString& data, const String&) { data = "XX" + data; };
        if (k.parserAnswer != -1)
            code.ParseBarcodeIndex = [&](TObject*, const String&, const AnsiString&, int) { return k.parserAnswer; };
        int index = 0;
        Char c = u'?';
        code.OnInvalidChar = [&](TObject*, int i, Char ch, bool) {
            index = i;
            c = ch;
        };
        TBitmap bitmap(50, 50);
        EXPECT_EQ(code.DrawTo(k.text, bitmap.Canvas(), 0, 0), k.expectedCode) << k.name;
        EXPECT_EQ(index, k.expectedIndex) << k.name;
        EXPECT_EQ(c, k.expectedChar) << k.name;
    }
}

TEST(Barcode2DTest, ResultsBecomeTheDocumentedCodesAtTheOutputOperations) {
    struct Case {
        TEncodeResult result;
        int code;
    };
    const Case cases[] = {
        {{}, 0},
        {{TEncodeResult::InvalidLength, std::nullopt, false}, -1},
        {{TEncodeResult::InvalidChar, 7, false}, 7},
        {{TEncodeResult::InvalidChar, 7, true}, 7 | InvalidLinearFlag},
        {{TEncodeResult::InvalidChar, std::nullopt, true}, -2},
        // A position too large for the code stays below the linear flag instead of setting it.
        {{TEncodeResult::InvalidChar, 0x12345, false}, InvalidLinearFlag - 1},
    };
    for (const Case& k : cases)
        EXPECT_EQ(k.result.Code(), k.code) << k.code;
}

TEST(Barcode2DTest, ModuleMatrixIsFlatAndChecksEveryAccess) {
    TModuleMatrix matrix(3, 2);
    EXPECT_EQ(matrix.Width(), 3);
    EXPECT_EQ(matrix.Height(), 2);
    matrix.SetDark(2, 1);
    EXPECT_TRUE(matrix.IsDark(2, 1));
    EXPECT_FALSE(matrix.IsDark(1, 1));
    matrix.SetDark(2, 1, false);
    EXPECT_EQ(matrix, TModuleMatrix(3, 2));
    for (auto [column, row] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}}) {
        EXPECT_THROW(matrix.IsDark(column, row), ERangeError) << column << "," << row;
        EXPECT_THROW(matrix.SetDark(column, row), ERangeError) << column << "," << row;
    }
    EXPECT_TRUE(TModuleMatrix().Empty());
    EXPECT_THROW(TModuleMatrix(0, 0).IsDark(0, 0), ERangeError);
    EXPECT_THROW(TModuleMatrix(-1, 5), ERangeError);
}

TEST(Barcode2DTest, ChangeProtocolAndLocking) {
    Fixture600 f;
    int changes = 0;
    f.code.OnChange = [&](TObject*) { ++changes; };
    f.code.SetBarcode(u"ONE");
    f.code.SetBarcode(u"ONE");
    EXPECT_EQ(changes, 1) << "an unchanged text does nothing";
    f.code.SetData("TWO");
    EXPECT_EQ(f.code.GetBarcode(), u"");
    f.code.SetBarcode(u"THREE");
    EXPECT_EQ(f.code.GetData(), "");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(DecodeBitmap(PictureBitmap(f.image)), "THREE");

    f.code.SetLocked(true);
    f.code.SetBarcode(u"FOUR");
    EXPECT_EQ(DecodeBitmap(PictureBitmap(f.image)), "THREE") << "locked: no redraw";
    f.code.SetLocked(false);
    EXPECT_EQ(DecodeBitmap(PictureBitmap(f.image)), "FOUR");

    // A larger symbol followed by a smaller one leaves nothing of the first behind.
    f.code.SetStretch(false);
    f.code.SetModule(4);
    f.code.SetBarcode(Widen(Content(300)));
    const TRect large = f.code.LockedRect();
    f.code.SetBarcode(u"A");
    const TBitmap& bitmap = PictureBitmap(f.image);
    EXPECT_EQ(bitmap.GetPixel(large.Right - 1, large.Bottom - 1), clWhite);
}

TEST(Barcode2DTest, OutOfRangePropertiesAndForeignAssignRaise) {
    TBarcode2D_AztecCode code(nullptr);
    EXPECT_THROW(code.SetModule(0), EBarcode2DError);
    EXPECT_THROW(code.SetLeadingQuietZone(-1), EBarcode2DError);
    EXPECT_THROW(code.SetECCLevel(100), EBarcode2DError);
    EXPECT_NO_THROW(code.SetECCLevel(99));
    EXPECT_THROW(code.SetECCCount(0), EBarcode2DError);
    EXPECT_THROW(code.SetOrientation(static_cast<TBarcodeOrientation>(7)), EBarcode2DError);
    EXPECT_THROW(code.SetMinSize(static_cast<TAztecCode_Size>(36)), EBarcode2DError);

    // A module so large that no picture could hold the drawing.
    TBitmap bitmap(10, 10);
    EXPECT_THROW(code.DrawTo(u"A", bitmap.Canvas(), 0, 0, 3000), EBarcode2DError);

    TBarcode2D plain(nullptr);
    try {
        code.Assign(&plain);
        ADD_FAILURE() << "no error";
    } catch (const EBarcode2DError& e) {
        EXPECT_EQ(e.Message(), u"TBarcode2D kann nicht zu TBarcode2D_AztecCode zugewiesen werden");
    }
    try {
        code.Assign(nullptr);
        ADD_FAILURE() << "no error";
    } catch (const EBarcode2DError& e) {
        EXPECT_EQ(e.Message(), u"nil kann nicht zu TBarcode2D_AztecCode zugewiesen werden");
    }

    TBarcode2D_AztecCode other(nullptr);
    other.SetECCLevel(50);
    other.SetAllowEscape(true);
    other.SetModule(2);
    other.SetBarcode(u"COPY");
    code.Assign(&other);
    EXPECT_EQ(code.GetECCLevel(), 50);
    EXPECT_TRUE(code.GetAllowEscape());
    EXPECT_EQ(code.GetModule(), 2);
    EXPECT_EQ(code.GetBarcode(), u"COPY");
}

TEST(Barcode2DTest, SizeSettingsChangeTheChosenSymbol) {
    Fixture600 f;
    f.code.SetBarcode(u"A");
    EXPECT_EQ(f.code.GetCurrentSize(), TAztecCode_Size::azSize_15Compact);
    f.code.SetMinSize(TAztecCode_Size::azSize_31);
    EXPECT_EQ(f.code.GetCurrentSize(), TAztecCode_Size::azSize_31);
    EXPECT_EQ(DecodeBitmap(PictureBitmap(f.image)), "A");

    int lengthErrors = 0;
    f.code.OnInvalidLength = [&](TObject*, const String&, bool) { ++lengthErrors; };
    f.code.SetMinSize(TAztecCode_Size::azSize_15Compact);
    f.code.SetSymbolMode(TAztecCode_SymbolMode::smCompact);
    f.code.SetBarcode(Widen(Content(200)));
    EXPECT_EQ(lengthErrors, 1) << "too long for 27 x 27 compact";
}

TEST(Barcode2DTest, MeasuringAndTemporaryDrawingsLeaveTheOwnStateAlone) {
    TBarcode2D_AztecCode code(nullptr);
    code.SetBarcode(u"A");
    code.SetOrientation(boBottomTop);
    code.SetShowQuietZone(true);
    code.SetLeadingQuietZone(1);
    code.SetModule(2);

    int width = 0, height = 0, symbolWidth = 0, symbolHeight = 0;
    ASSERT_TRUE(code.Size(width, height, symbolWidth, symbolHeight));
    EXPECT_EQ(std::vector({width, height, symbolWidth, symbolHeight}), std::vector({30, 32, 30, 30}));

    struct Case {
        int module, hdpi, vdpi;
        std::vector<int> expected; // width, height, symbol width, symbol height
    };
    const Case cases[] = {
        {2, 0, 0, {32, 30, 30, 30}},
        {2, 192, 96, {32, 15, 30, 15}}, // the density rate halves the heights
        {-2, 192, 96, {32, 30, 30, 30}},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(code.DrawToSize(width, height, symbolWidth, symbolHeight, k.module, 0, nullptr, k.hdpi, k.vdpi), 0);
        EXPECT_EQ(std::vector({width, height, symbolWidth, symbolHeight}), k.expected) << k.module << " " << k.hdpi;
    }

    // The explicit-text forms encode their own text and keep the component's.
    ASSERT_EQ(code.DrawToSize(Widen(Content(300)), width, height, symbolWidth, symbolHeight, 1, 0), 0);
    EXPECT_GT(symbolWidth, 15);
    // zxing-cpp looks for the symbol from the centre of the picture.
    TBitmap bitmap(108, 108);
    bitmap.Canvas().FillRect(Rect(0, 0, 108, 108));
    ASSERT_EQ(code.DrawTo(AnsiString("DATA FORM"), bitmap.Canvas(), 27, 30, 3, 0), 0);
    EXPECT_EQ(DecodeBitmap(bitmap), "DATA FORM");
    EXPECT_EQ(code.GetCurrentSize(), TAztecCode_Size::azSize_15Compact);
    EXPECT_EQ(code.GetBarcode(), u"A");
}

TEST(Barcode2DTest, TextConversionKeepsLatin1AndMapsTheRestThroughWindows1252) {
    struct Case {
        String text;
        std::string bytes;
    };
    const Case cases[] = {
        {u"Abc", "Abc"},
        {u"\u00e9\u00ff\u0080\u009f", "\xe9\xff\x80\x9f"},
        {u"\u20ac\u2122", "\x80\x99"},
        {u"\u4e2d", "?"},
        {u"a\U0001F600b", "a?b"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(BarcodeTextToAnsi(k.text), k.bytes);
    EXPECT_EQ(AnsiPrefixToTextLength(u"a\U0001F600b", 2), 3);
    EXPECT_EQ(AnsiPrefixToTextLength(u"ab", 5), 2);
}

} // namespace
} // namespace vgl
