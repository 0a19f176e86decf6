// links: vgl_report_foundation
// What a process-wide text-layout lock costs a concurrent server: 1 and 8 threads, each with its
// own TfrxDrawText (as each report owns one), lay out and draw a parcel label's memos through the
// whole sequence a text view runs, holding the instance's layout lock as callers do. With
// range(0) = 1 every sequence also holds one process-wide lock, as layout did before each
// instance got its own. Compare items_per_second (labels per second) of the 8-thread runs with
// and without it, and each with its 1-thread run.

#include <benchmark/benchmark.h>

#include <mutex>

#include "platform/graphics/font_registry.h"
#include "platform/graphics/metafile.h"
#include "report/foundation/draw_text.h"

namespace {

using namespace vgl;

struct TMemo {
    const char16_t* Text;
    int Width;
    int Size;
    bool Bold;
};

// The memos of one label: sender, receiver block, routing texts, parcel data.
const TMemo kMemos[] = {
    {u"Absender: Musterfirma GmbH, Industriestrasse 5, 12345 Musterstadt", 180, 7, false},
    {u"Frau Erika Beispiel\r\nz. Hd. <b>Einkauf</b>\r\nHauptstrasse 117\r\n12345 Musterstadt", 160, 10, false},
    {u"DE 12345", 80, 18, true},
    {u"Paket 1/2 - 12,5 kg - Zustellung bis 12:00 Uhr", 120, 8, false},
    {u"Referenz: <i>Bestellung 2023-04-11/0815</i>, Kundennummer 4711", 150, 7, false},
    {u"Bei Nichtantreffen bitte beim Nachbarn abgeben. Nicht stapeln.", 140, 7, false},
};

std::recursive_mutex gProcessWideLock;

void BM_LabelMemos(benchmark::State& state) {
    RegisterLabelFonts();
    const bool processWide = state.range(0) != 0;
    TfrxDrawText d;
    std::vector<TfrxWideStrings> texts(std::size(kMemos));
    for (size_t i = 0; i < std::size(kMemos); ++i)
        texts[i].SetText(kMemos[i].Text);
    TMetafile mf;
    for (auto _ : state) {
        for (size_t i = 0; i < std::size(kMemos); ++i) {
            const TMemo& m = kMemos[i];
            std::unique_lock<std::recursive_mutex> global;
            if (processWide)
                global = std::unique_lock(gProcessWideLock);
            TfrxDrawTextLock lock(d);
            TFont font;
            font.SetName(u"Arial Narrow");
            font.SetSize(m.Size);
            font.SetStyle(m.Bold ? TFontStyles{fsBold} : TFontStyles{});
            d.SetFont(font);
            d.SetOptions(true, true, false, false, true, true, 0);
            d.SetGaps(0, 0, 0);
            TRect r = Rect(0, 0, m.Width, 200);
            d.SetDimensions(1, 1, 1, r, r);
            d.SetText(texts[i]);
            benchmark::DoNotOptimize(d.CalcHeight());
            mf.Clear();
            TMetafileCanvas canvas(mf);
            d.DrawText(canvas, haLeft, vaTop, ulmNone, -1);
        }
    }
    state.SetItemsProcessed(state.iterations()); // labels
}
BENCHMARK(BM_LabelMemos)->ArgName("processWideLock")->Arg(1)->Arg(0)->Threads(1)->Threads(8)->UseRealTime();

} // namespace
