#include "report/foundation/printers.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font.h"
#include "report/foundation/initialization.h"
#include "report/foundation/paper_sizes.h"

namespace vgl {
namespace {

class PrintersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeReportFoundation(); }
};

TEST(PaperSizes, TableMatchesThePaperCodes) {
    // Code, width and height in tenths of a millimetre, as the platform lists them.
    // clang-format off
    constexpr std::array<TPaperInfo, 66> expected{{
        {1, 2159, 2794}, {2, 2159, 2794}, {3, 2794, 4318}, {4, 4318, 2794},
        {5, 2159, 3556}, {6, 1397, 2159}, {7, 1842, 2667}, {8, 2970, 4200},
        {9, 2100, 2970}, {10, 2100, 2970}, {11, 1480, 2100}, {12, 2570, 3640},
        {13, 1820, 2570}, {14, 2159, 3302}, {15, 2150, 2750}, {16, 2540, 3556},
        {17, 2794, 4318}, {18, 2159, 2794}, {19, 984, 2254}, {20, 1048, 2413},
        {21, 1143, 2635}, {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588},
        {25, 5588, 8636}, {26, 8636, 11176}, {27, 1100, 2200}, {28, 1620, 2290},
        {29, 3240, 4580}, {30, 2290, 3240}, {31, 1140, 1620}, {32, 1140, 2290},
        {33, 2500, 3530}, {34, 1760, 2500}, {35, 1760, 1250}, {36, 1100, 2300},
        {37, 984, 1905}, {38, 920, 1651}, {39, 3778, 2794}, {40, 2159, 3048},
        {41, 2159, 3302}, {42, 2500, 3530}, {43, 1000, 1480}, {44, 2286, 2794},
        {45, 2540, 2794}, {46, 3810, 2794}, {47, 2200, 2200}, {50, 2355, 3048},
        {51, 2355, 3810}, {52, 2969, 4572}, {53, 2354, 3223}, {54, 2101, 2794},
        {55, 2100, 2970}, {56, 2355, 3048}, {57, 2270, 3560}, {58, 3050, 4870},
        {59, 2159, 3223}, {60, 2100, 3300}, {61, 1480, 2100}, {62, 1820, 2570},
        {63, 3220, 4450}, {64, 1740, 2350}, {65, 2010, 2760}, {66, 4200, 5940},
        {67, 2970, 4200}, {68, 3220, 4450},
    }};
    // clang-format on
    ASSERT_EQ(PaperInfo().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TPaperInfo& row = PaperInfo()[i];
        EXPECT_EQ(row.Typ, expected[i].Typ) << i;
        EXPECT_EQ(row.X, expected[i].X) << i;
        EXPECT_EQ(row.Y, expected[i].Y) << i;
        long double w = 0, h = 0;
        ASSERT_TRUE(LookupPaperSize(expected[i].Typ, w, h)) << expected[i].Typ;
        EXPECT_EQ(w, expected[i].X / 10.0L);
        EXPECT_EQ(h, expected[i].Y / 10.0L);
    }
    long double w = 1, h = 2;
    EXPECT_TRUE(LookupPaperSize(9, w, h));
    EXPECT_EQ(w, 210);
    EXPECT_EQ(h, 297);
    for (int missing : {0, 48, 49, 69, 256, -1}) {
        w = 1;
        h = 2;
        EXPECT_FALSE(LookupPaperSize(missing, w, h)) << missing;
        EXPECT_EQ(w, 1); // untouched
        EXPECT_EQ(h, 2);
    }
}

TEST_F(PrintersTest, VirtualPrinterInit) {
    TfrxVirtualPrinter p(u"Virtual", u"");
    // Before Init: the starting entries only, no resolution.
    EXPECT_EQ(p.Papers().Count(), 1);
    EXPECT_EQ(p.Papers().Get(0), u"Custom");
    EXPECT_EQ(p.PaperCode(0), 256);
    EXPECT_EQ(p.Bins().Count(), 1);
    EXPECT_EQ(p.Bins().Get(0), u"Default");
    EXPECT_EQ(p.BinCode(0), 7);
    EXPECT_EQ(p.DPI(), Point(0, 0));
    EXPECT_FALSE(p.Initialized());

    p.Init();
    EXPECT_TRUE(p.Initialized());
    EXPECT_EQ(p.DPI(), Point(600, 600));
    EXPECT_EQ(p.DefPaper(), 9);
    EXPECT_EQ(p.DefOrientation(), poPortrait);
    EXPECT_EQ(p.DefPaperWidth(), 210);
    EXPECT_EQ(p.DefPaperHeight(), 297);
    EXPECT_EQ(p.Bin(), -1);
    EXPECT_EQ(p.Duplex(), -1);
    ASSERT_EQ(p.Papers().Count(), 67);
    for (int i = 1; i < 67; ++i) {
        EXPECT_EQ(p.Papers().Get(i), u"");
        EXPECT_EQ(p.PaperCode(i), PaperInfo()[size_t(i - 1)].Typ);
    }
    EXPECT_EQ(p.PaperIndex(9), 9);
    EXPECT_EQ(p.PaperIndex(50), 48);
    EXPECT_EQ(p.PaperIndex(48), -1);
    EXPECT_EQ(p.BinIndex(7), 0);
    EXPECT_EQ(p.BinIndex(1), -1);
    EXPECT_FALSE(p.IsDuplexActive());

    p.Init(); // once: the papers are not added again
    EXPECT_EQ(p.Papers().Count(), 67);
}

TEST_F(PrintersTest, VirtualPrinterViewAndPrintParams) {
    TfrxVirtualPrinter p(u"Virtual", u"");
    p.Init();
    p.SetViewParams(9, 0, 0, poLandscape);
    EXPECT_EQ(p.Paper(), 9);
    EXPECT_EQ(p.PaperWidth(), 297);
    EXPECT_EQ(p.PaperHeight(), 210);
    EXPECT_EQ(p.Orientation(), poLandscape);
    for (long double m : {p.LeftMargin(), p.TopMargin(), p.RightMargin(), p.BottomMargin()})
        EXPECT_EQ(m, 5);

    // The custom code and codes the table lacks keep the given size.
    for (int code : {256, 48}) {
        p.SetViewParams(code, 100, 150, poPortrait);
        EXPECT_EQ(p.Paper(), 256) << code;
        EXPECT_EQ(p.PaperWidth(), 100);
        EXPECT_EQ(p.PaperHeight(), 150);
        EXPECT_EQ(p.Orientation(), poPortrait);
    }

    p.SetPrintParams(11, 0, 0, poPortrait, 3, 2, 1);
    EXPECT_EQ(p.Paper(), 11);
    EXPECT_EQ(p.PaperWidth(), 148);
    EXPECT_EQ(p.PaperHeight(), 210);
    EXPECT_EQ(p.Bin(), 3);
    EXPECT_EQ(p.Duplex(), -1);

    EXPECT_EQ(p.PaperNameToNumber(u"Letter"), 256); // not listed: the first entry's code
    EXPECT_EQ(p.PaperNameToNumber(u"custom"), 256);
    EXPECT_EQ(p.PaperNameToNumber(u""), 1); // the first table paper (papers have no names)
    EXPECT_EQ(p.BinNameToNumber(u"Upper tray"), 7);
}

TEST_F(PrintersTest, PrinterCanvasKeepsFontsAtThePrinterResolution) {
    TfrxVirtualPrinter p(u"Virtual", u"");
    TFont font;
    font.SetName(u"Arial Narrow");
    font.SetSize(10);
    ASSERT_EQ(font.GetPixelsPerInch(), 96);
    TfrxPrinterCanvas& c = p.Canvas();
    EXPECT_TRUE(IsPrinterCanvas(c));
    EXPECT_EQ(c.Resolution(), Point(0, 0)); // not set up yet: the font is left alone
    c.Font().Assign(font);
    EXPECT_EQ(c.Font().GetHeight(), -13);

    p.Init();
    EXPECT_EQ(c.Resolution(), Point(600, 600));
    EXPECT_EQ(c.Font().GetPixelsPerInch(), 600);
    EXPECT_EQ(c.Font().GetHeight(), -83);
    c.Font().Assign(font);
    EXPECT_EQ(c.Font().GetHeight(), -83);
    EXPECT_EQ(c.Font().GetSize(), 10);
    // A height set at the printer's resolution stays.
    c.Font().SetHeight(-100);
    EXPECT_EQ(c.Font().GetHeight(), -100);

    TBitmap bmp(1, 1);
    EXPECT_FALSE(IsPrinterCanvas(bmp.Canvas()));
}

TEST_F(PrintersTest, TheListHoldsOneVirtualPrinter) {
    TfrxPrinters printers;
    EXPECT_FALSE(printers.HasPhysicalPrinters());
    ASSERT_EQ(printers.Count(), 1);
    EXPECT_EQ(printers.Printers().Get(0), u"Virtual");
    EXPECT_EQ(printers.PrinterIndex(), 0);
    ASSERT_NE(printers.Printer(), nullptr);
    EXPECT_EQ(printers.Printer()->ClassName(), u"TfrxVirtualPrinter");
    EXPECT_TRUE(printers.Printer()->Initialized()); // selecting a printer initialises it
    EXPECT_EQ(printers.IndexOf(u"VIRTUAL"), 0);
    EXPECT_EQ(printers.IndexOf(u"Other"), -1);
    EXPECT_EQ(printers.GetItem(-1), nullptr);
    EXPECT_EQ(printers.GetItem(1), nullptr);

    printers.SetPrinterIndex(-1); // the default printer has no name here: none is selected
    EXPECT_EQ(printers.PrinterIndex(), -1);
    EXPECT_EQ(printers.Printer(), nullptr);
    printers.SetPrinterIndex(5); // stored as given, selects nothing
    EXPECT_EQ(printers.PrinterIndex(), 5);
    EXPECT_EQ(printers.Printer(), nullptr);
    printers.SetPrinterIndex(0);
    EXPECT_NE(printers.Printer(), nullptr);
    printers.Clear();
    EXPECT_EQ(printers.Count(), 0);
    EXPECT_EQ(printers.Printer(), nullptr);
}

TEST_F(PrintersTest, ConcurrentUsersShareOneList) {
    FreePrintersInstance();
    TfrxPrinters* seen[2] = {};
    {
        std::thread a([&] { seen[0] = &frxPrintersInstance(); });
        std::thread b([&] { seen[1] = &frxPrintersInstance(); });
        a.join();
        b.join();
    }
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], &frxPrintersInstance());

    // Changes of the shared printer are serialised by the list's lock; a reader holds it too.
    auto view = [&](int code, TPrinterOrientation o, long double& w, long double& h) {
        for (int i = 0; i < 200; ++i) {
            TfrxPrinters& list = frxPrintersInstance();
            TfrxPrintersLock lock(list);
            list.Printer()->SetViewParams(code, 0, 0, o);
            w = list.Printer()->PaperWidth();
            h = list.Printer()->PaperHeight();
        }
    };
    long double w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    std::thread a([&] { view(9, poPortrait, w1, h1); });
    std::thread b([&] { view(11, poLandscape, w2, h2); });
    a.join();
    b.join();
    EXPECT_EQ(w1, 210);
    EXPECT_EQ(h1, 297);
    EXPECT_EQ(w2, 210);
    EXPECT_EQ(h2, 148);
    FreePrintersInstance();
}

} // namespace
} // namespace vgl
