// links: vgl_report_foundation
// Laying out text: a typical label memo (one to three lines) and a 2,000-character paragraph,
// each through the whole sequence a text view runs (set-up, wrapping, height) under the layout lock;
// and expanding a line of badly nested tags (many opened, then as many closes that match none),
// which memo text from a request may carry.

#include <benchmark/benchmark.h>

#include "platform/graphics/font_registry.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/html_tags.h"

namespace {

using namespace vgl;

void LayOut(TfrxDrawText& d, const TfrxWideStrings& text, int width, benchmark::State& state) {
    TFont font;
    font.SetName(u"Arial Narrow");
    font.SetSize(10);
    for (auto _ : state) {
        TfrxDrawTextLock lock(d);
        d.SetFont(font);
        d.SetOptions(true, true, false, false, true, true, 0);
        d.SetGaps(0, 0, 0);
        TRect r = Rect(0, 0, width, 2000);
        d.SetDimensions(1, 1, 1, r, r);
        d.SetText(text);
        benchmark::DoNotOptimize(d.CalcHeight());
    }
}

void BM_LabelMemo(benchmark::State& state) {
    RegisterLabelFonts();
    TfrxDrawText d;
    TfrxWideStrings text;
    text.Add(u"Musterfirma GmbH, z. Hd. <b>Frau Beispiel</b>");
    text.Add(u"Hauptstrasse 117, 12345 Musterstadt");
    LayOut(d, text, 150, state);
}
BENCHMARK(BM_LabelMemo);

void BM_LongParagraph(benchmark::State& state) {
    RegisterLabelFonts();
    TfrxDrawText d;
    String paragraph;
    const String sentence = u"Parcels that leave the depot before noon are delivered on the next working day. ";
    while (paragraph.size() < 2000)
        paragraph += sentence;
    paragraph.resize(2000);
    TfrxWideStrings text;
    text.Add(paragraph);
    LayOut(d, text, 300, state);
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_LongParagraph);

// range(0) "<i>" followed by range(0) "</b>": every close re-opens all the open tags.
void BM_MismatchedTags(benchmark::State& state) {
    String line;
    for (int k = 0; k < state.range(0); ++k)
        line += u"<i>";
    for (int k = 0; k < state.range(0); ++k)
        line += u"</b>";
    TfrxHTMLTagsList list;
    for (auto _ : state) {
        list.SetDefaults(clBlack, 10, {});
        String s = line;
        list.ExpandHTMLTags(s);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(line.size() * sizeof(Char)));
}
BENCHMARK(BM_MismatchedTags)->Arg(500)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

} // namespace
