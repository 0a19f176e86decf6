// links: vgl_report_model
// A memo's CalcWidth (the width the label module asks for when it places the parts of a tracking
// number side by side) against the layout's own set-up and CalcWidth for the same one-line text:
// the memo adds its gap sums and the configuration of the layout object, nothing more.

#include <benchmark/benchmark.h>

#include "platform/graphics/font_registry.h"
#include "report/foundation/draw_text.h"
#include "report/model/memo_view.h"

namespace {

using namespace vgl;

const char16_t* const kText = u"1234 5678 9012";

void BM_LayoutCalcWidth(benchmark::State& state) {
    RegisterLabelFonts();
    TfrxDrawText& d = frxDrawText();
    TFont font;
    font.SetName(u"Arial Narrow");
    font.SetSize(16);
    TfrxWideStrings text;
    text.Add(kText);
    const TRect r{0, 0, 10000, 10000};
    for (auto _ : state) {
        TfrxDrawTextLock lock(d);
        d.SetFont(font);
        d.SetOptions(true, false, false, false, true, true, 0);
        d.SetGaps(0, 0, 2);
        d.SetDimensions(1, 1, 1, r, r);
        d.SetText(text);
        benchmark::DoNotOptimize(d.CalcWidth());
    }
}
BENCHMARK(BM_LayoutCalcWidth);

void BM_MemoCalcWidth(benchmark::State& state) {
    RegisterLabelFonts();
    TfrxMemoView memo(nullptr);
    memo.SetBounds(0, 0, 200, 30);
    memo.Font().SetName(u"Arial Narrow");
    memo.Font().SetSize(16);
    memo.SetText(kText);
    for (auto _ : state)
        benchmark::DoNotOptimize(memo.CalcWidth());
}
BENCHMARK(BM_MemoCalcWidth);

} // namespace
