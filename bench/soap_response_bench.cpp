// links: vgl_service_types vgl_remoting_server crypto ZLIB::ZLIB
// The SOAP answer of a label operation as the server writes it: a message configured as the
// service's (document/literal, untyped), the response started, a result list holding one
// document of 580 KB (the size of a label PDF; its bytes compressed data, so random here) written
// through the XML serializer, the message finished and saved into the response stream. The floor
// is a plain base64 encode of the same bytes (OpenSSL's EVP_EncodeBlock). The Ratio benchmark
// times both alternately in one run and compares their medians (target: the whole answer at most
// a few times the encode).
//
// AnswerGzip and AnswerZlib show what an answer costs a client that accepts gzip: the server's
// gzip member of the answer against zlib's compress2 at the same level, on the same bytes.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "remoting/core/initialization.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/server/ro_server.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_stream_codecs.h"
#include "service/geo_label_types.h"

namespace {

using namespace vgl;

constexpr std::size_t kDocumentBytes = 580 * 1024;

void Start() {
    static const bool started = [] {
        InitializeRemotingCore();
        InitializeRemotingServer();
        InitializeServiceTypes();
        return true;
    }();
    (void)started;
}

const std::vector<std::uint8_t>& Document() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::mt19937 random(53);
        std::vector<std::uint8_t> b(kDocumentBytes);
        for (auto& x : b)
            x = std::uint8_t(random());
        return b;
    }();
    return bytes;
}

/// The operation's result: one label document.
std::unique_ptr<TResultArray> Results() {
    auto results = std::make_unique<TResultArray>();
    auto info = std::make_unique<TResultInfo>();
    info->FResultBase64 = std::make_unique<TROBinaryMemoryStream>();
    info->FResultBase64->WriteBuffer(Document());
    results->Add(info.release());
    return results;
}

/// Writes the answer into `response`; returns its size.
std::int64_t WriteAnswer(TResultArray& results, TROBinaryMemoryStream& response) {
    TROSOAPMessage message(nullptr);
    message.SetSerializationOptions(
        TROXMLSerializationOptions{xsoSendUntyped, xsoStrictStructureFieldOrder, xsoDocument, xsoSplitServiceWsdls});
    message.InitializeResponseMessage(nullptr, u"VelmoraGeoLabelServiceLib", u"VelmoraGeoLabelService",
                                      u"PrintGeoLabelAsPDFResponse");
    TROValue value;
    value.Object = &results;
    RttiWriteParameter(message, u"Result", TResultArray::StaticClassInfo().Type(), value);
    message.Finalize();
    response.SetSize(0);
    message.WriteToStream(response);
    return response.GetSize();
}

std::size_t EncodeFloor(std::vector<unsigned char>& out) {
    const auto& bytes = Document();
    out.resize((bytes.size() + 2) / 3 * 4 + 1);
    return std::size_t(EVP_EncodeBlock(out.data(), bytes.data(), int(bytes.size())));
}

void SoapResponseWrite(benchmark::State& state) {
    Start();
    auto results = Results();
    TROBinaryMemoryStream response;
    std::int64_t size = 0;
    for (auto _ : state)
        size = WriteAnswer(*results, response);
    state.counters["answer_bytes"] = double(size);
}
BENCHMARK(SoapResponseWrite)->Unit(benchmark::kMillisecond);

void Base64Floor(benchmark::State& state) {
    std::vector<unsigned char> out;
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeFloor(out));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Document().size()));
}
BENCHMARK(Base64Floor)->Unit(benchmark::kMillisecond);

void AnswerGzip(benchmark::State& state) {
    Start();
    auto results = Results();
    TROBinaryMemoryStream answer;
    WriteAnswer(*results, answer);
    std::int64_t size = 0;
    for (auto _ : state) {
        TROBinaryMemoryStream packed;
        GzipCompressStream(answer, packed);
        size = packed.GetSize();
    }
    state.counters["answer_bytes"] = double(answer.GetSize());
    state.counters["gzip_bytes"] = double(size);
}
BENCHMARK(AnswerGzip)->Unit(benchmark::kMillisecond);

void AnswerZlib(benchmark::State& state) {
    Start();
    auto results = Results();
    TROBinaryMemoryStream answer;
    WriteAnswer(*results, answer);
    std::vector<Bytef> out(compressBound(uLong(answer.GetSize())));
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        compress2(out.data(), &size, answer.Memory(), uLong(answer.GetSize()), Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(size);
    }
}
BENCHMARK(AnswerZlib)->Unit(benchmark::kMillisecond);

using bench::Median;
using bench::NowMs;

void Ratio(benchmark::State& state) {
    Start();
    auto results = Results();
    TROBinaryMemoryStream response;
    std::vector<unsigned char> out;
    std::vector<double> answerMs, encodeMs;
    for (auto _ : state) {
        const double t0 = NowMs();
        benchmark::DoNotOptimize(WriteAnswer(*results, response));
        const double t1 = NowMs();
        benchmark::DoNotOptimize(EncodeFloor(out));
        const double t2 = NowMs();
        answerMs.push_back(t1 - t0);
        encodeMs.push_back(t2 - t1);
    }
    const double answer = Median(answerMs), encode = Median(encodeMs);
    state.counters["answer_ms"] = answer;
    state.counters["base64_ms"] = encode;
    state.counters["answer_over_base64"] = encode > 0 ? answer / encode : 0.0;
}
BENCHMARK(Ratio)->Unit(benchmark::kMillisecond)->MinTime(1);

} // namespace
