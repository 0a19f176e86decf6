// The PDF export's options and document structure: pages without objects written through the
// export road into a memory stream, checked by qpdf and pdfinfo and against an expected file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/initialization.h"
#include "report/model/io_transport.h"
#include "report/model/page_base.h"
#include "report/model/shape_view.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using vgl::test::Bytes;
using vgl::test::DataPath;
using vgl::test::ReadFile;
using vgl::test::RunCommand;

namespace vgl {

/// A page that publishes margins the way report pages do (millimetres).
class TMarginPage : public TfrxPage {
    VGL_CLASS(TMarginPage, TfrxPage)
    explicit TMarginPage(TComponent* owner) : TfrxPage(owner) {}
    long double LeftMargin = 0, RightMargin = 0, TopMargin = 0, BottomMargin = 0;
    bool MirrorMargins = false;
    long double GetLeft() const { return LeftMargin; }
    long double GetRight() const { return RightMargin; }
    long double GetTop() const { return TopMargin; }
    long double GetBottom() const { return BottomMargin; }
    bool GetMirror() const { return MirrorMargins; }
    void SetNothing(long double) {}
    void SetNoFlag(bool) {}
};

VGL_DEFINE_CLASS(TMarginPage) {
    using T = TMarginPage;
    b.Property(u"LeftMargin", &T::GetLeft, &T::SetNothing);
    b.Property(u"RightMargin", &T::GetRight, &T::SetNothing);
    b.Property(u"TopMargin", &T::GetTop, &T::SetNothing);
    b.Property(u"BottomMargin", &T::GetBottom, &T::SetNothing);
    b.Property(u"MirrorMargins", &T::GetMirror, &T::SetNoFlag);
}

} // namespace vgl

namespace {

std::string Text(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), std::size_t(s.GetSize()));
}

void ExpectQpdfClean(const std::string& doc);

/// Runs the export road over pages of the given sizes in report pixels; qpdf checks the document.
std::string Export(TfrxPDFExport& pdf, std::vector<std::pair<long double, long double>> sizes = {{100, 50}}) {
    TMemoryStream stream;
    pdf.SetStream(&stream);
    EXPECT_TRUE(pdf.DoStart());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        TfrxPage page(nullptr);
        page.SetBounds(0, 0, sizes[i].first, sizes[i].second);
        pdf.StartPage(&page, int(i));
        pdf.FinishPage(&page, int(i));
    }
    pdf.DoFinish();
    pdf.SetStream(nullptr);
    ExpectQpdfClean(Text(stream));
    return Text(stream);
}

std::string Tool(const std::string& document, const std::string& command) {
    const std::string path =
        "/tmp/vgl_pdf_export_" + std::to_string(getpid()) + "_" + std::to_string(std::rand()) + ".pdf";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
    const std::string out = RunCommand(command + " '" + path + "' 2>&1");
    std::remove(path.c_str());
    return out;
}

void ExpectQpdfClean(const std::string& doc) {
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
}

void Fixed(TfrxPDFExport& pdf) {
    pdf.Clock = [] { return EncodeDateTime(2026, 1, 15, 10, 20, 30, 0); };
    pdf.NewGUIDText = [] { return String(u"{00000000-0000-0000-0000-000000000000}"); };
}

/// The options the label service's stored form gives its filter.
void LabelOptions(TfrxPDFExport& pdf) {
    pdf.SetCompressed(false);
    pdf.SetEmbeddedFonts(true);
    pdf.SetPrintOptimized(true);
    pdf.SetQuality(100);
    pdf.SetTransparency(false);
    pdf.SetPdfA(false);
    pdf.SetPDFStandard(psNone);
    pdf.SetPDFVersion(pv17);
    pdf.SetShowDialog(false);
}

class PdfExport : public ::testing::Test {
protected:
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

} // namespace

TEST_F(PdfExport, NamesOfVersionsAndStandards) {
    EXPECT_EQ(StrToPDFVersion(u"1.7"), pv17);
    EXPECT_EQ(StrToPDFVersion(u"1.4"), pv14);
    EXPECT_EQ(StrToPDFStandard(u"PDF/A-1b"), psPDFA_1b);
    EXPECT_EQ(StrToPDFStandard(u"None"), psNone);
    EXPECT_EQ(PDFStandardName(psPDFA_3a), u"PDF/A-3a");
    try {
        StrToPDFVersion(u"1.8");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Unknown/unsupported PDF version: \"1.8\"");
    }
    try {
        StrToPDFStandard(u"pdf/a-1b");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Unknown/unsupported PDF standard: \"pdf/a-1b\"");
    }
    EXPECT_EQ(StandardVersion(psPDFA_1a), pv14);
    EXPECT_EQ(StandardVersion(psPDFA_3b), pv17);
    EXPECT_FALSE(StandardVersion(psNone).has_value());
}

TEST_F(PdfExport, DefaultsAndSetterInterplay) {
    TfrxPDFExport pdf(nullptr);
    EXPECT_TRUE(pdf.Compressed());
    EXPECT_TRUE(pdf.Transparency());
    EXPECT_EQ(pdf.Quality(), 95);
    EXPECT_EQ(pdf.Author(), u"DudeZirare");
    EXPECT_EQ(pdf.Subject(), u"DudeZirare PDF export");
    EXPECT_EQ(pdf.InteractiveFormsFontSubset(), u"A-Z,a-z,0-9,#43-#47 ");
    EXPECT_EQ(pdf.PDFVersion(), pv17);
    EXPECT_EQ(pdf.FilterDesc(), u"Adobe PDF file (*.pdf)|*.pdf");
    EXPECT_EQ(pdf.DefaultExt(), u".pdf");
    EXPECT_EQ(pdf.GetDescription(), u"PDF file");
    EXPECT_EQ(pdf.ExportDialogClass(), u"TfrxPDFExportDialog");
    // The constructor does not run the ProtectionFlags setter.
    EXPECT_EQ(pdf.EncBits(), 0);
    pdf.SetProtectionFlags({ePrint, eCopy});
    EXPECT_EQ(pdf.EncBits(), -64 + 4 * 5);

    pdf.SetInteractiveForms(true);
    EXPECT_TRUE(pdf.InteractiveForms());
    pdf.SetPDFVersion(pv14);
    pdf.SetInteractiveForms(true);
    EXPECT_FALSE(pdf.InteractiveForms());

    pdf.SetPDFStandard(psPDFA_1b);
    EXPECT_EQ(pdf.PDFVersion(), pv14);
    EXPECT_TRUE(pdf.EmbeddedFonts());
    EXPECT_FALSE(pdf.Transparency());
    EXPECT_TRUE(pdf.PdfA());
    pdf.SetPDFVersion(pv17);
    pdf.SetTransparency(true);
    pdf.SetEmbeddedFonts(false);
    pdf.SetInteractiveForms(true);
    EXPECT_EQ(pdf.PDFVersion(), pv14);
    EXPECT_FALSE(pdf.Transparency());
    EXPECT_TRUE(pdf.EmbeddedFonts());
    EXPECT_FALSE(pdf.InteractiveForms());

    pdf.SetPdfA(true);
    EXPECT_EQ(pdf.PDFStandard(), psPDFA_2a);
    EXPECT_EQ(pdf.PDFVersion(), pv17);
    pdf.SetPdfA(false);
    EXPECT_EQ(pdf.PDFStandard(), psNone);
    pdf.SetInteractiveForms(true);
    EXPECT_TRUE(pdf.InteractiveForms());

    pdf.SetPictureDPI(150);
    EXPECT_FALSE(pdf.SaveOriginalImages());
    pdf.SetSaveOriginalImages(true);
    EXPECT_EQ(pdf.PictureDPI(), 0);
    pdf.SetCurvePrecision(7);
    EXPECT_EQ(pdf.CurvePrecision(), 2);
    pdf.SetCurvePrecision(-1);
    EXPECT_EQ(pdf.CurvePrecision(), 0);

    // The stored form streams the options through the published setters.
    TfrxPDFExport stored(nullptr);
    SetPropValue(stored, u"PDFStandard", Variant(String(u"psPDFA_1a")));
    SetPropValue(stored, u"PDFVersion", Variant(String(u"pv17")));
    EXPECT_EQ(stored.PDFVersion(), pv14);
    EXPECT_FALSE(stored.Transparency());
}

TEST_F(PdfExport, EmptyPageDocument) {
    for (bool compressed : {false, true}) {
        TfrxPDFExport pdf(nullptr);
        Fixed(pdf);
        pdf.SetCompressed(compressed);
        const std::string doc = Export(pdf);
        EXPECT_EQ(doc.substr(0, 17), "%PDF-1.7\r\n\x25\xE2\xE3\xCF\xD3\r\n");
        EXPECT_NE(doc.find("/Resources << /ProcSet [/PDF /Text /ImageC ]\r\n>>\r\n"), std::string::npos);
        EXPECT_EQ(doc.find("/Font"), std::string::npos);
        EXPECT_EQ(doc.find("/XObject"), std::string::npos);
        EXPECT_EQ(doc.find("/FlateDecode") != std::string::npos, compressed);
        const std::string check = Tool(doc, "qpdf --check");
        EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        const std::string info = Tool(doc, "pdfinfo");
        EXPECT_NE(info.find("PDF version:     1.7"), std::string::npos) << info;
        EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
        if (!compressed) {
            const Bytes expected = ReadFile(DataPath("empty_page.pdf"));
            EXPECT_TRUE(doc == std::string(expected.begin(), expected.end()));
        }
    }
}

TEST_F(PdfExport, LabelPageSizeIdentifierAndDates) {
    TfrxPDFExport pdf(nullptr);
    Fixed(pdf);
    LabelOptions(pdf);
    const std::string doc = Export(pdf, {{393, 577}});
    EXPECT_NE(doc.find("/MediaBox [0 0 294.75 432.75 ]"), std::string::npos);
    EXPECT_NE(Tool(doc, "pdfinfo").find("Page size:       294.75 x 432.75 pts"), std::string::npos);
    EXPECT_NE(doc.find("/ID [<d95b92fca4405ad6f765cae2693d593f><d95b92fca4405ad6f765cae2693d593f>]"),
              std::string::npos);
    EXPECT_NE(doc.find("/Version /1.7\r\n"), std::string::npos);
    EXPECT_NE(doc.find("/PageMode /UseNone\r\n"), std::string::npos);
    EXPECT_NE(doc.find("/ViewerPreferences <<\r\n/PrintScaling /None\r\n>>"), std::string::npos);
    EXPECT_EQ(doc.find("/Group"), std::string::npos);
    EXPECT_EQ(doc.find("/Annots"), std::string::npos);
    EXPECT_NE(doc.find("/Title <FEFF>"), std::string::npos);
    EXPECT_EQ(doc.find("/DisplayDocTitle"), std::string::npos);

    struct Zone {
        const char* TZ;
        const char* Pdf;
        const char* Meta;
    } zones[] = {{"UTC", "20260115102030+00'00'", "2026-01-15T10:20:30+00:00"},
                 {"Europe/Berlin", "20260115102030+01'00'", "2026-01-15T10:20:30+01:00"},
                 {"America/New_York", "20260115102030-05'00'", "2026-01-15T10:20:30-05:00"}};
    for (const Zone& z : zones) {
        setenv("TZ", z.TZ, 1);
        tzset();
        Export(pdf);
        EXPECT_EQ(pdf.CreationDateTime(), z.Pdf);
        EXPECT_EQ(pdf.CreationDateTimeMeta(), z.Meta);
    }
}

TEST_F(PdfExport, CatalogOptionsAndNumberingPerExport) {
    TfrxPDFExport pdf(nullptr);
    Fixed(pdf);
    pdf.SetTitle(u"Label");
    pdf.SetPrintScaling(true);
    pdf.SetFitWindow(true);
    for (int run = 0; run < 2; ++run) {
        const std::string doc = Export(pdf, {{100, 50}, {60, 40}});
        EXPECT_NE(doc.find("/ViewerPreferences <<\r\n/DisplayDocTitle true\r\n/FitWindow true\r\n>>"),
                  std::string::npos);
        EXPECT_NE(doc.find("1 0 obj\r\n<<\r\n/Type /Pages\r\n/Kids [2 0 R 4 0 R]\r\n/Count 2"), std::string::npos);
        EXPECT_NE(doc.find("2 0 obj\r\n<<\r\n/Type /Page\r\n"), std::string::npos);
        EXPECT_NE(doc.find("/Group << /Type /Group /S /Transparency /CS /DeviceRGB >>"), std::string::npos);
        EXPECT_NE(doc.find("/Title <FEFF004C006100620065006C>"), std::string::npos);
        EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
    }
}

TEST_F(PdfExport, PageGeometryWithMargins) {
    TfrxPDFExport pdf(nullptr);
    TMemoryStream stream;
    pdf.SetStream(&stream);
    ASSERT_TRUE(pdf.DoStart());
    TMarginPage page(nullptr);
    page.SetBounds(0, 0, 400, 200);
    page.LeftMargin = 10;
    page.RightMargin = 5;
    page.TopMargin = 20;
    page.BottomMargin = 4;
    page.MirrorMargins = true;
    for (int index : {0, 1}) {
        pdf.StartPage(&page, index);
        EXPECT_DOUBLE_EQ(double(pdf.PageWidth()), 300);
        EXPECT_DOUBLE_EQ(double(pdf.PageHeight()), 150);
        EXPECT_DOUBLE_EQ(double(pdf.MarginLeft()), 0.5);
        EXPECT_DOUBLE_EQ(double(pdf.MarginTop()), 1);
        const long double mm = 2.8346456692913384L;
        EXPECT_NEAR(double(pdf.PageRect().Left), double((index ? 5 : 10) * mm + 0.5L), 1e-9);
        EXPECT_NEAR(double(pdf.PageRect().Right), double(300 - (index ? 10 : 5) * mm + 0.5L), 1e-9);
        EXPECT_NEAR(double(pdf.PageRect().Top), double(150 - 20 * mm), 1e-9);
        EXPECT_NEAR(double(pdf.PageRect().Bottom), double(4 * mm), 1e-9);
        pdf.FinishPage(&page, index);
    }
    pdf.DoFinish();
    ExpectQpdfClean(Text(stream));
}

TEST_F(PdfExport, ViewsAreFilteredAndTheirRectanglesComputed) {
    TfrxPDFExport pdf(nullptr);
    TMemoryStream stream;
    pdf.SetStream(&stream);
    ASSERT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 200, 100);
    pdf.StartPage(&page, 0);

    TfrxShapeView shape(nullptr);
    shape.SetBounds(10, 20, 40, 8);
    shape.SetVisibility({vsPreview, vsPrint});
    EXPECT_NO_THROW(pdf.ExportObject(&shape)); // not for export
    EXPECT_EQ(pdf.stRect(), "");
    shape.SetVisibility({vsPreview, vsExport, vsPrint});
    EXPECT_NO_THROW(pdf.ExportObject(&shape));
    EXPECT_EQ(pdf.stRect(), "7.50 54.00 37.50 60.00"); // left bottom right top, y up from 75
    EXPECT_FALSE(shape.frComponentState().Contains(csFrxExporting));
    shape.SetBounds(10, 20, 0, 8);
    EXPECT_NO_THROW(pdf.ExportObject(&shape)); // nothing to draw
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
    ExpectQpdfClean(Text(stream));
}

TEST_F(PdfExport, OptionsWithoutTheirWritersAreRefusedAtStart) {
    struct Case {
        const char16_t* Option;
        std::function<void(TfrxPDFExport&)> Set;
    } cases[] = {
        {u"UserPassword", [](TfrxPDFExport& p) { p.SetUserPassword("u"); }},
        {u"OwnerPassword", [](TfrxPDFExport& p) { p.SetOwnerPassword("o"); }},
        {u"PDFStandard", [](TfrxPDFExport& p) { p.SetPdfA(true); }},
        {u"Outline", [](TfrxPDFExport& p) { p.SetOutline(true); }},
        {u"InteractiveForms", [](TfrxPDFExport& p) { p.SetInteractiveForms(true); }},
    };
    for (const Case& c : cases) {
        TfrxPDFExport pdf(nullptr);
        c.Set(pdf);
        TMemoryStream stream;
        pdf.SetStream(&stream);
        try {
            pdf.DoStart();
            ADD_FAILURE() << "no exception";
        } catch (const ENotSupportedException& e) {
            EXPECT_NE(e.Message().find(c.Option), String::npos);
        }
        EXPECT_EQ(stream.GetSize(), 0);
    }
    TfrxPDFExport none(nullptr);
    EXPECT_FALSE(none.DoStart()); // neither a file name nor a stream
}

TEST_F(PdfExport, WritesAFileThroughTheTransport) {
    SetTransportClassesAtStartUp();
    const std::string path = "/tmp/vgl_pdf_export_file_" + std::to_string(getpid()) + ".pdf";
    {
        TfrxPDFExport pdf(nullptr);
        pdf.SetFileName(Utf8ToString(path));
        ASSERT_TRUE(pdf.DoStart());
        TfrxPage page(nullptr);
        page.SetBounds(0, 0, 393, 577);
        pdf.StartPage(&page, 0);
        pdf.FinishPage(&page, 0);
        pdf.DoFinish();
    }
    const std::string check = RunCommand("qpdf --check '" + path + "' 2>&1");
    EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    std::remove(path.c_str());
}
