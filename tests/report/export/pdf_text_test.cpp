// The PDF export's text: memo lines as content-stream text (font size, character spacing,
// alignment, justification, simulated styles, underlines), rotated and negative-gap memos
// through the recorded text output, and the font objects; pages checked with qpdf, pdffonts,
// pdftotext and the embedded font files with fontTools.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/graphics/font_registry.h"
#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/initialization.h"
#include "report/model/memo_view.h"
#include "report/model/page_base.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using vgl::test::ReadFile;
using vgl::test::RunCommand;

namespace {

class PdfText : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterLabelFonts();
        AddFontMemResource(ReadFile(vgl::test::DejaVuPath()));
    }
    void SetUp() override {
        InitializeReportFoundation();
        InitializeReportExport();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        FinalizeReportExport();
        FinalizeReportFoundation();
    }
};

using Memos = std::vector<std::unique_ptr<TfrxMemoView>>;

TfrxMemoView& AddMemo(Memos& memos, const char16_t* text, long double left, long double top, long double width,
                      long double height, int size = 10, TFontStyles style = {},
                      const char16_t* fontName = u"Arial Narrow") {
    auto memo = std::make_unique<TfrxMemoView>(nullptr);
    memo->SetBounds(left, top, width, height);
    memo->Font().SetName(fontName);
    memo->Font().SetSize(size);
    memo->Font().SetStyle(style);
    memo->SetText(text);
    memos.push_back(std::move(memo));
    return *memos.back();
}

void ExpectQpdfClean(const std::string& doc);

/// The document of one page of 393 × 577 pixels with the memos, uncompressed, fonts embedded,
/// with a fixed date and identifier; checked by qpdf unless `check` is off.
std::string Document(const Memos& memos, bool compressed = false, bool check = true) {
    TfrxPDFExport pdf(nullptr);
    pdf.SetCompressed(compressed);
    pdf.SetEmbeddedFonts(true);
    pdf.SetTransparency(false);
    pdf.Clock = [] { return EncodeDateTime(2026, 1, 15, 10, 20, 30, 0); };
    pdf.NewGUIDText = [] { return String(u"{00000000-0000-0000-0000-000000000000}"); };
    TMemoryStream stream;
    pdf.SetStream(&stream);
    EXPECT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 393, 577);
    pdf.StartPage(&page, 0);
    for (const auto& memo : memos)
        pdf.ExportObject(memo.get());
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
    pdf.SetStream(nullptr);
    std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
    if (check)
        ExpectQpdfClean(doc);
    return doc;
}

/// The page's content stream (the first stream of an uncompressed document).
std::string Content(const std::string& doc) {
    const std::size_t begin = doc.find("stream\r\n") + 8;
    return doc.substr(begin, doc.find("\nendstream") - begin);
}

std::string Content(const Memos& memos) {
    return Content(Document(memos));
}

std::string TempPath(const std::string& ext) {
    return "/tmp/vgl_pdf_text_" + std::to_string(getpid()) + "_" +
           std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id())) + ext;
}

std::string Tool(const std::string& document, const std::string& command, const std::string& after = "") {
    const std::string path = TempPath(".pdf");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
    const std::string out = RunCommand(command + " '" + path + "'" + after + " 2>&1");
    std::remove(path.c_str());
    return out;
}

void ExpectQpdfClean(const std::string& doc) {
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

/// The lines of a text split at CR LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, p - from));
        from = p + 2;
    }
    return lines;
}

/// The x operands of the " Td" lines.
std::vector<double> TdX(const std::string& content) {
    std::vector<double> xs;
    for (const std::string& line : Lines(content))
        if (line.ends_with(" Td"))
            xs.push_back(std::stod(line));
    return xs;
}

/// The text-showing operator of each BT … ET block: "Tj" or "TJ".
std::vector<std::string> ShowOperators(const std::string& content) {
    std::vector<std::string> ops;
    for (const std::string& line : Lines(content))
        if (line.ends_with("> Tj") || line.ends_with("] TJ"))
            ops.push_back(line.substr(line.size() - 2));
    return ops;
}

} // namespace

TEST(PdfGlyphText, GlyphHexAndJustifiedCarries) {
    EXPECT_EQ(GlyphHex(u""), "");
    EXPECT_EQ(GlyphHex(String{0x0003, 0x00AB, 0xFFFF}), "000300ABFFFF");
    const String glyphs{0x0024, 0x0003, 0x0025, 0x0003, 0x0026, 0x0003, 0x0027};
    const struct {
        long double adjustment;
        const char* text;
    } cases[] = {
        {0, "0024000300250003002600030027"},
        {12, "00240003>12<00250003>12<00260003>12<0027"},
        // 0.4 a space: nothing, nothing (0.8), then 1 (1.2 carried as 0.2).
        {0.4L, "002400030025000300260003>1<0027"},
        {2.5L, "00240003>2<00250003>3<00260003>2<0027"},
        {-2.5L, "00240003>-2<00250003>-3<00260003>-2<0027"},
    };
    for (const auto& c : cases) {
        std::string expected = c.text;
        std::erase(expected, ' ');
        EXPECT_EQ(GlyphHexJustified(glyphs, c.adjustment), expected) << double(c.adjustment);
    }
    EXPECT_EQ(GlyphHexJustified(String{0x0003}, -1e30L), "0003>-1000000000<");
    EXPECT_THROW(GlyphHexJustified(glyphs, std::numeric_limits<long double>::quiet_NaN()), EConvertError);
}

TEST_F(PdfText, FontSizeSpacingAndAlignment) {
    // An 8-point memo writes 7.9 points.
    Memos memos;
    AddMemo(memos, u"Size", 10, 10, 100, 20, 8);
    const std::string content = Content(memos);
    EXPECT_NE(content.find("BT\r\n/F0 7.900 Tf\r\n[] 0 d\r\n0 0 0 rg\r\n"), std::string::npos) << content;
    EXPECT_EQ(content.find(" Tc"), std::string::npos);

    // A centred memo of two lines with CharSpacing 0.2: 0.15 before the first BT, the half
    // inside every line, and each line 0.075 × (characters − 1) further left than without.
    auto centred = [](long double spacing) {
        Memos m;
        TfrxMemoView& memo = AddMemo(m, u"Centred line\r\nSecond", 10, 10, 200, 40);
        memo.SetHAlign(haCenter);
        memo.SetCharSpacing(spacing);
        return Content(m);
    };
    const std::string spaced = centred(0.2L), plain = centred(0);
    ASSERT_NE(spaced.find("0.15 Tc\r\n"), std::string::npos) << spaced;
    EXPECT_LT(spaced.find("0.15 Tc\r\n"), spaced.find("BT\r\n"));
    EXPECT_EQ(Count(spaced, "0.08 Tc\r\n"), 2u) << spaced;
    const std::vector<double> xs = TdX(spaced), x0 = TdX(plain);
    ASSERT_EQ(xs.size(), 2u);
    ASSERT_EQ(x0.size(), 2u);
    EXPECT_NEAR(x0[0] - xs[0], 0.075 * 11, 0.006);
    EXPECT_NEAR(x0[1] - xs[1], 0.075 * 5, 0.006);

    // Left, right and centre of one text: the right edge sits at the box less the gap.
    auto aligned = [](TfrxHAlign align) {
        Memos m;
        AddMemo(m, u"Place", 10, 10, 200, 20).SetHAlign(align);
        return TdX(Content(m)).at(0);
    };
    const double left = aligned(haLeft), centre = aligned(haCenter), right = aligned(haRight);
    EXPECT_DOUBLE_EQ(left, 9.0); // (10 + 2) × 0.75
    EXPECT_NEAR(centre - left, (right - left) / 2, 0.006);
    EXPECT_GT(right, centre);

    // Top, centre and bottom of one line in a box of 100 pixels: the centre halfway.
    auto placed = [](TfrxVAlign align) {
        Memos m;
        AddMemo(m, u"Place", 10, 10, 200, 100).SetVAlign(align);
        const std::string content = Content(m);
        const std::string line = content.substr(0, content.find(" Td\r\n"));
        return std::stod(line.substr(line.rfind(' ') + 1));
    };
    const double top = placed(vaTop), middle = placed(vaCenter), bottom = placed(vaBottom);
    EXPECT_GT(top, middle);
    EXPECT_GT(middle, bottom);
    EXPECT_NEAR(top - middle, middle - bottom, 0.02);
    EXPECT_GT(bottom, 432.75 - 110 * 0.75); // above the box's bottom
}

TEST_F(PdfText, JustifiedParagraphs) {
    Memos memos;
    TfrxMemoView& memo =
        AddMemo(memos, u"one two three four five six seven eight nine ten eleven twelve", 10, 10, 120, 100);
    memo.SetHAlign(haBlock);
    const std::string content = Content(memos);
    const std::vector<std::string> ops = ShowOperators(content);
    ASSERT_GE(ops.size(), 3u) << content;
    for (std::size_t i = 0; i + 1 < ops.size(); ++i)
        EXPECT_EQ(ops[i], "TJ") << i;
    EXPECT_EQ(ops.back(), "Tj");
    // Every justified line ends where the box ends: adjustments after the space glyphs.
    EXPECT_NE(content.find("0003>"), std::string::npos);

    // A justified line without spaces (a word longer than the box broken over lines).
    Memos word;
    AddMemo(word, u"Averyveryverylongwordthatcannotfitinone tail", 10, 10, 60, 100).SetHAlign(haBlock);
    const std::string broken = Content(word);
    const std::vector<std::string> wordOps = ShowOperators(broken);
    ASSERT_GE(wordOps.size(), 2u) << broken;
    EXPECT_EQ(wordOps[0], "Tj") << broken;
}

TEST_F(PdfText, RotatedAndNegativeGapMemosTakeTheVectorPath) {
    Memos memos;
    AddMemo(memos, u"Rotated sender", 10, 10, 20, 150).SetRotation(-90);
    const std::string rotated = Content(memos);
    const std::size_t begin = rotated.find("%--Vector Begin\r\n"), end = rotated.find("%--Vector End\r\n");
    ASSERT_NE(begin, std::string::npos) << rotated;
    ASSERT_NE(end, std::string::npos);
    const std::string block = rotated.substr(begin, end - begin);
    EXPECT_TRUE(std::regex_search(block, std::regex("\r\n0 -1 1 0 [-0-9.]+ [-0-9.]+ cm\r\n"))) << block;
    EXPECT_NE(block.find("BT\r\n/F0 9.900 Tf\r\n"), std::string::npos);

    // Without Wysiwyg the layout records nothing: the recording is made with it on, so the
    // text is not lost, and the memo keeps its setting.
    Memos plain;
    TfrxMemoView& free = AddMemo(plain, u"Free layout", 10, 10, 20, 150);
    free.SetRotation(90);
    free.SetWysiwyg(false);
    const std::string freeDoc = Document(plain);
    EXPECT_NE(Content(freeDoc).find("%--Vector Begin"), std::string::npos);
    EXPECT_NE(Tool(freeDoc, "pdftotext", " -").find("Free layout"), std::string::npos);
    EXPECT_FALSE(free.Wysiwyg());

    Memos gap;
    AddMemo(gap, u"ROUT", 10, 10, 100, 20).SetGapY(-3);
    const std::string negative = Content(gap);
    EXPECT_NE(negative.find("%--Vector Begin"), std::string::npos) << negative;
    EXPECT_NE(negative.find("%--Vector End"), std::string::npos);
    EXPECT_EQ(negative.find(" cm\r\n"), std::string::npos);
}

TEST_F(PdfText, SimulatedStylesUnderlineAndStrikeOut) {
    Memos memos;
    AddMemo(memos, u"Black", 10, 10, 100, 20, 10, {fsBold}, u"Arial Black");
    AddMemo(memos, u"Slanted", 10, 40, 100, 20, 10, {fsItalic}, u"Tahoma");
    const std::string content = Content(memos);
    const std::size_t tr = content.find("2 Tr ");
    ASSERT_NE(tr, std::string::npos) << content;
    EXPECT_NE(content.find("2 Tr 0.28 w 0 0 0 RG\r\n"), std::string::npos); // 9.9 ÷ 35
    EXPECT_NE(content.find("ET\r\n0 Tr\r\n", tr), std::string::npos);
    EXPECT_TRUE(std::regex_search(content, std::regex("\r\n1 0 0.25 1 [0-9.]+ [0-9.]+ Tm\r\n"))) << content;
    // Neither style is asked of the face: the simulations draw them.
    const std::string doc = Document(memos);
    EXPECT_EQ(doc.find(",Bold"), std::string::npos);
    EXPECT_EQ(doc.find(",Italic"), std::string::npos);

    Memos lined;
    AddMemo(lined, u"Under", 10, 10, 100, 20, 10, {fsUnderline});
    AddMemo(lined, u"Struck", 10, 40, 100, 20, 10, {fsStrikeOut});
    const std::string rules = Content(lined);
    EXPECT_TRUE(std::regex_search(rules, std::regex("ET\r\n\\[\\] 0 d\r\n0 0 0 RG\r\n0.80 w\r\n[0-9.]+ [0-9.]+ m\r\n"
                                                    "[0-9.]+ [0-9.]+ l\r\nS\r\n")))
        << rules;
    EXPECT_TRUE(std::regex_search(rules, std::regex("ET\r\n0 0 0 RG\r\n0.57 w\r\n[0-9.]+ [0-9.]+ m\r\n"
                                                    "[0-9.]+ [0-9.]+ l\r\nS\r\n")))
        << rules;
}

TEST_F(PdfText, UnderlineRowsAndAZeroLineHeight) {
    Memos memos;
    TfrxMemoView& memo = AddMemo(memos, u"Ruled", 10, 10, 100, 50);
    memo.SetUnderlines(true);
    memo.Frame()->SetColor(clRed);
    const std::string content = Content(memos);
    // The rows lie one line height apart over the whole box.
    EXPECT_EQ(Count(content, "1.00 0.00 0.00 RG\r\n0.75 w\r\n7.50 "), 3u) << content;

    // A line spacing that makes the line height negative writes no rows (and does not divide by
    // zero or loop).
    Memos flat;
    TfrxMemoView& negative = AddMemo(flat, u"Flat", 10, 10, 100, 50);
    negative.SetUnderlines(true);
    negative.SetLineSpacing(-100);
    negative.Frame()->SetColor(clRed);
    const std::string none = Content(flat);
    EXPECT_EQ(none.find("1.00 0.00 0.00 RG"), std::string::npos) << none;

    // A line height of a thousandth of a pixel would write 50000 rows: refused.
    long double fontHeight = 0;
    {
        TfrxDrawTextLock lock(frxDrawText());
        frxDrawText().SetFont(memo.Font());
        frxDrawText().SetGaps(0, 0, 0);
        fontHeight = frxDrawText().LineHeight();
    }
    Memos dense;
    TfrxMemoView& tiny = AddMemo(dense, u"Dense", 10, 10, 100, 50);
    tiny.SetName(u"Dense");
    tiny.SetUnderlines(true);
    tiny.SetLineSpacing(0.001L - fontHeight);
    try {
        Document(dense);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_NE(e.Message().find(u"The memo Dense has too many underline rows"), String::npos);
    }
}

TEST_F(PdfText, HighlightedLine) {
    TfrxPDFExport pdf(nullptr);
    pdf.SetCompressed(false);
    TMemoryStream stream;
    pdf.SetStream(&stream);
    ASSERT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 200, 100);
    pdf.StartPage(&page, 0);
    Memos memos;
    pdf.WriteMemo(AddMemo(memos, u"first\r\nchosen", 10, 10, 100, 40), 1);
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
    const std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
    ExpectQpdfClean(doc);
    const std::string content = Content(doc);
    // The bar before the second line's block, whose text takes the highlight text colour.
    EXPECT_TRUE(std::regex_search(content, std::regex("q\r\n[0-9. ]+ rg\r\n[0-9. ]+ re\r\nf\r\nQ\r\nBT\r\n")))
        << content;
    EXPECT_EQ(Count(content, "BT\r\n"), 2u);
}

TEST_F(PdfText, LabelFacesPage) {
    Memos memos;
    AddMemo(memos, u"Sender left", 10, 10, 150, 16, 8);
    AddMemo(memos, u"Centred bold", 10, 30, 150, 16, 10, {fsBold}).SetHAlign(haCenter);
    AddMemo(memos, u"Right aligned", 10, 50, 150, 16).SetHAlign(haRight);
    AddMemo(memos, u"Justified words spread over the whole width of this memo until the paragraph ends here", 10, 70,
            150, 60)
        .SetHAlign(haBlock);
    AddMemo(memos, u"Rotated address", 360, 10, 20, 200, 9).SetRotation(-90);
    AddMemo(memos, u"ROUTMARK", 10, 140, 150, 30, 16, {fsBold}).SetGapY(-3);
    AddMemo(memos, u"Underlined words", 10, 180, 150, 16, 10, {fsUnderline});
    AddMemo(memos, u"Struck words", 10, 200, 150, 16, 10, {fsStrikeOut});
    memos[0]->Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
    const std::string doc = Document(memos);

    // pdffonts: both label faces as subset CID TrueType fonts with ToUnicode maps.
    const std::string fonts = Tool(doc, "pdffonts");
    std::istringstream rows(fonts);
    std::vector<std::string> names;
    for (std::string row; std::getline(rows, row);) {
        if (row.find("CID TrueType") == std::string::npos)
            continue;
        EXPECT_TRUE(std::regex_search(row, std::regex("^[A-Z]{6}\\+Liberation Sans Narrow(,Bold)? +CID TrueType +"
                                                      "Identity-H +yes +yes +yes ")))
            << row;
        names.push_back(row.substr(7, row.find("  ") - 7));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Liberation Sans Narrow", "Liberation Sans Narrow,Bold"})) << fonts;

    // Every memo's text comes back, the rotated ones included.
    for (const char* layout : {"", " -layout"}) {
        std::string text = Tool(doc, std::string("pdftotext") + layout, " -");
        std::string flat;
        for (char c : text)
            if (!std::isspace(static_cast<unsigned char>(c)))
                flat += c;
        for (const char* expected : {"Senderleft", "Centredbold", "Rightaligned", "Rotatedaddress", "ROUTMARK",
                                     "Underlinedwords", "Struckwords", "Justifiedwordsspread", "paragraphendshere"})
            EXPECT_NE(flat.find(expected), std::string::npos) << expected << layout << "\n" << text;
    }
}

TEST_F(PdfText, FontObjectsToUnicodeAndEmbeddedFiles) {
    Memos memos;
    AddMemo(memos, u"office fish", 10, 10, 200, 20, 12, {}, u"DejaVu Sans");
    AddMemo(memos, u"Narrow", 10, 40, 200, 20);
    for (bool compressed : {false, true}) {
        const std::string doc = Document(memos, compressed);
        std::string text = Tool(doc, "pdftotext", " -");
        EXPECT_NE(text.find("office fish"), std::string::npos) << text;
        EXPECT_NE(text.find("Narrow"), std::string::npos) << text;
        if (compressed)
            continue;
        // The map of the DejaVu font (the first font): the ligatures stand for all their letters,
        // every used glyph one line, in used order; /Ordering (UCS) once.
        const std::size_t cmap = doc.find("/CIDInit");
        ASSERT_NE(cmap, std::string::npos);
        const std::string map = doc.substr(cmap, doc.find("endstream", cmap) - cmap);
        EXPECT_EQ(Count(map, "/Ordering"), 1u) << map;
        EXPECT_NE(map.find("/Ordering (UCS)"), std::string::npos);
        EXPECT_NE(map.find("> <006600660069>"), std::string::npos) << map; // "ffi"
        EXPECT_NE(map.find("> <00660069>"), std::string::npos) << map;     // "fi"
        const std::size_t block = map.find(" beginbfchar\r\n");
        const int entries = std::stoi(map.substr(map.rfind("\r\n", block) + 2));
        const std::vector<std::string> lines = Lines(map.substr(block + 14, map.find("endbfchar") - block - 14));
        EXPECT_EQ(int(lines.size()), entries);
        // o, ffi, c, e, space, fi, s, h: the glyphs of "office fish" in order of first use.
        EXPECT_EQ(entries, 8) << map;
        std::string decoded;
        for (const std::string& line : lines)
            for (std::size_t p = line.find("> <") + 3; p + 4 <= line.size() - 1; p += 4)
                decoded += char(std::stoi(line.substr(p, 4), nullptr, 16));
        EXPECT_EQ(decoded, "office fish");

        // Length1 is the length of the font program, which fontTools loads with every checksum
        // right.
        const std::regex fileRef("/FontFile2 ([0-9]+) 0 R");
        int files = 0;
        for (auto it = std::sregex_iterator(doc.begin(), doc.end(), fileRef); it != std::sregex_iterator(); ++it) {
            ++files;
            const std::string object = (*it)[1];
            const std::string path = TempPath(".ttf");
            Tool(doc, "qpdf --show-object=" + object + " --filtered-stream-data", " > '" + path + "'");
            const std::size_t head = doc.find("\r\n" + object + " 0 obj\r\n");
            ASSERT_NE(head, std::string::npos);
            const std::size_t length1 = doc.find("/Length1 ", head);
            const std::string bytes = RunCommand("stat -c %s '" + path + "'");
            EXPECT_EQ(std::stol(doc.substr(length1 + 9)), std::stol(bytes));
            const std::string check =
                RunCommand("/usr/bin/python3 -c \"import sys, struct\n"
                           "from fontTools.ttLib import TTFont\n"
                           "data = open(sys.argv[1], 'rb').read()\n"
                           "f = TTFont(sys.argv[1], checkChecksums=2)\n"
                           "[f[t] for t in f.keys() if t != 'GlyphOrder']\n"
                           "data += bytes(-len(data) % 4)\n"
                           "total = sum(struct.unpack('>%dI' % (len(data) // 4), data)) & 0xFFFFFFFF\n"
                           "print('OK' if total == 0xB1B0AFBA else 'file checksum %x' % total)\" '" +
                           path + "' 2>&1");
            EXPECT_EQ(check, "OK\n") << object;
            std::remove(path.c_str());
        }
        EXPECT_EQ(files, 2);
    }
}

TEST_F(PdfText, MoreThanOneHundredGlyphsGoInSeveralBlocks) {
    String text;
    for (Char c = u'!'; c <= u'~'; ++c)
        text += c;
    for (Char c = 0x0410; c < 0x0430; ++c) // Cyrillic capitals
        text += c;
    Memos memos;
    AddMemo(memos, text.c_str(), 10, 10, 380, 200, 8, {}, u"DejaVu Sans").SetWordBreak(true);
    const std::string doc = Document(memos);
    const std::size_t cmap = doc.find("/CIDInit");
    const std::string map = doc.substr(cmap, doc.find("endstream", cmap) - cmap);
    const std::regex blockHead("\r\n([0-9]+) beginbfchar\r\n");
    int total = 0, blocks = 0;
    for (auto it = std::sregex_iterator(map.begin(), map.end(), blockHead); it != std::sregex_iterator(); ++it) {
        const int n = std::stoi((*it)[1]);
        EXPECT_LE(n, 100);
        total += n;
        ++blocks;
    }
    EXPECT_EQ(blocks, 2) << map;
    EXPECT_EQ(total, 94 + 32); // the printable ASCII and 32 Cyrillic letters
    const std::string back = Tool(doc, "pdftotext", " -");
    EXPECT_NE(back.find("\xD0\x90\xD0\x91"), std::string::npos) << back; // "АБ" in UTF-8
}

TEST_F(PdfText, ConcurrentExportsWriteTheSameBytes) {
    auto page = [] {
        Memos memos;
        AddMemo(memos, u"Sender left", 10, 10, 150, 16, 8);
        AddMemo(memos, u"Centred bold", 10, 30, 150, 16, 10, {fsBold}).SetHAlign(haCenter);
        AddMemo(memos, u"Justified words spread over the width of this memo until the end", 10, 70, 150, 60)
            .SetHAlign(haBlock);
        AddMemo(memos, u"Rotated address", 360, 10, 20, 200, 9).SetRotation(-90);
        AddMemo(memos, u"ROUTMARK", 10, 140, 150, 30, 16, {fsBold}).SetGapY(-3);
        return Document(memos, false, false);
    };
    const std::string expected = page();
    ExpectQpdfClean(expected);
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] {
            for (int k = 0; k < 3; ++k)
                results[i] = page();
        });
    for (auto& t : threads)
        t.join();
    for (const std::string& r : results)
        EXPECT_TRUE(r == expected);
}

TEST_F(PdfText, FillBeforeAndFrameAfterTheText) {
    Memos memos;
    TfrxMemoView& memo = AddMemo(memos, u"Boxed", 10, 10, 100, 20);
    memo.SetColor(clYellow);
    memo.Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
    AddMemo(memos, u"", 10, 40, 100, 20); // no text: its clip and nothing else
    const std::string content = Content(memos);
    const std::size_t fill = content.find("1 1 0 rg\r\n"), text = content.find("BT\r\n"),
                      frame = content.find("0.75 w\r\n2 J\r\n");
    ASSERT_NE(fill, std::string::npos) << content;
    ASSERT_NE(frame, std::string::npos) << content;
    EXPECT_LT(fill, text);
    EXPECT_LT(text, frame);
    // The clip of the framed memo reaches half a line beyond its box.
    EXPECT_NE(content.find("q\r\n7.125 409.875 75.75 15.75 re\r\nW\r\nn\r\n"), std::string::npos) << content;
    EXPECT_NE(content.find("q\r\n7.5 387.75 75 15 re\r\nW\r\nn\r\nQ\r\n"), std::string::npos) << content;
    EXPECT_EQ(Count(content, "BT\r\n"), 1u);

    // A memo far outside any page is written without overflowing the layout's coordinates.
    Memos far;
    AddMemo(far, u"Far", 1e30L, 10, 100, 20);
    EXPECT_NE(Content(Document(far)).find("BT\r\n"), std::string::npos);

    // A memo without height is still written.
    Memos flat;
    AddMemo(flat, u"Zero", 10, 10, 100, 0).SetClipped(false);
    EXPECT_NE(Content(flat).find("BT\r\n"), std::string::npos);
}

TEST_F(PdfText, FontsWithoutEmbeddingAndTheDescriptor) {
    Memos memos;
    AddMemo(memos, u"Plain", 10, 10, 100, 20);
    TfrxPDFExport pdf(nullptr);
    pdf.SetCompressed(false);
    pdf.SetTransparency(false);
    TMemoryStream stream;
    pdf.SetStream(&stream);
    ASSERT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 393, 577);
    pdf.StartPage(&page, 0);
    pdf.ExportObject(memos[0].get());
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
    const std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
    ExpectQpdfClean(doc);
    EXPECT_EQ(doc.find("/FontFile2"), std::string::npos);
    EXPECT_NE(doc.find("/BaseFont /Liberation#20Sans#20Narrow\r\n"), std::string::npos); // no subset tag
    const std::string fonts = Tool(doc, "pdffonts");
    EXPECT_TRUE(std::regex_search(fonts, std::regex("Liberation Sans Narrow +CID TrueType +Identity-H +no +no +yes")))
        << fonts;
    // Descriptor values of the face at 1000 units per em; the cap height is the face's (this
    // face has none of its own, so its ascender), not the height of the whole cell.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(doc, m,
                                  std::regex("/Ascent ([0-9]+)\r\n/Descent (-[0-9]+)\r\n/Leading [0-9]+\r\n"
                                             "/CapHeight ([0-9]+)\r\n/StemV ([0-9]+)\r\n")));
    EXPECT_GT(std::stoi(m[3]), 600);
    EXPECT_LT(std::stoi(m[3]), std::stoi(m[1]) - std::stoi(m[2]));
    EXPECT_EQ(m[4], "88"); // 50 + Round((400 / 65)²)
}

TEST_F(PdfText, AnActiveHighlightGivesItsFont) {
    Memos memos;
    TfrxMemoView& memo = AddMemo(memos, u"Alert", 10, 10, 100, 20);
    TfrxHighlight& highlight = *memo.Highlight();
    highlight.Font()->SetName(u"Arial Narrow");
    highlight.Font()->SetStyle({fsBold});
    highlight.Font()->SetSize(12);
    const std::string plain = Document(memos);
    EXPECT_EQ(plain.find(",Bold"), std::string::npos); // not active yet
    highlight.SetActive(true);
    const std::string doc = Document(memos);
    EXPECT_NE(doc.find("Liberation#20Sans#20Narrow,Bold\r\n"), std::string::npos);
    EXPECT_NE(Content(doc).find("/F0 11.900 Tf"), std::string::npos) << Content(doc);
    EXPECT_EQ(memo.Font().GetStyle(), TFontStyles()); // the memo keeps its own font
}
