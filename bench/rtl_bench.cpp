// links: vgl_platform_rtl
// Cost per call of the runtime routines on every request's path: Format with typical
// specifiers, number texts both ways, Round, and UTF-8 <-> UTF-16 conversion of a short and a
// 10 KB text.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/rtl/format.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/ustring.h"

namespace {

using namespace vgl;

void BM_FormatStrings(benchmark::State& state) {
    const String location = u"http://localhost:8080/soap";
    for (auto _ : state)
        benchmark::DoNotOptimize(Format(u"%s?xsd=%s", {location, u"LabelService"}));
}
BENCHMARK(BM_FormatStrings);

void BM_FormatIntegers(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Format(u"%d/%.3d %5d %x", {12, 7, 42, 0xBEEF}));
}
BENCHMARK(BM_FormatIntegers);

void BM_FormatFloats(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Format(u"%.2f KG %n %g", {12.345, 1234567.891, 0.1}));
}
BENCHMARK(BM_FormatFloats);

void BM_FormatFloatPicture(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatFloat(u"#0.00", 12.345));
}
BENCHMARK(BM_FormatFloatPicture);

void BM_FloatToStr(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(FloatToStr(1.0 / 3));
}
BENCHMARK(BM_FloatToStr);

// Coordinates as the exports compute them: long double arithmetic, mostly not exact doubles.
std::vector<long double> Coordinates() {
    std::vector<long double> v;
    for (int i = 0; i < 256; ++i)
        v.push_back(i * 0.75L * 72 / 25.4L + 12.5L);
    return v;
}

void BM_FloatToStrFFixed(benchmark::State& state) {
    const auto values = Coordinates();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FloatToStrF(values[i++ & 255], ffFixed, 18, 2));
}
BENCHMARK(BM_FloatToStrFFixed);

void BM_FloatToStrCoordinate(benchmark::State& state) {
    const auto values = Coordinates();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FloatToStr(values[i++ & 255]));
}
BENCHMARK(BM_FloatToStrCoordinate);

void BM_StrToFloat(benchmark::State& state) {
    std::vector<String> texts;
    for (long double v : Coordinates())
        texts.push_back(FloatToStr(v));
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(StrToFloat(texts[i++ & 255]));
}
BENCHMARK(BM_StrToFloat);

void BM_Round(benchmark::State& state) {
    const auto values = Coordinates();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(Round(values[i++ & 255]));
}
BENCHMARK(BM_Round);

// Mixed text: ASCII with some Latin-1, Cyrillic and an emoji, repeated to the wanted length.
std::string SampleUtf8(size_t bytes) {
    const std::string piece = "Paketnummer 0123456789 Stra\xC3\x9F"
                              "e \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 "
                              "\xF0\x9F\x93\xA6 ";
    std::string text;
    while (text.size() + piece.size() <= bytes)
        text += piece;
    while (text.size() < bytes)
        text += 'x';
    return text;
}

void BM_Utf8ToString(benchmark::State& state) {
    const std::string text = SampleUtf8(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf8ToString(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Utf8ToString)->Arg(100)->Arg(10240);

void BM_StringToUtf8(benchmark::State& state) {
    const String text = Utf8ToString(SampleUtf8(static_cast<size_t>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(StringToUtf8(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_StringToUtf8)->Arg(100)->Arg(10240);

} // namespace
