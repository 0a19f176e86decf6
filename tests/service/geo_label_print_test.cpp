// Mapped requests printed by the label module: the fixture's texts in the PDF as pdftotext reads
// them, and records of random content that print or fail only with the print road's own message.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "labels/dpd_label_print.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "service/geo_label_mapping.h"
#include "tests/labels/label_module_support.h"
#include "tests/service/geo_label_fixture.h"

namespace vgl {
namespace {

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::string Printed(const TDMDPDLabelPrint& module) {
    auto* stream = dynamic_cast<TMemoryStream*>(module.StreamPrinted.get());
    return stream ? std::string(stream->Bytes().begin(), stream->Bytes().end()) : std::string();
}

TDateTime FixedClock() {
    return EncodeDateTime(2026, 3, 4, 5, 6, 7, 0);
}

class GeoLabelPrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartLabelLibraries(); }
    test::TLabelFonts FFonts;
};

TEST_F(GeoLabelPrint, FixtureShowsItsMappedTexts) {
    const auto record = test::FixtureRequest();
    TDMDPDLabelPrint module;
    module.Clear();
    MapGeoLabelData(*record, module, FixedClock);
    ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
    const std::string pdf = "/tmp/vgl_geo_label_print_" + std::to_string(::getpid()) + ".pdf";
    std::ofstream(pdf, std::ios::binary) << Printed(module);
    const std::string check = RunCommand("qpdf --check '" + pdf + "' 2>&1");
    const std::string text = RunCommand("pdftotext '" + pdf + "' - 2>&1");
    std::remove(pdf.c_str());
    EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
    for (const char* expected : {"Jeanne Martin",
                                 "Atelier Martin",
                                 "12 Rue de Rivoli",
                                 "B\xC3\xA2timent B",
                                 "75001 Paris",
                                 "France",
                                 "Sender GmbH",
                                 "Hauptstra\xC3\x9F"
                                 "e 5",
                                 "DE - 10115 Berlin",
                                 "Depot Berlin",
                                 "MPS0001",
                                 "C-77",
                                 "REF-1",
                                 "12.5 Kg",
                                 "1 of 2",
                                 "EUR 12.50",
                                 "Invoice 42",
                                 "101-FR-0075001",
                                 "26/03/04 05:06 20260301 0163/999 VELMORA Labelprint",
                                 "0075 0010 1234 5678 9012 3101 2507"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

// Every record maps, and prints or fails with "TDMLabelPrint.PrintGeoLabel ..." (an Exception of
// the road), never with anything else. Most records keep a valid routing code, so that the
// road gets past its codes and lays out the random texts.
TEST_F(GeoLabelPrint, RandomRecordsPrintOrFailWithTheRoadsMessage) {
    test::TRandomRecords records(20261211);
    int printed = 0;
    for (int round = 0; round < 40; ++round) {
        const std::unique_ptr<TGeoLabelData> r = round % 4 == 3 ? records.Next() : records.NextPrintable();
        TDMDPDLabelPrint module;
        module.Clear();
        MapGeoLabelData(*r, module, FixedClock);
        try {
            if (module.PrintGeoLabel(prnPDF)) {
                EXPECT_EQ(Printed(module).rfind("%PDF-", 0), 0u) << "round " << round;
                ++printed;
            }
        } catch (const Exception& e) {
            EXPECT_EQ(StringToUtf8(e.Message()).rfind("TDMLabelPrint.PrintGeoLabel ", 0), 0u)
                << "round " << round << ": " << StringToUtf8(e.ClassName()) << " " << StringToUtf8(e.Message());
            EXPECT_EQ(module.StreamPrinted, nullptr);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round " << round << ": " << e.what();
        }
    }
    EXPECT_GT(printed, 0);
}

} // namespace
} // namespace vgl
