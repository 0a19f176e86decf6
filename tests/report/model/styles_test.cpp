#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "report/foundation/initialization.h"
#include "report/foundation/resource_strings.h"
#include "report/model/data_page.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/styles.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

std::string Bytes(TMemoryStream& stream) {
    const auto* p = reinterpret_cast<const char*>(stream.Memory());
    return std::string(p, p + stream.GetSize());
}

class StylesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() { FDoubles.reset(); }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;

    /// Two styles: "Header" bold on a yellow brush with a full frame, "Note" on a gradient with
    /// only the font applied.
    static void Fill(TfrxStyles& styles) {
        TfrxStyleItem* header = styles.Add();
        header->SetName(u"Header");
        header->Font()->SetStyle(TFontStyles{fsBold});
        header->SetColor(clYellow);
        header->Frame()->SetTyp(TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom});
        TfrxStyleItem* note = styles.Add();
        note->SetName(u"Note");
        note->SetFillType(ftGradient);
        static_cast<TfrxGradientFill*>(note->Fill())->SetEndColor(clRed);
        note->SetApplyFill(false);
        note->SetApplyFrame(false);
    }
};

TEST_F(StylesTest, NamesAreUniqueWithoutRegardToCase) {
    TfrxStyles styles;
    TfrxStyleItem* first = styles.Add();
    EXPECT_EQ(first->Font()->GetName(), u"Arial");
    EXPECT_EQ(first->Font()->GetSize(), 10);
    EXPECT_EQ(first->Font()->GetCharset(), DEFAULT_CHARSET);
    EXPECT_TRUE(first->ApplyFont() && first->ApplyFill() && first->ApplyFrame());
    EXPECT_EQ(first->FillType(), ftBrush);
    EXPECT_EQ(first->GetInheritedName(), first->TfrxCollectionItem::GetInheritedName());

    first->CreateUniqueName();
    EXPECT_EQ(first->Name(), u"Style1");
    EXPECT_EQ(first->GetInheritedName(), u"Style1");
    TfrxStyleItem* second = styles.Add();
    try {
        second->SetName(u"style1");
        FAIL() << "a duplicate name was taken";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), frxResourcesInstance().Get(u"clDupName"));
    }
    EXPECT_EQ(second->Name(), u"");
    second->CreateUniqueName();
    EXPECT_EQ(second->Name(), u"Style2");
    first->SetName(u"STYLE1"); // renaming itself is no duplicate
    EXPECT_EQ(styles.Find(u"style2"), second);
    EXPECT_EQ(styles.Find(u"Style3"), nullptr);
    TStringList list;
    list.Add(u"stale");
    styles.GetList(list);
    EXPECT_EQ(list.Text(), u"STYLE1\r\nStyle2\r\n");
}

TEST_F(StylesTest, ColorFollowsTheFillKind) {
    TfrxStyles styles;
    TfrxStyleItem* style = styles.Add();
    EXPECT_EQ(style->Color(), clNone);
    style->SetColor(clYellow);
    EXPECT_EQ(style->Color(), clYellow);
    style->SetFillType(ftGradient);
    auto* gradient = dynamic_cast<TfrxGradientFill*>(style->Fill());
    ASSERT_NE(gradient, nullptr);
    EXPECT_EQ(style->Color(), gradient->GetColor());
    style->SetColor(clRed); // only a brush fill takes a colour
    EXPECT_EQ(style->Color(), gradient->GetColor());
    style->SetFillType(ftGlass);
    EXPECT_EQ(style->Color(), clNone);

    TfrxBrushFill brush;
    brush.SetBackColor(clBlue);
    style->SetFill(&brush);
    EXPECT_EQ(style->FillType(), ftBrush);
    EXPECT_EQ(style->Color(), clBlue);

    TfrxStyles copy;
    Fill(copy);
    TfrxStyleItem* other = styles.Add();
    other->Assign(copy.Items(1));
    EXPECT_EQ(other->Name(), u"Note");
    EXPECT_EQ(other->FillType(), ftGradient);
    EXPECT_FALSE(other->ApplyFill());
    // A copy may not take a name the collection already has.
    EXPECT_THROW(style->Assign(other), Exception);
}

TEST_F(StylesTest, StyleSheetRoundTripsAndOtherRootsLoadNothing) {
    TfrxStyles styles;
    styles.SetName(u"Sheet");
    Fill(styles);
    TMemoryStream stream;
    styles.SaveToStream(stream);
    const std::string saved = Bytes(stream);
    EXPECT_EQ(test::XmlLint(saved), "");
    EXPECT_NE(saved.find("<style Name=\"Sheet\">"), std::string::npos) << saved;

    TfrxStyles loaded;
    loaded.Add()->SetName(u"Old");
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.Name(), u"Sheet");
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Find(u"Old"), nullptr);
    EXPECT_EQ(loaded.Items(0)->Color(), clYellow);
    EXPECT_EQ(loaded.Items(0)->Font()->GetStyle(), TFontStyles{fsBold});
    EXPECT_EQ(loaded.Items(0)->Frame()->Typ(), (TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom}));
    EXPECT_EQ(loaded.Items(1)->FillType(), ftGradient);
    EXPECT_EQ(static_cast<TfrxGradientFill*>(loaded.Items(1)->Fill())->EndColor(), clRed);
    EXPECT_FALSE(loaded.Items(1)->ApplyFrame());
    TMemoryStream again;
    loaded.SaveToStream(again);
    EXPECT_EQ(Bytes(again), saved);

    const std::string other = "<?xml version=\"1.0\"?><styles Name=\"X\"><item Name=\"A\"/></styles>";
    TMemoryStream wrong;
    wrong.WriteBuffer(other.data(), other.size());
    wrong.SetPosition(0);
    loaded.LoadFromStream(wrong);
    EXPECT_EQ(loaded.Count(), 0);
}

TEST_F(StylesTest, ReportStoresItsStylesAndApplyForgetsMissingOnes) {
    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    auto* data = new TfrxDataPage(&report);
    data->SetParent(&report);
    data->SetName(u"Data");
    auto* page = new TfrxReportPage(&report);
    page->SetParent(&report);
    page->SetName(u"Page1");
    auto* kept = new TfrxMemoView(&report);
    kept->SetParent(page);
    kept->SetName(u"Kept");
    auto* lost = new TfrxMemoView(&report);
    lost->SetParent(page);
    lost->SetName(u"Lost");

    TfrxStyles source;
    Fill(source);
    kept->SetStyle(u"note");
    lost->SetStyle(u"Gone");
    report.SetStyles(&source);
    EXPECT_EQ(report.Styles()->Count(), 2);
    EXPECT_EQ(report.Styles()->Report(), &report);
    EXPECT_EQ(kept->Style(), u"note");
    EXPECT_EQ(lost->Style(), u"");

    TMemoryStream stream;
    report.SaveToStream(stream);
    const std::string saved = Bytes(stream);
    EXPECT_NE(saved.find("<Styles Name=\"\">"), std::string::npos) << saved;
    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    stream.SetPosition(0);
    copy.LoadFromStream(stream);
    EXPECT_EQ(copy.Errors().Text(), u"");
    ASSERT_EQ(copy.Styles()->Count(), 2);
    EXPECT_EQ(copy.Styles()->Items(1)->FillType(), ftGradient);
    TMemoryStream again;
    copy.SaveToStream(again);
    EXPECT_EQ(Bytes(again), saved);

    report.SetStyles(nullptr);
    EXPECT_EQ(report.Styles()->Count(), 0);
    TMemoryStream without;
    report.SaveToStream(without);
    EXPECT_EQ(Bytes(without).find("Styles"), std::string::npos);
    copy.Clear();
    EXPECT_EQ(copy.Styles()->Count(), 0);
}

} // namespace
} // namespace vgl
