// links: vgl_report_export vgl_codes JPEG::JPEG
// A label-sized PDF page (393 × 577 pixels at the label's options: not compressed, fonts
// embedded, PrintOptimized, quality 100, no transparency) with memos in both label faces (one of
// them rotated), the 600 × 600 Aztec picture in a 128-pixel view, the Code 128 routing barcode,
// lines and a frame, exported into a memory stream; against libjpeg alone encoding the same
// raster images (the 1800 × 1800 colour picture and the barcode's grey raster at quality 100, the
// very pixels the export draws) from 32-bit rows. Target: the export at most 1.25 times the
// encodes; the Ratio benchmark times both alternately in one run and reports the factor. The
// set-up checks that each encode of the floor gives the bytes of an image in the exported
// document, so both sides encode the same pictures.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <jpeglib.h>

#include "codes/dpd_aztec.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font_registry.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/initialization.h"
#include "report/model/barcode_view.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"

namespace {

using namespace vgl;

// A domestic parcel with sender and customs blocks: about 450 characters of Aztec content.
void FillParcel(TDPDAztec& a) {
    a.ISO_DestZipCode()->SetFieldValue(u"01067");
    a.ISO_DestCountryCode()->SetFieldValue(u"276");
    a.ISO_SOCode()->SetFieldValue(u"101");
    a.ISO_ParcelNumber()->SetFieldValue(u"01905002345615");
    a.ISO_DeclaredWeight()->SetFieldValue(u"3.20KG");
    a.ISO_RecStreet()->SetFieldValue(u"Hauptstra\u00DFe 12");
    a.ISO_RecTown()->SetFieldValue(u"Dresden");
    a.ISO_RecCompName1()->SetFieldValue(u"Muster GmbH");
    a.STD_RecContact()->SetFieldValue(u"Frau M\u00FCller");
    a.STD_RecNotifEMail()->SetFieldValue(u"kunde@example.de");
    a.STD_NotifType()->SetFieldValue(u"E");
    a.SetS01_IsDefined(true);
    a.S01_FormatID()->SetFieldValue(u"S010");
    a.S01_SendCompName()->SetFieldValue(u"Versand & Co. KG");
    a.S01_SendStreet()->SetFieldValue(u"Am Hafen 3");
    a.S01_SendTown()->SetFieldValue(u"Hamburg");
    a.SetS03_IsDefined(true);
    a.S03_FormatID()->SetFieldValue(u"S030");
    a.S03_TotalValue()->SetFieldValue(u"249.90");
    for (int k = 0; k < DPDAztecArticleCount; ++k) {
        const TDPDAztecArticleRec art = a.S03_Articles(k);
        art.Art_Desc->SetFieldValue(u"Ersatzteil Nr. " + IntToStr(k));
        art.Art_Qty->SetFieldValue(u"2");
        art.Art_Value->SetFieldValue(u"99.95");
        art.Art_ComCode->SetFieldValue(u"8708301090");
    }
}

struct TLabelPage {
    TLabelPage() {
        static const bool started = [] {
            InitializeReportFoundation();
            InitializeReportExport();
            RegisterLabelFonts();
            return true;
        }();
        (void)started;
        Page.SetBounds(0, 0, 393, 577);
        FillParcel(Aztec);
        Picture.Picture()->Assign(Aztec.AsImage().Picture());
        Picture.SetBounds(240, 20, 128, 128);
        Barcode.SetBarType(bcCode128);
        Barcode.SetText(u"%007110601632015376002000000");
        Barcode.SetShowText(false);
        Barcode.SetWideBarRatio(2);
        Barcode.SetZoom(1.0L);
        Barcode.SetBounds(20, 300, 100, 60);
        Barcode.Frame()->SetTyp({ftTop});
        for (int i = 0; i < 6; ++i) {
            auto line = std::make_unique<TfrxLineView>(nullptr);
            line->SetBounds(5, 160 + i * 40, 383, 0);
            Lines.push_back(std::move(line));
        }
        Box.SetBounds(5, 5, 383, 567);
        Box.Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
        const struct {
            const char16_t* Text;
            int Left, Top, Width, Height, Size;
            bool Bold;
        } memos[] = {
            {u"Muster GmbH\r\nFrau M\u00FCller\r\nHauptstra\u00DFe 12\r\nD-01067 Dresden", 12, 20, 220, 70, 10, false},
            {u"Versand & Co. KG, Am Hafen 3, 20457 Hamburg", 12, 95, 220, 14, 7, false},
            {u"0190 5002 3456 15", 12, 165, 200, 24, 16, true},
            {u"101-DE-01067", 12, 205, 260, 40, 26, true},
            {u"3.20 kg   1 / 1   15.01.2026", 12, 250, 250, 16, 8, false},
            {u"CLASSIC", 250, 165, 120, 24, 16, true},
        };
        for (const auto& m : memos) {
            auto memo = std::make_unique<TfrxMemoView>(nullptr);
            memo->SetBounds(m.Left, m.Top, m.Width, m.Height);
            memo->Font().SetName(u"Arial Narrow");
            memo->Font().SetSize(m.Size);
            memo->Font().SetStyle(m.Bold ? TFontStyles{fsBold} : TFontStyles{});
            memo->SetText(m.Text);
            Memos.push_back(std::move(memo));
        }
        auto rotated = std::make_unique<TfrxMemoView>(nullptr);
        rotated->SetBounds(372, 300, 16, 260);
        rotated->Font().SetName(u"Arial Narrow");
        rotated->Font().SetSize(7);
        rotated->SetText(u"Route 0190 5002 3456 15 - DPD Classic");
        rotated->SetRotation(90);
        Memos.push_back(std::move(rotated));
    }
    std::vector<std::uint8_t> Export() {
        TfrxPDFExport pdf(nullptr);
        pdf.SetCompressed(false);
        pdf.SetEmbeddedFonts(true);
        pdf.SetPrintOptimized(true);
        pdf.SetQuality(100);
        pdf.SetTransparency(false);
        TMemoryStream stream;
        pdf.SetStream(&stream);
        pdf.DoStart();
        pdf.StartPage(&Page, 0);
        pdf.ExportObject(&Box);
        for (auto& line : Lines)
            pdf.ExportObject(line.get());
        for (auto& memo : Memos)
            pdf.ExportObject(memo.get());
        pdf.ExportObject(&Picture);
        pdf.ExportObject(&Barcode);
        pdf.FinishPage(&Page, 0);
        pdf.DoFinish();
        pdf.SetStream(nullptr);
        return {stream.Memory(), stream.Memory() + stream.GetSize()};
    }
    TDPDAztec Aztec;
    TfrxReportPage Page{nullptr};
    TfrxPictureView Picture{nullptr};
    TfrxBarCodeView Barcode{nullptr};
    TfrxShapeView Box{nullptr};
    std::vector<std::unique_ptr<TfrxLineView>> Lines;
    std::vector<std::unique_ptr<TfrxMemoView>> Memos;
};

/// libjpeg alone: quality 100 from BGRX rows, colour or grey.
std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& pixels, int width, int height, bool grey) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    if (grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + std::size_t(info.next_scanline) * width * 4;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

/// The pixels of a view drawn as the export's raster path draws it: white first, the view at
/// `scale` with its frame widths set to 0, 32-bit rows.
struct TRaster {
    TRaster(TfrxView& view, long double scale) {
        const TfrxRect bounds = view.GetRealBounds();
        const long double width = bounds.Right - bounds.Left, height = bounds.Bottom - bounds.Top;
        long double left = view.AbsLeft(), top = view.AbsTop();
        if (width > view.Width() && bounds.Left != view.AbsLeft())
            left -= bounds.Right > view.AbsLeft() + view.Width() ? (width - view.Width()) / 2 : width - view.Width();
        if (height > view.Height() && bounds.Top != view.AbsTop())
            top -=
                bounds.Bottom > view.AbsTop() + view.Height() ? (height - view.Height()) / 2 : height - view.Height();
        Width = int(Round(width * scale));
        Height = int(Round(height * scale));
        TBitmap bitmap(Width, Height, pf32bit);
        bitmap.Canvas().Brush().SetColor(clWhite);
        bitmap.Canvas().FillRect(TRect{0, 0, Width, Height});
        const long double frameWidth = view.Frame()->Width();
        view.Frame()->SetWidth(0);
        view.DrawClipped(bitmap.Canvas(), scale, scale, -Round(left * scale), -Round(top * scale));
        view.Frame()->SetWidth(frameWidth);
        for (int y = 0; y < Height; ++y)
            Pixels.insert(Pixels.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + std::size_t(Width) * 4);
    }
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Pixels;
};

struct TRasters {
    explicit TRasters(TLabelPage& page)
        : Picture(page.Picture, 3 * std::sqrt(600.0L * 600.0L / (128.0L * 128.0L))), Barcode(page.Barcode, 3) {}
    std::size_t Encode() const {
        return ::Encode(Picture.Pixels, Picture.Width, Picture.Height, false).size() +
               ::Encode(Barcode.Pixels, Barcode.Width, Barcode.Height, true).size();
    }
    /// True when both encodes are images of the document.
    bool FoundIn(const std::vector<std::uint8_t>& document) const {
        for (auto* raster : {&Picture, &Barcode}) {
            const std::vector<std::uint8_t> jpeg =
                ::Encode(raster->Pixels, raster->Width, raster->Height, raster == &Barcode);
            if (std::search(document.begin(), document.end(), jpeg.begin(), jpeg.end()) == document.end())
                return false;
        }
        return true;
    }
    TRaster Picture, Barcode;
};

void LabelPdfExport(benchmark::State& state) {
    TLabelPage page;
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = page.Export().size();
    state.counters["pdf_bytes"] = double(bytes);
}
BENCHMARK(LabelPdfExport)->Unit(benchmark::kMillisecond);

void LibjpegEncodes(benchmark::State& state) {
    TLabelPage page;
    TRasters rasters(page);
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = rasters.Encode();
    state.counters["jpeg_bytes"] = double(bytes);
}
BENCHMARK(LibjpegEncodes)->Unit(benchmark::kMillisecond);

void Ratio(benchmark::State& state) {
    TLabelPage page;
    TRasters rasters(page);
    if (!rasters.FoundIn(page.Export())) {
        state.SkipWithError("the floor's encodes are not the images of the exported document");
        return;
    }
    std::chrono::duration<double> exportTime{0}, encodeTime{0};
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(page.Export());
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(rasters.Encode());
        auto t2 = std::chrono::steady_clock::now();
        exportTime += t1 - t0;
        encodeTime += t2 - t1;
    }
    state.counters["export_over_libjpeg"] = encodeTime.count() > 0 ? exportTime.count() / encodeTime.count() : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMillisecond);

} // namespace
