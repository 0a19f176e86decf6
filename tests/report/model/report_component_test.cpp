#include "report/model/report_component.h"

#include <gtest/gtest.h>

#include "tests/report/model/model_test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

using test::Saved;
using test::XmlLint;

// Stand-ins for the classes of later layers, recognised by their class names as the real ones
// will be. The report answers the report queries; views publish what the serializer moves.
class TfrxReport : public TfrxReportComponent {
    VGL_CLASS(TfrxReport, TfrxReportComponent)
    explicit TfrxReport(TComponent* owner = nullptr) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
    TStringList* ReportErrors() override { return &Errors; }
    TStringList Errors;
};

class TfrxView : public TfrxReportComponent {
    VGL_CLASS(TfrxView, TfrxReportComponent)
    explicit TfrxView(TComponent* owner) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override { ++Draws; }
    TfrxAlign GetAlign() const override { return FAlign; }
    void SetAlign(TfrxAlign value) { FAlign = value; }
    int Draws = 0;

private:
    TfrxAlign FAlign = baNone;
};

class TfrxMemoView : public TfrxView {
    VGL_CLASS(TfrxMemoView, TfrxView)
    explicit TfrxMemoView(TComponent* owner) : TfrxView(owner) {}
};

class TfrxShapeView : public TfrxView {
    VGL_CLASS(TfrxShapeView, TfrxView)
    explicit TfrxShapeView(TComponent* owner) : TfrxView(owner) {}
};

class TfrxBand : public TfrxReportComponent {
    VGL_CLASS(TfrxBand, TfrxReportComponent)
    explicit TfrxBand(TComponent* owner) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
};

class TPlainThing : public TfrxReportComponent {
    VGL_CLASS(TPlainThing, TfrxReportComponent)
    explicit TPlainThing(TComponent* owner) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
};

VGL_DEFINE_CLASS(TfrxReport) {}
VGL_DEFINE_CLASS(TfrxView) {
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Property(u"Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Property(u"Align", &TfrxView::GetAlign, &TfrxView::SetAlign).Default(baNone);
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);
    b.Property(u"ParentFont", &TfrxComponent::ParentFont, &TfrxComponent::SetParentFont).Default(true);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
}
VGL_DEFINE_CLASS(TfrxMemoView) {}
VGL_DEFINE_CLASS(TfrxShapeView) {}
VGL_DEFINE_CLASS(TfrxBand) {
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Property(u"Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
}
VGL_DEFINE_CLASS(TPlainThing) {}

// The stand-ins take the real classes' names in the class registry while the suite runs (so that
// reading creates them), and give the names back afterwards.
class StandIns {
public:
    StandIns() {
        for (TClass cls :
             {&TfrxReport::StaticClassInfo(), &TfrxView::StaticClassInfo(), &TfrxMemoView::StaticClassInfo(),
              &TfrxShapeView::StaticClassInfo(), &TfrxBand::StaticClassInfo()}) {
            if (TClass real = GetClass(cls->Name()); real && real != cls) {
                UnRegisterClass(real);
                FDisplaced.push_back(real);
            }
            RegisterClass(cls);
            FRegistered.push_back(cls);
        }
    }
    ~StandIns() {
        for (TClass cls : FRegistered)
            UnRegisterClass(cls);
        for (TClass cls : FDisplaced)
            RegisterClass(cls);
    }

private:
    std::vector<TClass> FRegistered, FDisplaced;
};

class ReportComponent : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FStandIns = std::make_unique<StandIns>(); }
    static void TearDownTestSuite() { FStandIns.reset(); }
    static inline std::unique_ptr<StandIns> FStandIns;
    TfrxReport Report;
    TfrxMemoView* Memo(const String& name, TfrxComponent* parent = nullptr) {
        auto* m = new TfrxMemoView(parent ? parent : &Report);
        if (!name.empty())
            m->SetName(name);
        return m;
    }
};

TEST_F(ReportComponent, BaseNamesAndRenaming) {
    EXPECT_EQ(TfrxShapeView(&Report).BaseName(), u"Shape");
    EXPECT_EQ(TPlainThing(&Report).BaseName(), u"TPlainThing");
    TfrxMemoView* memo = Memo(u"Memo1");
    memo->SetName(u"MEMO1");
    EXPECT_EQ(memo->Name(), u"Memo1");
    EXPECT_EQ(Report.FindObject(String(u"memo1")), memo);
    EXPECT_EQ(memo->GetReport(), &Report);
    EXPECT_EQ(memo->Owner(), &Report);

    // A refused rename leaves name and index unchanged.
    TfrxMemoView* other = Memo(u"Memo2");
    EXPECT_THROW(other->SetName(u"Memo1"), EComponentError);
    EXPECT_THROW(other->SetName(u"not valid"), EComponentError);
    EXPECT_EQ(other->Name(), u"Memo2");
    EXPECT_EQ(Report.TreeIndex()->at(u"Memo2"), other);
    EXPECT_EQ(Report.TreeIndex()->at(u"Memo1"), memo);
    EXPECT_EQ(Report.TreeIndex()->count(u"not valid"), 0u);
}

TEST_F(ReportComponent, UniqueNames) {
    Report.SetName(u"Report1");
    // Four or more names: the estimate between the probes, then counting up.
    for (const char16_t* name : {u"Memo1", u"Memo2", u"Memo5"})
        Memo(name);
    TfrxMemoView* fresh = Memo({});
    fresh->CreateUniqueName();
    EXPECT_EQ(fresh->Name(), u"Memo3");
    EXPECT_EQ(Report.TreeIndex()->at(u"Memo3"), fresh);

    // Fewer than four names: counting up from 1.
    TfrxReport small;
    for (const char16_t* name : {u"Memo1", u"Memo2"})
        (new TfrxMemoView(&small))->SetName(name);
    auto* third = new TfrxMemoView(&small);
    third->CreateUniqueName();
    EXPECT_EQ(third->Name(), u"Memo3");

    // No numbered memo: Memo1, and the probes stay in the index without objects; a probe's name
    // can still be taken once, and then maps to its object.
    TfrxReport plain;
    plain.SetName(u"Report1");
    for (const char16_t* name : {u"Page1", u"Band1", u"Shape1"})
        (new TfrxView(&plain))->SetName(name);
    auto* first = new TfrxMemoView(&plain);
    first->CreateUniqueName();
    EXPECT_EQ(first->Name(), u"Memo1");
    TfrxNameIndex& index = *plain.TreeIndex();
    ASSERT_TRUE(index.count(u"Memo0") && index.count(u"MemoA"));
    EXPECT_EQ(index.at(u"Memo0"), nullptr);
    auto* a = new TfrxMemoView(&plain);
    a->SetName(u"MemoA");
    EXPECT_EQ(index.at(u"MemoA"), a);
    auto* b = new TfrxMemoView(&plain);
    EXPECT_THROW(b->SetName(u"MemoA"), EComponentError);
}

TEST_F(ReportComponent, Anchors) {
    struct Case {
        TfrxAnchors Anchors;
        long double Left, Width;
    };
    const Case cases[] = {
        {{fraLeft, fraTop}, 10, 20},
        {{fraRight}, 110, 20},
        {{}, 10 + 85, 20}, // 100 / 1.18 = 84.7, rounded
        {{fraLeft, fraRight}, 10, 120},
    };
    for (const Case& c : cases) {
        TfrxView parent(&Report);
        parent.SetBounds(0, 0, 200, 100);
        auto* child = new TfrxView(&parent);
        child->SetBounds(10, 10, 20, 20);
        child->SetAnchors(c.Anchors);
        parent.SetWidth(300);
        EXPECT_EQ(child->Left(), c.Left);
        EXPECT_EQ(child->Width(), c.Width);
        parent.SetWidth(300.005L); // below the threshold: no re-anchoring
        EXPECT_EQ(child->Left(), c.Left);
        EXPECT_EQ(child->Width(), c.Width);
    }
    TfrxView parent(&Report);
    parent.SetBounds(0, 0, 200, 100);
    auto* child = new TfrxView(&parent);
    child->SetBounds(10, 10, 20, 20);
    child->SetAnchors({fraLeft, fraBottom});
    parent.SetHeight(150);
    EXPECT_EQ(child->Top(), 60);
}

TEST_F(ReportComponent, ContainmentAndAlignment) {
    TfrxView line(&Report);
    line.SetBounds(100, 100, 0, 50);
    EXPECT_TRUE(line.IsContain(96, 120));
    EXPECT_FALSE(line.IsContain(95, 120));
    line.SetBounds(100, 100, 50, 0);
    EXPECT_TRUE(line.IsContain(120, 96));
    EXPECT_FALSE(line.IsContain(120, 95));
    EXPECT_TRUE(line.IsInRect(MakeFrxRect(150, 100, 200, 200)));
    EXPECT_FALSE(line.IsInRect(MakeFrxRect(151, 100, 200, 200)));

    TfrxView parent(&Report);
    parent.SetBounds(0, 0, 400, 100);
    auto* second = new TfrxView(&parent);
    second->SetBounds(300, 10, 50, 20);
    second->SetAlign(baLeft);
    auto* first = new TfrxView(&parent);
    first->SetBounds(200, 10, 30, 20);
    first->SetAlign(baLeft);
    auto* client = new TfrxView(&parent);
    client->SetBounds(5, 5, 5, 5);
    client->SetAlign(baClient);
    parent.AlignChildren();
    EXPECT_EQ(first->Left(), 0);
    EXPECT_EQ(second->Left(), 30);
    EXPECT_EQ(client->Left(), 0);
    EXPECT_EQ(client->Width(), 400);
    EXPECT_EQ(client->Height(), 100);
}

TEST_F(ReportComponent, DiffTexts) {
    TfrxView source(&Report), copy(&Report);
    EXPECT_EQ(copy.Diff(&source), u"");
    copy.SetBounds(1.5L, 2, 3.25L, 4);
    copy.SetVisible(false);
    TFont font;
    font.Assign(copy.Font());
    font.SetName(u"Courier & Co");
    font.SetSize(12);
    font.SetColor(255);
    font.SetStyle({fsBold, fsUnderline});
    font.SetCharset(204);
    copy.SetFont(font);
    copy.SetTag(7);
    copy.SetAllowMirrorMode(true);
    EXPECT_EQ(copy.Diff(&source), u" l=\"1.5\" t=\"2\" w=\"3.25\" h=\"4\" Visible=\"0\" Font.Name=\"Courier &#38; Co\""
                                  u" Font.Size=\"12\" Font.Color=\"255\" Font.Style=\"5\" Font.Charset=\"204\""
                                  u" ParentFont=\"0\" Tag=\"7\" AllowMirrorMode=\"1\"");

    TfrxBand band(&Report), bandSource(&Report);
    EXPECT_EQ(band.Diff(&bandSource), u" t=\"0\"");
    band.SetHeight(20);
    // Without a source only the serializer's attribute list (floats have no default value).
    EXPECT_EQ(band.AllDiff(nullptr), u"Left=\"0\" Top=\"0\" Width=\"0\" Height=\"20\"");
}

TEST_F(ReportComponent, AllDiffNamesEveryAttributeOnce) {
    TfrxView source(&Report), copy(&Report);
    copy.SetVisible(false);
    copy.SetLeft(5);
    const String diff = copy.AllDiff(&source);
    std::size_t count = 0;
    for (std::size_t at = diff.find(u"Visible="); at != String::npos; at = diff.find(u"Visible=", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << StringToUtf8(diff);
    EXPECT_NE(diff.find(u"Visible=\"0\""), String::npos);
    EXPECT_EQ(XmlLint("<TfrxView " + StringToUtf8(diff) + "/>"), "");
}

TEST_F(ReportComponent, SaveLoadAndAssign) {
    Report.SetName(u"Report1");
    auto* band = new TfrxBand(&Report);
    band->SetName(u"Band1");
    band->SetBounds(0, 20, 700, 40.5L);
    auto* memo = Memo(u"Memo1", band);
    memo->SetBounds(8, 4, 120, 18);
    memo->SetAlign(baRight);
    TFont font;
    font.Assign(memo->Font());
    font.SetStyle({fsBold});
    memo->SetFont(font);
    Memo(u"Memo2", band)->SetVisible(false);

    const std::string saved = Saved(Report);
    EXPECT_EQ(XmlLint(saved), "");
    TfrxReport loaded;
    TMemoryStream in;
    in.WriteBuffer(saved.data(), std::int64_t(saved.size()));
    in.SetPosition(0);
    loaded.LoadFromStream(in);
    EXPECT_EQ(loaded.Errors.Count(), 0);
    EXPECT_EQ(Saved(loaded), saved);
    auto* loadedMemo = dynamic_cast<TfrxMemoView*>(loaded.FindObject(String(u"Memo1")));
    ASSERT_NE(loadedMemo, nullptr);
    EXPECT_EQ(loadedMemo->Parent()->Name(), u"Band1");
    EXPECT_TRUE(loadedMemo->Font().GetStyle().Contains(fsBold));
    EXPECT_FALSE(loadedMemo->ParentFont());

    TfrxMemoView copy(&Report);
    copy.Assign(memo);
    EXPECT_EQ(copy.Left(), 8);
    EXPECT_EQ(copy.GetAlign(), baRight);
    EXPECT_EQ(Saved(copy), Saved(*memo));
}

TEST_F(ReportComponent, FontsFollowTheParent) {
    TfrxView parent(&Report);
    auto* child = new TfrxView(&parent);
    EXPECT_TRUE(child->ParentFont());
    EXPECT_EQ(parent.Font().GetName(), u"Arial");
    EXPECT_EQ(parent.Font().GetSize(), 10);
    parent.Font().SetSize(14);
    EXPECT_EQ(child->Font().GetSize(), 14);
    EXPECT_FALSE(parent.ParentFont());
    child->Font().SetSize(8);
    parent.Font().SetSize(16);
    EXPECT_EQ(child->Font().GetSize(), 8);
}

TEST_F(ReportComponent, FreeingInAnyOrderLeavesNoDanglingEntry) {
    Report.SetName(u"Report1");
    auto* band = new TfrxBand(&Report);
    band->SetName(u"Band1");
    auto* unnamed = new TfrxView(band);
    Memo(u"Memo1", unnamed);
    Memo(u"Memo2", band);
    ASSERT_EQ(Report.TreeIndex()->size(), 4u); // the index is built with every named object
    delete unnamed;                            // its named child leaves the index too
    EXPECT_EQ(Report.FindObject(String(u"Memo1")), nullptr);
    EXPECT_EQ(Report.TreeIndex()->count(u"Memo1"), 0u);
    auto* again = Memo(u"Memo1"); // the name is free again
    delete band;
    EXPECT_EQ(Report.FindObject(String(u"Memo2")), nullptr);
    again->SetName(u"Memo2");
    EXPECT_EQ(Report.FindObject(String(u"Memo2")), again);
    Report.Clear();
    EXPECT_EQ(Report.Objects().Count(), 0);
    EXPECT_TRUE(Report.TreeIndex()->size() <= 1u);
}

TEST_F(ReportComponent, ParentsCannotFormACycle) {
    TfrxView a(&Report);
    auto* b = new TfrxView(&a);
    EXPECT_THROW(a.SetParent(b), EInvalidOperation);
    EXPECT_THROW(a.SetParent(&a), EInvalidOperation);
    EXPECT_EQ(b->Parent(), &a);
}

TEST_F(ReportComponent, DrawingAndPrintHooks) {
    TfrxView parent(&Report);
    auto* child = new TfrxView(&parent);
    TBitmap bitmap(4, 4);
    TCanvas canvas(&bitmap);
    parent.DrawWithChilds(canvas, 1, 1, 0, 0);
    EXPECT_EQ(parent.Draws, 1);
    EXPECT_EQ(child->Draws, 1);
    child->SetBounds(1, 2, 3, 4);
    child->BeforePrint();
    child->SetBounds(9, 9, 9, 9);
    child->AfterPrint();
    EXPECT_EQ(child->Left(), 1);
    EXPECT_EQ(child->Height(), 4);
    EXPECT_NEAR(double(RoundTo8Places(1.000000004L)), 1.0, 1e-15);
    EXPECT_NEAR(double(RoundTo8Places(1.000000006L)), 1.00000001, 1e-15);
    EXPECT_EQ(ShiftToInt(0x1FF), 0xFF);
}

} // namespace
} // namespace vgl
