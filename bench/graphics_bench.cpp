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
