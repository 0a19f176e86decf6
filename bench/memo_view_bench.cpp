// links: vgl_report_model
// A memo's CalcWidth (the width the label module asks for when it places the parts of a tracking
// number side by side) against the layout's own set-up and CalcWidth for the same one-line text:
// the memo adds its gap sums and the configuration of the layout object, nothing more. Target: at
// most 1.3 times the layout; the Ratio benchmark times both alternately in one run and reports
// the factor.

#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/graphics/font_registry.h"
#include "report/foundation/draw_text.h"
#include "report/model/memo_view.h"

namespace {

using namespace vgl;

const char16_t* const kText = u"1234 5678 9012";

/// The layout object set up for the text as a memo sets it up, measured by its own CalcWidth.
struct TLayout {
    TLayout() {
        RegisterLabelFonts();
        font.SetName(u"Arial Narrow");
        font.SetSize(16);
        text.Add(kText);
    }
    long double CalcWidth() {
        TfrxDrawText& d = frxDrawText();
        const TRect r{0, 0, 10000, 10000};
        TfrxDrawTextLock lock(d);
        d.SetFont(font);
        d.SetOptions(true, false, false, false, true, true, 0);
        d.SetGaps(0, 0, 2);
        d.SetDimensions(1, 1, 1, r, r);
        d.SetText(text);
        return d.CalcWidth();
    }
    TFont font;
    TfrxWideStrings text;
};

/// A one-line memo of the same text and font.
struct TMemo {
    TMemo() : memo(nullptr) {
        RegisterLabelFonts();
        memo.SetBounds(0, 0, 200, 30);
        memo.Font().SetName(u"Arial Narrow");
        memo.Font().SetSize(16);
        memo.SetText(kText);
    }
    TfrxMemoView memo;
};

void BM_LayoutCalcWidth(benchmark::State& state) {
    TLayout layout;
    for (auto _ : state)
        benchmark::DoNotOptimize(layout.CalcWidth());
}
BENCHMARK(BM_LayoutCalcWidth);

void BM_MemoCalcWidth(benchmark::State& state) {
    TMemo m;
    for (auto _ : state)
        benchmark::DoNotOptimize(m.memo.CalcWidth());
}
BENCHMARK(BM_MemoCalcWidth);

void Ratio(benchmark::State& state) {
    TLayout layout;
    TMemo m;
    std::chrono::duration<double> memoTime{0}, layoutTime{0};
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 100; ++i)
            benchmark::DoNotOptimize(m.memo.CalcWidth());
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < 100; ++i)
            benchmark::DoNotOptimize(layout.CalcWidth());
        auto t2 = std::chrono::steady_clock::now();
        memoTime += t1 - t0;
        layoutTime += t2 - t1;
    }
    state.counters["memo_over_layout"] = layoutTime.count() > 0 ? memoTime.count() / layoutTime.count() : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMicrosecond);

} // namespace
