// The image exports driven through their hooks in the export road's order, on pages built here,
// with the images read back by ImageMagick.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include <ZXing/ReadBarcode.h>
#include <vector>

#include "codes/dpd_aztec.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/label_fonts.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "report/export/image_export.h"
#include "report/export/initialization.h"
#include "report/foundation/initialization.h"
#include "report/foundation/utilities.h"
#include "report/model/barcode_view.h"
#include "report/model/io_transport.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/report_options.h"
#include "report/model/report_page.h"
#include "report/model/report_services.h"
#include "report/model/shape_view.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using vgl::test::Bytes;
using vgl::test::ReadFile;
using vgl::test::RunCommand;

namespace {

/// A report page of the given size in report pixels (its paper in millimetres) with its views
/// (not owned by the page).
struct TTestPage {
    TTestPage(long double width, long double height) : Page(nullptr) {
        Page.SetPaperWidth(width * 25.4L / 96);
        Page.SetPaperHeight(height * 25.4L / 96);
        Page.UpdateDimensions();
    }
    /// Adds a black rectangle at report pixels (left, top) of that size.
    TfrxShapeView& Box(long double left, long double top, long double width, long double height) {
        Views.push_back(std::make_unique<TfrxShapeView>(nullptr));
        Views.back()->SetBounds(left, top, width, height);
        Views.back()->SetColor(clBlack);
        return *Views.back();
    }
    TfrxReportPage Page;
    std::vector<std::unique_ptr<TfrxShapeView>> Views;
};

/// Runs the export road: Start, then per page StartPage, ExportObject, FinishPage, then Finish.
bool RunExport(TfrxCustomExportFilter& filter, std::vector<TTestPage*> pages) {
    if (!filter.DoStart())
        return false;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        filter.StartPage(&pages[i]->Page, int(i));
        for (auto& view : pages[i]->Views)
            filter.ExportObject(view.get());
        filter.FinishPage(&pages[i]->Page, int(i));
    }
    filter.DoFinish();
    return true;
}

std::string WriteTemp(const Bytes& bytes, const std::string& suffix) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vgl_image_export_" + std::to_string(getpid()) + "_" + std::to_string(rand()) + suffix))
                                 .string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

Bytes StreamBytes(TMemoryStream& s) {
    return Bytes(s.Memory(), s.Memory() + s.GetSize());
}

/// identify's answer for the file (warnings included).
std::string Identify(const std::string& path, const std::string& format = "%m %w %h;") {
    return RunCommand("identify -format '" + format + "' '" + path + "' 2>&1");
}

/// The grey value ImageMagick decodes at (x, y).
int GreyAt(const std::string& path, int x, int y) {
    const std::string out = RunCommand("/usr/bin/convert '" + path + "[0]' -colorspace Gray -depth 8 -crop 1x1+" +
                                       std::to_string(x) + "+" + std::to_string(y) + " gray:- | od -An -tu1");
    EXPECT_FALSE(out.empty()) << path;
    return out.empty() ? 1000 : std::stoi(out);
}

class ImageExport : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeReportFoundation();
        InitializeReportExport();
        SetErrorMessageLog([this](const String&, const String& text) { Log.push_back(text); });
    }
    void TearDown() override {
        SetErrorMessageLog(nullptr);
        FinalizeReportExport();
        FinalizeReportFoundation();
    }
    std::vector<String> Log;
};

} // namespace

TEST_F(ImageExport, TextsDefaultsAndPublishedOptions) {
    TfrxBMPExport bmp(nullptr);
    TfrxJPEGExport jpeg(nullptr);
    TfrxTIFFExport tiff(nullptr);
    TfrxGIFExport gif(nullptr);
    struct Case {
        TfrxCustomImageExport& Export;
        const char16_t *Filter, *Ext, *Description;
    } cases[] = {
        {bmp, u"BMP image (*.bmp)|*.bmp", u".bmp", u"BMP image"},
        {jpeg, u"Jpeg image (*.jpg)|*.jpg", u".jpg", u"JPEG image"},
        {tiff, u"Tiff image (*.tif)|*.tif", u".tif", u"TIFF image"},
        {gif, u"Gif file (*.gif)|*.gif", u".gif", u"Gif image"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Export.FilterDesc(), c.Filter);
        EXPECT_EQ(c.Export.DefaultExt(), c.Ext);
        EXPECT_EQ(c.Export.GetDescription(), c.Description);
        EXPECT_EQ(c.Export.Resolution(), 96);
        EXPECT_EQ(c.Export.JPEGQuality(), 90);
        EXPECT_TRUE(c.Export.SeparateFiles());
        EXPECT_FALSE(c.Export.OpenAfterExport());
        EXPECT_FALSE(c.Export.IsProcessInternal());
        EXPECT_EQ(c.Export.ExportDialogClass(), u"TfrxIMGExportDialog");
        EXPECT_NE(c.Export.ClassType()->FindProperty(u"CropImages"), nullptr);
        EXPECT_NE(c.Export.ClassType()->FindProperty(u"Monochrome"), nullptr);
    }
    EXPECT_NE(jpeg.ClassType()->FindProperty(u"JPEGQuality"), nullptr);
    EXPECT_EQ(bmp.ClassType()->FindProperty(u"JPEGQuality"), nullptr);
    EXPECT_NE(tiff.ClassType()->FindProperty(u"MultiImage"), nullptr);
    // The image exports' own ExportNotPrintable is apart from the filter base's.
    bmp.SetExportNotPrintable(true);
    EXPECT_FALSE(static_cast<TfrxCustomExportFilter&>(bmp).ExportNotPrintable());
}

TEST_F(ImageExport, EveryFormatWritesThePageAtItsResolution) {
    // 100 x 50 report pixels at 300 dpi: 312.5 rounds to the even 312, 156.25 to 156.
    TTestPage page(100, 50);
    page.Box(20, 10, 40, 20);
    TfrxBMPExport bmp(nullptr);
    TfrxJPEGExport jpeg(nullptr);
    TfrxTIFFExport tiff(nullptr);
    TfrxGIFExport gif(nullptr);
    for (auto [filter, suffix] : std::vector<std::pair<TfrxCustomImageExport*, std::string>>{
             {&bmp, ".bmp"}, {&jpeg, ".jpg"}, {&tiff, ".tif"}, {&gif, ".gif"}}) {
        TMemoryStream stream;
        filter->SetResolution(300);
        filter->SetStream(&stream);
        ASSERT_TRUE(RunExport(*filter, {&page}));
        EXPECT_EQ(filter->Bitmap(), nullptr);
        const std::string path = WriteTemp(StreamBytes(stream), suffix);
        const std::string format = suffix == ".jpg"            ? "JPEG"
                                   : suffix == ".tif"          ? "TIFF"
                                   : suffix.substr(1) == "bmp" ? "BMP3"
                                                               : "GIF";
        EXPECT_EQ(Identify(path), format + " 312 156;") << suffix;
        EXPECT_LT(GreyAt(path, 125, 62), 40) << suffix; // inside the box (report 40, 20)
        EXPECT_GT(GreyAt(path, 20, 20), 215) << suffix; // white outside it
        if (suffix == ".tif") {
            EXPECT_EQ(Identify(path, "%x %y %U %[tiff:software]"), "300 300 PixelsPerInch DudeZirare");
        }
        std::remove(path.c_str());
    }
    EXPECT_TRUE(Log.empty());
}

TEST_F(ImageExport, CropBoundsAndSkippedViews) {
    // At 96 dpi one report pixel is one bitmap pixel; an object spanning 10..20 gives 11 pixels.
    TTestPage page(100, 60);
    page.Box(10, 5, 10, 20);
    TTestPage hidden(100, 60);
    hidden.Box(10, 5, 10, 20).SetPrintable(false);
    TTestPage empty(100, 60);
    TfrxBMPExport bmp(nullptr);
    bmp.SetCropImages(true);
    struct Case {
        TTestPage* Page;
        bool NotPrintable;
        const char* Expected;
    } cases[] = {
        {&page, false, "BMP3 11 21;"},
        {&hidden, false, "BMP3 100 60;"}, // skipped: nothing widened the bounds, the page is not cropped
        {&hidden, true, "BMP3 11 21;"},
        {&empty, false, "BMP3 100 60;"},
    };
    for (const Case& c : cases) {
        TMemoryStream stream;
        bmp.SetStream(&stream);
        bmp.SetExportNotPrintable(c.NotPrintable);
        ASSERT_TRUE(RunExport(bmp, {c.Page}));
        const std::string path = WriteTemp(StreamBytes(stream), ".bmp");
        EXPECT_EQ(Identify(path), c.Expected);
        std::remove(path.c_str());
    }

    // The page background picture is drawn but does not widen the bounds; a picture of another
    // name in its place does (10..70 × 5..50).
    TBitmap grey(4, 4, pf24bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            grey.SetPixel(x, y, RGB(128, 128, 128));
    for (const bool background : {true, false}) {
        TfrxPictureView picture(nullptr);
        picture.SetName(background ? u"_pagebackground" : u"Logo");
        picture.Picture()->SetGraphic(&grey);
        picture.SetBounds(30, 30, 40, 20);
        TMemoryStream stream;
        bmp.SetStream(&stream);
        bmp.SetExportNotPrintable(false);
        ASSERT_TRUE(bmp.DoStart());
        bmp.StartPage(&page.Page, 0);
        bmp.ExportObject(&picture);
        bmp.ExportObject(page.Views[0].get());
        bmp.FinishPage(&page.Page, 0);
        bmp.DoFinish();
        const std::string path = WriteTemp(StreamBytes(stream), ".bmp");
        EXPECT_EQ(Identify(path), background ? "BMP3 11 21;" : "BMP3 61 46;");
        if (background) {
            EXPECT_LT(GreyAt(path, 5, 5), 40); // the box
        } else {
            EXPECT_NEAR(GreyAt(path, 25, 30), 128, 3); // the picture (kept square at its left)
        }
        std::remove(path.c_str());
    }
}

TEST_F(ImageExport, PagesStackIntoOneImageWithoutSeparateFiles) {
    // The prepared pages' sizes stand in for a report's store: the widest page and all heights.
    struct TProbe : TfrxBMPExport {
        TProbe() : TfrxBMPExport(nullptr) {}
        TfrxPoint AllPagesSize(TfrxComponent*) override { return TfrxPoint{100, 600}; }
        void StartPage(TfrxComponent* page, int index) override {
            TfrxBMPExport::StartPage(page, index);
            Offsets.push_back(YOffset());
        }
        std::vector<int> Offsets;
    } bmp;
    TTestPage a(100, 100), b(100, 200), c(100, 300);
    c.Box(0, 0, 100, 300);
    bmp.SetSeparateFiles(false);
    TMemoryStream stream;
    bmp.SetStream(&stream);
    ASSERT_TRUE(RunExport(bmp, {&a, &b, &c}));
    EXPECT_EQ(bmp.Offsets, (std::vector<int>{0, 100, 300}));
    const std::string path = WriteTemp(StreamBytes(stream), ".bmp");
    EXPECT_EQ(Identify(path), "BMP3 100 600;");
    EXPECT_GT(GreyAt(path, 50, 290), 215); // page b
    EXPECT_LT(GreyAt(path, 50, 310), 40);  // page c's box, drawn at its offset
    std::remove(path.c_str());

    // Pages beyond 30000 pixels are cut off.
    struct THuge : TfrxBMPExport {
        THuge() : TfrxBMPExport(nullptr) {}
        TfrxPoint AllPagesSize(TfrxComponent*) override { return TfrxPoint{10, 40000}; }
    } huge;
    huge.SetSeparateFiles(false);
    TMemoryStream hugeStream;
    huge.SetStream(&hugeStream);
    TTestPage tall(10, 40000);
    ASSERT_TRUE(RunExport(huge, {&tall}));
    // ImageMagick's policy refuses images this high; the BMP header says the size.
    const Bytes header = StreamBytes(hugeStream);
    ASSERT_GT(header.size(), 26u);
    EXPECT_EQ(header[18] | header[19] << 8, 10);
    EXPECT_EQ(header[22] | header[23] << 8 | header[24] << 16, 30000);
}

TEST_F(ImageExport, FileNamesCarryThePageNumber) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vgl_image_names_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    SetTransportClassesAtStartUp(); // files go through the file transport
    TTestPage p1(20, 10), p2(30, 10), p3(40, 10);
    {
        TfrxBMPExport bmp(nullptr);
        bmp.SetFileName(Utf8ToString((dir / "label.pdf").string()));
        ASSERT_TRUE(RunExport(bmp, {&p1, &p2, &p3}));
    }
    EXPECT_EQ(Identify((dir / "label.1.bmp").string()), "BMP3 20 10;");
    EXPECT_EQ(Identify((dir / "label.2.bmp").string()), "BMP3 30 10;");
    EXPECT_EQ(Identify((dir / "label.3.bmp").string()), "BMP3 40 10;");
    {
        TfrxBMPExport bmp(nullptr);
        bmp.SetSeparateFiles(false);
        bmp.SetFileName(Utf8ToString((dir / "label.pdf").string()));
        ASSERT_TRUE(RunExport(bmp, {&p2}));
    }
    EXPECT_EQ(Identify((dir / "label.bmp").string()), "BMP3 30 10;");
    {
        TfrxTIFFExport tiff(nullptr);
        tiff.SetSeparateFiles(false);
        tiff.SetMultiImage(true);
        tiff.SetFileName(Utf8ToString((dir / "label.pdf").string()));
        ASSERT_TRUE(RunExport(tiff, {&p1, &p2, &p1}));
        EXPECT_EQ(tiff.Stream(), nullptr);
    }
    EXPECT_EQ(Identify((dir / "label.tif").string()), "TIFF 20 10;TIFF 30 10;TIFF 20 10;");
    std::filesystem::remove_all(dir);
}

TEST_F(ImageExport, TiffPagesInOneStream) {
    TTestPage p1(20, 10), p2(30, 15), p3(40, 20);
    // MultiImage: one file, three chained images.
    TfrxTIFFExport multi(nullptr);
    multi.SetSeparateFiles(false);
    multi.SetMultiImage(true);
    TMemoryStream one;
    multi.SetStream(&one);
    ASSERT_TRUE(RunExport(multi, {&p1, &p2, &p3}));
    std::string path = WriteTemp(StreamBytes(one), ".tif");
    EXPECT_EQ(Identify(path), "TIFF 20 10;TIFF 30 15;TIFF 40 20;");
    std::remove(path.c_str());

    // Separate files appended to one stream (MultiImage is ignored with them): each file keeps
    // its offsets from its own header, so each reads back on its own.
    TfrxTIFFExport separate(nullptr);
    separate.SetMultiImage(true);
    TMemoryStream both;
    separate.SetStream(&both);
    ASSERT_TRUE(RunExport(separate, {&p1, &p2}));
    const Bytes all = StreamBytes(both);
    const Bytes first = [&] {
        TMemoryStream s;
        TfrxTIFFExport single(nullptr);
        single.SetStream(&s);
        RunExport(single, {&p1});
        return StreamBytes(s);
    }();
    ASSERT_GT(all.size(), first.size());
    path = WriteTemp(Bytes(all.begin() + std::ptrdiff_t(first.size()), all.end()), ".tif");
    EXPECT_EQ(Identify(path), "TIFF 30 15;");
    std::remove(path.c_str());
    path = WriteTemp(Bytes(all.begin(), all.begin() + std::ptrdiff_t(first.size())), ".tif");
    EXPECT_EQ(Identify(path), "TIFF 20 10;");
    std::remove(path.c_str());
    EXPECT_EQ(Bytes(all.begin(), all.begin() + std::ptrdiff_t(first.size())), first);
}

namespace {

/// A stream every write to fails.
class TBrokenStream : public TMemoryStream {
public:
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
};

/// A stand-in report with engine options and an error list.
class TStandInReport : public TfrxComponent, public IfrxReportServices {
public:
    TStandInReport() : TfrxComponent(nullptr) {}
    TfrxEngineOptions* EngineOptions() const override { return &Options; }
    TfrxReportOptions* ReportOptions() const override { return nullptr; }
    const String& FileName() const override { return Name; }
    void SetTerminated(bool) override {}
    TfrxCustomEngine* Engine() const override { return nullptr; }
    TfrxPreviewPagesList* PreviewPagesList() const override { return nullptr; }
    TfrxCustomPreview* Preview() const override { return nullptr; }
    void RepublishServiceScriptNames() override {}
    bool PrepareReport(bool) override { return false; }
    void ShowReport(bool) override {}
    void RefreshActivePreviewedReport() override {}
    void SetModified(bool) override {}
    TStringList* ReportErrors() override { return &Errors; }
    mutable TfrxEngineOptions Options;
    String Name;
    TStringList Errors;
};

} // namespace

TEST_F(ImageExport, FailedWritesFollowTheSilentMode) {
    TTestPage page(20, 10);
    TBrokenStream broken;
    TfrxBMPExport bmp(nullptr);
    bmp.SetStream(&broken);
    // Without a report and under simMessageBoxes the message is logged and the export fails.
    try {
        RunExport(bmp, {&page});
        ADD_FAILURE() << "no exception";
    } catch (const EWriteError& e) {
        EXPECT_EQ(Log, std::vector<String>{e.Message()});
    }
    EXPECT_EQ(bmp.Bitmap(), nullptr);

    TStandInReport report;
    bmp.SetReport(&report);
    report.Options.SetNewSilentMode(simMessageBoxes);
    EXPECT_THROW(RunExport(bmp, {&page}), EWriteError);
    EXPECT_EQ(Log.size(), 2u);
    report.Options.SetNewSilentMode(simReThrow);
    EXPECT_THROW(RunExport(bmp, {&page}), EWriteError);
    EXPECT_EQ(Log.size(), 2u);
    report.Options.SetNewSilentMode(simSilent);
    EXPECT_TRUE(RunExport(bmp, {&page, &page}));
    EXPECT_EQ(report.Errors.Count(), 2);
    EXPECT_EQ(Log.size(), 2u);
}

TEST_F(ImageExport, StartRefusesAMissingPictureFormat) {
    struct TNoFormat : TfrxBMPExport {
        using TfrxBMPExport::TfrxBMPExport;
        TNoFormat() : TfrxBMPExport(nullptr) { FPicFormatName = u"XYZ"; }
    } filter;
    TMemoryStream stream;
    filter.SetStream(&stream);
    try {
        filter.DoStart();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Picture format XYZ not found.");
    }
    EXPECT_EQ(stream.GetSize(), 0);
}

namespace {

/// The text zxing-cpp reads in ImageMagick's grey pixels of the file, within `area` (image
/// pixels) when given, as a scanner aimed at one symbol sees it.
std::string Decode(const std::string& path, int width, int height, ZXing::BarcodeFormat format,
                   std::optional<TRect> area = std::nullopt) {
    const std::string raw = path + ".gray";
    RunCommand("/usr/bin/convert '" + path + "' -colorspace Gray -depth 8 'gray:" + raw + "' 2>&1");
    Bytes gray = ReadFile(raw);
    std::remove(raw.c_str());
    if (gray.size() != std::size_t(width) * std::size_t(height))
        return "<" + std::to_string(gray.size()) + " grey bytes>";
    ZXing::ImageView image(gray.data(), width, height, ZXing::ImageFormat::Lum);
    if (area)
        image = image.cropped(area->Left, area->Top, area->Width(), area->Height());
    const ZXing::Result r = ZXing::ReadBarcode(image, ZXing::DecodeHints().setFormats(format));
    return r.isValid() ? std::string(r.bytes().begin(), r.bytes().end()) : "<no decode>";
}

} // namespace

TEST_F(ImageExport, LabelPageAtThreeHundredDpiInEveryFormat) {
    RegisterLabelFonts();
    // A page of the label's size with its routing barcode, picture, memo, line and frame.
    TTestPage page(393, 577);
    TfrxBarCodeView barcode(nullptr);
    barcode.SetBarType(bcCode128);
    barcode.SetText(u"%007110601632015376002000000");
    barcode.SetShowText(false);
    barcode.SetWideBarRatio(2);
    barcode.SetZoom(1.0L);
    barcode.SetBounds(20, 300, 100, 60);
    page.Box(5, 5, 383, 2);
    page.Box(5, 200, 383, 1);
    TDPDAztec aztec;
    aztec.ISO_DestZipCode()->SetFieldValue(u"01067");
    aztec.ISO_DestCountryCode()->SetFieldValue(u"276");
    aztec.ISO_ParcelNumber()->SetFieldValue(u"01905002345615");
    aztec.ISO_RecTown()->SetFieldValue(u"Dresden");
    TfrxPictureView picture(nullptr);
    picture.Picture()->Assign(aztec.AsImage().Picture());
    picture.SetBounds(240, 20, 128, 128);
    TfrxMemoView memo(nullptr);
    memo.SetBounds(12, 20, 200, 40);
    memo.Font().SetName(u"Arial Narrow");
    memo.Font().SetSize(12);
    memo.SetText(u"Muster GmbH\r\nD-01067 Dresden");
    TfrxLineView line(nullptr);
    line.SetBounds(5, 250, 383, 0);
    const Latin1String content = aztec.AsString();
    TfrxBMPExport bmp(nullptr);
    TfrxJPEGExport jpeg(nullptr);
    TfrxTIFFExport tiff(nullptr);
    TfrxGIFExport gif(nullptr);
    jpeg.SetJPEGQuality(100);
    for (auto [filter, suffix] : std::vector<std::pair<TfrxCustomImageExport*, std::string>>{
             {&bmp, ".bmp"}, {&jpeg, ".jpg"}, {&tiff, ".tif"}, {&gif, ".gif"}}) {
        TMemoryStream stream;
        filter->SetResolution(300);
        filter->SetStream(&stream);
        ASSERT_TRUE(filter->DoStart());
        filter->StartPage(&page.Page, 0);
        for (auto& view : page.Views)
            filter->ExportObject(view.get());
        filter->ExportObject(&barcode);
        filter->ExportObject(&picture);
        filter->ExportObject(&memo);
        filter->ExportObject(&line);
        filter->FinishPage(&page.Page, 0);
        filter->DoFinish();
        const std::string path = WriteTemp(StreamBytes(stream), suffix);
        EXPECT_EQ(Identify(path, "%w %h;"), "1228 1803;") << suffix; // Round(393 x 3.125), Round(577 x 3.125)
        if (suffix == ".tif") {
            EXPECT_EQ(Identify(path, "%x %y %U %[tiff:software]"), "300 300 PixelsPerInch DudeZirare");
        }
        EXPECT_EQ(Identify(path, "%w").find("arning"), std::string::npos) << suffix;
        EXPECT_EQ(Decode(path, 1228, 1803, ZXing::BarcodeFormat::Code128), "%007110601632015376002000000") << suffix;
        // The picture's place at 300 dpi (240..368 × 20..148 report pixels) with some margin.
        EXPECT_EQ(Decode(path, 1228, 1803, ZXing::BarcodeFormat::Aztec, Rect(700, 20, 1180, 500)),
                  std::string(content.begin(), content.end()))
            << suffix;
        std::remove(path.c_str());
    }
}
