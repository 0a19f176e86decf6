#pragma once
// Bands: the horizontal strips of a report page that the layout engine prints in a fixed role
// (title, page header, data, group, ...). A band carries its role options, a link to a child band,
// a fill with gaps and a frame. TfrxNullBand holds objects lying directly on a page.
// TfrxSubreport places another report page inside a band.

#include <memory>

#include "report/model/view.h"

namespace vgl {

class TfrxChild;
class TfrxDataSet;
class TfrxReportPage;
class TfrxUserDataSet;

enum TfrxShiftEngine { seLinear, seTree, seDontShift };
VGL_DECLARE_ENUM(TfrxShiftEngine);
enum TfrxToNRowsMode { rmCount, rmAddToCount, rmTillPageEnds };
VGL_DECLARE_ENUM(TfrxToNRowsMode);

/// The inset of a band's background from its edges, in pixels.
class TfrxFillGaps : public TPersistent {
    VGL_CLASS(TfrxFillGaps, TPersistent)
    TfrxFillGaps() = default;
    int Top() const { return FTop; }
    void SetTop(int v) { FTop = v; }
    int Left() const { return FLeft; }
    void SetLeft(int v) { FLeft = v; }
    int Bottom() const { return FBottom; }
    void SetBottom(int v) { FBottom = v; }
    int Right() const { return FRight; }
    void SetRight(int v) { FRight = v; }
    void Assign(const TPersistent* source) override;

private:
    int FTop = 0, FLeft = 0, FBottom = 0, FRight = 0;
};

class TfrxBand : public TfrxReportComponent {
    VGL_CLASS(TfrxBand, TfrxReportComponent)
    explicit TfrxBand(TComponent* owner);
    ~TfrxBand() override;

    String GetDescription() const override;
    /// The table number of the band kind (0 for the null band and a plain data band).
    int BandNumber() const;
    /// The class name without its first "Tfrx" and its first "Band".
    String BandName() const;

    /// On a dot-matrix page Left snaps to 9.6 pixels, Top and Height to 17.
    void SetLeft(long double value) override;
    void SetTop(long double value) override;
    void SetHeight(long double value) override;
    /// Bands are horizontal: always False.
    bool Vertical() const { return false; }
    void SetVertical(bool) {}

    TfrxChild* Child() const { return FChild; }
    /// Refuses a chain that would come back to this band ("clCirRefNotAllow"), itself included.
    void SetChild(TfrxChild* value);
    TfrxCustomFill* Fill() const { return FFill.get(); }
    void SetFill(TfrxCustomFill* value);
    TfrxFillType FillType() const { return FillKindOf(FFill.get()); }
    void SetFillType(TfrxFillType value);
    TfrxFillGaps* FillGap() const { return FFillGap.get(); }
    void SetFillGap(TfrxFillGaps* value) { FFillGap->Assign(value); }
    TfrxFrame* Frame() const { return FFrame.get(); }
    void SetFrame(TfrxFrame* value) { FFrame->Assign(value); }

    /// The memo that paints the band's background under its objects while the band prints
    /// (CreateFillMemo / DisposeFillMemo, memo_view.h); owned by the band.
    TfrxComponent* FillMemo = nullptr;
    bool AllowSplit = false;
    bool KeepChild = false;
    String OutlineText;
    bool Overflow = false;
    bool PrintChildIfInvisible = false;
    bool StartNewPage = false;
    bool Stretched = false;
    TfrxShiftEngine ShiftEngine = seTree;
    long double BandDesignHeader = 0;
    String OnAfterCalcHeight;

    /// The designer's hit test: the box widened by the caption strip and a few pixels.
    bool IsContain(long double x, long double y) const override;
    /// Bands draw only in the designer, which this system has not.
    void Draw(TCanvas&, long double, long double, long double, long double) override {}

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TfrxChild* FChild = nullptr;
    std::unique_ptr<TfrxCustomFill> FFill;
    std::unique_ptr<TfrxFillGaps> FFillGap;
    std::unique_ptr<TfrxFrame> FFrame;
};

#define VGL_BAND_KIND(Name, Base)                                                                                      \
    class Name : public Base {                                                                                         \
        VGL_CLASS(Name, Base)                                                                                          \
        explicit Name(TComponent* owner) : Base(owner) {}                                                              \
    };

VGL_BAND_KIND(TfrxNullBand, TfrxBand)
VGL_BAND_KIND(TfrxReportTitle, TfrxBand)

class TfrxReportSummary : public TfrxBand {
    VGL_CLASS(TfrxReportSummary, TfrxBand)
    explicit TfrxReportSummary(TComponent* owner) : TfrxBand(owner) {}
    bool PrintAtBottom = false;
};

class TfrxPageHeader : public TfrxBand {
    VGL_CLASS(TfrxPageHeader, TfrxBand)
    explicit TfrxPageHeader(TComponent* owner) : TfrxBand(owner) {}
    bool PrintOnFirstPage = true;
};

class TfrxPageFooter : public TfrxBand {
    VGL_CLASS(TfrxPageFooter, TfrxBand)
    explicit TfrxPageFooter(TComponent* owner) : TfrxBand(owner) {}
    bool PrintOnFirstPage = true;
    bool PrintOnLastPage = true;
    bool PrintOnSinglePage = false;
};

class TfrxHeader : public TfrxBand {
    VGL_CLASS(TfrxHeader, TfrxBand)
    explicit TfrxHeader(TComponent* owner) : TfrxBand(owner) {}
    bool ReprintOnNewPage = false;
};

VGL_BAND_KIND(TfrxFooter, TfrxBand)

/// The base of the six data band kinds.
class TfrxDataBand : public TfrxBand {
    VGL_CLASS(TfrxDataBand, TfrxBand)
    /// The virtual data set counts its records (RangeEnd reCount).
    explicit TfrxDataBand(TComponent* owner);
    ~TfrxDataBand() override;
    String GetDescription() const override;

    TfrxDataSet* DataSet() const { return FDataSet; }
    /// Also sets DataSetName to the set's user name (empty for none).
    void SetDataSet(TfrxDataSet* value);
    /// The assigned set's user name, else the stored name.
    String DataSetName() const;
    /// Stores the name and looks the data set up by it in the report.
    void SetDataSetName(const String& value);
    int RowCount() const { return FRowCount; }
    /// Also the virtual data set's record count.
    void SetRowCount(int value);
    /// The data set a band without DataSet walks: RowCount records.
    TfrxUserDataSet* VirtualDataSet() const { return FVirtualDataSet.get(); }
    int Columns() const { return FColumns; }
    void SetColumns(int v) { FColumns = v; }
    long double ColumnWidth() const { return FColumnWidth; }
    void SetColumnWidth(long double v) { FColumnWidth = v; }
    long double ColumnGap() const { return FColumnGap; }
    void SetColumnGap(long double v) { FColumnGap = v; }
    int CurColumn() const { return FCurColumn; }
    /// Past Columns wraps to 1 (and resets MaxY); Left follows the column.
    void SetCurColumn(int value);
    long double MaxY = 0;

    String Filter;
    bool FooterAfterEach = false, KeepFooter = false, KeepHeader = false, KeepTogether = false;
    bool PrintIfDetailEmpty = false;
    String OnMasterDetail;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TfrxDataSet* FDataSet = nullptr;
    String FDataSetName;
    std::unique_ptr<TfrxUserDataSet> FVirtualDataSet;
    int FRowCount = 0;
    int FColumns = 0;
    long double FColumnWidth = 0, FColumnGap = 0;
    int FCurColumn = 0;
};

VGL_BAND_KIND(TfrxMasterData, TfrxDataBand)
VGL_BAND_KIND(TfrxDetailData, TfrxDataBand)
VGL_BAND_KIND(TfrxSubdetailData, TfrxDataBand)
VGL_BAND_KIND(TfrxDataBand4, TfrxDataBand)
VGL_BAND_KIND(TfrxDataBand5, TfrxDataBand)
VGL_BAND_KIND(TfrxDataBand6, TfrxDataBand)

class TfrxGroupHeader : public TfrxBand {
    VGL_CLASS(TfrxGroupHeader, TfrxBand)
    explicit TfrxGroupHeader(TComponent* owner) : TfrxBand(owner) {}
    /// The component attributes and, with DrillDown, DrillName escaped.
    String Diff(TfrxComponent* component) override;
    String Condition, DrillName;
    bool DrillDown = false, ExpandDrillDown = false, KeepTogether = false, ReprintOnNewPage = false;
    bool ResetPageNumbers = false, ShowFooterIfDrillDown = false, ShowChildIfDrillDown = false;
};

class TfrxGroupFooter : public TfrxBand {
    VGL_CLASS(TfrxGroupFooter, TfrxBand)
    explicit TfrxGroupFooter(TComponent* owner) : TfrxBand(owner) {}
    bool HideIfSingleDataRecord = false;
};

class TfrxChild : public TfrxBand {
    VGL_CLASS(TfrxChild, TfrxBand)
    explicit TfrxChild(TComponent* owner) : TfrxBand(owner) {}
    int ToNRows = 0;
    TfrxToNRowsMode ToNRowsMode = rmCount;
};

VGL_BAND_KIND(TfrxColumnHeader, TfrxBand)
VGL_BAND_KIND(TfrxColumnFooter, TfrxBand)

class TfrxOverlay : public TfrxBand {
    VGL_CLASS(TfrxOverlay, TfrxBand)
    explicit TfrxOverlay(TComponent* owner) : TfrxBand(owner) {}
    bool PrintOnTop = false;
};

#undef VGL_BAND_KIND

/// The classes of every band kind and the null band, for registration.
std::vector<TClass> BandClasses();

/// Places a report page inside a band.
class TfrxSubreport : public TfrxView {
    VGL_CLASS(TfrxSubreport, TfrxView)
    /// Not visible in the preview, all frame sides, font Tahoma 8, colour clSilver.
    explicit TfrxSubreport(TComponent* owner);
    /// Clears the page's link back.
    ~TfrxSubreport() override;
    String GetDescription() const override;
    TfrxReportPage* Page() const { return FPage; }
    /// Links the page both ways (the old page forgets this subreport).
    void SetPage(TfrxReportPage* value);
    bool PrintOnParent = false;
    /// The view's fill and frame, then the name at (X + 2, Y + 2).
    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TfrxReportPage* FPage = nullptr;
};

} // namespace vgl
