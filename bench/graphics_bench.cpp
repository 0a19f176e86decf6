// links: vgl_platform_graphics
// Measuring a label line and filling a label page (1228 × 1803 pixels: a label page at 300 dpi).

#include <benchmark/benchmark.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/text_measure.h"

namespace {

void MeasureLine(benchmark::State& state) {
    vgl::RegisterLabelFonts();
    vgl::TFontData font;
    font.Name = u"Arial Narrow";
    font.Height = -67;
    vgl::TFontMeasure measure(font);
    const vgl::String line = u"Parcel 01234567890123 to 12345 Musterstadt";
    for (auto _ : state)
        benchmark::DoNotOptimize(measure.TextExtentEx(line));
}
BENCHMARK(MeasureLine);

void FillLabelPage(benchmark::State& state) {
    vgl::TBitmap page(1228, 1803, vgl::pf24bit);
    vgl::TCanvas& canvas = page.Canvas();
    canvas.Brush().SetColor(vgl::clWhite);
    for (auto _ : state)
        canvas.FillRect(vgl::Rect(0, 0, 1228, 1803));
}
BENCHMARK(FillLabelPage);

} // namespace

// The GIF export's reduction of a drawn label page to the 8-bit default palette.
void LabelPageTo8Bit(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        vgl::TBitmap page(1228, 1803, vgl::pf24bit);
        vgl::TCanvas& canvas = page.Canvas();
        canvas.Brush().SetColor(vgl::clWhite);
        canvas.FillRect(vgl::Rect(0, 0, 1228, 1803));
        canvas.Brush().SetColor(vgl::clBlack);
        for (int x = 40; x < 1180; x += 12)
            canvas.FillRect(vgl::Rect(x, 900, x + 5 + x % 7, 1100));
        state.ResumeTiming();
        page.SetPixelFormat(vgl::pf8bit);
        benchmark::DoNotOptimize(page.ScanLine(0));
    }
}
BENCHMARK(LabelPageTo8Bit)->Unit(benchmark::kMillisecond);
