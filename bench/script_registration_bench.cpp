// links: vgl_script_engine
// Registering the built-in module (AddRTTI) on a fresh script, against the floor of entering the
// same number of ready-made items in a fresh script's index. The ratio of the two is the figure.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "script/engine/script.h"

namespace {

using namespace vgl;

void BM_AddRTTI(benchmark::State& state) {
    for (auto _ : state) {
        TfsScript script(nullptr);
        script.AddRTTI();
        benchmark::DoNotOptimize(script.Count());
    }
}
BENCHMARK(BM_AddRTTI);

void BM_IndexFloor(benchmark::State& state) {
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
BENCHMARK(BM_IndexFloor);

} // namespace
