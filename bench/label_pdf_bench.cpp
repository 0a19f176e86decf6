// links: vgl_labels vgl_report_export vgl_report_model vgl_script_bindings vgl_service_types JPEG::JPEG
// One parcel label to PDF as the service makes it: the label module created, filled with a
// realistic parcel, printed by PrintGeoLabel(prnPDF) and freed, per iteration. The floor is the
// raster path alone: libjpeg encoding that label's images (the Aztec symbol of about 1800 x 1800,
// the routing barcode, the logo) at their raster sizes and colour spaces, quality 100 as the
// module's PDF export uses, from 32-bit rows. The pixels come from the images of a label printed
// in the set-up, so both sides encode the same pictures. Target: the label at most 1.25 times the
// encodes. The libraries start as the service starts them, the script bindings among them, so
// every report of the module registers the same script classes as in the service.
//
// ServiceFixtureToPdf is the same road for the request bench/service_load.sh posts: the service
// tests' fixture record mapped onto a new module as the service maps it, printed and freed; the
// service's time per label at one connection is held against it.
//
// The Ratio benchmark times both alternately in one run, in wall time, and compares their means
// (the medians are reported beside them). Alternating matters: between two labels the encodes
// free their buffers and the allocator hands memory back to the system, so a label that churns
// through many megabytes pays for faulting them in again, which a run of labels alone hides; and
// the mean keeps those slow iterations, which a median would drop (a label that saved and
// reloaded its whole template around the engine run took 45 ms alone, and alternated a median of
// 47 ms but a mean of 107 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bench/bench_timing.h"
#include "labels/dpd_label_print.h"
#include "labels/fonts_module.h"
#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/foundation/initialization.h"
#include "report/model/report_model_init.h"
#include "script/bindings/bindings.h"
#include "script/engine/initialization.h"
#include "service/geo_label_mapping.h"
#include "service/geo_label_types.h"
#include "tests/service/geo_label_fixture.h"

namespace {

using namespace vgl;

void Start() {
    static const std::unique_ptr<TDMFonts> fonts = [] {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeScriptBindings();
        InitializeReportModel();
        InitializeReportExport();
        InitializeServiceTypes();
        return std::make_unique<TDMFonts>(nullptr);
    }();
}

/// The service's flags and a parcel with sender, recipient, routing and Aztec fields.
void Fill(TDMDPDLabelPrint& m) {
    m.Clear();
    m.IsDestExport = true;
    m.Bic3BarcodeTxt = "%007500101234567890123101250";
    TDMDPDLabelPrint::SetText(m.txtHeader, u"CLASSIC");
    TDMDPDLabelPrint::SetText(m.txtDestAddress, u"Marie Lef\u00E8vre\r\nAtelier C\u00F4t\u00E9 Jardin\r\n12 Rue de la "
                                                u"Paix\r\nFR-75001 Paris");
    TDMDPDLabelPrint::SetText(m.txtDestContact, u"Mme Lef\u00E8vre");
    TDMDPDLabelPrint::SetText(m.txtDestPhone, u"+33 1 42 60 00 00");
    TDMDPDLabelPrint::SetText(m.txtDestInfo, u"Porte 4521");
    TDMDPDLabelPrint::SetText(m.txtDestMPSID, u"MPS 01234567890123");
    TDMDPDLabelPrint::SetText(m.txtSenderAccount, u"Acc. 4711/0815");
    TDMDPDLabelPrint::SetText(m.txtSenderAddress,
                              u"Muster Versand GmbH\r\nHauptstra\u00DFe 5\r\nDE-63741 Aschaffenburg");
    TDMDPDLabelPrint::SetText(m.txtSenderPhone, u"+49 6021 12345");
    TDMDPDLabelPrint::SetText(m.txtBUAddress, u"Depot Aschaffenburg");
    TDMDPDLabelPrint::SetText(m.txtBUTel, u"+49 6021 9900");
    TDMDPDLabelPrint::SetText(m.txtBUDepot, u"0163");
    TDMDPDLabelPrint::SetText(m.txtPackages, u"1/1");
    TDMDPDLabelPrint::SetText(m.txtWeight, u"2,50 kg");
    TDMDPDLabelPrint::SetText(m.txtOptProductText, u"Parcel");
    TDMDPDLabelPrint::SetText(m.txtOptParcelRef1, u"Order 55-1234");
    TDMDPDLabelPrint::SetText(m.txtOptCODAmount, u"49,90 EUR");
    TDMDPDLabelPrint::SetText(m.txtOptCODPurpose, u"Invoice 2026-117");
    TDMDPDLabelPrint::SetText(m.txtRoutServiceText, u"CLASSIC");
    TDMDPDLabelPrint::SetText(m.txtRoutServiceMarker, u"D");
    TDMDPDLabelPrint::SetText(m.txtRoutdDepotCountry, u"FR");
    TDMDPDLabelPrint::SetText(m.txtRoutbuAlphaStr, u"-");
    TDMDPDLabelPrint::SetText(m.txtRoutdDepotStr, u"0754");
    TDMDPDLabelPrint::SetText(m.txtRoutSSort, u"A12");
    TDMDPDLabelPrint::SetText(m.txtRoutOSort, u"R5");
    TDMDPDLabelPrint::SetText(m.txtRoutDSort, u"D31");
    TDMDPDLabelPrint::SetText(m.txtRoutServiceCodeAndDest, u"101-FR-75001");
    TDMDPDLabelPrint::SetText(m.txtRoutOriginVersion, u"DE-0163-20261210");
    TDPDAztec& a = m.Aztec;
    a.ISO_DestZipCode()->SetFieldValue(u"75001");
    a.ISO_DestCountryCode()->SetFieldValue(u"250");
    a.ISO_SOCode()->SetFieldValue(u"101");
    a.ISO_CustAccNumber()->SetFieldValue(u"4711");
    a.ISO_DeclaredWeight()->SetFieldValue(u"250");
    a.ISO_RecStreet()->SetFieldValue(u"12 Rue de la Paix");
    a.ISO_RecTown()->SetFieldValue(u"Paris");
    a.ISO_RecCompName1()->SetFieldValue(u"Marie Lef\u00E8vre");
    a.STD_RecContact()->SetFieldValue(u"Mme Lef\u00E8vre");
    a.STD_RecContactPho1()->SetFieldValue(u"+33142600000");
}

/// One label: create, fill, print, free. The document's size.
std::size_t PrintOne(std::vector<std::uint8_t>* document = nullptr) {
    TDMDPDLabelPrint module;
    Fill(module);
    if (!module.PrintGeoLabel(prnPDF))
        return 0;
    auto* stream = dynamic_cast<TMemoryStream*>(module.StreamPrinted.get());
    if (!stream)
        return 0;
    if (document)
        document->assign(stream->Bytes().begin(), stream->Bytes().end());
    return stream->Bytes().size();
}

/// An image of the document, decoded to the 32-bit rows the export encodes from.
struct TRaster {
    int Width = 0, Height = 0;
    bool Grey = false;
    std::vector<std::uint8_t> Pixels;
};

/// Every JPEG image stream of the document (the streams whose dictionary names DCTDecode).
std::vector<TRaster> Rasters(const std::vector<std::uint8_t>& document) {
    const std::string doc(document.begin(), document.end());
    std::vector<TRaster> rasters;
    for (std::size_t pos = doc.find("/DCTDecode"); pos != std::string::npos; pos = doc.find("/DCTDecode", pos + 1)) {
        std::size_t start = doc.find("stream", pos);
        if (start == std::string::npos)
            break;
        start += 6;
        while (start < doc.size() && (doc[start] == '\r' || doc[start] == '\n'))
            ++start;
        const std::size_t end = doc.find("endstream", start);
        if (end == std::string::npos)
            break;
        jpeg_decompress_struct info;
        jpeg_error_mgr err;
        info.err = jpeg_std_error(&err);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(doc.data() + start), end - start);
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
            jpeg_destroy_decompress(&info);
            continue;
        }
        TRaster raster;
        raster.Grey = info.num_components == 1;
        info.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&info);
        raster.Width = int(info.output_width);
        raster.Height = int(info.output_height);
        raster.Pixels.resize(std::size_t(raster.Width) * std::size_t(raster.Height) * 4);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = raster.Pixels.data() + std::size_t(info.output_scanline) * std::size_t(raster.Width) * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        rasters.push_back(std::move(raster));
    }
    return rasters;
}

/// libjpeg alone: quality 100 from BGRX rows, colour or grey. The encoded size.
std::size_t Encode(const TRaster& r) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(r.Width);
    info.image_height = JDIMENSION(r.Height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    if (r.Grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(r.Pixels.data()) + std::size_t(info.next_scanline) * r.Width * 4;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return size;
}

std::size_t EncodeAll(const std::vector<TRaster>& rasters) {
    std::size_t bytes = 0;
    for (const TRaster& r : rasters)
        bytes += Encode(r);
    return bytes;
}

/// The floor's images, from a label printed once.
const std::vector<TRaster>& LabelRasters() {
    static const std::vector<TRaster> rasters = [] {
        std::vector<std::uint8_t> document;
        PrintOne(&document);
        return Rasters(document);
    }();
    return rasters;
}

void LabelToPdf(benchmark::State& state) {
    Start();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = PrintOne();
    if (bytes == 0)
        state.SkipWithError("no document");
    state.counters["pdf_bytes"] = double(bytes);
}
BENCHMARK(LabelToPdf)->Unit(benchmark::kMillisecond);

/// The service's PrintGeoLabelAsPDF without the wire: the fixture request mapped onto a new
/// module, the parcel label printed to PDF, the module freed. The document's size.
std::size_t PrintServiceFixture() {
    const std::unique_ptr<TGeoLabelData> request = test::FixtureRequest();
    TDMDPDLabelPrint module;
    module.Clear();
    MapGeoLabelData(*request, module);
    if (!module.PrintGeoLabel(prnPDF))
        return 0;
    auto* stream = dynamic_cast<TMemoryStream*>(module.StreamPrinted.get());
    return stream ? stream->Bytes().size() : 0;
}

void ServiceFixtureToPdf(benchmark::State& state) {
    Start();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = PrintServiceFixture();
    if (bytes == 0)
        state.SkipWithError("no document");
    state.counters["pdf_bytes"] = double(bytes);
}
BENCHMARK(ServiceFixtureToPdf)->Unit(benchmark::kMillisecond);

void LabelJpegEncodes(benchmark::State& state) {
    Start();
    const std::vector<TRaster>& rasters = LabelRasters();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = EncodeAll(rasters);
    state.counters["images"] = double(rasters.size());
    state.counters["jpeg_bytes"] = double(bytes);
    if (!rasters.empty()) {
        state.counters["first_width"] = rasters[0].Width;
        state.counters["first_height"] = rasters[0].Height;
    }
}
BENCHMARK(LabelJpegEncodes)->Unit(benchmark::kMillisecond);

using bench::Median;
using bench::NowMs;

void Ratio(benchmark::State& state) {
    Start();
    const std::vector<TRaster>& rasters = LabelRasters();
    if (rasters.empty()) {
        state.SkipWithError("the label has no JPEG images");
        return;
    }
    std::vector<double> labelMs, encodeMs;
    for (auto _ : state) {
        const double t0 = NowMs();
        benchmark::DoNotOptimize(PrintOne());
        const double t1 = NowMs();
        benchmark::DoNotOptimize(EncodeAll(rasters));
        const double t2 = NowMs();
        labelMs.push_back(t1 - t0);
        encodeMs.push_back(t2 - t1);
    }
    const auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        return v.empty() ? 0.0 : sum / double(v.size());
    };
    const double label = mean(labelMs), encodes = mean(encodeMs);
    state.counters["label_ms"] = label;
    state.counters["encodes_ms"] = encodes;
    state.counters["label_over_encodes"] = encodes > 0 ? label / encodes : 0.0;
    state.counters["label_median_ms"] = Median(labelMs);
    state.counters["encodes_median_ms"] = Median(encodeMs);
}
BENCHMARK(Ratio)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace
