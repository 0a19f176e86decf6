// links: vgl_codes
// One label's Aztec code: building the content text, drawing it into the 600 x 600 picture, and
// reading a content text back.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "codes/dpd_aztec.h"
#include "platform/rtl/sysutils.h"

namespace {

using namespace vgl;

// A domestic parcel with sender and customs blocks, about 450 characters of content.
void FillParcel(TDPDAztec& a) {
    a.ISO_DestZipCode()->SetFieldValue(u"01067");
    a.ISO_DestCountryCode()->SetFieldValue(u"276");
    a.ISO_SOCode()->SetFieldValue(u"101");
    a.ISO_ParcelNumber()->SetFieldValue(u"01905002345615");
    a.ISO_DeclaredWeight()->SetFieldValue(u"3.20KG");
    a.ISO_RecStreet()->SetFieldValue(u"Hauptstra\u00DFe 12");
    a.ISO_RecTown()->SetFieldValue(u"Dresden");
    a.ISO_RecCompName1()->SetFieldValue(u"Muster GmbH");
    a.STD_RecContact()->SetFieldValue(u"Frau M\u00FCller");
    a.STD_RecNotifEMail()->SetFieldValue(u"kunde@example.de");
    a.STD_NotifType()->SetFieldValue(u"E");
    a.SetS01_IsDefined(true);
    a.S01_FormatID()->SetFieldValue(u"S010");
    a.S01_SendCompName()->SetFieldValue(u"Versand & Co. KG");
    a.S01_SendStreet()->SetFieldValue(u"Am Hafen 3");
    a.S01_SendTown()->SetFieldValue(u"Hamburg");
    a.SetS03_IsDefined(true);
    a.S03_FormatID()->SetFieldValue(u"S030");
    a.S03_TotalValue()->SetFieldValue(u"249.90");
    for (int k = 0; k < DPDAztecArticleCount; ++k) {
        const TDPDAztecArticleRec art = a.S03_Articles(k);
        art.Art_Desc->SetFieldValue(u"Ersatzteil Nr. " + IntToStr(k));
        art.Art_Qty->SetFieldValue(u"2");
        art.Art_Value->SetFieldValue(u"99.95");
        art.Art_ComCode->SetFieldValue(u"8708301090");
    }
}

void BM_DPDAztecAsString(benchmark::State& state) {
    TDPDAztec aztec;
    FillParcel(aztec);
    for (auto _ : state)
        benchmark::DoNotOptimize(aztec.AsString());
}
BENCHMARK(BM_DPDAztecAsString);

// Each iteration changes one field, so the symbol is encoded and drawn anew.
void BM_DPDAztecAsImage(benchmark::State& state) {
    TDPDAztec aztec;
    FillParcel(aztec);
    int parcel = 0;
    for (auto _ : state) {
        aztec.ISO_ParcelNumber()->SetFieldValue(IntToStr(1905002345615LL + (parcel++ % 1000)));
        benchmark::DoNotOptimize(&aztec.AsImage());
    }
}
BENCHMARK(BM_DPDAztecAsImage)->Unit(benchmark::kMillisecond);

// The floor for the picture: one memset of the pixel buffer of a 600 x 600 picture of 24 bits.
void BM_PictureMemset(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(std::size_t{600} * 600 * 3);
    int value = 0;
    for (auto _ : state) {
        std::memset(pixels.data(), value++ & 0xFF, pixels.size());
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PictureMemset)->Unit(benchmark::kMillisecond);

// A new object, as the content parser's callers and its fuzz target make one per text.
void BM_DPDAztecConstruct(benchmark::State& state) {
    for (auto _ : state) {
        TDPDAztec aztec;
        benchmark::DoNotOptimize(&aztec);
    }
}
BENCHMARK(BM_DPDAztecConstruct)->Unit(benchmark::kMicrosecond);

void BM_DPDAztecParse(benchmark::State& state) {
    TDPDAztec source;
    FillParcel(source);
    const std::string text = source.AsString();
    TDPDAztec target;
    for (auto _ : state)
        target.SetAsString(text);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DPDAztecParse);

} // namespace
