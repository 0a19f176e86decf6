#include "service/host/velmora_geo_label_service.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "codes/typed_barcode.h"
#include "labels/dpd_label_print.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "remoting/core/ro_attributes.h"
#include "service/geo_label_mapping.h"
#include "service/global_logging.h"
#include "service/host/server_form.h"

namespace vgl {

namespace {

constexpr std::int64_t CopyBlockSize = std::int64_t(1) << 20;

/// The framework attributes of an operation: service method, the request element named after
/// the operation, and its documentation when it has one.
template <class B> void Operation(B& b, const char16_t* name, const char16_t* documentation = nullptr) {
    AddROAttribute(b, ROServiceMethodAttribute());
    AddROAttribute(b, ROCustomAttribute(u"SOAPInputNameOverride", name));
    if (documentation)
        AddROAttribute(b, RODocumentationAttribute(documentation));
}

void Log(const String& line) {
    if (TGlobalLogging* logging = GlobalLogging())
        logging->Meldung(line);
}

/// The call's log line; then the request, which the server hands over unless the message held
/// none (a nil element).
TGeoLabelData& LogCall(const char16_t* operation, TGeoLabelData* request) {
    Log(String(operation) + u" call for parcel number " + (request ? request->FParcelNumber : String()));
    if (!request)
        throw EROException(String(operation) + u": the request holds no aGeoLabelData");
    return *request;
}

/// A label module for one call, cleared and filled from the request.
std::unique_ptr<TDMDPDLabelPrint> MappedModule(TGeoLabelData& request) {
    auto module = std::make_unique<TDMDPDLabelPrint>(nullptr);
    module->Clear();
    MapGeoLabelData(request, *module);
    return module;
}

std::optional<TPrintTo> PrintTargetOf(TImageType imageType) {
    switch (imageType) {
    case imgBMP:
        return prnBMP;
    case imgJPEG:
        return prnJPEG;
    case imgTIFF:
        return prnTIFF;
    case imgGIF:
        return prnGIF;
    }
    return std::nullopt;
}

void AppendPrinted(TResultArray& results, TResultType type, TDMDPDLabelPrint& module) {
    results.Add(PrintedResult(module, type).release());
}

/// The print operations' steps after mapping: the parcel label, then the additional labels the
/// request asks for, each copied as it is printed.
void PrintLabels(TGeoLabelData& request, TDMDPDLabelPrint& module, TPrintTo printTo, TResultArray& results) {
    module.PrintGeoLabel(printTo);
    AppendPrinted(results, resGeoLabel, module);
    if (request.FHazLQ) {
        // With a barcode given by the caller the label is printed offline: no tracking number.
        AnsiString trackingNumber;
        if (request.FBarcodeString.empty()) {
            TDpdTrackingNumber number;
            number.SetBarcode(StringToAnsi(request.FParcelNumber));
            trackingNumber = number.BarcodeText();
        }
        module.PrintLimitedQtyLabel(AnsiToString(trackingNumber), printTo);
        AppendPrinted(results, resHazlqLabel, module);
    }
    if (request.FPrintSWAPLabel) {
        module.PrintSWAPLabel(printTo);
        AppendPrinted(results, resSWAPLabel, module);
    }
    if (request.FPrintReceiptLabel) {
        module.PrintReceiptLabel(printTo);
        AppendPrinted(results, resReceiptLabel, module);
    }
    if (request.FPrintReturnLabel) {
        module.PrintReturnLabel(printTo);
        AppendPrinted(results, resReturnLabel, module);
    }
}

} // namespace

std::unique_ptr<TResultInfo> PrintedResult(TDMDPDLabelPrint& module, TResultType type) {
    if (!module.StreamPrinted)
        throw Exception(u"The label module printed no document for " +
                        GetEnumName(TypeInfoFor(TypeTag<TResultType>{}), type));
    auto info = std::make_unique<TResultInfo>();
    info->FResultType = type;
    info->FResultBase64 = CopyToResultStream(*module.StreamPrinted);
    return info;
}

std::unique_ptr<TROBinaryMemoryStream> CopyToResultStream(TStream& source) {
    auto result = std::make_unique<TROBinaryMemoryStream>();
    const std::int64_t size = source.GetSize();
    result->SetSize(size);
    result->SetPosition(0);
    source.SetPosition(0);
    std::vector<std::uint8_t> block(std::size_t(std::min(size, CopyBlockSize)));
    for (std::int64_t left = size; left > 0;) {
        const std::int64_t count = std::min(left, CopyBlockSize);
        source.ReadBuffer(block.data(), count);
        result->WriteBuffer(block.data(), count);
        left -= count;
    }
    result->SetPosition(0);
    return result;
}

VGL_DEFINE_CLASS(TVelmoraGeoLabelService) {
    AddROClassAttribute(b, ROServiceAttribute(u"VelmoraGeoLabelService", u"{00000000-0000-0000-0000-000000000000}"));
    b.Method(u"PrintGeoLabelAsPDF", &TVelmoraGeoLabelService::PrintGeoLabelAsPDF, {u"aGeoLabelData"});
    Operation(b, u"PrintGeoLabelAsPDF", u"Attention: PDFExport in DudeZirare 6.2.1 is incorrect");
    b.Method(u"PrintGeoLabelAsImage", &TVelmoraGeoLabelService::PrintGeoLabelAsImage,
             {u"aImageType", u"aGeoLabelData"});
    Operation(b, u"PrintGeoLabelAsImage");
    b.Method(u"GetAztecAsImage", &TVelmoraGeoLabelService::GetAztecAsImage, {u"aImageType", u"aGeoLabelData"});
    Operation(b, u"GetAztecAsImage");
    b.Method(u"GetAztecAsString", &TVelmoraGeoLabelService::GetAztecAsString, {u"aGeoLabelData"});
    Operation(b, u"GetAztecAsString", u"Result is a Base64 string with codepage 28591 = ISO-8859-1");
    b.Method(u"CloseApplication", &TVelmoraGeoLabelService::CloseApplication);
    Operation(b, u"CloseApplication");
}

TResultArray* TVelmoraGeoLabelService::PrintGeoLabelAsPDF(TGeoLabelData* const& aGeoLabelData) {
    TGeoLabelData& request = LogCall(u"PrintGeoLabelAsPDF", aGeoLabelData);
    auto results = std::make_unique<TResultArray>();
    auto module = MappedModule(request);
    PrintLabels(request, *module, prnPDF, *results);
    return results.release();
}

TResultArray* TVelmoraGeoLabelService::PrintGeoLabelAsImage(TImageType aImageType,
                                                            TGeoLabelData* const& aGeoLabelData) {
    TGeoLabelData& request = LogCall(u"PrintGeoLabelAsImage", aGeoLabelData);
    auto results = std::make_unique<TResultArray>();
    auto module = MappedModule(request);
    if (const std::optional<TPrintTo> printTo = PrintTargetOf(aImageType))
        PrintLabels(request, *module, *printTo, *results);
    return results.release();
}

TROBinaryMemoryStream* TVelmoraGeoLabelService::GetAztecAsImage(TImageType /*aImageType*/,
                                                                TGeoLabelData* const& aGeoLabelData) {
    TGeoLabelData& request = LogCall(u"GetAztecAsImage", aGeoLabelData);
    auto module = MappedModule(request);
    // The picture holds a bitmap, so its file form is a BMP file whatever was asked for.
    TMemoryStream picture;
    module->Aztec.AsImage().Picture().SaveToStream(picture);
    return CopyToResultStream(picture).release();
}

TROBinaryMemoryStream* TVelmoraGeoLabelService::GetAztecAsString(TGeoLabelData* const& aGeoLabelData) {
    TGeoLabelData& request = LogCall(u"GetAztecAsString", aGeoLabelData);
    auto result = std::make_unique<TROBinaryMemoryStream>();
    auto module = MappedModule(request);
    // The content's own bytes (ISO-8859-1, as the operation documents), not a round trip through
    // Windows-1252, which has no characters for 0x80-0x9F.
    result->LoadFromString(AnsiString(module->Aztec.AsString()));
    return result.release();
}

void TVelmoraGeoLabelService::CloseApplication() {
    Log(u"CloseApplication call");
    RequestCloseApplication();
}

void InitializeGeoLabelService() {
    RegisterServiceClass(&TVelmoraGeoLabelService::StaticClassInfo());
}

} // namespace vgl
