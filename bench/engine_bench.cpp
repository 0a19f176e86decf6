// links: vgl_report_model
// The layout engine's Run on a label-sized page (100 × 150 mm) with 40 views lying directly on
// it (memos, lines, shapes, a picture), into a fresh store each time; against one
// WriteRootComponent and one ReadRootComponent of the same page tree into and from an XML item,
// the copy and the writing a store cannot avoid. Target: Run at most 3 times the pair; the Ratio
// benchmark times both alternately in one run and reports the factor of their medians.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

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

// Both are timed alternately in every iteration, in the thread's CPU time; the factor is the
// ratio of their medians, so that iterations disturbed by other work on the machine do not
// decide it.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void Ratio(benchmark::State& state) {
    TLabelReport label;
    std::vector<double> runTimes, copyTimes;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        label.Run();
        const double t1 = ThreadSeconds();
        label.CopyTree();
        const double t2 = ThreadSeconds();
        runTimes.push_back(t1 - t0);
        copyTimes.push_back(t2 - t1);
    }
    const auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    if (!runTimes.empty()) {
        const double copy = median(copyTimes);
        state.counters["run_over_tree_copy"] = copy > 0 ? median(runTimes) / copy : 0.0;
    }
}
BENCHMARK(Ratio)->Unit(benchmark::kMicrosecond);

} // namespace
