// Drawing prepared pages on a canvas and exporting them through an export filter.

#include <algorithm>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/printers.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/model/bands.h"
#include "report/model/export_filter.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_page.h"

namespace vgl {

namespace {

int RoundInt(long double value) {
    return int(RoundHalfEven(value));
}

bool Meets(const TRect& a, const TRect& b) {
    return a.Left < b.Right && a.Right > b.Left && a.Top < b.Bottom && a.Bottom > b.Top;
}

} // namespace

// ---- Drawing ---------------------------------------------------------------------------------

bool TfrxPreviewPages::IsViewVisibleOnCanvas(TfrxComponent* view, TCanvas& canvas, long double scaleX,
                                             long double scaleY, long double offsetX, long double offsetY) {
    if (dynamic_cast<TMetafileCanvas*>(&canvas))
        return true;
    long double height = view->Height();
    if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(view); memo && !memo->Clipped())
        height = std::max(height, memo->CalcHeight());
    TRect r;
    r.Left = RoundInt(view->AbsLeft() * scaleX) - 20 + RoundInt(offsetX);
    r.Top = RoundInt(view->AbsTop() * scaleY) - 20 + RoundInt(offsetY);
    r.Right = RoundInt((view->AbsLeft() + view->Width()) * scaleX) + 20 + RoundInt(offsetX);
    r.Bottom = RoundInt((view->AbsTop() + height) * scaleY) + 20 + RoundInt(offsetY);
    if (canvas.HasClip())
        return Meets(r, canvas.ClipRect());
    if (const TBitmap* target = canvas.Target())
        return Meets(r, Rect(0, 0, target->GetWidth(), target->GetHeight()));
    return true;
}

void TfrxPreviewPages::DrawPage(int index, TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                long double offsetY, bool highlightEditable) {
    const bool isPrinter = IsPrinterCanvas(canvas);
    FCachedGraphicState = isPrinter ? cgOriginal : cgThumbnail;
    const TScopeExit resetState([&] { FCachedGraphicState = cgOriginal; });
    auto* page = dynamic_cast<TfrxReportPage*>(GetPage(index));
    if (!page)
        return;

    // Margins and clip come back on every path: the page stays cached and the canvas is the
    // caller's.
    const bool mirrored = page->MirrorMargins() && index % 2 == 1;
    const auto swapMargins = [page] {
        const long double left = page->LeftMargin();
        page->SetLeftMargin(page->RightMargin());
        page->SetRightMargin(left);
    };
    if (mirrored)
        swapMargins();
    const TScopeExit restoreMargins([&] {
        if (mirrored)
            swapMargins();
    });
    if (!isPrinter)
        canvas.SaveState();
    const TScopeExit restoreClip([&] {
        if (!isPrinter)
            canvas.RestoreState();
    });
    if (!isPrinter)
        canvas.IntersectClipRect(Rect(RoundInt(offsetX), RoundInt(offsetY),
                                      RoundInt(page->PaperWidth() * fr01cm * scaleX + offsetX) - 1,
                                      RoundInt(page->PaperHeight() * fr01cm * scaleY + offsetY) - 1));

    page->SetIsPrinting(isPrinter);
    page->Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    offsetX += page->LeftMargin() * fr01cm * scaleX;
    offsetY += page->TopMargin() * fr01cm * scaleY;

    const std::vector<TfrxComponent*> objects = page->AllObjects();
    for (TfrxComponent* c : objects) {
        auto* view = dynamic_cast<TfrxView*>(c);
        if (!view || !IsViewVisibleOnCanvas(view, canvas, scaleX, scaleY, offsetX, offsetY))
            continue;
        if (!view->Visibility().Contains(isPrinter ? vsPrint : vsPreview))
            continue;
        view->SetIsPrinting(isPrinter);
        const TScopeExit notPrinting([view] { view->SetIsPrinting(false); });
        ApplyCachedGraphic(view);
        if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(view)) {
            memo->TotalPages = Count();
            memo->CopyNo = PrintCopyNo();
            memo->SetPrintScale(PrintScale());
        }
        if (!view->IsOwnerDraw())
            view->InteractiveDraw(canvas, scaleX, scaleY, offsetX, offsetY,
                                  highlightEditable && view->Editable().Contains(ferAllowInPreview), clNone);
    }
}

// ---- Exporting -------------------------------------------------------------------------------

bool TfrxPreviewPages::Export(TfrxCustomExportFilter* filter) {
    SetPrintCopyNo(0);
    if (!filter)
        return false;
    auto* report = dynamic_cast<TfrxReport*>(Report());
    filter->SetCreationTime(Now());
    filter->SetReport(Report());
    if (filter->IOTransport() && filter->IOTransport() == filter->DefaultIOTransportIfMade())
        filter->SetIOTransport(nullptr);
    filter->SetDefaultIOTransport(nullptr);
    if (filter->OnBeforeExport)
        filter->OnBeforeExport(filter);
    if (filter->ShowDialogOptions().Contains(doShowExportSettings) && filter->ShowModal() != mrOk)
        return false;

    if (!filter->IOTransport())
        filter->SetIOTransport(filter->GetDefaultIOTransport());
    TfrxCustomIOTransport* transport = filter->IOTransport();
    // The transport is closed and the default transport dropped on every path.
    const TScopeExit closeTransport([&] {
        transport->CloseFilter();
        if (filter->IOTransport() == filter->DefaultIOTransportIfMade())
            filter->SetIOTransport(nullptr);
        filter->SetDefaultIOTransport(nullptr);
    });
    transport->InitFromExport(*filter);
    if (!transport->OpenFilter())
        return false;

    if (filter->FileName() != transport->FileName())
        filter->SetFileName(transport->FileName());
    if (filter->CurPage()) {
        const bool hasPreview = report && report->Preview();
        filter->SetPageNumbers(hasPreview ? IntToStr(CurPreviewPage() + 1) : String(u"1"));
    }
    bool result = true;
    if (report)
        report->SetTerminated(false);
    const int pageCount = Count();
    try {
        TStringList numbers;
        ExpandPageNumbers(filter->PageNumbers(), numbers, pageCount);
        std::vector<int> pageList;
        for (int i = 0; i < numbers.Count(); ++i)
            pageList.push_back(StrToIntDef(numbers[i], 0));

        if (filter->OnBeginExport)
            filter->OnBeginExport(filter);
        if (!filter->DoStart())
            return result;
        // An attached preview does not redraw while its pages are read.
        TfrxCustomPreview* preview = report ? report->Preview() : nullptr;
        const bool previewLocked = preview && preview->Lock();
        const bool progress = report && (filter->ShowProgress() || !report->EngineOptions()->EnableThreadSafe());
        if (progress)
            report->InternalOnProgressStart(ptExporting);
        const auto finishLoop = [&] {
            if (previewLocked)
                preview->Unlock(true);
            if (progress)
                report->InternalOnProgressStop(ptExporting);
            filter->DoFinish();
        };
        try {
            for (int i = 0; i < pageCount; ++i)
                ExportPage(*filter, i, pageList, pageCount);
        } catch (const EExportTerminated&) {
            filter->SetTerminated(false);
        } catch (...) {
            try {
                finishLoop();
            } catch (...) {
                // The first error is the one reported.
            }
            throw;
        }
        finishLoop();
    } catch (const Exception& e) {
        result = false;
        if (report) {
            report->Errors().Add(e.Message());
            ReportErrorMessage(report->EngineOptions()->NewSilentMode(),
                               frxResourcesInstance().Get(u"clErrors") + u"\r\n" + report->Errors().Text());
        }
    }
    return result;
}

void TfrxPreviewPages::ExportPage(TfrxCustomExportFilter& filter, int index, const std::vector<int>& pageList,
                                  int pageCount) {
    if (index >= pageCount)
        return;
    if (!pageList.empty() && std::find(pageList.begin(), pageList.end(), index + 1) == pageList.end())
        return;
    FCachedGraphicState = cgOriginal;
    TfrxComponent* page = GetPage(index);
    if (!page)
        return;
    LockPage();
    auto* report = dynamic_cast<TfrxReport*>(Report());
    if (report && (filter.ShowProgress() || !report->EngineOptions()->EnableThreadSafe()))
        report->InternalOnProgress(ptExporting, index + 1);
    filter.StartPage(page, index);

    auto* reportPage = dynamic_cast<TfrxReportPage*>(page);
    const auto endPage = [&] { filter.FinishPage(page, index); };
    const auto releasePage = [&] {
        UnlockPage();
        if (reportPage && report && report->Preview())
            reportPage->ClearMarginOffset();
        else
            ClearPageCache();
    };
    try {
        if (reportPage) {
            reportPage->SetMarginOffset(index);
            auto background = std::make_unique<TfrxPictureView>(nullptr);
            background->SetName(u"_pagebackground");
            background->SetColor(reportPage->Color());
            background->SetFrame(reportPage->Frame());
            background->SetPicture(reportPage->BackPicture());
            background->SetStretched(true);
            background->SetKeepAspectRatio(false);
            background->SetBounds(reportPage->Left(), reportPage->Top(),
                                  reportPage->Width() - (reportPage->LeftMargin() + reportPage->RightMargin()) * fr01cm,
                                  reportPage->Height() -
                                      (reportPage->TopMargin() + reportPage->BottomMargin()) * fr01cm);
            ExportObject(filter, background.get(), pageCount);
        }
        for (TfrxComponent* c : page->Objects().Items()) {
            if (filter.SuppressPageHeadersFooters()) {
                if (InheritsFromClassName(c, u"TfrxPageHeader") && index > 0)
                    continue;
                if (InheritsFromClassName(c, u"TfrxPageFooter") && index != pageCount - 1)
                    continue;
            }
            ExportObject(filter, c, pageCount);
            for (TfrxComponent* child : c->Objects().Items())
                ExportObject(filter, child, pageCount);
        }
    } catch (...) {
        try {
            endPage();
        } catch (...) {
            // The first error is the one reported.
        }
        releasePage();
        throw;
    }
    endPage();
    releasePage();
}

void TfrxPreviewPages::ExportObject(TfrxCustomExportFilter& filter, TfrxComponent* c, int pageCount) {
    if (filter.DataOnly() && (!c->Parent() || !InheritsFromClassName(c->Parent(), u"TfrxDataBand")))
        return;
    if (auto* view = dynamic_cast<TfrxView*>(c); view && !view->Visibility().Contains(vsExport))
        return;
    ApplyCachedGraphic(c);
    if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(c)) {
        memo->TotalPages = pageCount;
        memo->CopyNo = 1;
        memo->ExtractMacros();
        if (memo->AutoWidth()) {
            // Drawing once settles the width the text needs.
            TBitmap scratch;
            scratch.SetSize(1, 1);
            TCanvas canvas(&scratch);
            memo->Draw(canvas, 1, 1, 0, 0);
        }
    }
    filter.ExportObject(c);
    auto* report = dynamic_cast<TfrxReport*>(Report());
    if ((report && report->Terminated()) || filter.Terminated())
        throw EExportTerminated{};
}

} // namespace vgl
