#include "script/bindings/report_bindings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/list.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/report_variables.h"
#include "report/foundation/wide_strings.h"
#include "report/model/bands.h"
#include "report/model/barcode_view.h"
#include "report/model/data_set.h"
#include "report/model/engine.h"
#include "report/model/fills.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "report/model/styles.h"
#include "script/bindings/barcode_bindings.h"
#include "script/bindings/bindings.h"
#include "script/bindings/classes_bindings.h"
#include "script/bindings/dialogs_bindings.h"
#include "script/bindings/forms_bindings.h"
#include "script/bindings/graphics_bindings.h"
#include "script/bindings/ini_bindings.h"
#include "script/engine/initialization.h"
#include "script/engine/script_tools.h"
#include "script/engine/script_xml.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {

namespace {

void StartUp() {
    static const bool done = (InitializeReportFoundation(), InitializeScriptEngine(), InitializeReportModel(),
                              InitializeScriptBindings(), true);
    (void)done;
}

struct Bound {
    Bound() : Script(nullptr) {
        StartUp();
        Script.AddRTTI();
    }
    TfsCustomHelper* Member(const char16_t* cls, const char16_t* member, const Variant& self) {
        TfsClassVariable* c = Script.FindClass(cls);
        EXPECT_NE(c, nullptr);
        TfsCustomHelper* h = c->Find(member);
        EXPECT_NE(h, nullptr);
        h->ParentValue = self;
        h->Prog = &Script;
        return h;
    }
    Variant Call(const char16_t* cls, const char16_t* member, const Variant& self, std::vector<Variant> args = {}) {
        TfsCustomHelper* h = Member(cls, member, self);
        for (size_t i = 0; i < args.size(); ++i)
            h->GetParam(int(i))->SetValue(args[i]);
        return h->GetValue();
    }
    Variant Function(const char16_t* name, std::vector<Variant> args) {
        auto* f = dynamic_cast<TfsMethodHelper*>(Script.Find(name));
        EXPECT_NE(f, nullptr);
        f->Prog = &Script;
        for (size_t i = 0; i < args.size(); ++i)
            f->GetParam(int(i))->SetValue(args[i]);
        return f->GetValue();
    }
    TfsScript Script;
};

} // namespace

TEST(ReportBindings, ContentsTreeIsWellFormedAndListsTheBindings) {
    Bound b;
    TfsXMLDocument doc;
    doc.Root()->SetName(u"contents");
    fsBuildContentsTree(b.Script, *doc.Root(), false);
    const std::string path = "/tmp/vgl_bindings_contents_" + std::to_string(::getpid()) + ".xml";
    doc.SaveToFile(String(path.begin(), path.end()));
    EXPECT_EQ(std::system(("xmllint --noout " + path).c_str()), 0);
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    std::remove(path.c_str());
    const std::string xml = text.str();
    for (const char* expected :
         {"TStringList = class(TStrings)", "TfrxReport = class(TfrxComponent)", "TfsXMLItem = class(TObject)",
          "TfsXMLDocument = class(TObject)", "TfrxCustomPreview = class(TCustomControl)",
          "TfrxPreviewPages = class(TfrxCustomPreviewPages)", "TfrxStyles = class(TCollection)",
          "TfrxEngine = class(TfrxCustomEngine)", "TfrxOutline = class(TfrxCustomOutline)",
          "TfrxCustomDBDataSet = class(TfrxDataSet)", "function GetPostProcessor: TfrxPostProcessor",
          "property Styles: TfrxStyles", "function Calc(const Expr: String): Variant",
          "function DayOf(Date: TDateTime): Integer", "function SUM(Band: TfrxComponent): Variant",
          "function MAX(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant"})
        EXPECT_NE(xml.find(expected), std::string::npos) << expected;
    // DayOf, MonthOf and YearOf sit under ctDate, both forms of the aggregates under ctAggregate.
    auto group = [&xml](const std::string& category) {
        const size_t open = xml.find("<" + category + " ");
        const size_t close = xml.find("</" + category + ">", open);
        return open == std::string::npos || close == std::string::npos ? std::string() : xml.substr(open, close - open);
    };
    const std::string date = group("ctDate"), aggregate = group("ctAggregate");
    for (const char* f : {"function DayOf(", "function MonthOf(", "function YearOf("})
        EXPECT_NE(date.find(f), std::string::npos) << f;
    for (const char* f : {"function SUM(Expr", "function SUM(Band: TfrxComponent)", "function AVG(Expr",
                          "function AVG(Band: TfrxComponent)", "function MIN(Expr", "function MIN(Band: TfrxComponent)",
                          "function MAX(Expr", "function MAX(Band: TfrxComponent)", "function COUNT("})
        EXPECT_NE(aggregate.find(f), std::string::npos) << f;
}

TEST(ReportBindings, ConstantsAndEnumerationValues) {
    Bound b;
    EXPECT_DOUBLE_EQ(b.Script.GetVariables(u"fr1cm").AsExtended(), 37.7953);
    const Variant in = b.Script.GetVariables(u"fr1in");
    EXPECT_EQ(in.VType(), varInteger);
    EXPECT_EQ(in.AsInteger(), 96);
    EXPECT_EQ(b.Script.GetVariables(u"fr1CharY").VType(), varInteger);
    EXPECT_EQ(b.Script.FindLocal(u"fr1in")->TypeName, u"Extended");
    EXPECT_EQ(b.Script.GetVariables(u"fr01in").VType(), varDouble);
    EXPECT_EQ(b.Script.GetVariables(u"clTransparent"), Variant(536870911));
    EXPECT_EQ(b.Script.GetVariables(u"baClient").AsInteger(), 6);
    EXPECT_EQ(b.Script.GetVariables(u"ftLeft").AsInteger() + b.Script.GetVariables(u"ftTop").AsInteger(), 5);
    EXPECT_EQ(b.Script.GetVariables(u"pbInplaceEdit").AsInteger(), 1 << 18);
    EXPECT_EQ(b.Script.GetVariables(u"bcCode128").AsInteger(), 6);
    EXPECT_EQ(b.Script.GetVariables(u"bcCode128C").AsInteger(), 9);
    EXPECT_EQ(b.Script.GetVariables(u"bcDeutsche_Post_Leitcode").AsInteger(), 31);
    EXPECT_EQ(b.Script.FindClass(u"TfrxBarCodeView")->Ancestor(), u"TfrxView");
}

TEST(ReportBindings, EnumerationAndSetValuesReachPublishedProperties) {
    Bound b;
    TfrxShapeView shape(nullptr);
    b.Member(u"TfrxShapeView", u"Align", Variant::FromObject(&shape))->SetValue(b.Script.GetVariables(u"baClient"));
    EXPECT_EQ(shape.GetAlign(), baClient);
    b.Member(u"TfrxFrame", u"Typ", Variant::FromObject(shape.Frame()))->SetValue(5);
    EXPECT_TRUE(shape.Frame()->Typ().Contains(ftLeft));
    EXPECT_TRUE(shape.Frame()->Typ().Contains(ftTop));
    EXPECT_FALSE(shape.Frame()->Typ().Contains(ftRight));
    TfrxBarCodeView barcode(nullptr);
    b.Member(u"TfrxBarCodeView", u"BarType", Variant::FromObject(&barcode))
        ->SetValue(b.Script.GetVariables(u"bcCode128"));
    EXPECT_EQ(barcode.BarType(), bcCode128);
}

TEST(ReportBindings, GlobalFunctions) {
    Bound b;
    const Variant date = Variant::FromDate(EncodeDate(2024, 3, 5));
    EXPECT_EQ(b.Function(u"DayOf", {date}).AsInteger(), 5);
    EXPECT_EQ(b.Function(u"MonthOf", {date}).AsInteger(), 3);
    EXPECT_EQ(b.Function(u"YearOf", {date}).AsInteger(), 2024);
    EXPECT_EQ(b.Function(u"IIF", {true, 1, 2}), Variant(0));
}

TEST(ReportBindings, WideStringsCreateAWideStringList) {
    Bound b;
    TfsClassVariable* cls = b.Script.FindClass(u"TWideStrings");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->Ancestor(), u"TPersistent");
    const Variant list = b.Call(u"TWideStrings", u"Create", cls->GetValue());
    EXPECT_EQ(b.Call(u"TWideStrings", u"ClassName", list), Variant(u"TWideStringList"));
    EXPECT_EQ(b.Call(u"TWideStrings", u"Add", list, {String(u"\u0416x")}), Variant(0));
    EXPECT_EQ(b.Call(u"TWideStrings", u"Strings", list, {0}), Variant(String(u"\u0416x")));
    EXPECT_EQ(b.Call(u"TWideStrings", u"Count", list), Variant(1));
    // A memo's line list is a TWideStrings to scripts.
    TfrxWideStrings lines;
    EXPECT_TRUE(lines.InheritsFrom(&TWideStrings::StaticClassInfo()));
}

TEST(ReportBindings, FillCastsAndComponentLists) {
    Bound b;
    TfrxShapeView shape(nullptr);
    const Variant fill = Variant::FromObject(shape.Fill());
    EXPECT_EQ(b.Call(u"TfrxCustomFill", u"AsBrushFill", fill).AsObject(), shape.Fill());
    EXPECT_THROW(b.Call(u"TfrxCustomFill", u"AsGlassFill", fill), EInvalidCast);

    TfrxPage page(nullptr);
    auto* first = new TfrxShapeView(&page);
    first->SetParent(&page);
    const Variant v = Variant::FromObject(&page);
    const Variant all1 = b.Call(u"TfrxPage", u"AllObjects", v);
    EXPECT_EQ(static_cast<TList*>(all1.AsObject())->Count(), 1);
    auto* second = new TfrxShapeView(&page);
    second->SetParent(first);
    const Variant all2 = b.Call(u"TfrxPage", u"AllObjects", v);
    EXPECT_EQ(all1.AsObject(), all2.AsObject());
    EXPECT_EQ(static_cast<TList*>(all2.AsObject())->Count(), 2);
    EXPECT_EQ(static_cast<TList*>(b.Call(u"TfrxPage", u"Objects", v).AsObject())->Count(), 1);
    EXPECT_EQ(b.Call(u"TfrxShapeView", u"Page", Variant::FromObject(second)).AsObject(), &page);
    EXPECT_EQ(b.Call(u"TfrxShapeView", u"FindObject", v, {u"nothing"}), Variant(0));
}

TEST(ReportBindings, ComponentMembers) {
    Bound b;
    TfrxPage page(nullptr);
    auto* view = new TfrxShapeView(&page);
    const Variant v = Variant::FromObject(view);
    b.Call(u"TfrxShapeView", u"SetBounds", v, {10.5, 20, 30, 40});
    EXPECT_DOUBLE_EQ(double(view->Left()), 10.5);
    EXPECT_DOUBLE_EQ(double(view->Height()), 40);
    b.Member(u"TfrxShapeView", u"Parent", v)->SetValue(Variant::FromObject(&page));
    EXPECT_EQ(view->Parent(), &page);
    EXPECT_DOUBLE_EQ(b.Call(u"TfrxShapeView", u"AbsLeft", v).AsExtended(), double(page.Left()) + 10.5);
    b.Member(u"TfrxShapeView", u"TagStr", v)->SetValue(u"tag");
    EXPECT_EQ(b.Call(u"TfrxShapeView", u"TagStr", v), Variant(u"tag"));
    TStringList notAComponent;
    EXPECT_THROW(b.Member(u"TfrxShapeView", u"Parent", v)->SetValue(Variant::FromObject(&notAComponent)), EInvalidCast);
}

TEST(ReportBindings, ShowReportFromItsOwnScriptRebuildsThePreview) {
    StartUp();
    test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    test::TPreviewDouble preview(nullptr);
    report.SetPreview(&preview);
    const int inits = preview.Inits;
    TfsScript& s = report.Script();
    TfsCustomHelper* show = s.FindClass(u"TfrxReport")->Find(u"ShowReport");
    show->ParentValue = Variant::FromObject(&report);
    show->Prog = &s;
    show->GetValue();
    EXPECT_EQ(preview.Refreshes, 1);
    EXPECT_EQ(preview.Inits, inits);
    TfsCustomHelper* get = s.FindClass(u"TfrxReport")->Find(u"GetDataset");
    get->ParentValue = Variant::FromObject(&report);
    get->Prog = &s;
    get->GetParam(0)->SetValue(u"nothing");
    EXPECT_EQ(get->GetValue(), Variant(0));
    report.SetPreview(nullptr);
}

TEST(ReportBindings, ReportFilesLoadAndSave) {
    StartUp();
    test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    TfsScript& s = report.Script();
    auto call = [&](const char16_t* member, const String& file) {
        TfsCustomHelper* h = s.FindClass(u"TfrxReport")->Find(member);
        h->ParentValue = Variant::FromObject(&report);
        h->Prog = &s;
        h->GetParam(0)->SetValue(file);
        return h->GetValue();
    };
    EXPECT_EQ(call(u"LoadFromFile", u"/tmp/vgl_no_such_dir/missing.fr3"), Variant(false));
    const String path = u"/tmp/vgl_bindings_report_" + IntToStr(int(::getpid())) + u".fr3";
    report.ScriptText().SetText(u"begin\r\nend.");
    call(u"SaveToFile", path);
    report.ScriptText().Clear();
    EXPECT_EQ(call(u"LoadFromFile", path), Variant(true));
    EXPECT_EQ(report.ScriptText().Count(), 2);
    std::remove(StringToUtf8(path).c_str());
}

TEST(ReportBindings, MemoTextAndLines) {
    Bound b;
    TfrxMemoView memo(nullptr);
    const Variant v = Variant::FromObject(&memo);
    b.Member(u"TfrxMemoView", u"Text", v)->SetValue(u"one\r\ntwo");
    EXPECT_EQ(memo.Lines().Count(), 2);
    const Variant lines = b.Call(u"TfrxMemoView", u"Lines", v);
    EXPECT_EQ(lines.AsObject(), &memo.Lines());
    EXPECT_EQ(b.Call(u"TWideStrings", u"Strings", lines, {1}), Variant(u"two"));
    // The memo's own list is the host's: a script cannot free it.
    EXPECT_ANY_THROW(b.Call(u"TWideStrings", u"Free", lines));
    TStringList other;
    other.SetCommaText(u"a,b,c");
    b.Member(u"TfrxMemoView", u"Lines", v)->SetValue(Variant::FromObject(&other));
    EXPECT_EQ(memo.Lines().Count(), 3);
    EXPECT_EQ(&memo.Lines(), lines.AsObject());
    EXPECT_EQ(b.Script.FindClass(u"TfrxMasterData")->Ancestor(), u"TfrxDataBand");
    EXPECT_EQ(b.Script.FindClass(u"TfrxOverlay")->Ancestor(), u"TfrxBand");
}

TEST(ReportBindings, ModulesInRegistryOrderAndFinalizeTakesThemOut) {
    StartUp();
    const std::vector<TfsRTTIModuleFactory> order{&fs_classes::Make, &fs_graphics::Make, &fs_forms::Make,
                                                  &fs_report::Make,  &fs_dialogs::Make,  &fs_ini::Make,
                                                  &fs_barcode::Make};
    // The built-in functions first, then the bindings.
    ASSERT_EQ(fsRTTIModuleClasses()->size(), order.size() + 1);
    EXPECT_TRUE(std::equal(order.begin(), order.end(), fsRTTIModuleClasses()->begin() + 1));
    const size_t with = fsRTTIModuleClasses()->size();
    FinalizeScriptBindings();
    EXPECT_EQ(fsRTTIModuleClasses()->size(), with - order.size());
    TfsScript bare(nullptr);
    bare.AddRTTI();
    EXPECT_EQ(bare.FindClass(u"TStringList"), nullptr);
    InitializeScriptBindings();
    InitializeScriptBindings();
    EXPECT_EQ(fsRTTIModuleClasses()->size(), with);
}

TEST(ReportBindings, FreeRefusesTheRunningReportAndItsOwnLists) {
    StartUp();
    test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    TfsScript& s = report.Script();
    auto call = [&s](const char16_t* cls, const char16_t* member, const Variant& self) {
        TfsCustomHelper* h = s.FindClass(cls)->Find(member);
        h->ParentValue = self;
        h->Prog = &s;
        return h->GetValue();
    };
    EXPECT_ANY_THROW(call(u"TfrxReport", u"Free", Variant::FromObject(&report)));
    const Variant vars = call(u"TfrxReport", u"Variables", Variant::FromObject(&report));
    EXPECT_EQ(vars.AsObject(), &report.Variables());
    EXPECT_ANY_THROW(call(u"TfrxVariables", u"Free", vars));
    EXPECT_EQ(report.Variables().Count(), 0);
}

TEST(ReportBindings, GlobalVariablesGoThroughTheirLock) {
    Bound b;
    const Variant globals = b.Script.GetVariables(u"frxGlobalVariables");
    ASSERT_NE(globals.AsObject(), nullptr);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                frxSetGlobalVariable(u"w" + IntToStr(t), i);
        });
    }
    for (int i = 0; i < 200; ++i) {
        TfsCustomHelper* h = b.Member(u"TfrxVariables", u"Variables", globals);
        h->GetParam(0)->SetValue(u"script");
        h->SetValue(i);
        b.Call(u"TfrxVariables", u"Variables", globals, {u"w0"});
        b.Call(u"TfrxVariables", u"Count", globals);
    }
    for (auto& w : writers)
        w.join();
    Variant value;
    ASSERT_TRUE(frxGetGlobalVariable(u"script", value));
    EXPECT_EQ(value.AsInteger(), 199);
    EXPECT_EQ(b.Call(u"TfrxVariables", u"Variables", globals, {u"missing"}).IsNull(), true);
}

TEST(ReportBindings, ReportsOnEightThreadsRegisterTheirScriptsWhenUsed) {
    // As the service's requests do: each thread makes reports, runs the script of every other one
    // (its modules are made then) and leaves the rest unused.
    StartUp();
    std::vector<std::thread> threads;
    std::vector<int> counts(8, -1);
    std::vector<int> runs(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&counts, &runs, t] {
            for (int i = 0; i < 6; ++i) {
                TfrxReport report(nullptr);
                if (i % 2)
                    continue;
                TfsScript& s = report.Script();
                s.Lines().SetText(u"var l: TStringList; begin l := TStringList.Create; l.Add('x'); l.Free; end.");
                if (s.Run())
                    ++runs[size_t(t)];
                counts[size_t(t)] = s.Count();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(runs[size_t(t)], 3) << t;
        EXPECT_EQ(counts[size_t(t)], counts[0]) << t;
    }
    EXPECT_GT(counts[0], 800);
}

TEST(ReportBindings, DataSetMembersActOnTheCurrentRecord) {
    Bound b;
    TfrxUserDataSet ds(nullptr);
    ds.Fields()->SetCommaText(u"Name,Weight");
    ds.SetRangeEnd(reCount);
    ds.SetRangeEndCount(2);
    ds.OnGetValue = [&ds](const String& field, Variant& value) {
        value = field == u"Name" ? Variant(u"parcel " + IntToStr(ds.RecNo())) : Variant(1.5);
    };
    const Variant v = Variant::FromObject(&ds);
    b.Call(u"TfrxUserDataSet", u"First", v);
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"RecordCount", v), Variant(2));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"FieldsCount", v), Variant(2));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"HasField", v, {u"weight"}), Variant(true));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"HasField", v, {u"Height"}), Variant(false));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"IsBlobField", v, {u"Name"}), Variant(false));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"Value", v, {u"Name"}), Variant(u"parcel 0"));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"DisplayText", v, {u"Name"}), Variant(u"parcel 0"));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"DisplayWidth", v, {u"Name"}), Variant(10));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"FieldType", v, {u"Name"}), Variant(int(fftNumeric)));
    b.Call(u"TfrxUserDataSet", u"Next", v);
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"RecNo", v), Variant(1));
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"Eof", v), Variant(false));
    b.Call(u"TfrxUserDataSet", u"Next", v);
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"Eof", v), Variant(true));
    b.Call(u"TfrxUserDataSet", u"Prior", v);
    EXPECT_EQ(b.Call(u"TfrxUserDataSet", u"RecNo", v), Variant(0));
    // The field list goes into any list of strings the script passes, replacing its lines.
    TStringList list;
    list.Add(u"old");
    b.Call(u"TfrxUserDataSet", u"GetFieldList", v, {Variant::FromObject(&list)});
    EXPECT_EQ(list.CommaText(), u"Name,Weight");
    EXPECT_THROW(b.Call(u"TfrxUserDataSet", u"GetFieldList", v, {0}), Exception);
}

TEST(ReportBindings, PictureFilesAndDialogPages) {
    Bound b;
    TfrxPictureView view(nullptr);
    const Variant v = Variant::FromObject(&view);
    EXPECT_THROW(b.Call(u"TfrxPictureView", u"LoadFromFile", v, {u"/nonexistent/picture.png"}), EFOpenError);
    const std::string path = "/tmp/vgl_bindings_not_a_picture_" + std::to_string(::getpid()) + ".png";
    std::ofstream(path) << "no picture here";
    EXPECT_THROW(b.Call(u"TfrxPictureView", u"LoadFromFile", v, {String(path.begin(), path.end())}), Exception);
    std::remove(path.c_str());

    TfrxDialogPage page(nullptr);
    const Variant p = Variant::FromObject(&page);
    EXPECT_THROW(b.Call(u"TfrxDialogPage", u"ShowModal", p), EInvalidOperation);
    EXPECT_EQ(b.Call(u"TfrxDialogPage", u"ModalResult", p), Variant(0));
    EXPECT_THROW(b.Member(u"TfrxDialogPage", u"ModalResult", p)->SetValue(1), ENotSupportedException);
}

} // namespace vgl

namespace vgl {

TEST(ReportBindings, PreviewPagesEngineAndOutline) {
    Bound b;
    TfrxReport report(nullptr);
    auto* engine = dynamic_cast<TfrxEngine*>(report.Engine());
    auto* store = dynamic_cast<TfrxPreviewPages*>(report.PreviewPages());
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(store, nullptr);
    const Variant e = Variant::FromObject(engine), pp = Variant::FromObject(store);
    const Variant o = Variant::FromObject(store->Outline());

    EXPECT_EQ(b.Call(u"TfrxPreviewPages", u"Count", pp), Variant(0));
    EXPECT_EQ(b.Call(u"TfrxPreviewPages", u"Page", pp, {0}), Variant(0));
    // The current page is a page of the store (0 while it is empty).
    TfsCustomHelper* curPage = b.Member(u"TfrxPreviewPages", u"CurPage", pp);
    curPage->SetValue(0);
    EXPECT_THROW(curPage->SetValue(3), ERangeError);
    EXPECT_THROW(curPage->SetValue(-1), ERangeError);
    EXPECT_EQ(b.Call(u"TfrxPreviewPages", u"CurPage", pp), Variant(0));

    // Anchors live in the engine's store; a missing one is on page 1.
    b.Call(u"TfrxEngine", u"AddAnchor", e, {u"here"});
    EXPECT_NE(store->FindAnchor(u"HERE"), nullptr);
    EXPECT_EQ(b.Call(u"TfrxEngine", u"GetAnchorPage", e, {u"here"}), Variant(1));
    EXPECT_EQ(b.Call(u"TfrxEngine", u"GetAnchorPage", e, {u"elsewhere"}), Variant(1));
    EXPECT_EQ(b.Call(u"TfrxEngine", u"FreeSpace", e).VType(), varDouble);
    try {
        b.Call(u"TfrxEngine", u"GetPostProcessor", e);
        ADD_FAILURE() << "GetPostProcessor answered";
    } catch (const ENotSupportedException& x) {
        EXPECT_EQ(x.Message(), u"TfrxCustomEngine.GetPostProcessor is not available in this system yet");
    }
    TfrxMemoView memo(nullptr);
    EXPECT_THROW(b.Call(u"TfrxEngine", u"ShowBand", e, {Variant::FromObject(&memo)}), EInvalidCast);
    auto* reportPage = new TfrxReportPage(&report);
    auto* band = new TfrxMasterData(reportPage);
    band->SetBounds(0, 100, 300, 40);
    // Out of a run the engine refuses the band and leaves it as it was.
    EXPECT_THROW(b.Call(u"TfrxEngine", u"ShowBand", e, {Variant::FromObject(band)}), EInvalidOperation);
    EXPECT_EQ(store->Count(), 0);
    EXPECT_EQ(double(band->Top()), 100.0);
    b.Call(u"TfrxEngine", u"StopReport", e);
    EXPECT_TRUE(report.Terminated());

    // Outline entries are made at the engine's current position, in whole pixels.
    engine->SetCurY(12.6L);
    b.Call(u"TfrxOutline", u"AddItem", o, {u"first"});
    b.Call(u"TfrxOutline", u"LevelUp", o);
    b.Call(u"TfrxOutline", u"AddItem", o, {u"second"});
    b.Call(u"TfrxOutline", u"LevelRoot", o);
    ASSERT_EQ(store->Outline()->Count(), 2);
    String text;
    int page = -1, top = -1;
    store->Outline()->GetItem(1, text, page, top);
    EXPECT_EQ(text, u"second");
    EXPECT_EQ(top, 13);
}

TEST(ReportBindings, StylesMembers) {
    Bound b;
    TfrxReport report(nullptr);
    const Variant styles = b.Call(u"TfrxReport", u"Styles", Variant::FromObject(&report));
    ASSERT_EQ(styles.AsObject(), report.Styles());
    const Variant item = b.Call(u"TfrxStyles", u"Add", styles);
    b.Member(u"TfrxStyleItem", u"Name", item)->SetValue(u"Heading");
    EXPECT_EQ(b.Call(u"TfrxStyles", u"Find", styles, {u"heading"}).AsObject(), item.AsObject());
    EXPECT_EQ(b.Call(u"TfrxStyles", u"Find", styles, {u"none"}), Variant(0));
    EXPECT_EQ(b.Call(u"TfrxStyles", u"Items", styles, {0}).AsObject(), item.AsObject());
    TStringList names;
    b.Call(u"TfrxStyles", u"GetList", styles, {Variant::FromObject(&names)});
    EXPECT_EQ(names.CommaText(), u"Heading");

    // A style list made for a report the script freed has nothing to apply to.
    TfsClassVariable* reportClass = b.Script.FindClass(u"TfrxReport");
    const Variant made = b.Call(u"TfrxReport", u"Create", reportClass->GetValue(), {0});
    TfsClassVariable* stylesClass = b.Script.FindClass(u"TfrxStyles");
    const Variant own = b.Call(u"TfrxStyles", u"Create", stylesClass->GetValue(), {made});
    b.Call(u"TfrxStyles", u"Apply", own);
    b.Call(u"TfrxReport", u"Free", made);
    EXPECT_ANY_THROW(b.Call(u"TfrxStyles", u"Apply", own));
    b.Call(u"TfrxStyles", u"Free", own);
}

} // namespace vgl
