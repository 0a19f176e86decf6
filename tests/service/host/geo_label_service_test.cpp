// The label service's operations called in-process: the class as the remoting server sees it,
// the Aztec content's own bytes, an unknown image type, copying documents in blocks, and a print
// that leaves no document.

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "codes/dpd_aztec.h"
#include "labels/dpd_label_print.h"
#include "platform/rtl/exceptions.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/server/ro_rtti_server.h"
#include "service/geo_label_mapping.h"
#include "service/host/velmora_geo_label_service.h"

namespace vgl {
namespace {

std::unique_ptr<TGeoLabelData> Request() {
    auto r = std::make_unique<TGeoLabelData>();
    r->FParcelNumber = u"01234567890123";
    r->FServiceCode = u"101";
    r->FRName1 = u"Caf\u00E9 \u0085 \u009F \u20AC";
    r->FRZipCode = u"75001";
    r->FRTown = u"Paris";
    r->FRoutBarcodeId = u"%";
    r->FRoutBarcodePostcode = u"0075001";
    r->FRoutNetworkcode = u"250";
    return r;
}

TEST(GeoLabelService, ClassAsTheServerSeesIt) {
    TRTTIServiceEntry entry;
    ASSERT_TRUE(RTTIServerCache().FindService(u"VelmoraGeoLabelService", entry));
    TClass cls = &TVelmoraGeoLabelService::StaticClassInfo();
    EXPECT_EQ(entry.ServiceClass, cls);
    const std::optional<ROServiceAttribute> service = ROServiceAttribute::From(*FindServiceAttribute(cls));
    ASSERT_TRUE(service);
    EXPECT_EQ(service->Name(), u"VelmoraGeoLabelService");
    EXPECT_EQ(service->ID(), TGUID{});
    EXPECT_EQ(RODLLibraryName(), u"VelmoraGeoLabelServiceLib");

    struct Operation {
        const char16_t* name;
        std::vector<std::pair<String, String>> params; // name, type
        const char16_t* result;                        // none for a procedure
        const char16_t* documentation;
    };
    const Operation operations[] = {
        {u"PrintGeoLabelAsPDF",
         {{u"aGeoLabelData", u"TGeoLabelData"}},
         u"TResultArray",
         u"Attention: PDFExport in DudeZirare 6.2.1 is incorrect"},
        {u"PrintGeoLabelAsImage",
         {{u"aImageType", u"TImageType"}, {u"aGeoLabelData", u"TGeoLabelData"}},
         u"TResultArray",
         nullptr},
        {u"GetAztecAsImage",
         {{u"aImageType", u"TImageType"}, {u"aGeoLabelData", u"TGeoLabelData"}},
         u"TROBinaryMemoryStream",
         nullptr},
        {u"GetAztecAsString",
         {{u"aGeoLabelData", u"TGeoLabelData"}},
         u"TROBinaryMemoryStream",
         u"Result is a Base64 string with codepage 28591 = ISO-8859-1"},
        {u"CloseApplication", {}, nullptr, nullptr},
    };
    const std::vector<const MethodInfo*> methods = GetServiceMethods(cls, true);
    ASSERT_EQ(methods.size(), std::size(operations));
    for (size_t i = 0; i < methods.size(); ++i) {
        const Operation& expected = operations[i];
        const MethodInfo& m = *methods[i];
        SCOPED_TRACE(StringToUtf8(expected.name));
        EXPECT_EQ(m.Name, expected.name);
        ASSERT_EQ(m.Params.size(), expected.params.size());
        for (size_t p = 0; p < m.Params.size(); ++p) {
            EXPECT_EQ(m.Params[p].Name, expected.params[p].first);
            EXPECT_EQ(m.Params[p].ParamType->Name, expected.params[p].second);
            // The record is a const parameter; the image type goes by value.
            EXPECT_EQ(m.Params[p].Flags, expected.params[p].first == u"aGeoLabelData" ? unsigned(pfConst) : 0u);
        }
        EXPECT_EQ(m.ResultType ? m.ResultType->Name : String(), expected.result ? expected.result : u"");
        // Service method with an empty name, then the request element named after the operation,
        // then the documentation where there is one.
        ASSERT_GE(m.Attributes.size(), 2u);
        EXPECT_EQ(m.Attributes[0].Kind, u"ROServiceMethodAttribute");
        EXPECT_EQ(m.Attributes[0].Name, u"");
        EXPECT_EQ(m.Attributes[1].Kind, u"ROCustomAttribute");
        EXPECT_EQ(m.Attributes[1].Name, u"SOAPInputNameOverride");
        EXPECT_EQ(m.Attributes[1].Value, expected.name);
        const AttributeInfo* doc = FindROAttribute(m.Attributes, u"RODocumentationAttribute");
        EXPECT_EQ(doc ? doc->Name : String(u"<none>"), expected.documentation ? expected.documentation : u"<none>");
        std::vector<String> roles;
        EXPECT_EQ(RTTIServerCache().FindROServiceMethod(u"VelmoraGeoLabelService", expected.name, roles), &m);
    }
}

// The content's bytes as the Aztec builder makes them: ISO-8859-1, so U+0085 and U+009F stay the
// bytes 0x85 and 0x9F (Windows-1252 has no characters there), nothing before or after them.
TEST(GeoLabelService, AztecStringIsTheContentsOwnBytes) {
    auto request = Request();
    TVelmoraGeoLabelService service;
    std::unique_ptr<TROBinaryMemoryStream> result(service.GetAztecAsString(request.get()));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->GetPosition(), 0);
    const std::string bytes(result->Bytes().begin(), result->Bytes().end());

    auto again = Request();
    TDMDPDLabelPrint module;
    module.Clear();
    MapGeoLabelData(*again, module);
    EXPECT_EQ(bytes, module.Aztec.AsString());
    EXPECT_NE(bytes.find("Caf\xE9 \x85 \x9F ?"), std::string::npos);
    EXPECT_EQ(bytes.rfind("[)>\x1E", 0), 0u);
    EXPECT_EQ(bytes.back(), '\x04');
    // Only a label print fills the parcel-number field: here it keeps its cleared value.
    TDPDAztec parsed;
    parsed.SetAsString(bytes);
    EXPECT_EQ(parsed.ISO_ParcelNumber()->FieldValue(), TDPDAztec().ISO_ParcelNumber()->FieldValue());
    // The mapping's defaults went into the caller's record.
    EXPECT_EQ(request->FActWorkStationID, u"999");
    EXPECT_EQ(request->FMPSCount, 1);
}

TEST(GeoLabelService, UnknownImageTypeGivesAnEmptyArrayAfterMapping) {
    auto request = Request();
    TVelmoraGeoLabelService service;
    std::unique_ptr<TResultArray> results(service.PrintGeoLabelAsImage(TImageType(7), request.get()));
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results->Count(), 0);
    EXPECT_EQ(request->FMiscSoftwareInfoText, u"VELMORA Labelprint");
}

// Offline (a barcode given by the caller) the limited-quantity label gets no tracking number, so
// a parcel number that is none does not stop the call.
TEST(GeoLabelService, LimitedQuantityLabelOfflineNeedsNoTrackingNumber) {
    auto request = Request();
    request->FHazLQ = true;
    request->FParcelNumber = u"not a number";
    request->FBarcodeString = u"%007500101234567890123101250";
    TVelmoraGeoLabelService service;
    std::unique_ptr<TResultArray> results(service.PrintGeoLabelAsPDF(request.get()));
    ASSERT_EQ(results->Count(), 2);
    EXPECT_EQ(results->GetItems(0)->FResultType, resGeoLabel);
    EXPECT_EQ(results->GetItems(1)->FResultType, resHazlqLabel);
    EXPECT_EQ(results->GetItems(1)->FResultBase64->ToString().substr(0, 5), u"%PDF-");

    request->FBarcodeString.clear(); // online the tracking number is built, and refused
    EXPECT_THROW(delete service.PrintGeoLabelAsPDF(request.get()), Exception);
}

TEST(GeoLabelService, CallWithoutARecordIsRefused) {
    TVelmoraGeoLabelService service;
    TGeoLabelData* none = nullptr;
    EXPECT_THROW(delete service.PrintGeoLabelAsPDF(none), EROException);
    EXPECT_THROW(delete service.GetAztecAsString(none), EROException);
}

// A failing print leaves the operation with the label module's message; the module is freed and
// nothing of the call is returned.
TEST(GeoLabelService, FailingPrintRaisesTheModulesMessage) {
    auto request = Request();
    request->FRoutBarcodeId.clear(); // the routing text is then no BIC3 code
    TVelmoraGeoLabelService service;
    try {
        delete service.PrintGeoLabelAsPDF(request.get());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(StringToUtf8(e.Message()).rfind("TDMLabelPrint.PrintGeoLabel ", 0), 0u) << StringToUtf8(e.Message());
    }
}

TEST(GeoLabelService, PrintWithoutADocumentIsAFailure) {
    TDMDPDLabelPrint module; // nothing printed yet
    try {
        PrintedResult(module, resSWAPLabel);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"The label module printed no document for resSWAPLabel");
    }
}

TEST(GeoLabelService, ResultStreamsCopyWholeStreamsInBlocks) {
    const std::int64_t MiB = 1 << 20;
    for (std::int64_t size : {std::int64_t(0), std::int64_t(1), MiB - 1, MiB, MiB + 1, 5 * MiB / 2}) {
        TMemoryStream source;
        std::vector<std::uint8_t> bytes(static_cast<size_t>(size));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = std::uint8_t(i * 7 + i / 251);
        if (size > 0)
            source.WriteBuffer(bytes.data(), size);
        source.SetPosition(size / 2); // copied from the start whatever the position
        const std::unique_ptr<TROBinaryMemoryStream> copy = CopyToResultStream(source);
        EXPECT_EQ(copy->GetSize(), size);
        EXPECT_EQ(copy->GetPosition(), 0);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), copy->Bytes().begin(), copy->Bytes().end())) << size;
    }
}

} // namespace
} // namespace vgl
