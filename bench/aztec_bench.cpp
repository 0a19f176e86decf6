// links: vgl_codes
// Time to encode one Aztec symbol for a parcel-label content of 1000 characters (the most the
// label's content may hold), from bytes to the finished module matrix, beside the peer library
// zint encoding the same bytes (data mode, default error correction, nothing written out) when
// it is installed.
#include <benchmark/benchmark.h>

#include <string>

#include "codes/aztec_encoder.h"
#include "tests/codes/carrier_content.h"

#ifdef VGL_HAVE_ZINT
#include <zint.h>
#endif

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

#ifdef VGL_HAVE_ZINT
// The peer: a fresh symbol per encode, as a caller without reuse would do.
void BM_ZintEncodeCarrierContent(benchmark::State& state) {
    const std::string content = vgl::test::CarrierContent();
    const auto* bytes = reinterpret_cast<const unsigned char*>(content.data());
    const int length = static_cast<int>(content.size());
    int side = 0;
    for (auto _ : state) {
        zint_symbol* symbol = ZBarcode_Create();
        symbol->symbology = BARCODE_AZTEC;
        symbol->input_mode = DATA_MODE;
        if (ZBarcode_Encode(symbol, bytes, length) >= ZINT_ERROR) {
            state.SkipWithError(symbol->errtxt);
            ZBarcode_Delete(symbol);
            break;
        }
        side = symbol->rows;
        benchmark::DoNotOptimize(symbol->encoded_data);
        ZBarcode_Delete(symbol);
    }
    state.SetLabel("side " + std::to_string(side));
}
BENCHMARK(BM_ZintEncodeCarrierContent)->Unit(benchmark::kMicrosecond);
#endif

} // namespace
