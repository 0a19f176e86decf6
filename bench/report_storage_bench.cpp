// links: vgl_report_model
// A label template of 300 objects (memos, shapes and lines on a report page, a data page with a
// listed data set, variables and two styles) saved by the report into memory and loaded back,
// against the XML serializer alone writing the same tree and reading it into a cleared report.
// The report adds its option copies, the data-page check, the data-set repair, the password
// step and its three nested lists. Target: at most 1.1 times the serializer; the Ratio
// benchmark times both alternately in one run and reports the factor.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/data_page.h"
#include "report/model/data_set.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"
#include "tests/report/model/service_doubles.h"

namespace {

using namespace vgl;

struct TSetUp {
    TSetUp() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        Doubles = std::make_unique<test::TServiceDoubles>();
    }
    std::unique_ptr<test::TServiceDoubles> Doubles;
};

void SetUpOnce() {
    static TSetUp setUp;
}

/// The template and a second report that the loads go into.
struct TTemplate {
    TTemplate() {
        SetUpOnce();
        Source = std::make_unique<TfrxReport>();
        Target = std::make_unique<TfrxReport>();
        TfrxReport& r = *Source;
        r.EngineOptions()->SetNewSilentMode(simSilent);
        Target->EngineOptions()->SetNewSilentMode(simSilent);
        auto* data = new TfrxDataPage(&r);
        data->SetParent(&r);
        data->SetName(u"Data");
        auto* ds = new TfrxUserDataSet(&r);
        ds->SetParent(data);
        ds->SetName(u"frxDataSetShortCuts");
        ds->Fields()->Add(u"Shortcut");
        r.DataSets().Add(ds);
        for (const char16_t* name : {u"Header", u"Note"})
            r.Styles()->Add()->SetName(name);
        r.Variables().SetVariable(u"Route", Variant(u"'R1'"));
        r.Variables().SetVariable(u"Count", Variant(3));
        auto* page = new TfrxReportPage(&r);
        page->SetParent(&r);
        page->SetName(u"Page1");
        for (int i = 0; i < 297; ++i) {
            TfrxComponent* view;
            if (i % 3 == 0) {
                auto* memo = new TfrxMemoView(&r);
                memo->SetText(u"Parcel " + IntToStr(i) + u" [ShortCuts.\"Shortcut\"]");
                memo->Font().SetName(u"Arial Narrow");
                view = memo;
            } else if (i % 3 == 1) {
                view = new TfrxShapeView(&r);
            } else {
                view = new TfrxLineView(&r);
            }
            view->SetParent(page);
            view->SetName(u"Object" + IntToStr(i));
            view->SetBounds(i % 40 * 9.44881889, i / 40 * 18.8976378, 37.7953, 15.11812);
        }
    }

    /// The report's save and load.
    std::int64_t ReportRoundTrip() {
        TMemoryStream stream;
        Source->SaveToStream(stream);
        stream.SetPosition(0);
        Target->LoadFromStream(stream);
        return stream.GetSize();
    }

    /// The serializer's own write of the same tree and read into the cleared target.
    std::int64_t SerializerRoundTrip() {
        TMemoryStream stream;
        {
            TfrxXMLSerializer writer(&stream);
            writer.HandleNestedProperties = true;
            writer.SetOwner(Source.get());
            writer.WriteRootComponent(Source.get(), true);
        }
        stream.SetPosition(0);
        Target->Clear();
        TfrxXMLSerializer reader(&stream);
        reader.HandleNestedProperties = true;
        reader.SetOwner(Target.get());
        Target->SetReportSerializer(&reader);
        reader.ReadRootComponent(Target.get());
        Target->SetReportSerializer(nullptr);
        return stream.GetSize();
    }

    std::unique_ptr<TfrxReport> Source, Target;
};

void ReportSaveAndLoad(benchmark::State& state) {
    TTemplate t;
    std::int64_t bytes = 0;
    for (auto _ : state)
        bytes = t.ReportRoundTrip();
    state.counters["bytes"] = double(bytes);
    state.counters["objects"] = double(t.Target->AllObjects().size());
}
BENCHMARK(ReportSaveAndLoad)->Unit(benchmark::kMillisecond);

void SerializerWriteAndRead(benchmark::State& state) {
    TTemplate t;
    std::int64_t bytes = 0;
    for (auto _ : state)
        bytes = t.SerializerRoundTrip();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(SerializerWriteAndRead)->Unit(benchmark::kMillisecond);

void Ratio(benchmark::State& state) {
    TTemplate t;
    std::chrono::duration<double> reportTime{0}, serializerTime{0};
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(t.ReportRoundTrip());
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(t.SerializerRoundTrip());
        auto t2 = std::chrono::steady_clock::now();
        reportTime += t1 - t0;
        serializerTime += t2 - t1;
    }
    state.counters["report_over_serializer"] =
        serializerTime.count() > 0 ? reportTime.count() / serializerTime.count() : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMillisecond);

} // namespace
