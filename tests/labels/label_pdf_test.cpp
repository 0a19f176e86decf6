// The parcel label as the service prints it, to PDF through the real engine, store and export,
// checked by tools no one here wrote: qpdf, pdfinfo, pdffonts, pdfimages, pdftotext, and the
// codes read back with zxing from a 600 dpi rendering by pdftoppm. Then the same on eight threads.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include "labels/dpd_label_print.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "report/model/report.h"
#include "report/model/report_page.h"
#include "report/model/view.h"
#include "tests/labels/label_module_support.h"
#include "tests/labels/label_output_support.h"

namespace vgl {
namespace {

using test::Decode;
using test::Printed;
using test::QpdfCheck;
using test::ReadPgm;
using test::RunCommand;
using test::TGrey;
using test::TScratch;
using test::WriteFile;

class LabelPdf : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartLabelLibraries(); }

    test::TLabelFonts FFonts;
};

TEST_F(LabelPdf, TheServiceLabel) {
    struct Variant {
        const char* name;
        String special; // added to a name line, a text line and an Aztec field
    };
    const Variant variants[] = {{"plain", u""}, {"backslash and bytes 0x80-0xFF", u" \\ Æøå ÿ \\"}};
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        if (!variant.special.empty()) {
            module.txtDestAddress.Put(0, module.txtDestAddress[0] + variant.special);
            module.Aztec.ISO_RecCompName1()->SetFieldValue(u"Marie Lefèvre" + variant.special);
            module.Aztec.STD_RecContact()->SetFieldValue(u"\\ Mme Lefèvre" + variant.special);
        }
        ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
        const std::string doc = Printed(module);
        if (std::getenv("VGL_KEEP_LABEL"))
            WriteFile(std::getenv("VGL_KEEP_LABEL"), doc);
        ASSERT_FALSE(doc.empty());
        TScratch scratch;
        const std::string pdf = scratch.File("label.pdf");
        WriteFile(pdf, doc);

        const std::string check = QpdfCheck(pdf);
        EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;

        const std::string info = RunCommand("pdfinfo '" + pdf + "' 2>&1");
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("PDF version:     1.7\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Author:          DudeZirare\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Creator:         DudeZirare\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Subject:         DudeZirare PDF export\n"), std::string::npos) << info;
        std::smatch size;
        const std::regex sizePattern(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)");
        ASSERT_TRUE(std::regex_search(info, size, sizePattern)) << info;
        // 104 x 152.6 mm within one pixel (0.75 point).
        EXPECT_NEAR(std::stod(size[1]), 104 / 25.4 * 72, 0.75);
        EXPECT_NEAR(std::stod(size[2]), 152.6 / 25.4 * 72, 0.75);

        // Two fonts, embedded subsets of the label faces, named by their family name record (the
        // faces stand in for the family the templates ask for), the bold one with ",Bold".
        std::istringstream fonts(RunCommand("pdffonts '" + pdf + "' 2>&1"));
        std::vector<std::string> fontLines;
        for (std::string line; std::getline(fonts, line);)
            fontLines.push_back(line);
        ASSERT_EQ(fontLines.size(), 4u) << RunCommand("pdffonts '" + pdf + "'");
        std::vector<std::string> names;
        for (std::size_t i = 2; i < fontLines.size(); ++i) {
            const std::string& line = fontLines[i];
            EXPECT_TRUE(std::regex_search(line, std::regex(R"(\s+yes\s+yes\s+yes\s+)"))) << line;
            std::smatch name;
            ASSERT_TRUE(std::regex_match(line, name, std::regex(R"([A-Z]{6}\+(Liberation Sans Narrow(,Bold)?)\s.*)")))
                << line;
            names.push_back(name[1]);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Liberation Sans Narrow", "Liberation Sans Narrow,Bold"}));

        // The Aztec symbol as a JPEG of about 1800 x 1800.
        const std::string images = RunCommand("pdfimages -list '" + pdf + "' 2>&1");
        std::smatch jpeg;
        ASSERT_TRUE(std::regex_search(images, jpeg, std::regex(R"(image\s+(\d+)\s+(\d+)\s+\w+\s+\d+\s+\d+\s+jpeg)")))
            << images;
        EXPECT_NEAR(std::stoi(jpeg[1]), 1800, 60) << images;
        EXPECT_NEAR(std::stoi(jpeg[2]), 1800, 60) << images;

        const std::string text = RunCommand("pdftotext '" + pdf + "' - 2>&1");
        for (const char* expected : {"0123", "4567 8901 23", "3", "0075 0010 1234 5678 9012 3101 2507"})
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        for (const test::TFixtureLines& entry : test::FixtureLines())
            if (module.frxGeoLabel()->FindObject(StringView(entry.List)))
                for (int i = 0; i < int(entry.Lines.size()); ++i) {
                    const String line = entry.List == StringView(u"txtDestAddress") && i == 0
                                            ? entry.Lines[0] + variant.special
                                            : entry.Lines[std::size_t(i)];
                    EXPECT_NE(text.find(StringToUtf8(line)), std::string::npos)
                        << StringToUtf8(entry.List) << ": " << StringToUtf8(line) << "\n"
                        << text;
                }

        // Both codes read back from a 600 dpi rendering.
        RunCommand("pdftoppm -r 600 -gray '" + pdf + "' '" + scratch.File("page") + "' 2>&1");
        const TGrey page = ReadPgm(scratch.File("page-1.pgm"));
        ASSERT_GT(page.Width, 2000);
        // The reader looks for the Aztec symbol in the part of the page that holds its view.
        const auto* picAztec = dynamic_cast<TfrxView*>(module.frxGeoLabel()->FindObject(StringView(u"picAztec")));
        ASSERT_NE(picAztec, nullptr);
        const auto* reportPage = dynamic_cast<TfrxReportPage*>(module.frxGeoLabel()->Pages(1));
        const double scale = 600.0 / 96;
        const int margin = 120;
        const TGrey aztecPart = page.Crop(
            int(reportPage->LeftMargin() * 600 / 25.4 + double(picAztec->AbsLeft()) * scale) - margin,
            int(reportPage->TopMargin() * 600 / 25.4 + double(picAztec->AbsTop()) * scale) - margin,
            int(double(picAztec->Width()) * scale) + 2 * margin, int(double(picAztec->Height()) * scale) + 2 * margin);
        const Latin1String content = module.Aztec.AsString();
        EXPECT_NE(content.find("01234567890123"), std::string::npos);
        EXPECT_EQ(Decode(aztecPart, ZXing::BarcodeFormat::Aztec), std::string(content.begin(), content.end()));
        EXPECT_EQ(Decode(page, ZXing::BarcodeFormat::Code128), "%007500101234567890123101250");
    }
}

// The templates are prepared without being saved and read back around the run, which is sound
// only while the run leaves them as the print filled them: the template written just before the
// engine starts equals the one written after every print operation.
TEST_F(LabelPdf, PreparingLeavesTheTemplatesAsFilled) {
    const auto save = [](TfrxReport& report) {
        TMemoryStream stream;
        report.SaveToStream(stream);
        return std::string(stream.Bytes().begin(), stream.Bytes().end());
    };
    struct Operation {
        const char* name;
        TfrxReport* (TDMDPDLabelPrint::*report)() const;
        std::function<bool(TDMDPDLabelPrint&)> print;
    };
    const Operation operations[] = {
        {"parcel label", &TDMDPDLabelPrint::frxGeoLabel, [](TDMDPDLabelPrint& m) { return m.PrintGeoLabel(prnPDF); }},
        {"limited quantity", &TDMDPDLabelPrint::frxLimitedQty,
         [](TDMDPDLabelPrint& m) { return m.PrintLimitedQtyLabel(u"012345678901233", prnBMP); }},
        {"SWAP", &TDMDPDLabelPrint::frxSWAP, [](TDMDPDLabelPrint& m) { return m.PrintSWAPLabel(prnPDF); }},
        {"receipt", &TDMDPDLabelPrint::frxReceipt, [](TDMDPDLabelPrint& m) { return m.PrintReceiptLabel(prnPDF); }},
        {"return", &TDMDPDLabelPrint::frxReturn, [](TDMDPDLabelPrint& m) { return m.PrintReturnLabel(prnGIF); }},
    };
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        TfrxReport& report = *(module.*op.report)();
        EXPECT_FALSE(report.EngineOptions()->DestroyForms());
        std::string beforeRun;
        report.OnBeginDoc = [&](TObject*) { beforeRun = save(report); };
        ASSERT_TRUE(op.print(module));
        report.OnBeginDoc = nullptr;
        ASSERT_FALSE(beforeRun.empty());
        EXPECT_TRUE(save(report) == beforeRun);
    }
}

// Modules of concurrent calls share only the locked process-wide lists (export filters, data
// sets, text layout): each thread makes, prints and frees its own modules.
TEST_F(LabelPdf, ModulesOnEightThreads) {
    constexpr int threads = 8, labelsPerThread = 2;
    std::vector<std::string> documents(threads * labelsPerThread);
    std::vector<std::string> failures(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t, &documents, &failures] {
            try {
                for (int i = 0; i < labelsPerThread; ++i) {
                    TDMDPDLabelPrint module;
                    test::FillFixtureParcel(module);
                    module.PrintGeoLabel(prnPDF);
                    documents[std::size_t(t * labelsPerThread + i)] = Printed(module);
                }
            } catch (const Exception& e) {
                failures[std::size_t(t)] = StringToUtf8(e.Message());
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    TScratch scratch;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(failures[i / labelsPerThread], "");
        ASSERT_FALSE(documents[i].empty());
        const std::string path = scratch.File("label" + std::to_string(i) + ".pdf");
        WriteFile(path, documents[i]);
        const std::string check = QpdfCheck(path);
        EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;
    }
}

} // namespace
} // namespace vgl
