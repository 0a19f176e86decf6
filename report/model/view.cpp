#include "report/model/view.h"

#include <cmath>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/data_links.h"
#include "report/foundation/utilities.h"
#include "report/foundation/vector_canvas.h"
#include "report/foundation/xml_escaping.h"
#include "report/model/data_set.h"
#include "report/model/report.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxShiftMode, u"smDontShift", u"smAlways", u"smWhenOverlapped")
VGL_DEFINE_ENUM(TfrxVisibilityType, u"vsPreview", u"vsExport", u"vsPrint")
VGL_DEFINE_SET(TfrxVisibilityTypes, TfrxVisibilityType)
VGL_DEFINE_ENUM(TfrxProcessAtMode, u"paDefault", u"paReportFinished", u"paReportPageFinished", u"paPageFinished",
                u"paColumnFinished", u"paDataFinished", u"paGroupFinished", u"paCustom")
VGL_DEFINE_ENUM(TfrxStretchMode, u"smDontStretch", u"smActualHeight", u"smMaxHeight")
VGL_DEFINE_ENUM(TfrxInteractiveHighlightEvent, u"ihNone", u"ihClick", u"ihEnter", u"ieLeave")
VGL_DEFINE_ENUM(TfrxFormatKind, u"fkText", u"fkNumeric", u"fkDateTime", u"fkBoolean")

VGL_DEFINE_CLASS(TfrxObjectProcessing) {
    b.Property(u"ProcessAt", &TfrxObjectProcessing::ProcessAt, &TfrxObjectProcessing::SetProcessAt).Default(paDefault);
    b.Property(u"GroupLevel", &TfrxObjectProcessing::GroupLevel, &TfrxObjectProcessing::SetGroupLevel).Default(0);
}

VGL_DEFINE_CLASS(TfrxView) {
    b.Property(u"Anchors", &TfrxComponent::Anchors, &TfrxComponent::SetAnchors).Default(TfrxAnchors{fraLeft, fraTop});
    b.Property(u"AllowMirrorMode", &TfrxComponent::AllowMirrorMode, &TfrxComponent::SetAllowMirrorMode).Default(false);
    b.Property(u"Align", &TfrxView::GetAlign, &TfrxView::SetAlign).Default(baNone);
    b.Property(u"AllowVectorExport", &TfrxView::AllowVectorExport, &TfrxView::SetAllowVectorExport);
    b.Property(u"Printable", &TfrxView::Printable, &TfrxView::SetPrintable).Stored(false);
    b.Property(u"ShiftMode", &TfrxView::ShiftMode, &TfrxView::SetShiftMode).Default(smAlways);
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft).Stored(&TfrxComponent::IsLeftStored);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop).Stored(&TfrxComponent::IsTopStored);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth).Stored(&TfrxComponent::IsWidthStored);
    b.Property(u"Height", &TfrxComponent::Height, &TfrxComponent::SetHeight).Stored(&TfrxComponent::IsHeightStored);
    b.Property(u"GroupIndex", &TfrxComponent::GroupIndex, &TfrxComponent::SetGroupIndex).Default(0);
    b.Property(u"Editable", &TfrxComponent::Editable, &TfrxComponent::SetEditable).Default(TfrxEditableRights{});
    b.Property(u"Restrictions", &TfrxComponent::Restrictions, &TfrxComponent::SetRestrictions)
        .Default(TfrxRestrictions{});
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
    b.Property(u"OnAfterData", &TfrxReportComponent::OnAfterData);
    b.Property(u"OnAfterPrint", &TfrxReportComponent::OnAfterPrint);
    b.Property(u"OnBeforePrint", &TfrxReportComponent::OnBeforePrint);
    b.Property(u"OnContentChanged", &TfrxReportComponent::OnContentChanged);
    b.Property(u"OnMouseEnter", &TfrxView::OnMouseEnter);
    b.Property(u"OnMouseLeave", &TfrxView::OnMouseLeave);
    b.Property(u"OnMouseDown", &TfrxView::OnMouseDown);
    b.Property(u"OnMouseMove", &TfrxView::OnMouseMove);
    b.Property(u"OnMouseUp", &TfrxView::OnMouseUp);
    b.Property(u"OnPreviewClick", &TfrxReportComponent::OnPreviewClick);
    b.Property(u"OnPreviewDblClick", &TfrxReportComponent::OnPreviewDblClick);
    b.Property(u"Hyperlink", &TfrxView::Hyperlink, &TfrxView::SetHyperlink);
    b.Property(u"Hint", &TfrxView::Hint, &TfrxView::SetHint);
    b.Property(u"ShowHint", &TfrxView::ShowHint, &TfrxView::SetShowHint).Default(false);
    b.Property(u"Visibility", &TfrxView::Visibility, &TfrxView::SetVisibility)
        .Default(TfrxVisibilityTypes{vsPreview, vsExport, vsPrint});
}

VGL_DEFINE_CLASS(TfrxStretcheable) {
    b.Property(u"StretchMode", &TfrxStretcheable::StretchMode, &TfrxStretcheable::SetStretchMode)
        .Default(smDontStretch);
    b.Property(u"CanShrink", &TfrxStretcheable::CanShrink, &TfrxStretcheable::SetCanShrink).Default(false);
}

VGL_DEFINE_CLASS(TfrxHighlight) {
    b.Property(u"Active", &TfrxHighlight::Active, &TfrxHighlight::SetActive).Stored(false);
    b.Property(u"ApplyFont", &TfrxHighlight::ApplyFont, &TfrxHighlight::SetApplyFont).Default(true);
    b.Property(u"ApplyFill", &TfrxHighlight::ApplyFill, &TfrxHighlight::SetApplyFill).Default(true);
    b.Property(u"ApplyFrame", &TfrxHighlight::ApplyFrame, &TfrxHighlight::SetApplyFrame).Default(false);
    b.Property(u"Font", &TfrxHighlight::Font, &TfrxHighlight::SetFont);
    b.Property(u"Color", &TfrxHighlight::Color, &TfrxHighlight::SetColor).Type(ColorTypeInfo()).Stored(false);
    b.Property(u"Condition", &TfrxHighlight::Condition, &TfrxHighlight::SetCondition);
    b.Property(u"InteractiveType", &TfrxHighlight::InteractiveType, &TfrxHighlight::SetInteractiveType).Default(ihNone);
    b.Property(u"FillType", &TfrxHighlight::FillType, &TfrxHighlight::SetFillType).Default(ftBrush);
    b.Property(u"Fill", &TfrxHighlight::Fill, &TfrxHighlight::SetFill);
    b.Property(u"Frame", &TfrxHighlight::Frame, &TfrxHighlight::SetFrame);
    b.Property(u"Visible", &TfrxHighlight::Visible, &TfrxHighlight::SetVisible).Default(true);
}
VGL_DEFINE_CLASS(TfrxHighlightCollection) {}

VGL_DEFINE_CLASS(TfrxFormat) {
    b.Property(u"DecimalSeparator", &TfrxFormat::DecimalSeparator);
    b.Property(u"ThousandSeparator", &TfrxFormat::ThousandSeparator);
    b.Property(u"FormatStr", &TfrxFormat::FormatStr);
    b.Property(u"Kind", &TfrxFormat::Kind).Default(fkText);
}
VGL_DEFINE_CLASS(TfrxFormatCollection) {}

namespace {

bool IsTextVariant(const Variant& v) {
    const TVarType t = v.VType();
    return t == varString || t == varUString || t == varOleStr;
}

String Attr(StringView name, const String& value) {
    return u" " + String(name) + u"=\"" + value + u"\"";
}

} // namespace

void TfrxObjectProcessing::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TfrxObjectProcessing*>(source)) {
        FProcessAt = s->FProcessAt;
        FGroupLevel = s->FGroupLevel;
    }
}

String ScriptStringLiteral(const String& text, const String& language) {
    String r;
    if (SameText(language, u"DoveziVorude")) {
        r = u"'";
        for (Char c : text) {
            if (c == u'\'')
                r += u'\'';
            r += c;
        }
        return r + u"'";
    }
    // A backslash is escaped as well, so data ending in one cannot end the literal early.
    r = u"\"";
    for (Char c : text) {
        if (c == u'"' || c == u'\\')
            r += u'\\';
        r += c;
    }
    return r + u"\"";
}

// ---- TfrxView -------------------------------------------------------------------------------

TfrxView::TfrxView(TComponent* owner)
    : TfrxReportComponent(owner), FFrame(std::make_unique<TfrxFrame>()), FHyperlink(std::make_unique<TfrxHyperlink>()),
      FFill(std::make_unique<TfrxBrushFill>()), FProcessing(std::make_unique<TfrxObjectProcessing>()) {
    frComponentStyle().Include(csDefaultDiff);
}

TfrxView::~TfrxView() {
    if (FDataSet)
        RemoveFreeNotification(FDataSet);
}

void TfrxView::SetDataSet(TfrxDataSet* value) {
    if (FDataSet != value) {
        if (FDataSet)
            RemoveFreeNotification(FDataSet);
        FDataSet = value;
        if (FDataSet)
            FreeNotification(FDataSet);
    }
    FDataSetName = FDataSet ? FDataSet->UserName() : String();
}

String TfrxView::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

void TfrxView::SetDataSetName(const String& value) {
    FDataSetName = value;
    TfrxDataSet* found = nullptr;
    if (auto* report = dynamic_cast<TfrxReport*>(GetReport()))
        found = report->FindDataSet(nullptr, value);
    if (found != FDataSet) {
        if (FDataSet)
            RemoveFreeNotification(FDataSet);
        FDataSet = found;
        if (FDataSet)
            FreeNotification(FDataSet);
    }
}

void TfrxView::BindDataSet() {
    if (!FDataSet && !FDataSetName.empty())
        SetDataSetName(FDataSetName);
}

void TfrxView::Notification(TComponent* component, TOperation operation) {
    TfrxReportComponent::Notification(component, operation);
    if (operation == opRemove && component == FDataSet)
        FDataSet = nullptr;
}

void TfrxView::SetURL(const String& v) {
    if (v.empty())
        return;
    FURL = v;
    if (v[0] == u'@' || v[0] == u'#') {
        FHyperlink->SetKind(v[0] == u'@' ? hkPageNumber : hkAnchor);
        FHyperlink->SetValue(v.substr(1, 254));
    } else {
        FHyperlink->SetKind(hkURL);
        FHyperlink->SetValue(v);
    }
}

void TfrxView::SetFill(TfrxCustomFill* v) {
    if (!v)
        return;
    SetFillType(FillKindOf(v));
    FFill->Assign(v);
}

void TfrxView::SetFillType(TfrxFillType v) {
    if (FillType() == v)
        return;
    if (auto fill = NewFillOfKind(v))
        FFill = std::move(fill);
    if (IsDesigning())
        if (TfrxComponent* report = GetReport())
            report->ReportUpdateInspector();
}

TBrushStyle TfrxView::BrushStyle() const {
    if (const auto* f = dynamic_cast<const TfrxBrushFill*>(FFill.get()))
        return f->Style();
    return bsClear;
}

void TfrxView::SetBrushStyle(TBrushStyle v) {
    if (auto* f = dynamic_cast<TfrxBrushFill*>(FFill.get()))
        f->SetStyle(v);
}

TColor TfrxView::Color() const {
    if (const auto* f = dynamic_cast<const TfrxBrushFill*>(FFill.get()))
        return f->BackColor();
    if (const auto* f = dynamic_cast<const TfrxGradientFill*>(FFill.get()))
        return f->GetColor();
    if (const auto* f = dynamic_cast<const TfrxGlassFill*>(FFill.get()))
        return f->GetColor();
    return clNone;
}

void TfrxView::SetColor(TColor v) {
    if (auto* f = dynamic_cast<TfrxBrushFill*>(FFill.get()))
        f->SetBackColor(v);
    else if (auto* f = dynamic_cast<TfrxGlassFill*>(FFill.get()))
        f->SetColor(v);
}

void TfrxView::SetPrintable(bool v) {
    if (v)
        FVisibility.Include(vsPrint);
    else
        FVisibility.Exclude(vsPrint);
}

long double TfrxView::ShadowSize() const {
    return FFrame->DropShadow() ? FFrame->ShadowWidth() : 0;
}

void TfrxView::BeginDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                         long double offsetY) {
    FCanvas = &canvas;
    FScaleX = scaleX;
    FScaleY = scaleY;
    FOffsetX = offsetX;
    FOffsetY = offsetY;
    const long double left = AbsLeft(), top = AbsTop();
    FX = DeviceInt(offsetX + scaleX * left);
    FY = DeviceInt(offsetY + scaleY * top);
    FX1 = DeviceInt(offsetX + scaleX * (left + Width()));
    FY1 = DeviceInt(offsetY + scaleY * (top + Height()));
    if (FFrame->DropShadow()) {
        FX1 -= DeviceInt(scaleX * FFrame->ShadowWidth());
        FY1 -= DeviceInt(scaleY * FFrame->ShadowWidth());
    }
    FDX = FX1 - FX;
    FDY = FY1 - FY;
    FFrameWidth = DeviceInt(scaleX * FFrame->Width());
}

void TfrxView::DrawBackground() {
    if (!FCanvas || (FObjAsMetafile && !FDrawFillOnMetaFile))
        return;
    const long double w = FFrame->Width();
    const TfrxFrameTypes typ = FFrame->Typ();
    int left = FX, top = FY, right = FX1, bottom = FY1;
    if (typ.Contains(ftLeft))
        left -= DeviceInt(w * FScaleX / 2);
    if (typ.Contains(ftTop))
        top -= DeviceInt(w * FScaleY / 2);
    if (typ.Contains(ftRight))
        right += DeviceInt(w * FScaleX / 2) + DeviceInt(w * FScaleX) % 2;
    if (typ.Contains(ftBottom))
        bottom += DeviceInt(w * FScaleY / 2) + DeviceInt(w * FScaleY) % 2;
    FFill->Draw(*FCanvas, left, top, right, bottom, FScaleX, FScaleY);
}

void TfrxView::DrawFrame() {
    if (!FCanvas || FObjAsMetafile)
        return;
    FFrame->Draw(*FCanvas, FX, FY, FX1, FY1, FScaleX, FScaleY);
}

void TfrxView::DrawDesignCorners() {
    const TfrxFrameTypes all{ftLeft, ftRight, ftTop, ftBottom};
    if (!IsDesigning() || FFrame->Typ() == all)
        return;
    if (TfrxComponent* page = Page(); page && InheritsFromClassName(page, u"TfrxDataPage"))
        return;
    TCanvas& c = *FCanvas;
    const TPenData saved = c.Pen().Data();
    c.Pen().SetData({clBlack, 1, psSolid});
    auto line = [&](int x, int y, int x1, int y1) {
        c.MoveTo(x, y);
        c.LineTo(x1, y1);
    };
    line(FX, FY, FX, FY + 3);
    line(FX, FY, FX + 4, FY);
    line(FX, FY1, FX, FY1 - 3);
    line(FX, FY1, FX + 4, FY1);
    line(FX1, FY, FX1 - 3, FY);
    line(FX1, FY, FX1, FY + 4);
    line(FX1, FY1, FX1 - 3, FY1);
    line(FX1, FY1, FX1, FY1 - 4);
    c.Pen().SetData(saved);
}

void TfrxView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX, long double offsetY) {
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    DrawDesignCorners();
    DrawFrame();
}

void TfrxView::DrawClipped(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                           long double offsetY) {
    Draw(canvas, scaleX, scaleY, offsetX, offsetY);
}

std::unique_ptr<TMetafile> TfrxView::GetVectorGraphic(bool drawFill) {
    // The headless screen is 96 dpi: the display scale is 1.
    const int extra = InheritsFromClassName(this, u"TfrxShapeView") ? 1 : 0;
    const int w = std::max(DeviceInt(Width()) + extra, 1);
    const int h = std::max(DeviceInt(Height()) + extra, 1);
    auto metafile = std::make_unique<TMetafile>(w, h);
    FObjAsMetafile = true;
    FDrawFillOnMetaFile = drawFill;
    TScopeExit clear([this] {
        FObjAsMetafile = false;
        FDrawFillOnMetaFile = false;
        FCanvas = nullptr;
    });
    TMetafileCanvas canvas(*metafile);
    DrawClipped(canvas, 1, 1, -AbsLeft(), -AbsTop());
    return metafile;
}

std::unique_ptr<TVectorCanvas> TfrxView::GetVectorCanvas() {
    FVC = std::make_unique<TVectorCanvas>();
    TScopeExit clear([this] {
        FCanvas = nullptr;
        FVC.reset();
    });
    TBitmap bitmap(std::max(DeviceInt(Width()), 1), std::max(DeviceInt(Height()), 1), pf24bit);
    TCanvas canvas(&bitmap);
    DrawClipped(canvas, 1, 1, -AbsLeft(), -AbsTop());
    return std::move(FVC);
}

TfrxRect TfrxView::GetExportBounds() {
    const long double l = AbsLeft(), t = AbsTop();
    return MakeFrxRect(l, t, l + Width(), t + Height());
}

void TfrxView::MirrorContent(TfrxMirrorControlModes mirrorModes) {
    TfrxFrameTypes typ = FFrame->Typ();
    auto swapSides = [&](TfrxFrameType a, TfrxFrameType b, TfrxFrameLine* la, TfrxFrameLine* lb) {
        if (typ.Contains(a) == typ.Contains(b))
            return;
        if (typ.Contains(a)) {
            typ.Exclude(a);
            typ.Include(b);
        } else {
            typ.Exclude(b);
            typ.Include(a);
        }
        TfrxFrameLine keep;
        keep.Assign(la);
        la->Assign(lb);
        lb->Assign(&keep);
    };
    if (mirrorModes.Contains(mcmRTLAppearance))
        swapSides(ftLeft, ftRight, FFrame->LeftLine(), FFrame->RightLine());
    if (mirrorModes.Contains(mcmBTTAppearance))
        swapSides(ftTop, ftBottom, FFrame->TopLine(), FFrame->BottomLine());
    FFrame->SetTyp(typ);
}

Variant TfrxView::Calc(const String& expr) {
    if (TfrxComponent* report = GetReport())
        return report->ReportCalc(expr);
    return Variant();
}

void TfrxView::BeforePrint() {
    BindDataSet();
    TfrxReportComponent::BeforePrint();
    FTempTag = FTagStr;
    FTempHyperlink = FHyperlink->Value();
    if (TfrxComponent* report = GetReport())
        report->ReportSetSelfValue(this);
}

void TfrxView::AfterPrint() {
    TfrxReportComponent::AfterPrint();
    FTagStr = FTempTag;
    FHyperlink->SetValue(FTempHyperlink);
}

String TfrxView::HyperlinkValueText(const String& expr) {
    const Variant v = Calc(expr);
    if (IsTextVariant(v) && FHyperlink->Kind() != hkURL) {
        TfrxComponent* report = GetReport();
        return ScriptStringLiteral(v.AsString(), report ? report->ReportScriptLanguage() : String());
    }
    return VarToStr(v);
}

void TfrxView::GetData() {
    BindDataSet();
    if (TfrxComponent* report = GetReport())
        report->ReportSetSelfValue(this);
    if (FTagStr.find(u'[') != String::npos)
        ExpandBracketedExpressions(FTagStr);

    const String& separator = FHyperlink->ValuesSeparator();
    const String joiner = separator.empty() ? String() : separator.substr(0, 1);
    auto join = [&](const std::vector<String>& parts) {
        String r;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i)
                r += joiner;
            r += parts[i];
        }
        return r;
    };
    if (FHyperlink->Value().find(u'[') != String::npos) {
        std::vector<String> parts = SplitAtSeparator(FHyperlink->Value(), separator);
        if (parts.empty()) {
            String whole = FHyperlink->Value();
            ExpandBracketedExpressions(whole);
            FHyperlink->SetValue(whole);
        } else {
            for (String& p : parts)
                ExpandBracketedExpressions(p);
            FHyperlink->SetValue(join(parts));
        }
    }
    if (!FHyperlink->Expression().empty()) {
        std::vector<String> parts = SplitAtSeparator(FHyperlink->Expression(), separator);
        if (parts.empty())
            FHyperlink->SetValue(HyperlinkValueText(FHyperlink->Expression()));
        else {
            for (String& p : parts)
                p = HyperlinkValueText(p);
            FHyperlink->SetValue(join(parts));
        }
    }
    if (auto* linked = dynamic_cast<IfrxDataLinkObject*>(this)) {
        bool isExpression = false;
        String link = DataLinkForGetData(isExpression);
        if (isExpression)
            ExpandBracketedExpressions(link);
        if (!link.empty())
            frxDataLinkProtocolsInstance().LoadToObject(link, linked);
    }
}

void TfrxView::ExpandBracketedExpressions(String& expr) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = expr.find(u'[', from);
        if (open == String::npos)
            return;
        int start = int(open) + 1, end = 0;
        const String inner = ExtractBracketedExpression(expr, u"[", u"]", start, end);
        if (end == start)
            return;
        const String value = VarToStr(Calc(inner));
        const std::size_t first = std::size_t(start - 1);
        expr.replace(first, std::size_t(end) - first, value);
        from = first + value.size();
    }
}

String TfrxView::Diff(TfrxComponent* component) {
    String s = TfrxReportComponent::Diff(component);
    auto* v = dynamic_cast<TfrxView*>(component);
    if (!v)
        return s;
    if (FAlign != v->FAlign)
        s += Attr(u"Align", IntToStr(int(FAlign)));
    s += FFrame->Diff(v->FFrame.get());
    if (FCursor != v->FCursor)
        s += Attr(u"Cursor", IntToStr(FCursor));
    if (FVisibility != v->FVisibility)
        s += Attr(u"Visibility", IntToStr(std::int64_t(FVisibility.Bits())));
    if (FTagStr != v->FTagStr)
        s += Attr(u"TagStr", XMLEscapeText(FTagStr));
    if (FillType() != v->FillType())
        s += Attr(u"FillType", IntToStr(int(FillType())));
    s += FFill->Diff(v->FFill.get(), u"Fill");
    s += FHyperlink->Diff(v->FHyperlink.get(), u"Hyperlink");
    if (Editable() != v->Editable())
        s += Attr(u"Editable", IntToStr(std::int64_t(Editable().Bits())));
    return s;
}

// ---- TfrxStretcheable -----------------------------------------------------------------------

TfrxStretcheable::TfrxStretcheable(TComponent* owner) : TfrxView(owner) {}

// ---- TfrxHighlight --------------------------------------------------------------------------

TfrxHighlight::TfrxHighlight(TCollection* collection)
    : TfrxCollectionItem(collection), FFont(std::make_unique<TFont>()), FFill(std::make_unique<TfrxBrushFill>()),
      FFrame(std::make_unique<TfrxFrame>()) {
    FFont->SetName(u"Arial");
    FFont->SetPixelsPerInch(96);
    FFont->SetSize(10);
    FFont->SetColor(255);
    FFont->SetCharset(1);
}

TfrxHighlight::~TfrxHighlight() = default;

void TfrxHighlight::SetFill(TfrxCustomFill* v) {
    if (!v)
        return;
    SetFillType(FillKindOf(v));
    FFill->Assign(v);
}

void TfrxHighlight::SetFillType(TfrxFillType v) {
    if (FillType() != v)
        if (auto fill = NewFillOfKind(v))
            FFill = std::move(fill);
}

TColor TfrxHighlight::Color() const {
    if (const auto* f = dynamic_cast<const TfrxBrushFill*>(FFill.get()))
        return f->BackColor();
    return clNone;
}

void TfrxHighlight::SetColor(TColor v) {
    if (auto* f = dynamic_cast<TfrxBrushFill*>(FFill.get()))
        f->SetBackColor(v);
}

void TfrxHighlight::Assign(const TPersistent* source) {
    const auto* s = dynamic_cast<const TfrxHighlight*>(source);
    if (!s) {
        TfrxCollectionItem::Assign(source);
        return;
    }
    FActive = s->FActive;
    FApplyFont = s->FApplyFont;
    FApplyFill = s->FApplyFill;
    FApplyFrame = s->FApplyFrame;
    FCondition = s->FCondition;
    FFont->Assign(s->FFont.get());
    SetFill(s->FFill.get());
    FFrame->Assign(s->FFrame.get());
    FVisible = s->FVisible;
    FInteractiveType = s->FInteractiveType;
}

TfrxHighlightCollection::TfrxHighlightCollection() : TfrxCollection(&TfrxHighlight::StaticClassInfo()) {}

TfrxHighlight* TfrxHighlightCollection::Items(int index) const {
    return static_cast<TfrxHighlight*>(TCollection::Items(index));
}

// ---- TfrxFormat -----------------------------------------------------------------------------

TfrxFormat::TfrxFormat(TCollection* collection) : TCollectionItem(collection) {}

void TfrxFormat::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TfrxFormat*>(source)) {
        DecimalSeparator = s->DecimalSeparator;
        ThousandSeparator = s->ThousandSeparator;
        FormatStr = s->FormatStr;
        Kind = s->Kind;
    }
}

TfrxFormatCollection::TfrxFormatCollection() : TCollection(&TfrxFormat::StaticClassInfo()) {}

TfrxFormat* TfrxFormatCollection::Items(int index) const {
    return static_cast<TfrxFormat*>(TCollection::Items(index));
}

} // namespace vgl
