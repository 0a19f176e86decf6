// PDF primitives: value texts, MD5 and RC4, export helpers, and the object bookkeeping checked by
// qpdf in a small document.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/rtl/streams.h"
#include "report/export/crypto_hash.h"
#include "report/export/initialization.h"
#include "report/export/md5.h"
#include "report/export/pdf_objects.h"
#include "report/export/rc4.h"
#include "report/foundation/initialization.h"
#include "report/foundation/resource_strings.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;

namespace {

std::string StreamText(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), std::size_t(s.GetSize()));
}

} // namespace

TEST(PdfValues, NumberColourAndStringTexts) {
    struct Case {
        AnsiString Got, Expected;
    } cases[] = {
        {FloatToTrimmedText(0.0001, 3), "0"},
        {FloatToTrimmedText(-1.5, 3), "-1.5"},
        {FloatToTrimmedText(2.5, 2), "2.5"},
        {FloatToTrimmedText(3.0, 2), "3"},
        {FloatToTrimmedText(-0.0001, 2), "0"},
        {FloatToTrimmedText(120, 2), "120"},
        // Beyond the integer range readers take: the bound.
        {FloatToTrimmedText(7.5e29L, 3), "2147483647"},
        {FloatToFixedAnsi(-3e12L, 2), "-2147483647.00"},
        {PointText(1.25, -2, 2), "1.25 -2"},
        {RectText(TfrxRect{10, 100, 60.5, 20}, 2), "10 20 50.5 80"},
        {ColorComponentText(10), "0.03"},
        {ColorComponentText(128), "0.50"},
        {ColorComponentText(255), "1"},
        {ColorComponentText(0), "0"},
        {ColorComponentText(-5), "0"},
        {ColorTextShort(clNone), "0 0 0"},
        {ColorTextShort(0x0080FF), "1 0.502 0"},
        {StrokeColorLine(0xFF0080), "0.50 0 1 RG\r\n"},
        {LineWidthLine(2), "1.50 w\r\n"},
        {RectPathLines(TfrxRect{0, 10, 5, 0}, 0),
         "0.00 w\r\n0 0 0 RG\r\n0 0 0 rg\r\n0.00 0.00 m\r\n5.00 0.00 l\r\n5.00 10.00 l\r\n0.00 10.00 l\r\nB\r\n"},
        {ObjectLine(12) + " " + ObjectRef(7), "12 0 obj 7 0 R"},
        {EscapeLiteral("(\\)"), "\\(\\\\\\)"},
        {EscapeLiteral("a\nb\r"), "a\\nb\\r"},
        {HexBytes("\x01\xAB"), "<01AB>"},
        {ToUTF16BE(u"A\u20AC"), AnsiString("\xFE\xFF\x00\x41\x20\xAC", 6)},
        {UnicodeTextString(u"A", 3), "<FEFF0041>"},
        {HexTextString("ab", 9, [](const RawByteString& b, int n) { return b + char('0' + n); }), "<616239>"},
        {UnicodeHex(u"A\u00E9"), "FEFF004100E9"},
        {LiteralOrHex(u"a(b)c"), "(a(b)c)"},
        {LiteralOrHex(u"C:\\dir\\x"), "(C:\\\\dir\\\\x)"},
        {LiteralOrHex(u"a)b("), "<0061002900620028>"},
        {LiteralOrHex(u"\u00E9"), "<00E9>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Expected, c.Got);
    EXPECT_EQ(6u, EscapeLiteral("(\\)").size());

    EXPECT_TRUE(IsPlainLiteral(u"a(b)c"));
    EXPECT_FALSE(IsPlainLiteral(u"a)b("));
    EXPECT_FALSE(IsPlainLiteral(u"a\u007F"));
    EXPECT_FALSE(IsPlainLiteral(u"(a"));

    // The colour cache belongs to the caller; a hit returns the cached text.
    TPDFColorCache cache;
    EXPECT_EQ("0 0 0", ColorText(0, cache));
    EXPECT_EQ("1 1 1", ColorText(clWhite, cache));
    EXPECT_EQ("0.50 0.00 0.00", ColorText(128, cache));
    EXPECT_EQ(128, cache.FLastColor);
    cache.FLastColorResult = "cached";
    EXPECT_EQ("cached", ColorText(128, cache));
    EXPECT_EQ("0.00 0.50 0.00", ColorText(128 << 8, cache));

    // No operand is ever NaN or infinite.
    const long double inf = std::numeric_limits<long double>::infinity();
    EXPECT_THROW(FloatToTrimmedText(std::nanl(""), 2), EConvertError);
    EXPECT_THROW(FloatToFixedAnsi(-inf, 2), EConvertError);
    EXPECT_THROW(MoveToLine(inf, 0), EConvertError);
    EXPECT_THROW(PointText(0, std::nanl(""), 2), EConvertError);

    TMemoryStream out;
    PutText(out, u"\u20AC\u0416");
    PutLine(out, u"x");
    PutRawLine(out, "\xFF");
    EXPECT_EQ("\x80?x\r\n\xFF\r\n", StreamText(out));
}

TEST(ExportHelpers, RotationRangesListsAndHex) {
    TRotation2D r;
    r.Init(0, {10, 20}, 2);
    EXPECT_EQ(0, r.C1);
    EXPECT_EQ(0, r.C2);
    EXPECT_EQ("1 0 0 1 0 0", r.Matrix());
    const TfrxPoint same = r.Turn({3, 4});
    EXPECT_EQ(3, same.X);
    EXPECT_EQ(4, same.Y);
    r.Init(std::numbers::pi_v<long double> / 2, {10, 20}, 2);
    const TfrxPoint turned = r.Turn({11, 20});
    EXPECT_NEAR(10, double(turned.X), 1e-12);
    EXPECT_NEAR(19, double(turned.Y), 1e-12);
    EXPECT_EQ("10 19", r.Turn2Str({11, 20}));
    EXPECT_EQ("0 1 -1 0 30 10", r.Matrix());

    EXPECT_EQ(10, ClampInteger(15, 0, 10));
    EXPECT_EQ(0, ClampInteger(-3, 0, 10));
    EXPECT_FLOAT_EQ(0.5f, ClampSingle(0.5f, 0, 1));
    EXPECT_TRUE(IsInRange(10, 0, 10));
    EXPECT_FALSE(IsInRange(10.01, 0, 10));
    EXPECT_EQ("00ff7f", BytesToHex(RawByteString("\x00\xFF\x7F", 3), false));
    EXPECT_EQ("00FF7F", BytesToHex(RawByteString("\x00\xFF\x7F", 3), true));
    EXPECT_EQ("-42", IntToAnsi(-42));
    EXPECT_TRUE(IsHasDevanagari(u"ab\u0915"));
    EXPECT_FALSE(IsHasDevanagari(u"ab\u0980"));

    TOwnObjList<TReferenceArray> list;
    EXPECT_EQ(-1, list.AddNonZero(nullptr));
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(0, list.AddNonZero(std::make_unique<TReferenceArray>()));
    EXPECT_THROW(list.GetItem(1), EListError);
    TReferenceArray shared;
    TOwnObjList<TReferenceArray> references(false);
    references.AddReference(&shared);
    references.Clear(); // releases, never frees
    EXPECT_THROW(list.AddReference(&shared), EInvalidOperation);
}

TEST(Md5, EqualsHashlibForEveryLengthAndSplit) {
    std::ifstream expected(test::DataPath("md5_expected.txt"));
    std::mt19937 random(42);
    std::size_t length;
    std::string digest;
    int lines = 0;
    while (expected >> length >> digest) {
        ++lines;
        RawByteString data(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            data[i] = char((i * 31 + 7) % 256);
        EXPECT_EQ(digest, MD5String(data)) << length;

        // The same bytes fed in random pieces through both interfaces.
        TfrxMD5 md5;
        TCryptoMD5 hash;
        for (std::size_t at = 0; at < length;) {
            const std::size_t n = std::min<std::size_t>(length - at, random() % (length > 1000 ? 70000 : 80));
            md5.Update(data.data() + at, n);
            if (n == 1)
                hash.Push(std::uint8_t(data[at]));
            else
                hash.Push(data.data() + at, n);
            at += n;
        }
        md5.Finalize();
        std::uint8_t pushed[16];
        hash.GetDigest(pushed, 16);
        EXPECT_EQ(digest, BytesToHex({md5.Digest(), 16}, false)) << length;
        EXPECT_EQ(digest, BytesToHex({pushed, 16}, false)) << length;
        if (length == 300) {
            TBytesStream stream({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
            stream.SetPosition(100);
            hash.Reset();
            hash.Push(stream);
            hash.GetDigest(pushed, 16);
            EXPECT_EQ(digest, BytesToHex({pushed, 16}, false));
        }
    }
    EXPECT_EQ(302, lines);
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", MD5String(""));
    TCryptoMD5 hash;
    EXPECT_EQ(64u, hash.ChunkSize());
    std::uint8_t small[8];
    EXPECT_THROW(hash.GetDigest(small, 8), EAssertionFailed);
}

TEST(Rc4, KeystreamRestartsItsCountersInEveryCrypt) {
    const std::uint8_t key[5] = {1, 2, 3, 4, 5};
    const std::uint8_t rfc0[16] = {0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27,
                                   0xcc, 0xc3, 0x52, 0x4a, 0x0a, 0x11, 0x18, 0xa8};
    const std::uint8_t rfc16[16] = {0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc, 0x82, 0xd5,
                                    0x89, 0xc4, 0x03, 0xa4, 0x7a, 0x0d, 0x09, 0x19};
    const std::uint8_t zeros[32] = {};
    std::uint8_t out[32];

    TfrxRC4 rc4;
    rc4.Start(key, 5);
    rc4.Crypt(zeros, out, 32);
    EXPECT_TRUE(std::equal(rfc0, rfc0 + 16, out));
    EXPECT_TRUE(std::equal(rfc16, rfc16 + 16, out + 16)); // one call is plain RC4

    TfrxRC4 twice;
    twice.Start(key, 5);
    twice.Crypt(zeros, out, 16);
    twice.Crypt(zeros, out + 16, 16);
    EXPECT_TRUE(std::equal(rfc0, rfc0 + 16, out));
    EXPECT_FALSE(std::equal(rfc16, rfc16 + 16, out + 16));

    std::uint8_t big[257] = {9};
    for (int bad : {0, 257}) {
        TfrxRC4 kept;
        kept.Start(key, 5);
        kept.Start(big, bad);
        std::uint8_t data[16];
        std::copy(zeros, zeros + 16, data);
        kept.Crypt(data, data, 16); // in place
        EXPECT_TRUE(std::equal(rfc0, rfc0 + 16, data)) << bad;
    }
}

TEST(CrossReference, SectionsSubsectionsAndEntryLines) {
    TCrossReferenceSection fresh;
    fresh.PrepareToOut();
    AnsiString header;
    ASSERT_EQ(1, fresh.Count());
    EXPECT_TRUE(fresh.IsSubsection(0, header));
    EXPECT_EQ("0 1", header);
    EXPECT_EQ("0000000000 65535 f", fresh.OutLine(0));

    TCrossReferenceSection three;
    for (int offset : {17, 120, 4000})
        three.AddNext(offset);
    three.PrepareToOut();
    EXPECT_TRUE(three.IsSubsection(0, header));
    EXPECT_EQ("0 4", header);
    EXPECT_FALSE(three.IsSubsection(1, header));
    EXPECT_EQ("", header);
    EXPECT_EQ("0000000017 00000 n", three.OutLine(1));
    EXPECT_EQ(4, three.NextId());

    TCrossReferenceSection gaps;
    gaps.AddId(6, 60);
    gaps.AddId(1, 10);
    gaps.AddId(5, 50);
    gaps.AddId(2, 20);
    gaps.SetOffset(2, 22);
    gaps.PrepareToOut();
    std::vector<AnsiString> headers;
    for (int i = 0; i < gaps.Count(); ++i) {
        if (gaps.IsSubsection(i, header))
            headers.push_back(header);
        EXPECT_EQ(18u, gaps.OutLine(i).size()); // 20 with CR LF
    }
    EXPECT_EQ((std::vector<AnsiString>{"0 3", "5 2"}), headers);
    EXPECT_EQ("0000000022 00000 n", gaps.OutLine(2));

    TCrossReferenceSection duplicate;
    duplicate.AddNext(10);
    duplicate.AddId(1, 20);
    try {
        duplicate.PrepareToOut();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(u"Cross Reference Error: Entries with the same Id's", e.Message());
    }
    TCrossReferenceSection single(true);
    EXPECT_EQ("0000000000 65535 f ", single.OutLine(0));

    TReferenceArray refs;
    TMemoryStream out;
    refs.WriteToStream(out, "/Annots");
    EXPECT_EQ(0, out.GetSize());
    refs.Add(5);
    refs.Add(6);
    refs.Add(5);
    refs.WriteToStream(out, "/Annots");
    EXPECT_EQ("/Annots [5 0 R 6 0 R]\r\n", StreamText(out));

    TPageByPageReferenceArray pages;
    EXPECT_EQ(nullptr, pages.GetData(40));
    pages.SetData(40, std::make_unique<TReferenceArray>());
    pages.SetData(40, std::make_unique<TReferenceArray>()); // the first one is freed
    pages.SetContents(3, 9);
    EXPECT_NE(nullptr, pages.GetData(40));
    EXPECT_EQ(nullptr, pages.GetData(39));
    EXPECT_EQ(9, pages.GetContents(3));
    EXPECT_EQ(0, pages.GetContents(400));
}

namespace {

std::vector<std::uint8_t> JpegOf(TPixelFormat format) {
    TBitmap bitmap(4, 2, format);
    TJPEGImage jpeg;
    jpeg.SetPixelFormat(format == pf8bit ? jf8Bit : jf24Bit);
    jpeg.Assign(bitmap);
    return jpeg.SaveToBytes();
}

} // namespace

TEST(PdfObjects, ImageXObjectsAreWrittenOnceAndReadByQpdf) {
    TMemoryStream pdf;
    TfrxPDFXObjectArray xobjects;
    TPDFObjectsHelper helper;
    helper.FpdfStream = &pdf;
    helper.FXObjects = &xobjects;
    PutRawLine(pdf, "%PDF-1.4");

    const auto grey = JpegOf(pf8bit), colour = JpegOf(pf24bit);
    EXPECT_EQ(1, JpegComponentCount(grey));
    EXPECT_EQ(3, JpegComponentCount(colour));
    TJPEGImage greyImage;
    greyImage.LoadFromBytes(grey);
    TfrxPDFXObjectHash greyHash, colourHash;
    MD5Buf(grey.data(), grey.size(), greyHash.data());
    MD5Buf(colour.data(), colour.size(), colourHash.data());

    EXPECT_EQ(-1, helper.FindXObject(greyHash));
    const std::int64_t start = pdf.GetSize();
    TBytesStream greyStream(grey);
    EXPECT_EQ(0, helper.OutXObjectImage(greyHash, greyImage, greyStream, false, 0));
    const std::string written = StreamText(pdf).substr(std::size_t(start));
    const std::string head = "1 0 obj\r\n<<\r\n/Type /XObject\r\n/Subtype /Image\r\n/ColorSpace /DeviceGray\r\n"
                             "/BitsPerComponent 8\r\n/Filter /DCTDecode\r\n/Width 4\r\n/Height 2\r\n/Length " +
                             std::to_string(grey.size()) + "\r\n>>\r\nstream\r\n";
    EXPECT_EQ(head, written.substr(0, head.size()));
    EXPECT_EQ("\r\nendstream\r\nendobj\r\n", written.substr(head.size() + grey.size()));
    // A picture with the same data is found, so the writer refers to the stored object.
    EXPECT_EQ(0, helper.FindXObject(greyHash));
    EXPECT_EQ(0, helper.LastRequestedXRef());
    EXPECT_EQ(-1, helper.FindXObject(colourHash));
    TJPEGImage colourImage;
    colourImage.LoadFromBytes(colour);
    TBytesStream colourStream(colour);
    EXPECT_EQ(1, helper.OutXObjectImage(colourHash, colourImage, colourStream, false, 0));
    EXPECT_NE(std::string::npos, StreamText(pdf).find("/ColorSpace /DeviceRGB"));
    helper.FProtection = true;
    EXPECT_THROW(helper.OutXObjectImage(colourHash, colourImage, colourStream, false, 0), EInvalidOperation);
    helper.FProtection = false;

    // A page showing both images, and the cross-reference table of the section.
    auto object = [&](const std::string& body) {
        const int id = helper.UpdateXRef();
        PutRawLine(pdf, ObjectLine(id));
        PutRawLine(pdf, body);
        PutRawLine(pdf, "endobj");
        return id;
    };
    const std::string content = "q 4 0 0 2 0 0 cm /Im0 Do Q q 4 0 0 2 10 0 cm /Im1 Do Q";
    const int contentId =
        object("<< /Length " + std::to_string(content.size()) + " >>\r\nstream\r\n" + content + "\r\nendstream");
    const AnsiString pagesRef = ObjectRef(contentId + 2); // the page tree follows the page
    const int pageId = object("<< /Type /Page /Parent " + pagesRef + " /MediaBox [0 0 20 10] /Contents " +
                              ObjectRef(contentId) + " /Resources << /XObject << /Im0 " + ObjectRef(xobjects.GetId(0)) +
                              " /Im1 " + ObjectRef(xobjects.GetId(1)) + " >> >> >>");
    object("<< /Type /Pages /Kids [" + ObjectRef(pageId) + "] /Count 1 >>");
    const int catalog = object("<< /Type /Catalog /Pages " + pagesRef + " >>");
    const std::int64_t xref = pdf.GetSize();
    TCrossReferenceSection& crs = helper.CRS();
    crs.PrepareToOut();
    PutRawLine(pdf, "xref");
    for (int i = 0; i < crs.Count(); ++i) {
        AnsiString line;
        if (crs.IsSubsection(i, line))
            PutRawLine(pdf, line);
        PutRawLine(pdf, crs.OutLine(i));
    }
    PutRawLine(pdf, "trailer");
    PutRawLine(pdf, "<< /Size " + IntToAnsi(crs.NextId()) + " /Root " + ObjectRef(catalog) + " >>");
    PutRawLine(pdf, "startxref");
    PutRawLine(pdf, IntToAnsi(xref));
    PutRaw(pdf, "%%EOF\r\n");

    const std::string path = "/tmp/vgl_xobjects_" + std::to_string(getpid()) + ".pdf";
    pdf.SaveToFile(Utf8ToString(path));
    const std::string check = test::RunCommand("qpdf --check " + path + " 2>&1");
    std::remove(path.c_str());
    EXPECT_NE(std::string::npos, check.find("No syntax or stream encoding errors found")) << check;
    EXPECT_EQ(std::string::npos, check.find("WARNING")) << check;
}

TEST(PdfObjects, ImagesAreDigestedOnlyWhenALookupMeetsTheirLength) {
    const auto bytes = [](const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); };
    const auto digest = [](const std::vector<std::uint8_t>& data) {
        TfrxPDFXObjectHash hash{};
        MD5Buf(data.data(), data.size(), hash.data());
        return hash;
    };
    TfrxPDFXObjectArray images;
    EXPECT_EQ(images.AddData(10, bytes("abc")), 0);
    EXPECT_EQ(images.AddData(11, bytes("abcd")), 1);
    const struct {
        const char* Data;
        int Found, Digests; // digests made so far
    } lookups[] = {
        {"ab", -1, 0},   // no image of two bytes: nothing digested
        {"abcd", 1, 2},  // the data and the image of its length
        {"abce", -1, 3}, // the image keeps its digest
        {"abc", 0, 5},
    };
    for (const auto& l : lookups) {
        EXPECT_EQ(images.FindData(bytes(l.Data)), l.Found) << l.Data;
        EXPECT_EQ(images.DigestCount(), l.Digests) << l.Data;
    }
    EXPECT_EQ(images.Find(digest(bytes("abcd"))), 1);
    // An image known by its digest alone is compared with data of any length.
    images.Add(12, digest(bytes("xyzzy")));
    EXPECT_EQ(images.FindData(bytes("xyzzy")), 2);
    EXPECT_EQ(images.GetId(2), 12);

    // Data kept beyond the budget is digested, the oldest first.
    TfrxPDFXObjectArray large;
    const std::size_t third = TfrxPDFXObjectArray::kPendingBytes / 3 + 1;
    for (int i = 0; i < 3; ++i)
        large.AddData(i, std::vector<std::uint8_t>(third, std::uint8_t(i)));
    EXPECT_EQ(large.DigestCount(), 1);
    EXPECT_EQ(large.Find(digest(std::vector<std::uint8_t>(third, 0))), 0);
    EXPECT_EQ(large.FindData(std::vector<std::uint8_t>(third, 2)), 2);
}

TEST(ReportExport, StartUpAddsTheExportTexts) {
    InitializeReportFoundation();
    InitializeReportExport();
    EXPECT_EQ(u"Adobe PDF file (*.pdf)|*.pdf", frxResourcesInstance().Get(u"8707"));
    EXPECT_EQ(u".pdf", frxResourcesInstance().Get(u"8708"));
    EXPECT_EQ(u"PDF file", frxResourcesInstance().Get(u"PDFexport"));
    EXPECT_EQ(u"Jpeg image (*.jpg)|*.jpg", frxResourcesInstance().Get(u"JPEGexportFilter"));
    for (const char16_t* name :
         {u"TfrxPDFExport", u"TfrxBMPExport", u"TfrxJPEGExport", u"TfrxTIFFExport", u"TfrxGIFExport"})
        EXPECT_NE(GetClass(name), nullptr) << StringToUtf8(name);
    FinalizeReportExport();
    EXPECT_EQ(GetClass(u"TfrxPDFExport"), nullptr);
    FinalizeReportFoundation();
}
