// links: vgl_script_bindings
// Registering the built-in module (AddRTTI) on a fresh script, against the floor of entering the
// same number of ready-made items in a fresh script's index. The ratio of the two is the figure.
// The same pair then runs with every binding module in the module list (runtime classes,
// graphics, forms, report classes, dialogs, ini files, barcode view); those two run after the
// first pair, which measures the built-in module alone. The target: AddRTTIAllModules at most
// five times IndexFloorAllModules.
//
// A fresh script makes its modules when its items are first used; the Count after AddRTTI is that
// use, so the AddRTTI figures are the whole registration. BM_ReportAllModules makes and frees a
// report, whose script gets AddRTTI and is not used: what a report template costs that is loaded
// but never run.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "report/foundation/initialization.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "script/bindings/bindings.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"

namespace {

using namespace vgl;

void BM_AddRTTI(benchmark::State& state) {
    for (auto _ : state) {
        TfsScript script(nullptr);
        script.AddRTTI();
        benchmark::DoNotOptimize(script.Count()); // the first use: the modules are made here
    }
}
BENCHMARK(BM_AddRTTI);

void IndexFloor(benchmark::State& state) {
    // The names and items AddRTTI enters, made once outside the measurement.
    TfsScript model(nullptr);
    model.AddRTTI();
    std::vector<String> names;
    std::vector<std::unique_ptr<TfsVariable>> items;
    for (int i = 0; i < model.Count(); ++i) {
        names.push_back(model.GetItemName(i));
        items.push_back(std::make_unique<TfsVariable>(names.back(), fvtInt, u"Integer"));
    }
    // Entered in the registration's order (the index sorts them), not the sorted order.
    for (auto _ : state) {
        TfsScript script(nullptr);
        for (size_t i = items.size(); i-- > 0;)
            script.AddReference(names[i], items[i].get());
        benchmark::DoNotOptimize(script.Count());
    }
    state.counters["items"] = double(items.size());
}
void BM_IndexFloor(benchmark::State& state) {
    IndexFloor(state);
}
BENCHMARK(BM_IndexFloor);

// Start-up as the service does it, once, with the binding modules last.
void StartWithBindings() {
    static const bool done = (InitializeReportFoundation(), InitializeScriptEngine(), InitializeReportModel(),
                              InitializeScriptBindings(), true);
    (void)done;
}

void BM_AddRTTIAllModules(benchmark::State& state) {
    StartWithBindings();
    BM_AddRTTI(state);
}
BENCHMARK(BM_AddRTTIAllModules);

void BM_IndexFloorAllModules(benchmark::State& state) {
    StartWithBindings();
    IndexFloor(state);
}
BENCHMARK(BM_IndexFloorAllModules);

void BM_ReportAllModules(benchmark::State& state) {
    StartWithBindings();
    for (auto _ : state) {
        TfrxReport report(nullptr);
        benchmark::DoNotOptimize(&report);
    }
}
BENCHMARK(BM_ReportAllModules);

} // namespace
