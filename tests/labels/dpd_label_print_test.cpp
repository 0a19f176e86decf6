// The label module: its components and the geometry read at creation, its text lists and flags
// in table order, Clear, the two text-list operations the callers fill it with, and the print road
// up to the target (filled with the report-model tests' engine and store doubles, so the filled
// template itself is checked).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "codes/dpd_aztec.h"
#include "codes/typed_barcode.h"
#include "labels/dpd_label_print.h"
#include "platform/graphics/color.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/streams.h"
#include "report/export/image_export.h"
#include "report/export/pdf_export.h"
#include "report/model/barcode_view.h"
#include "report/model/data_set.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_page.h"
#include "tests/labels/label_module_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

class DPDLabelPrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartLabelLibraries(); }

    test::TServiceDoubles FDoubles;
    test::TLabelFonts FFonts;
};

TEST_F(DPDLabelPrint, WalksTheTextListsAndFlagsInTableOrder) {
    // Transcribed separately from the module's documented field table.
    const std::vector<String> lists = {u"txtHeader",
                                       u"txtDestName",
                                       u"txtDestAddress",
                                       u"txtDestZipcode",
                                       u"txtDestCity",
                                       u"txtDestContact",
                                       u"txtDestPhone",
                                       u"txtDestInfo",
                                       u"txtDestMPSID",
                                       u"txtSenderAccount",
                                       u"txtSenderAddress",
                                       u"txtSenderPhone",
                                       u"txtBUName",
                                       u"txtBUAddress",
                                       u"txtBUTel",
                                       u"txtBUDepot",
                                       u"txtPackages",
                                       u"txtWeight",
                                       u"txtOptProductText",
                                       u"txtOptParcelRef1",
                                       u"txtOptParcelRef2",
                                       u"txtOptCSort",
                                       u"txtOptRetOriginalParcelNumber",
                                       u"txtOptCollReqSenderContact",
                                       u"txtOptCollSenderAddress",
                                       u"txtOptCollReqPickupSenderAddress",
                                       u"txtOptCODAmount",
                                       u"txtOptCODPurpose",
                                       u"txtRoutServiceText",
                                       u"txtRoutServiceMarker",
                                       u"txtRoutdDepotCountry",
                                       u"txtRoutbuAlphaStr",
                                       u"txtRoutdDepotStr",
                                       u"txtRoutSSort",
                                       u"txtRoutOSort",
                                       u"txtRoutDSort",
                                       u"txtRoutServiceCodeAndDest",
                                       u"txtRoutOriginVersion",
                                       u"txtTourNumber",
                                       u"txtParcelNumber",
                                       u"txtReceiptRecipient",
                                       u"txtReceiptSender",
                                       u"txtReturnRecipient",
                                       u"txtReturnParcelnumberAndRef"};
    const std::vector<String> flags = {u"IsDestExport",
                                       u"IsPredict",
                                       u"IsMedical",
                                       u"IsCollectionRequestPickup",
                                       u"IsCollectionRequest",
                                       u"IsPUDODelivery",
                                       u"IsPUDODeliveryReturn",
                                       u"IsPUDOReturn",
                                       u"IsSpecialOperation",
                                       u"IsOfflineMode"};

    TDMDPDLabelPrint module;
    std::vector<String> seenLists;
    std::vector<const TWideStringList*> addresses;
    module.ForEachTextList([&](const String& name, TWideStringList& list) {
        seenLists.push_back(name);
        addresses.push_back(&list);
    });
    EXPECT_EQ(seenLists, lists);
    EXPECT_EQ(addresses.front(), &module.txtHeader);
    EXPECT_EQ(addresses.back(), &module.txtReturnParcelnumberAndRef);
    EXPECT_EQ(DPDLabelTextListCount, 44);

    std::vector<String> seenFlags;
    module.ForEachFlag([&](const String& name, bool&) { seenFlags.push_back(name); });
    EXPECT_EQ(seenFlags, flags);
    EXPECT_EQ(module.StreamPrinted, nullptr);
}

TEST_F(DPDLabelPrint, ClearResetsTheLabelDataAndKeepsThePrintedStream) {
    TDMDPDLabelPrint module;
    module.ForEachTextList([](const String& name, TWideStringList& list) { list.Add(name); });
    module.ForEachFlag([](const String&, bool& flag) { flag = true; });
    module.Bic3BarcodeTxt = "%0075001";
    const Latin1String clearedContent = module.Aztec.AsString();
    module.Aztec.ISO_DestZipCode()->SetFieldValue(u"75001");
    module.Aztec.ParcelInfo().SetIsCOD(u'1');
    module.Aztec.SetS02_IsDefined(true);
    auto stream = std::make_unique<TMemoryStream>();
    TStream* printed = stream.get();
    module.StreamPrinted = std::move(stream);

    module.Clear();

    module.ForEachTextList(
        [](const String& name, TWideStringList& list) { EXPECT_EQ(list.Count(), 0) << StringToUtf8(name); });
    module.ForEachFlag([](const String& name, bool& flag) { EXPECT_FALSE(flag) << StringToUtf8(name); });
    EXPECT_TRUE(module.Bic3BarcodeTxt.empty());
    EXPECT_FALSE(module.Aztec.S02_IsDefined());
    EXPECT_EQ(module.Aztec.ParcelInfo().IsCOD(), u' ');
    EXPECT_EQ(module.Aztec.AsString(), clearedContent);
    EXPECT_EQ(module.StreamPrinted.get(), printed);
}

TEST_F(DPDLabelPrint, SetTextReplacesTheListAndAddLineAppendsOneLine) {
    struct Case {
        const char16_t* value;
        std::vector<String> lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"one", {u"one"}},
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\nb\rc", {u"a", u"b", u"c"}},
        {u"a\r\n", {u"a"}},
        {u"a\r\n\r\nb", {u"a", u"", u"b"}},
        {u" padded ", {u" padded "}},
    };
    for (const Case& c : cases) {
        TWideStringList list;
        list.Add(u"old");
        TDMDPDLabelPrint::SetText(list, c.value);
        EXPECT_EQ(Lines(list), c.lines) << StringToUtf8(c.value);
    }

    TWideStringList list;
    TDMDPDLabelPrint::AddLine(list, u"first");
    TDMDPDLabelPrint::AddLine(list, u"");
    TDMDPDLabelPrint::AddLine(list, u"a\r\nb");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], u"");
    EXPECT_EQ(list[2], u"a\r\nb");
}

TComponent* Find(TfrxReport* report, StringView name) {
    return report->FindObject(name);
}

// ---- Creation ----------------------------------------------------------------------------------

TEST_F(DPDLabelPrint, CreationMakesTheComponentsAndReadsTheGeometry) {
    TDMDPDLabelPrint module;
    std::vector<String> names;
    for (int i = 0; i < module.ComponentCount(); ++i)
        names.push_back(module.Components(i)->Name());
    const std::vector<String> expected = {u"frxGeoLabelFR", u"frxDataSetShortCuts", u"picMedical", u"picPickup",
                                          u"picPredict",    u"frxGeoLabel",         u"PDFExport",  u"BMPExport",
                                          u"JPEGExport",    u"TIFFExport",          u"GIFExport",  u"frxLimitedQty",
                                          u"frxSWAP",       u"frxReceipt",          u"frxReturn",  u"frxKombiLabel"};
    EXPECT_EQ(names, expected);

    // The exact values the stored templates give.
    const auto g = module.Geometry();
    EXPECT_EQ(g.txtRoutDestText_MaxWidth, 354.0L);
    EXPECT_EQ(g.txtRoutDestText_MinLeft, 18.0L);
    EXPECT_EQ(g.txtOptParcelRef1_Top_FR, 283.70866142L);
    EXPECT_EQ(g.txtOptParcelRef2_Top_FR, 299.20472441L);
    EXPECT_EQ(g.KombiLeftPos, 0.0L);
    EXPECT_EQ(g.KombiMaxWidth, 372.43321L);
    EXPECT_EQ(g.KombiAdrWidth, 181.10235L);
    EXPECT_EQ(g.KombiASGLeft, 187.5671L);
    EXPECT_EQ(g.KombiASGWidth, 181.10235L);

    for (TfrxReport* report : {module.frxGeoLabelFR(), module.frxGeoLabel(), module.frxLimitedQty(), module.frxSWAP(),
                               module.frxReceipt(), module.frxReturn(), module.frxKombiLabel()}) {
        SCOPED_TRACE(StringToUtf8(report->Name()));
        EXPECT_EQ(report->EngineOptions()->NewSilentMode(), simReThrow);
        EXPECT_GE(report->PagesCount(), 2);
    }

    TfrxPDFExport& pdf = *module.PDFExport();
    EXPECT_FALSE(pdf.ShowDialog());
    EXPECT_FALSE(pdf.ShowProgress());
    EXPECT_FALSE(pdf.Compressed());
    EXPECT_TRUE(pdf.EmbeddedFonts());
    EXPECT_TRUE(pdf.PrintOptimized());
    EXPECT_EQ(pdf.Quality(), 100);
    EXPECT_FALSE(pdf.Transparency());
    EXPECT_EQ(pdf.Author(), u"DudeZirare");
    EXPECT_EQ(pdf.Subject(), u"DudeZirare PDF export");
    EXPECT_EQ(pdf.Creator(), u"DudeZirare");
    EXPECT_EQ(pdf.PDFVersion(), pv17);
    EXPECT_EQ(pdf.PDFStandard(), psNone);
    EXPECT_EQ(module.JPEGExport()->JPEGQuality(), 100);
    EXPECT_FALSE(module.BMPExport()->ShowDialog());

    EXPECT_EQ(module.frxDataSetShortCuts()->UserName(), u"frxDataSetShortCuts");
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"frxDataSetShortCuts", &module), module.frxDataSetShortCuts());
    EXPECT_EQ(module.frxDataSetShortCuts()->Fields()->Text(), u"Shortcut\r\nBarcode\r\nBarcodeTxt\r\n");
    EXPECT_EQ(String(module.picMedical()->Data().Bytes().begin(), module.picMedical()->Data().Bytes().begin() + 2),
              u"BM");
    EXPECT_GT(module.picPickup()->Size(), 0);
    EXPECT_GT(module.picPredict()->Size(), 0);
    // A module that never printed frees no stream.
    EXPECT_EQ(module.StreamPrinted, nullptr);
}

TEST_F(DPDLabelPrint, FreeingTheModuleTakesItsDataSetFromTheGlobalList) {
    const int before = GlobalDataSetCount();
    {
        TDMDPDLabelPrint module;
        EXPECT_EQ(GlobalDataSetCount(), before + 1);
    }
    EXPECT_EQ(GlobalDataSetCount(), before);
}

TEST_F(DPDLabelPrint, ModulesHoldIndependentTemplates) {
    TDMDPDLabelPrint first;
    TDMDPDLabelPrint second;
    auto* a = dynamic_cast<TfrxCustomMemoView*>(Find(first.frxGeoLabel(), u"txtHeader"));
    auto* b = dynamic_cast<TfrxCustomMemoView*>(Find(second.frxGeoLabel(), u"txtHeader"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    a->SetText(u"changed");
    a->SetTop(a->Top() + 10);
    EXPECT_NE(b->Text(), a->Text());
    EXPECT_NE(b->Top(), a->Top());
}

// ---- The print road, on the filled template --------------------------------------------------

/// The module with the protected road open to the tests.
class TTestModule : public TDMDPDLabelPrint {
public:
    using TDMDPDLabelPrint::PrintLabel;
};

TfrxCustomMemoView& Memo(TfrxReport* report, const char16_t* name) {
    auto* memo = dynamic_cast<TfrxCustomMemoView*>(Find(report, name));
    if (!memo)
        throw Exception(u"no memo " + String(name));
    return *memo;
}

std::vector<String> MemoLines(TfrxReport* report, const char16_t* name) {
    return Lines(Memo(report, name).Lines());
}

TfrxBarCodeView& RoutingBarcode(TfrxReport* report) {
    return *dynamic_cast<TfrxBarCodeView*>(Find(report, u"Barcode128Rout"));
}

test::TPreviewPagesDouble& Store(TfrxReport* report) {
    return *dynamic_cast<test::TPreviewPagesDouble*>(report->PreviewPages());
}

/// Runs `f` and expects Exception with `message`.
template <class F> void ExpectRaises(F f, const String& message) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected " << StringToUtf8(message);
    } catch (const Exception& e) {
        EXPECT_EQ(StringToUtf8(e.Message()), StringToUtf8(message));
    }
}

TEST_F(DPDLabelPrint, TheServiceParcelFillsTheLabel) {
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
    TfrxReport* label = module.frxGeoLabel();
    EXPECT_EQ(Store(label).Exports, 1);
    ASSERT_NE(module.StreamPrinted, nullptr);
    EXPECT_EQ(module.PDFExport()->Stream(), nullptr);

    EXPECT_EQ(label->ReportOptions()->Name(), u"01234567890123");
    EXPECT_EQ(module.Aztec.ISO_ParcelNumber()->FieldValue(), u"01234567890123");
    EXPECT_EQ(module.Aztec.ParcelInfo().IsPredict(), u'0');

    // Tracking number, parts side by side.
    TfrxCustomMemoView& n1 = Memo(label, u"txtRoutTrackingNumber1");
    TfrxCustomMemoView& n2 = Memo(label, u"txtRoutTrackingNumber2");
    TfrxCustomMemoView& n3 = Memo(label, u"txtRoutTrackingNumber3");
    EXPECT_EQ(Lines(n1.Lines()), std::vector<String>{u"0123"});
    EXPECT_EQ(Lines(n2.Lines()), std::vector<String>{u"4567 8901 23"});
    EXPECT_EQ(Lines(n3.Lines()), std::vector<String>{u"3"});
    EXPECT_EQ(n1.Font().GetSize(), 22);
    EXPECT_EQ(n2.Font().GetSize(), 18);
    EXPECT_EQ(n3.Font().GetSize(), 18);
    EXPECT_DOUBLE_EQ(double(n2.Left()), double(n1.Left() + n1.CalcWidth()));
    EXPECT_DOUBLE_EQ(double(n3.Left()), double(n2.Left() + n2.CalcWidth()));

    TfrxCustomMemoView& marker = Memo(label, u"txtRoutServiceMarker");
    EXPECT_EQ(marker.Height(), 21);
    EXPECT_EQ(marker.Width(), 15);
    EXPECT_EQ(marker.Font().GetSize(), 17);
    EXPECT_EQ(Memo(label, u"txtRoutServiceText").Font().GetSize(), 18);
    for (const char16_t* name : {u"txtRoutSSort", u"txtRoutOSort", u"txtRoutDSort"}) {
        SCOPED_TRACE(StringToUtf8(name));
        EXPECT_EQ(Memo(label, name).Color(), clWhite);
        EXPECT_EQ(Memo(label, name).Font().GetColor(), clBlack);
    }
    EXPECT_EQ(Memo(label, u"txtRoutOSort").Font().GetSize(), 24);
    EXPECT_EQ(Memo(label, u"txtRoutDSort").Font().GetSize(), 24);

    // The routing code: grouped with the BIC3's own check character right after the 27th
    // character; the barcode carries the percent form.
    EXPECT_EQ(MemoLines(label, u"txtRoutBarcodeText"), std::vector<String>{u"0075 0010 1234 5678 9012 3101 2507"});
    EXPECT_EQ(RoutingBarcode(label).Text(), u"%007500101234567890123101250");
    EXPECT_LE(RoutingBarcode(label).GetRealBounds().Right - RoutingBarcode(label).GetRealBounds().Left, 356);

    // The destination line centred in its place.
    TfrxCustomMemoView& country = Memo(label, u"txtRoutdDepotCountry");
    long double total = 0;
    for (const char16_t* name : {u"txtRoutdDepotCountry", u"txtRoutbuAlphaStr", u"txtRoutdDepotStr", u"txtRoutSSort"})
        total += Memo(label, name).CalcWidth();
    EXPECT_DOUBLE_EQ(double(country.Left()), double(18 + (354 - total) / 2));
    EXPECT_DOUBLE_EQ(double(Memo(label, u"txtRoutbuAlphaStr").Left()), double(country.Left() + country.CalcWidth()));

    // Every list in its memo; the lists left empty hide their memos and captions.
    for (const test::TFixtureLines& entry : test::FixtureLines()) {
        if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(Find(label, entry.List))) {
            SCOPED_TRACE(StringToUtf8(entry.List));
            EXPECT_EQ(Lines(memo->Lines()), entry.Lines);
            EXPECT_TRUE(memo->Visible());
        }
    }
    auto* picAztec = dynamic_cast<TfrxPictureView*>(Find(label, u"picAztec"));
    ASSERT_NE(picAztec, nullptr);
    EXPECT_EQ(picAztec->Picture()->GetWidth(), 600);
}

/// The parcel label has no option picture; the tests that need one add it to its page.
void AddOptionPicture(TDMDPDLabelPrint& m) {
    auto* picture = new TfrxPictureView(m.frxGeoLabel()->Pages(1));
    picture->SetName(u"picOpt");
    picture->SetBounds(300, 10, 40, 40);
}

// The cases of the road's list, on one module each.
TEST_F(DPDLabelPrint, RoadCases) {
    struct Case {
        const char* name;
        std::function<void(TDMDPDLabelPrint&)> prepare;
        std::function<void(TDMDPDLabelPrint&, TfrxReport*)> check;
    };
    const Case cases[] = {
        {"offline: eight characters grouped without check character, barcode unchanged",
         [](TDMDPDLabelPrint& m) {
             m.IsOfflineMode = true;
             m.Bic3BarcodeTxt = "ABCD1234";
             m.txtParcelNumber.SetText(u"0987\r\n6543");
         },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_EQ(MemoLines(label, u"txtRoutBarcodeText"), std::vector<String>{u"ABCD 1234 "});
             EXPECT_EQ(RoutingBarcode(label).Text(), u"ABCD1234");
             EXPECT_EQ(label->ReportOptions()->Name(), u"ABCD1234");
             EXPECT_EQ(MemoLines(label, u"txtRoutTrackingNumber1"), std::vector<String>{u"0987"});
             EXPECT_EQ(MemoLines(label, u"txtRoutTrackingNumber3"), std::vector<String>{u"3"});
         }},
        {"destination info: three lines become one",
         [](TDMDPDLabelPrint& m) { m.txtDestInfo.SetText(u"  Porte 4  \r\nEtage 2\r\nCode"); },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_EQ(MemoLines(label, u"txtDestInfo"), std::vector<String>{u"Porte 4 Etage 2 Code"});
         }},
        {"destination info: 25 characters become 20 and 5",
         [](TDMDPDLabelPrint& m) { m.txtDestInfo.SetText(u"ABCDEFGHIJKLMNOPQRSTUVWXY"); },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_EQ(MemoLines(label, u"txtDestInfo"), (std::vector<String>{u"ABCDEFGHIJKLMNOPQRST", u"UVWXY"}));
         }},
        {"destination info: a second line of 30 is cut to 20",
         [](TDMDPDLabelPrint& m) { m.txtDestInfo.SetText(u"short\r\n123456789012345678901234567890"); },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_EQ(MemoLines(label, u"txtDestInfo"), (std::vector<String>{u"short", u"12345678901234567890"}));
         }},
        {"an empty list hides its memo and caption, one empty line does not",
         [](TDMDPDLabelPrint& m) {
             m.txtDestPhone.Clear();
             m.txtDestContact.Clear();
             m.txtDestContact.Add(u"");
         },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_FALSE(Memo(label, u"txtDestPhone").Visible());
             EXPECT_FALSE(Memo(label, u"fixDestPhone").Visible());
             EXPECT_TRUE(Memo(label, u"txtDestContact").Visible());
             EXPECT_TRUE(Memo(label, u"fixDestContact").Visible());
         }},
        {"a flag rule never shows what an earlier step hid",
         [](TDMDPDLabelPrint& m) {
             m.IsCollectionRequestPickup = true;
             m.Bic3BarcodeTxt = "01234567890123";
             m.txtTourNumber.SetText(u"T\r\n17");
             m.txtOptCollReqPickupSenderAddress.Clear();
         },
         [](TDMDPDLabelPrint& m, TfrxReport* label) {
             EXPECT_EQ(label->ReportOptions()->Name(), u"T17_01234567890123");
             EXPECT_EQ(m.Aztec.ISO_ParcelNumber()->FieldValue(), u"01234567890123");
             EXPECT_FALSE(Memo(label, u"txtOptParcelRef1").Visible());
             EXPECT_FALSE(Memo(label, u"txtRoutServiceText").Visible());
             EXPECT_FALSE(Memo(label, u"txtRoutSSort").Visible());
             // The tracking number's own check character follows its 17 characters.
             EXPECT_EQ(MemoLines(label, u"txtRoutBarcodeText"),
                       std::vector<String>{u"0123 4567 8901 2310 1" +
                                           TDpdBarcode::CheckDigit(StringView(u"01234567890123101"))});
             EXPECT_EQ(RoutingBarcode(label).Text(), u"01234567890123101");
         }},
        {"collection request: the first reference takes the second one's place",
         [](TDMDPDLabelPrint& m) { m.IsCollectionRequest = true; },
         [](TDMDPDLabelPrint& m, TfrxReport* label) {
             EXPECT_EQ(Memo(label, u"txtOptParcelRef1").Top(), m.Geometry().txtOptParcelRef2_Top_FR);
             EXPECT_EQ(Memo(label, u"fixOptParcelRef1").Top(), m.Geometry().txtOptParcelRef2_Top_FR);
             EXPECT_FALSE(Memo(label, u"txtOptProductText").Visible());
         }},
        {"without the destination export flag the sort codes print white on black",
         [](TDMDPDLabelPrint& m) { m.IsDestExport = false; },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_EQ(Memo(label, u"txtRoutTrackingNumber1").Font().GetSize(), 20);
             EXPECT_EQ(Memo(label, u"txtRoutTrackingNumber2").Font().GetSize(), 16);
             EXPECT_EQ(Memo(label, u"txtRoutServiceMarker").Height(), 18);
             for (const char16_t* name : {u"txtRoutSSort", u"txtRoutOSort", u"txtRoutDSort"}) {
                 EXPECT_EQ(Memo(label, name).Color(), clBlack);
                 EXPECT_EQ(Memo(label, name).Font().GetColor(), clWhite);
             }
             EXPECT_EQ(Memo(label, u"txtRoutDSort").Font().GetSize(), 26);
         }},
        {"the option picture comes from the embedded predict picture",
         [](TDMDPDLabelPrint& m) {
             AddOptionPicture(m);
             m.IsDestExport = false;
             m.IsPredict = true;
         },
         [](TDMDPDLabelPrint& m, TfrxReport* label) {
             auto* picOpt = dynamic_cast<TfrxPictureView*>(Find(label, u"picOpt"));
             ASSERT_NE(picOpt, nullptr);
             EXPECT_TRUE(picOpt->Visible());
             EXPECT_EQ(picOpt->Picture()->GetWidth(), 64);
             TMemoryStream shown, embedded;
             picOpt->Picture()->SaveToStream(shown);
             TPicture predict;
             m.picPredict()->Data().SetPosition(0);
             predict.LoadFromStream(m.picPredict()->Data());
             predict.SaveToStream(embedded);
             EXPECT_TRUE(std::ranges::equal(shown.Bytes(), embedded.Bytes()));
             EXPECT_EQ(m.Aztec.ParcelInfo().IsPredict(), u'1');
         }},
        {"a special operation hides the option picture",
         [](TDMDPDLabelPrint& m) {
             AddOptionPicture(m);
             m.IsSpecialOperation = true;
             m.IsPUDODelivery = true;
         },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_FALSE(dynamic_cast<TfrxView*>(Find(label, u"picOpt"))->Visible());
         }},
        {"with the destination export flag a medical parcel shows no option picture",
         [](TDMDPDLabelPrint& m) {
             AddOptionPicture(m);
             m.IsMedical = true;
         },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             EXPECT_FALSE(dynamic_cast<TfrxView*>(Find(label, u"picOpt"))->Visible());
         }},
        {"a routing barcode of 356 pixels or less keeps its zoom",
         [](TDMDPDLabelPrint& m) { RoutingBarcode(m.frxGeoLabel()).SetZoom(1.0L); },
         [](TDMDPDLabelPrint&, TfrxReport* label) { EXPECT_EQ(RoutingBarcode(label).Zoom(), 1.0L); }},
        {"a wider one ends at the first zoom that fits, in steps of 0.01",
         [](TDMDPDLabelPrint& m) { RoutingBarcode(m.frxGeoLabel()).SetZoom(3.0L); },
         [](TDMDPDLabelPrint&, TfrxReport* label) {
             TfrxBarCodeView& view = RoutingBarcode(label);
             const auto width = [&view] { return view.GetRealBounds().Right - view.GetRealBounds().Left; };
             EXPECT_LE(width(), 356);
             const long double zoom = view.Zoom();
             EXPECT_NEAR(double(zoom * 100 - std::round(double(zoom * 100))), 0, 1e-6);
             view.SetZoom(zoom + 0.01L);
             EXPECT_GT(width(), 356);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        c.prepare(module);
        ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
        c.check(module, module.frxGeoLabel());
    }
}

TEST_F(DPDLabelPrint, PrintGeoLabelShowsEveryViewAndPutsTheRoutingPartBack) {
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    TfrxReport* label = module.frxGeoLabel();
    // Preparing may reload the template, so objects are looked up again after each print.
    const auto page = [label] { return dynamic_cast<TfrxReportPage*>(label->Pages(1)); };
    ASSERT_NE(page(), nullptr);
    page()->SetPaperHeight(60);
    // As a routing print leaves them: routing views moved up, the others hidden.
    ASSERT_TRUE(SameText(Memo(label, u"txtRoutServiceText").TagStr(), u"routing"));
    const long double top = Memo(label, u"txtRoutServiceText").Top();
    Memo(label, u"txtRoutServiceText").SetTop(top - 350);
    Memo(label, u"txtHeader").SetVisible(false);
    ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
    EXPECT_DOUBLE_EQ(double(page()->PaperHeight()), 152.6);
    EXPECT_TRUE(Memo(label, u"txtHeader").Visible());
    long double expected = top - 350 + 340;
    if (expected < 390)
        expected += 5;
    if (expected < 430)
        expected += 5;
    EXPECT_DOUBLE_EQ(double(Memo(label, u"txtRoutServiceText").Top()), double(expected));
    // Objects already at 340 pixels or lower stay.
    const long double again = Memo(label, u"txtRoutServiceText").Top();
    ASSERT_TRUE(module.PrintGeoLabel(prnPDF));
    EXPECT_EQ(Memo(label, u"txtRoutServiceText").Top(), again);
}

TEST_F(DPDLabelPrint, FailuresRaiseWrappedAndLeaveNoStream) {
    const String prefix = u"TDMLabelPrint.PrintGeoLabel TDMLabelPrint.PrintLabel ";
    struct Case {
        const char* name;
        std::function<void(TDMDPDLabelPrint&)> prepare;
        String message;
    };
    const Case cases[] = {
        {"bad BIC3", [](TDMDPDLabelPrint& m) { m.Bic3BarcodeTxt = "%0075"; }, u"not a valid Bic3-Barcode: %0075"},
        {"Aztec content that no symbol holds",
         [](TDMDPDLabelPrint& m) {
             m.Aztec.SetMaxChars(100000);
             m.Aztec.ISO_RecCompName1()->SetFieldValue(String(3000, u'N'));
             m.Aztec.STD_RecCompName2()->SetFieldValue(String(3000, u'M'));
         },
         u"The Aztec content of 6144 bytes cannot be encoded in an Aztec symbol"},
        {"service text of 5000 characters",
         [](TDMDPDLabelPrint& m) { m.txtRoutServiceText.SetText(String(5000, u'W')); },
         u"txtRoutServiceText does not fit"},
        {"offline barcode text of 2000 characters",
         [](TDMDPDLabelPrint& m) {
             m.IsOfflineMode = true;
             m.Bic3BarcodeTxt = std::string(2000, '7');
         },
         u"Barcode128Rout does not fit"},
        {"offline text Code 128 cannot encode (e acute)",
         [](TDMDPDLabelPrint& m) {
             m.IsOfflineMode = true;
             m.Bic3BarcodeTxt = "caf\xe9";
         },
         u"Invalid Barcode"},
        {"offline text Code 128 cannot encode (DEL)",
         [](TDMDPDLabelPrint& m) {
             m.IsOfflineMode = true;
             m.Bic3BarcodeTxt = "ab\x7f";
         },
         u"Invalid Barcode"},
        {"missing routing object",
         [](TDMDPDLabelPrint& m) { std::unique_ptr<TComponent>(Find(m.frxGeoLabel(), u"txtRoutbuAlphaStr")); },
         u"The template frxGeoLabel has no object txtRoutbuAlphaStr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        module.StreamPrinted = std::make_unique<TMemoryStream>();
        c.prepare(module);
        const auto start = std::chrono::steady_clock::now();
        try {
            module.PrintGeoLabel(prnPDF);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(StringToUtf8(e.Message()), StringToUtf8(prefix + c.message));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(module.StreamPrinted, nullptr);
        EXPECT_EQ(Store(module.frxGeoLabel()).Exports, 0);
    }
}

TEST_F(DPDLabelPrint, TargetFailuresRaiseWithTheReportErrors) {
    const String prefix = u"TDMLabelPrint.PrintGeoLabel TDMLabelPrint.PrintLabel ";
    {
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        ExpectRaises([&] { module.PrintGeoLabel(prnPrinter); }, prefix + u"printing is not supported");
        EXPECT_EQ(module.StreamPrinted, nullptr);
        EXPECT_FALSE(module.PrintGeoLabel(TPrintTo(prnGIF + 1)));
    }
    {
        // An export that reports failure leaves no half-written stream.
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        Store(module.frxGeoLabel()).OnExport = [&module](test::TPreviewPagesDouble&, TfrxCustomExportFilter* filter) {
            filter->Stream()->WriteBuffer("%PDF", 4);
            module.frxGeoLabel()->Errors().Add(u"disk full");
            return false;
        };
        ExpectRaises([&] { module.PrintGeoLabel(prnPDF); }, prefix + u"The label could not be exported: disk full");
        EXPECT_EQ(module.StreamPrinted, nullptr);
        EXPECT_EQ(module.PDFExport()->Stream(), nullptr);
    }
}

TEST_F(DPDLabelPrint, APreparationThatFailsRaisesWithTheReportErrors) {
    // The engine's run ends without success and leaves its reason in the report's errors; then a
    // run that ends without success and without a reason.
    for (const char16_t* reason : {u"Page PageGeoLabel holds nothing to print", u""}) {
        test::TServiceDoubles failing([reason](test::TEngineDouble& engine) {
            engine.OnRun = [reason](test::TEngineDouble& e, bool, bool, TfrxComponent*) {
                if (*reason)
                    dynamic_cast<TfrxReport*>(e.Report())->Errors().Add(reason);
                return false;
            };
        });
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        try {
            module.PrintGeoLabel(prnPDF);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            const std::string message = StringToUtf8(e.Message());
            EXPECT_EQ(message.rfind("TDMLabelPrint.PrintGeoLabel TDMLabelPrint.PrintLabel ", 0), 0u) << message;
            EXPECT_NE(message.find(StringToUtf8(reason)), std::string::npos) << message;
        }
        EXPECT_EQ(module.StreamPrinted, nullptr);
    }
}

TEST_F(DPDLabelPrint, TheFrenchLabelWithoutRoutingObjectsStopsNamingTheFirstOne) {
    // The first reference goes back to its designed place; the second one hides for a collection
    // request; the routing line then needs objects this template lacks.
    TTestModule module;
    test::FillFixtureParcel(module);
    module.IsCollectionRequest = true;
    module.txtOptParcelRef2.Add(u"Ref 2");
    TfrxReport* fr = module.frxGeoLabelFR();
    ExpectRaises([&] { module.PrintLabel(fr, prnPDF); },
                 u"TDMLabelPrint.PrintLabel The template frxGeoLabelFR has no object txtRoutbuAlphaStr");
    EXPECT_FALSE(Memo(fr, u"txtOptParcelRef2").Visible());
    EXPECT_EQ(Memo(fr, u"txtOptParcelRef1").Top(), module.Geometry().txtOptParcelRef2_Top_FR);
    module.IsCollectionRequest = false;
    EXPECT_THROW(module.PrintLabel(fr, prnPDF), Exception);
    EXPECT_EQ(Memo(fr, u"txtOptParcelRef1").Top(), module.Geometry().txtOptParcelRef1_Top_FR);
}

} // namespace
} // namespace vgl
