// links: vgl_report_model
// The layout engine's Run on a label-sized page (100 × 150 mm) with 40 views lying directly on
// it (memos, lines, shapes, a picture), into a fresh store each time; against one
// WriteRootComponent and one ReadRootComponent of the same page tree into and from an XML item,
// the copy and the writing a store cannot avoid. Target: Run at most 3 times the pair; the Ratio
// benchmark times both alternately in one run and reports the factor.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_item.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/engine.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_options.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"

namespace {

using namespace vgl;

template <class T>
T* Make(TfrxComponent* parent, const String& name, long double l, long double t, long double w, long double h) {
    auto* c = new T(parent);
    c->SetName(name);
    c->SetBounds(l, t, w, h);
    return c;
}

struct TLabelReport {
    TLabelReport() {
        static const bool started = [] {
            InitializeReportFoundation();
            InitializeScriptEngine();
            InitializeReportModel();
            SetEngineClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
                return std::make_unique<TfrxEngine>(report);
            });
            return true;
        }();
        (void)started;
        Report = std::make_unique<TfrxReport>();
        Report->EngineOptions()->SetSilentMode(true);
        Page = Make<TfrxReportPage>(Report.get(), u"Page1", 0, 0, 0, 0);
        Page->SetPaperWidth(100);
        Page->SetPaperHeight(150);
        for (int i = 0; i < 28; ++i) {
            auto* memo = Make<TfrxMemoView>(Page, u"Memo" + IntToStr(i), 8 + (i % 2) * 180, 8 + (i / 2) * 36, 170, 30);
            memo->SetText(u"Parcel line " + IntToStr(i));
        }
        for (int i = 0; i < 6; ++i)
            Make<TfrxLineView>(Page, u"Line" + IntToStr(i), 4, 40 + i * 80, 370, 0);
        for (int i = 0; i < 5; ++i)
            Make<TfrxShapeView>(Page, u"Shape" + IntToStr(i), 4 + i * 70, 520, 60, 30);
        auto* picture = Make<TfrxPictureView>(Page, u"Picture1", 250, 440, 100, 60);
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(64, 64);
        picture->Picture()->SetGraphic(&bitmap);
    }
    void Run() {
        Report->PreviewPages()->Clear();
        if (!Report->Engine()->Run(true, false, nullptr))
            throw Exception(u"the label page was not prepared");
    }
    void CopyTree() {
        TfrxXMLItem item;
        TfrxXMLSerializer writer;
        writer.WriteRootComponent(Page, true, &item);
        TfrxReportPage copy(nullptr);
        TfrxXMLSerializer reader;
        reader.ReadRootComponent(&copy, &item);
        benchmark::DoNotOptimize(copy.Objects().Count());
    }
    std::unique_ptr<TfrxReport> Report;
    TfrxReportPage* Page;
};

void EngineRun(benchmark::State& state) {
    TLabelReport label;
    for (auto _ : state)
        label.Run();
    state.counters["pages"] = double(label.Report->PreviewPages()->Count());
}
BENCHMARK(EngineRun)->Unit(benchmark::kMicrosecond);

void WriteAndReadTree(benchmark::State& state) {
    TLabelReport label;
    for (auto _ : state)
        label.CopyTree();
}
BENCHMARK(WriteAndReadTree)->Unit(benchmark::kMicrosecond);

void Ratio(benchmark::State& state) {
    TLabelReport label;
    std::chrono::duration<double> runTime{0}, copyTime{0};
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        label.Run();
        auto t1 = std::chrono::steady_clock::now();
        label.CopyTree();
        auto t2 = std::chrono::steady_clock::now();
        runTime += t1 - t0;
        copyTime += t2 - t1;
    }
    state.counters["run_over_tree_copy"] = copyTime.count() > 0 ? runTime.count() / copyTime.count() : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMicrosecond);

} // namespace
