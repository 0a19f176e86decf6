// links: vgl_report_export JPEG::JPEG
// A label-sized PDF page (393 × 577 pixels at the label's options: PrintOptimized, quality 100,
// no transparency) with a 600 × 600 picture in a 128-pixel view, the Code 128 routing barcode,
// lines, shapes and frames, exported into a memory stream; against libjpeg alone encoding the same
// raster images (1800 × 1800 colour and the barcode's grey raster at quality 100) from 32-bit rows.
// Target: the export at most 1.25 times the encodes; the Ratio benchmark times both alternately in
// one run and reports the factor. Memos are not on the page yet: their writer is not built.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/initialization.h"
#include "report/model/barcode_view.h"
#include "report/model/line_view.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/shape_view.h"

namespace {

using namespace vgl;

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
        TBitmap symbol(600, 600, pf24bit);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 600; ++x)
                symbol.SetPixel(x, y, ((x * 7 / 40 + y * 3 / 40 + (x * y) % 7) % 2) ? clBlack : clWhite);
        Picture.Picture()->SetGraphic(&symbol);
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
    }
    std::size_t Export() {
        TfrxPDFExport pdf(nullptr);
        pdf.SetCompressed(false);
        pdf.SetPrintOptimized(true);
        pdf.SetQuality(100);
        pdf.SetTransparency(false);
        TMemoryStream stream;
        pdf.SetStream(&stream);
        pdf.DoStart();
        for (int face = 0; face < 2; ++face) {
            pdf.StartPage(&Page, face);
            pdf.ExportObject(&Box);
            for (auto& line : Lines)
                pdf.ExportObject(line.get());
            pdf.ExportObject(&Picture);
            pdf.ExportObject(&Barcode);
            pdf.FinishPage(&Page, face);
        }
        pdf.DoFinish();
        pdf.SetStream(nullptr);
        return std::size_t(stream.GetSize());
    }
    TfrxPage Page{nullptr};
    TfrxPictureView Picture{nullptr};
    TfrxBarCodeView Barcode{nullptr};
    TfrxShapeView Box{nullptr};
    std::vector<std::unique_ptr<TfrxLineView>> Lines;
};

/// libjpeg alone: quality 100 from BGRX rows, colour or grey.
std::size_t Encode(const std::vector<std::uint8_t>& pixels, int width, int height, bool grey) {
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
    std::free(buffer);
    return size;
}

struct TRasters {
    TRasters() : Picture(std::size_t(1800) * 1800 * 4), Barcode(std::size_t(672) * 180 * 4) {
        for (std::size_t i = 0; i < Picture.size(); ++i)
            Picture[i] = ((i / 4 / 70 + i / 4 / 1800 / 70) % 2) ? 0 : 255;
        for (std::size_t i = 0; i < Barcode.size(); ++i)
            Barcode[i] = ((i / 4 % 672) / 6 % 2) ? 0 : 255;
    }
    std::size_t Encode() const { return ::Encode(Picture, 1800, 1800, false) + ::Encode(Barcode, 672, 180, true); }
    std::vector<std::uint8_t> Picture, Barcode;
};

void LabelPdfExport(benchmark::State& state) {
    TLabelPage page;
    for (auto _ : state)
        benchmark::DoNotOptimize(page.Export());
}
BENCHMARK(LabelPdfExport)->Unit(benchmark::kMillisecond);

void LibjpegEncodes(benchmark::State& state) {
    TRasters rasters;
    for (auto _ : state)
        benchmark::DoNotOptimize(rasters.Encode());
}
BENCHMARK(LibjpegEncodes)->Unit(benchmark::kMillisecond);

void Ratio(benchmark::State& state) {
    TLabelPage page;
    TRasters rasters;
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
