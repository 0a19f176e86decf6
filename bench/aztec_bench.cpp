// links: vgl_codes
// Time to encode one Aztec symbol for a parcel-label content of 1000 characters (the most the
// label's content may hold), from bytes to the finished module matrix.
#include <benchmark/benchmark.h>

#include <string>

#include "codes/aztec_encoder.h"
#include "tests/codes/carrier_content.h"

namespace {

void BM_EncodeCarrierContent(benchmark::State& state) {
    const std::string content = vgl::test::CarrierContent();
    vgl::TAztecSettings settings;
    settings.AllowEscape = true;
    for (auto _ : state) {
        vgl::TAztecSymbol symbol = vgl::EncodeAztec(content, settings);
        benchmark::DoNotOptimize(symbol.Matrix.data());
    }
    state.SetLabel("side " + std::to_string(vgl::EncodeAztec(content, settings).Side()));
}
BENCHMARK(BM_EncodeCarrierContent)->Unit(benchmark::kMicrosecond);

} // namespace
