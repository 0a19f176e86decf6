// The four labels the service adds to a parcel label on request (limited quantity, SWAP, receipt,
// return), printed to PDF and read back with pdftotext, pdfimages and a pdftoppm rendering; and
// their failures.

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "labels/dpd_label_print.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"
#include "tests/labels/label_module_support.h"
#include "tests/labels/label_output_support.h"

namespace vgl {
namespace {

using test::RunCommand;
using test::TScratch;

constexpr double LeftMarginMm = 3.7; // of the four templates' pages

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

TfrxCustomMemoView& Memo(TfrxReport* report, const char16_t* name) {
    auto* memo = dynamic_cast<TfrxCustomMemoView*>(report->FindObject(StringView(name)));
    if (!memo)
        throw Exception(u"no memo " + String(name));
    return *memo;
}

/// The printed document written into the scratch folder; its path.
std::string Keep(const TDMDPDLabelPrint& module, const TScratch& scratch, const std::string& name) {
    const std::string path = scratch.File(name);
    test::WriteFile(path, test::Printed(module));
    return path;
}

std::string PdfText(const std::string& path) {
    return RunCommand("pdftotext -layout '" + path + "' - 2>&1");
}

/// The receipt and return parts of the fixture: recipient, sender and a reference line about
/// one and a half times as wide as the return label's reference box.
const String ReferenceLine = u"01234567890123 Order 55-1234 Invoice 2026-117 Customer 4711/0815 RMA-2026-000317";

void FillReceiptAndReturn(TDMDPDLabelPrint& module) {
    for (const char16_t* line : {u"Marie Lefèvre", u"12 Rue de la Paix", u"FR-75001 Paris"})
        module.txtReceiptRecipient.Add(line);
    for (const char16_t* line : {u"Muster Versand GmbH", u"Hauptstraße 5", u"DE-63741 Aschaffenburg"})
        module.txtReceiptSender.Add(line);
    for (const char16_t* line : {u"Muster Versand GmbH Retouren", u"Lagerweg 12", u"DE-63741 Aschaffenburg"})
        module.txtReturnRecipient.Add(line);
    module.txtReturnParcelnumberAndRef.Add(ReferenceLine);
}

class AdditionalLabels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartLabelLibraries(); }

    test::TLabelFonts FFonts;
};

TEST_F(AdditionalLabels, LimitedQuantity) {
    struct Case {
        String trackingNumber;
        String name;
        std::vector<String> parts;
    };
    const Case cases[] = {
        {u"", u"_LimitedQty", {u"", u"", u""}},
        {u"012345678901233", u"01234567890123_LimitedQty", {u"0123", u"4567 8901 23", u"3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.name));
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        TfrxReport* label = module.frxLimitedQty();
        const long double size = Memo(label, u"txtRoutTrackingNumber1").Font().GetSize();
        ASSERT_TRUE(module.PrintLimitedQtyLabel(c.trackingNumber, prnPDF));
        EXPECT_EQ(label->ReportOptions()->Name(), c.name);
        TfrxCustomMemoView& first = Memo(label, u"txtRoutTrackingNumber1");
        TfrxCustomMemoView& middle = Memo(label, u"txtRoutTrackingNumber2");
        TfrxCustomMemoView& last = Memo(label, u"txtRoutTrackingNumber3");
        TfrxCustomMemoView* memos[] = {&first, &middle, &last};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Lines(memos[i]->Lines()),
                      c.parts[i].empty() ? std::vector<String>{} : std::vector<String>{c.parts[i]});
        // Each part at the right edge of the one before; the template's fonts stay.
        EXPECT_DOUBLE_EQ(double(middle.Left()), double(first.Left() + first.CalcWidth()));
        EXPECT_DOUBLE_EQ(double(last.Left()), double(middle.Left() + middle.CalcWidth()));
        EXPECT_EQ(first.Font().GetSize(), size);

        TScratch scratch;
        const std::string pdf = Keep(module, scratch, "limited.pdf");
        EXPECT_NE(test::QpdfCheck(pdf).find("No syntax or stream encoding errors found"), std::string::npos);
        const std::string text = PdfText(pdf);
        for (const String& part : c.parts)
            EXPECT_NE(text.find(StringToUtf8(part)), std::string::npos) << StringToUtf8(part) << "\n" << text;
        // The limited-quantity marking (371 x 520 pixels of artwork) is one of the page's images.
        const std::string images = RunCommand("pdfimages -list '" + pdf + "' 2>&1");
        std::smatch m;
        bool marking = false;
        for (std::string rest = images; std::regex_search(rest, m, std::regex(R"(image\s+(\d+)\s+(\d+))"));
             rest = m.suffix()) {
            const double width = std::stod(m[1]), height = std::stod(m[2]);
            marking = marking || (width >= 371 && std::abs(width / height - 371.0 / 520) < 0.01);
        }
        EXPECT_TRUE(marking) << images;
    }
}

TEST_F(AdditionalLabels, SwapLabel) {
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    ASSERT_TRUE(module.PrintSWAPLabel(prnPDF));
    EXPECT_EQ(module.frxSWAP()->ReportOptions()->Name(), u"01234567890123_SWAP");
    TScratch scratch;
    const std::string pdf = Keep(module, scratch, "swap.pdf");
    const std::string text = PdfText(pdf);
    for (const char* expected : {"MA / 18", "SWAP", "Exchange failed", "01234567890123"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    // The three check boxes where the layout puts them: dark outlines around a white inside.
    RunCommand("pdftoppm -r 300 -gray '" + pdf + "' '" + scratch.File("swap") + "' 2>&1");
    const test::TGrey page = test::ReadPgm(scratch.File("swap-1.pgm"));
    ASSERT_GT(page.Width, 1000);
    const auto px = [](double mm) { return int(std::lround(mm * 300 / 25.4)); };
    const auto darkNear = [&page](int x, int y) {
        int darkest = 255;
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx)
                darkest = std::min<int>(darkest, page.At(x + dx, y + dy));
        return darkest < 128;
    };
    struct Box {
        const char* name;
        double left, top, size;
    } boxes[] = {{"Shape1", 1.4, 96.2, 6.0}, {"Shape2", 1.5, 114.3, 6.0}, {"Shape3", 1.5, 132.4, 6.0}};
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.name);
        const int x0 = px(LeftMarginMm + b.left), x1 = px(LeftMarginMm + b.left + b.size);
        const int y0 = px(b.top), y1 = px(b.top + b.size);
        const int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
        EXPECT_TRUE(darkNear(x0, ym));
        EXPECT_TRUE(darkNear(x1, ym));
        EXPECT_TRUE(darkNear(xm, y0));
        EXPECT_TRUE(darkNear(xm, y1));
        EXPECT_FALSE(darkNear(xm, ym));
        // Nothing a millimetre above or left of the box.
        EXPECT_FALSE(darkNear(xm, y0 - px(1)));
        EXPECT_FALSE(darkNear(x0 - px(1), ym));
    }
}

TEST_F(AdditionalLabels, ReceiptAndReturnLabels) {
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    FillReceiptAndReturn(module);
    TScratch scratch;

    ASSERT_TRUE(module.PrintReceiptLabel(prnPDF));
    EXPECT_EQ(module.frxReceipt()->ReportOptions()->Name(), u"01234567890123_Receipt");
    std::string text = PdfText(Keep(module, scratch, "receipt.pdf"));
    std::vector<String> expected{u"RECEIPT", u"Signature of the collector", u"01234567890123"};
    for (const TWideStringList* list : {&module.txtReceiptRecipient, &module.txtReceiptSender})
        for (const String& line : Lines(*list))
            expected.push_back(line);
    for (const String& line : expected)
        EXPECT_NE(text.find(StringToUtf8(line)), std::string::npos) << StringToUtf8(line) << "\n" << text;

    ASSERT_TRUE(module.PrintReturnLabel(prnPDF));
    EXPECT_EQ(module.frxReturn()->ReportOptions()->Name(), u"01234567890123_Return");
    const std::string pdf = Keep(module, scratch, "return.pdf");
    text = PdfText(pdf);
    expected = {u"DPD Return", u"Receipt for the customer"};
    for (const TWideStringList* list : {&module.txtReturnRecipient, &module.txtSenderAddress})
        for (const String& line : Lines(*list))
            expected.push_back(line);
    for (const String& line : expected)
        EXPECT_NE(text.find(StringToUtf8(line)), std::string::npos) << StringToUtf8(line) << "\n" << text;

    // The reference line wraps onto a second line, and both lie inside the memo's box (0.2,
    // 80.7 mm; 97.8 by 11 mm, right of the page margin), in points as pdftotext measures.
    const auto pt = [](double mm) { return mm * 72 / 25.4; };
    const double left = pt(LeftMarginMm + 0.2), top = pt(80.7), right = pt(LeftMarginMm + 0.2 + 97.8),
                 bottom = pt(80.7 + 11.0);
    std::istringstream words(RunCommand("pdftotext -bbox '" + pdf + "' - 2>&1"));
    const std::regex word(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::map<double, std::pair<double, double>> lines; // yMin -> extent in x
    std::string referenceWords;
    for (std::string line; std::getline(words, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, word))
            continue;
        const double x0 = std::stod(m[1]), y0 = std::stod(m[2]), x1 = std::stod(m[3]), y1 = std::stod(m[4]);
        if (y0 < top - 2 || y1 > bottom + 8)
            continue; // another memo
        SCOPED_TRACE(m[5].str());
        EXPECT_GE(x0, left - 0.5);
        EXPECT_LE(x1, right + 0.5);
        EXPECT_GE(y0, top - 0.5);
        EXPECT_LE(y1, bottom + 0.5);
        auto [it, added] = lines.try_emplace(y0, x0, x1);
        it->second.first = std::min(it->second.first, x0);
        it->second.second = std::max(it->second.second, x1);
        referenceWords += (referenceWords.empty() ? "" : " ") + m[5].str();
    }
    EXPECT_EQ(referenceWords, StringToUtf8(ReferenceLine));
    ASSERT_EQ(lines.size(), 2u);
    double printed = 0;
    for (const auto& [y, extent] : lines)
        printed += extent.second - extent.first;
    EXPECT_NEAR(printed / (right - left), 1.5, 0.2);
}

TEST_F(AdditionalLabels, SimpleFillHidesNothing) {
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    FillReceiptAndReturn(module);
    module.txtReceiptSender.Clear();
    TfrxReport* receipt = module.frxReceipt();
    Memo(receipt, u"txtReceiptSender").SetText(u"design sample");
    ASSERT_TRUE(module.PrintReceiptLabel(prnPDF));
    EXPECT_TRUE(Memo(receipt, u"txtReceiptSender").Visible());
    EXPECT_EQ(Memo(receipt, u"txtReceiptSender").Lines().Count(), 0);
    EXPECT_EQ(Lines(Memo(receipt, u"txtReceiptRecipient").Lines()), Lines(module.txtReceiptRecipient));
}

/// A stream that takes no byte: every export into it fails.
class TRefusingStream : public TMemoryStream {
public:
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
};

class TRefusingModule : public TDMDPDLabelPrint {
protected:
    std::unique_ptr<TStream> NewPrintStream() override { return std::make_unique<TRefusingStream>(); }
};

TEST_F(AdditionalLabels, FailuresRaiseWrappedAndLeaveNoStream) {
    struct Case {
        const char* name;
        std::function<bool(TDMDPDLabelPrint&)> print;
        bool refusingStream;
        std::string prefix;
        std::string cause; // what the message says after the prefix
    };
    const Case cases[] = {
        {"SWAP into a stream that refuses writes, PDF", [](TDMDPDLabelPrint& m) { return m.PrintSWAPLabel(prnPDF); },
         true, "TDMLabelPrint.PrintSWAPLabel ", "Stream write error"},
        {"SWAP into a stream that refuses writes, BMP", [](TDMDPDLabelPrint& m) { return m.PrintSWAPLabel(prnBMP); },
         true, "TDMLabelPrint.PrintSWAPLabel ", "Stream write error"},
        {"receipt into a stream that refuses writes, GIF",
         [](TDMDPDLabelPrint& m) { return m.PrintReceiptLabel(prnGIF); }, true, "TDMLabelPrint.PrintReceiptLabel ",
         "Stream write error"},
        {"return to the printer", [](TDMDPDLabelPrint& m) { return m.PrintReturnLabel(prnPrinter); }, false,
         "TDMLabelPrint.PrintReturnLabel ", "printing is not supported"},
        {"limited quantity without its second tracking-number memo",
         [](TDMDPDLabelPrint& m) {
             delete m.frxLimitedQty()->FindObject(StringView(u"txtRoutTrackingNumber2"));
             return m.PrintLimitedQtyLabel(u"012345678901233", prnPDF);
         },
         false, "TDMLabelPrint.PrintLimitedQtyLabel ",
         "The template frxLimitedQty has no object txtRoutTrackingNumber2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TDMDPDLabelPrint> module =
            c.refusingStream ? std::make_unique<TRefusingModule>() : std::make_unique<TDMDPDLabelPrint>();
        test::FillFixtureParcel(*module);
        module->StreamPrinted = std::make_unique<TMemoryStream>();
        try {
            c.print(*module);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            const std::string message = StringToUtf8(e.Message());
            EXPECT_EQ(message.rfind(c.prefix, 0), 0u) << message;
            EXPECT_EQ(message.find(c.prefix, 1), std::string::npos) << "wrapped once: " << message;
            EXPECT_NE(message.find(c.cause), std::string::npos) << message;
        }
        EXPECT_EQ(module->StreamPrinted, nullptr);
    }
    // A target outside the switch prints nothing and says so.
    TDMDPDLabelPrint module;
    EXPECT_FALSE(module.PrintSWAPLabel(TPrintTo(prnGIF + 1)));
    EXPECT_EQ(module.StreamPrinted, nullptr);
}

} // namespace
} // namespace vgl
