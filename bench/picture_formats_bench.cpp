// links: vgl_report_foundation
// Drawing a 600 × 600 PNG with partial alpha into a label-sized rectangle (a 4 × 6 inch label at
// 300 dpi, 1228 × 1803 pixels) through the picture-format registry at high quality, against the
// canvas's own stretch-draw of the same picture. Target: the registry's draw at most 3 times the
// plain one; the Ratio benchmark times both alternately in one run and reports the factor.

#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/png_jpeg_formats.h"

namespace {

using namespace vgl;

const TRect kLabel = Rect(0, 0, 1228, 1803);

/// A 600 × 600 colour gradient whose alpha runs from transparent to opaque.
const TPNGObject& Picture() {
    static const TPNGObject png = [] {
        TPNGObject p;
        p.CreateBlank(COLOR_RGBALPHA, 8, 600, 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 600; ++x) {
                p.Scanline(y)[x * 3] = std::uint8_t(x * 255 / 599);
                p.Scanline(y)[x * 3 + 1] = std::uint8_t(y * 255 / 599);
                p.Scanline(y)[x * 3 + 2] = 128;
                p.AlphaScanline(y)[x] = std::uint8_t((x + y) * 255 / 1198);
            }
        return p;
    }();
    return png;
}

void Setup() {
    static const bool done = [] {
        RegisterPictureFormats();
        return true;
    }();
    (void)done;
}

void RegistryDraw(TCanvas& canvas) {
    TfrxDrawGraphicExt props;
    props.DrawProps = {fgdStretch, fgdKeepAspectRatio, fgdCenter, fgdTransparent};
    props.Quality = gqHiQuality;
    frxGraphicFormatsInstance().DrawExt(props, canvas, Picture(), kLabel, 1, 1);
}

void PlainDraw(TCanvas& canvas) {
    canvas.StretchDraw(Rect(0, 0, 1228, 1228), Picture());
}

void DrawExtHiQuality(benchmark::State& state) {
    Setup();
    TBitmap label(kLabel.Width(), kLabel.Height(), pf24bit);
    for (auto _ : state)
        RegistryDraw(label.Canvas());
}
BENCHMARK(DrawExtHiQuality)->Unit(benchmark::kMillisecond);

void CanvasStretchDraw(benchmark::State& state) {
    TBitmap label(kLabel.Width(), kLabel.Height(), pf24bit);
    for (auto _ : state)
        PlainDraw(label.Canvas());
}
BENCHMARK(CanvasStretchDraw)->Unit(benchmark::kMillisecond);

void Ratio(benchmark::State& state) {
    Setup();
    TBitmap label(kLabel.Width(), kLabel.Height(), pf24bit);
    using Clock = std::chrono::steady_clock;
    Clock::duration registry{}, plain{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        RegistryDraw(label.Canvas());
        auto t1 = Clock::now();
        PlainDraw(label.Canvas());
        auto t2 = Clock::now();
        registry += t1 - t0;
        plain += t2 - t1;
    }
    state.counters["registry_over_plain"] = plain.count() > 0 ? double(registry.count()) / double(plain.count()) : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMillisecond);

} // namespace
