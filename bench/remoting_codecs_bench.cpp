// The remoting server's codecs on 1 MB of mixed text and random bytes, each beside its floor in
// the same run: GzipCompressStream against zlib's compress2 at the same level, and
// Base64EncodeStream against OpenSSL's EVP_EncodeBlock. The ratios are the figures to watch
// (targets: at most 1.1 for gzip, at most 2 for base64).
// links: vgl_remoting_server ZLIB::ZLIB crypto
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/server/ro_stream_codecs.h"

using namespace vgl;

namespace {

const std::vector<std::uint8_t>& MixedData() {
    static const std::vector<std::uint8_t> data = [] {
        std::mt19937 rng(11);
        std::vector<std::uint8_t> d;
        const std::string text = "<Label><Route>0815</Route><Depot>42</Depot><Note>handle with care</Note></Label>\n";
        while (d.size() < (1u << 20)) {
            for (char c : text)
                d.push_back(std::uint8_t(c));
            for (int i = 0; i < 48; ++i)
                d.push_back(std::uint8_t(rng()));
        }
        d.resize(1u << 20);
        return d;
    }();
    return data;
}

void BM_GzipCompressStream(benchmark::State& state) {
    TROBinaryMemoryStream input;
    input.WriteBuffer(MixedData());
    for (auto _ : state) {
        TROBinaryMemoryStream output;
        GzipCompressStream(input, output);
        benchmark::DoNotOptimize(output.GetSize());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(MixedData().size()));
}
BENCHMARK(BM_GzipCompressStream)->Unit(benchmark::kMillisecond);

void BM_ZlibCompress2(benchmark::State& state) {
    const auto& data = MixedData();
    for (auto _ : state) {
        uLongf size = compressBound(uLong(data.size()));
        std::vector<Bytef> out(size);
        compress2(out.data(), &size, data.data(), uLong(data.size()), Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_ZlibCompress2)->Unit(benchmark::kMillisecond);

void BM_Base64EncodeStream(benchmark::State& state) {
    TROBinaryMemoryStream input;
    input.WriteBuffer(MixedData());
    // The output stream is kept across iterations, as the floor's output buffer is allocated
    // once: the figure is the encoder's, not the growth of a fresh memory stream.
    TROBinaryMemoryStream output;
    for (auto _ : state) {
        input.SetPosition(0);
        output.SetPosition(0);
        Base64EncodeStream(input, output, true);
        benchmark::DoNotOptimize(output.GetSize());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(MixedData().size()));
}
BENCHMARK(BM_Base64EncodeStream)->Unit(benchmark::kMillisecond);

// The same with a new output stream each time, growing from empty.
void BM_Base64EncodeStreamFreshOutput(benchmark::State& state) {
    TROBinaryMemoryStream input;
    input.WriteBuffer(MixedData());
    for (auto _ : state) {
        input.SetPosition(0);
        TROBinaryMemoryStream output;
        Base64EncodeStream(input, output, true);
        benchmark::DoNotOptimize(output.GetSize());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(MixedData().size()));
}
BENCHMARK(BM_Base64EncodeStreamFreshOutput)->Unit(benchmark::kMillisecond);

void BM_EvpEncodeBlock(benchmark::State& state) {
    const auto& data = MixedData();
    std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
    for (auto _ : state) {
        int n = EVP_EncodeBlock(out.data(), data.data(), int(data.size()));
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_EvpEncodeBlock)->Unit(benchmark::kMillisecond);

} // namespace
