#include "report/model/report_options.h"

#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/foundation/initialization.h"

namespace vgl {
namespace {

class ReportOptions : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeReportFoundation(); }
};

// Every published property with a declared default holds it after creation, so a freshly made
// options object writes nothing but its strings and floats.
TEST_F(ReportOptions, CreatedObjectsHoldTheirDeclaredDefaults) {
    TfrxEngineOptions engine;
    TfrxPreviewOptions preview;
    TfrxPrintOptions print;
    TfrxReportOptions report;
    for (const TPersistent* options : std::initializer_list<const TPersistent*>{&engine, &preview, &print, &report}) {
        for (const PropInfo* prop : options->ClassInfo().Properties()) {
            if (prop->HasDefault) {
                EXPECT_TRUE(IsDefaultPropValue(*options, *prop))
                    << StringToUtf8(options->ClassName() + u"." + prop->Name);
            }
        }
    }

    EXPECT_EQ(engine.MaxMemSize(), 10);
    EXPECT_EQ(engine.ZeroPrecisionValue(), 1e-17L);
    EXPECT_EQ(engine.NewSilentMode(), simMessageBoxes);
    EXPECT_TRUE(engine.UseGlobalDataSetList());
    EXPECT_EQ(engine.ReportThread(), nullptr);
    const TfrxPreviewButtons buttons = preview.Buttons();
    EXPECT_TRUE(buttons.Contains(pbPrint) && buttons.Contains(pbExportQuick) && buttons.Contains(pbCopy) &&
                buttons.Contains(pbSelection));
    EXPECT_FALSE(buttons.Contains(pbNoClose) || buttons.Contains(pbPaste) || buttons.Contains(pbInplaceEdit));
    EXPECT_EQ(preview.Zoom(), 1);
    EXPECT_EQ(print.Printer(), u"Default");
    EXPECT_EQ(print.SplicingLine(), 3);
    EXPECT_FALSE(report.Info());
    EXPECT_GT(report.CreateDate(), 0);
    EXPECT_EQ(report.CreateDate(), report.LastChange());
}

TEST_F(ReportOptions, SilentModeIsABooleanViewOfNewSilentMode) {
    TfrxEngineOptions options;
    options.SetNewSilentMode(simReThrow);
    EXPECT_FALSE(options.SilentMode());
    options.SetSilentMode(false);
    EXPECT_EQ(options.NewSilentMode(), simMessageBoxes);
    options.SetSilentMode(true);
    EXPECT_EQ(options.NewSilentMode(), simSilent);
    EXPECT_TRUE(options.SilentMode());
    // Through reflection, as a stored template sets it; only NewSilentMode is written.
    SetPropValue(options, u"SilentMode", Variant(false));
    EXPECT_EQ(options.NewSilentMode(), simMessageBoxes);
    EXPECT_FALSE(IsStoredProp(options, *options.ClassInfo().FindProperty(u"SilentMode")));
}

// Engine options: the ordinary copy set and the thread copy set, each checked against a source
// whose every option differs from the target's.
TEST_F(ReportOptions, EngineOptionsCopySets) {
    TfrxEngineOptions source;
    source.SetConvertNulls(false);
    source.SetDestroyForms(false);
    source.SetDoublePass(true);
    source.SetMaxMemSize(99);
    source.SetPrintIfEmpty(false);
    source.SetEnableThreadSafe(true);
    source.SetNewSilentMode(simReThrow);
    source.SetTempDir(u"/tmp/x");
    source.SetUseFileCache(true);
    source.SetUseGlobalDataSetList(false);
    source.SetIgnoreDevByZero(true);
    source.SetIgnoreExprError(true);
    source.SetZeroPrecisionValue(0.5L);

    TfrxEngineOptions assigned;
    assigned.Assign(&source);
    EXPECT_FALSE(assigned.ConvertNulls());
    EXPECT_TRUE(assigned.DoublePass());
    EXPECT_EQ(assigned.MaxMemSize(), 99);
    EXPECT_FALSE(assigned.PrintIfEmpty());
    EXPECT_EQ(assigned.NewSilentMode(), simReThrow);
    EXPECT_EQ(assigned.TempDir(), u"/tmp/x");
    EXPECT_TRUE(assigned.UseFileCache());
    EXPECT_TRUE(assigned.IgnoreDevByZero());
    EXPECT_TRUE(assigned.IgnoreExprError());
    EXPECT_EQ(assigned.ZeroPrecisionValue(), 0.5L);
    EXPECT_TRUE(assigned.DestroyForms());
    EXPECT_FALSE(assigned.EnableThreadSafe());
    EXPECT_TRUE(assigned.UseGlobalDataSetList());

    TfrxEngineOptions thread;
    thread.AssignThreadProps(&source);
    EXPECT_EQ(thread.NewSilentMode(), simReThrow);
    EXPECT_TRUE(thread.UseFileCache());
    EXPECT_FALSE(thread.DestroyForms());
    EXPECT_TRUE(thread.EnableThreadSafe());
    EXPECT_FALSE(thread.UseGlobalDataSetList());
    EXPECT_TRUE(thread.ConvertNulls());
    EXPECT_FALSE(thread.DoublePass());
    EXPECT_EQ(thread.MaxMemSize(), 10);
    EXPECT_EQ(thread.TempDir(), u"");

    // Clear resets only its five options.
    source.Clear();
    EXPECT_TRUE(source.ConvertNulls());
    EXPECT_FALSE(source.DoublePass() || source.IgnoreDevByZero() || source.IgnoreExprError());
    EXPECT_EQ(source.ZeroPrecisionValue(), 1e-17L);
    EXPECT_EQ(source.MaxMemSize(), 99);
    EXPECT_EQ(source.NewSilentMode(), simReThrow);
}

TEST_F(ReportOptions, PrintOptionsCopySetAndClear) {
    TfrxPrintOptions source;
    source.SetCopies(3);
    source.SetCollate(false);
    source.SetPageNumbers(u"1-2");
    source.SetPagesOnSheet(4);
    source.SetPrinter(u"Label");
    source.SetPrintMode(pmScale);
    source.SetPrintOnSheet(9);
    source.SetPrintPages(ppEven);
    source.SetReverse(true);
    source.SetShowDialog(false);
    source.SetSwapPageSize(true);
    source.SetPrnOutFileName(u"out.prn");
    source.SetDuplex(dmVertical);
    source.SetSplicingLine(7);

    TfrxPrintOptions target;
    target.Assign(&source);
    EXPECT_EQ(target.Copies(), 3);
    EXPECT_FALSE(target.Collate());
    EXPECT_EQ(target.PageNumbers(), u"1-2");
    EXPECT_EQ(target.Printer(), u"Label");
    EXPECT_EQ(target.PrintMode(), pmScale);
    EXPECT_EQ(target.PrintOnSheet(), 9);
    EXPECT_EQ(target.PrintPages(), ppEven);
    EXPECT_TRUE(target.Reverse());
    EXPECT_FALSE(target.ShowDialog());
    EXPECT_EQ(target.SplicingLine(), 7);
    EXPECT_EQ(target.PagesOnSheet(), 0);
    EXPECT_FALSE(target.SwapPageSize());
    EXPECT_EQ(target.PrnOutFileName(), u"");
    EXPECT_EQ(target.Duplex(), dmNone);

    source.Clear();
    EXPECT_EQ(source.Copies(), 1);
    EXPECT_EQ(source.Printer(), u"Default");
    EXPECT_EQ(source.PagesOnSheet(), 0);
    EXPECT_EQ(source.Duplex(), dmNone);
    EXPECT_TRUE(source.SwapPageSize());
    EXPECT_EQ(source.PrnOutFileName(), u"out.prn");
}

TEST_F(ReportOptions, PreviewOptionsCopyEverythingAndClearTheOutline) {
    TfrxPreviewOptions source;
    source.SetAllowPreviewEdit(false);
    source.SetButtons({pbPrint});
    source.SetOutlineVisible(true);
    source.SetOutlineWidth(200);
    source.SetPagesInCache(5);
    source.SetZoom(2.5L);
    source.SetZoomMode(zmManyPages);
    source.SetRTLPreview(true);
    TfrxPreviewOptions target;
    target.Assign(&source);
    EXPECT_FALSE(target.AllowPreviewEdit());
    EXPECT_EQ(target.Buttons(), TfrxPreviewButtons{pbPrint});
    EXPECT_TRUE(target.OutlineVisible());
    EXPECT_EQ(target.OutlineWidth(), 200);
    EXPECT_EQ(target.Zoom(), 2.5L);
    EXPECT_EQ(target.ZoomMode(), zmManyPages);
    EXPECT_TRUE(target.RTLPreview());

    target.Clear();
    EXPECT_FALSE(target.OutlineVisible());
    EXPECT_EQ(target.OutlineWidth(), 120);
    EXPECT_EQ(target.PagesInCache(), 50);
    EXPECT_EQ(target.Zoom(), 2.5L);
    EXPECT_EQ(target.Buttons(), TfrxPreviewButtons{pbPrint});
}

TEST_F(ReportOptions, ReportOptionsCopySetAndClearWithInfo) {
    TfrxReportOptions source;
    source.SetAuthor(u"A");
    source.SetCompressed(true);
    source.SetConnectionName(u"Conn");
    source.SetCreateDate(100);
    source.SetLastChange(200);
    source.Description().Add(u"line");
    source.SetInitString(u"init");
    source.SetName(u"Label");
    source.SetPassword(u"secret");
    source.SetPrevPassword(u"prev");
    source.SetHiddenPassword(u"hidden");
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(2, 3);
    source.Picture().SetGraphic(std::move(bitmap));
    source.SetVersionMajor(u"1");
    source.SetVersionBuild(u"4");
    source.SetInfo(true);

    TfrxReportOptions target;
    target.Assign(&source);
    EXPECT_EQ(target.Author(), u"A");
    EXPECT_TRUE(target.Compressed());
    EXPECT_EQ(target.ConnectionName(), u"Conn");
    EXPECT_EQ(target.CreateDate(), 100);
    EXPECT_EQ(target.LastChange(), 200);
    EXPECT_EQ(target.Description().Text(), u"line\r\n");
    EXPECT_EQ(target.InitString(), u"init");
    EXPECT_EQ(target.Name(), u"Label");
    EXPECT_EQ(target.Password(), u"secret");
    EXPECT_EQ(target.Picture().GetHeight(), 3);
    EXPECT_EQ(target.VersionMajor(), u"1");
    EXPECT_EQ(target.VersionBuild(), u"4");
    EXPECT_EQ(target.PrevPassword(), u"");
    EXPECT_EQ(target.HiddenPassword(), u"");
    EXPECT_FALSE(target.Info());

    // With Info set, the descriptive fields and the dates survive Clear; name and passwords do not.
    source.Clear();
    EXPECT_EQ(source.Author(), u"A");
    EXPECT_EQ(source.Description().Count(), 1);
    EXPECT_EQ(source.CreateDate(), 100);
    EXPECT_EQ(source.LastChange(), 200);
    EXPECT_EQ(source.Picture().GetHeight(), 3);
    EXPECT_EQ(source.Name(), u"");
    EXPECT_EQ(source.Password(), u"");
    EXPECT_EQ(source.PrevPassword(), u"");
    EXPECT_EQ(source.ConnectionName(), u"");
    EXPECT_EQ(source.InitString(), u"");
    EXPECT_EQ(source.HiddenPassword(), u"hidden");

    // Without Info, everything descriptive is emptied and the dates are set to now.
    target.Clear();
    EXPECT_EQ(target.Author(), u"");
    EXPECT_FALSE(target.Compressed());
    EXPECT_EQ(target.Description().Count(), 0);
    EXPECT_EQ(target.Picture().GetGraphic(), nullptr);
    EXPECT_EQ(target.VersionMajor(), u"");
    EXPECT_GT(target.CreateDate(), 200);
    EXPECT_EQ(target.LastChange(), target.CreateDate());
}

TEST_F(ReportOptions, AssignFromAnotherClassDoesNothing) {
    TfrxEngineOptions engine;
    TfrxPrintOptions print;
    TfrxPreviewOptions preview;
    TfrxReportOptions report;
    report.SetName(u"kept");
    print.SetCopies(5);
    EXPECT_NO_THROW(engine.Assign(&print));
    EXPECT_NO_THROW(engine.AssignThreadProps(&print));
    EXPECT_NO_THROW(print.Assign(&engine));
    EXPECT_NO_THROW(preview.Assign(nullptr));
    EXPECT_NO_THROW(report.Assign(&preview));
    EXPECT_EQ(print.Copies(), 5);
    EXPECT_EQ(report.Name(), u"kept");
}

} // namespace
} // namespace vgl
