#include "platform/graphics/metafile.h"

#include "platform/graphics/metafile_files.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TMetafile) {}
VGL_DEFINE_CLASS(TMetafileCanvas) {}

void TMetafile::SetEnhanced(bool value) {
    if (value != FEnhanced)
        FSource.clear();
    FEnhanced = value;
}

void TMetafile::SetWidth(int width) {
    CheckGraphicSize(width, FHeight);
    FSource.clear();
    FWidth = width;
    Changed();
}

void TMetafile::SetHeight(int height) {
    CheckGraphicSize(FWidth, height);
    FSource.clear();
    FHeight = height;
    Changed();
}

void TMetafile::AddRecord(TMetafileRecord record) {
    FSource.clear();
    FRecords.push_back(std::move(record));
    Changed();
}

void TMetafile::Clear() {
    FSource.clear();
    FRecords.clear();
    Changed();
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) const {
    if (FWidth <= 0 || FHeight <= 0)
        return;
    TXForm place{
        double(rect.Width()) / FWidth, 0, 0, double(rect.Height()) / FHeight, double(rect.Left), double(rect.Top)};
    Play(canvas, place);
}

void TMetafile::Play(TCanvas& canvas, const TXForm& xform) const {
    const TXForm base = xform.Then(canvas.GetWorldTransform());
    const TPenData pen = canvas.Pen().Data();
    const TBrushData brush = canvas.Brush().Data();
    const TFontData font = canvas.Font().Data();
    const int bkMode = canvas.GetBkMode();
    const TColor bkColor = canvas.GetBkColor();
    const TStretchFilter filter = canvas.GetStretchFilter();
    const bool startHasClip = canvas.HasClip();
    const TRect startClip = canvas.ClipRect();
    canvas.SaveState();
    canvas.SetWorldTransform(base);
    int depth = 0; // states saved by the records, never more restored than saved
    for (const TMetafileRecord& r : FRecords) {
        canvas.Pen().SetData(r.Pen);
        canvas.Brush().SetData(r.Brush);
        canvas.Font().SetData(r.Font);
        canvas.SetBkMode(r.BkMode);
        if (r.BkColorSet)
            canvas.SetBkColor(r.BkColor);
        canvas.SetStretchFilter(r.Filter);
        canvas.SetAntialias(r.Antialias);
        switch (r.Kind) {
        case mrLineTo:
            canvas.MoveTo(r.From.X, r.From.Y);
            canvas.LineTo(r.Points[0].X, r.Points[0].Y);
            break;
        case mrPolyline:
            canvas.Polyline(r.Points);
            break;
        case mrPolygon:
            canvas.Polygon(r.Points);
            break;
        case mrRectangle:
            canvas.Rectangle(r.R);
            break;
        case mrRoundRect:
            canvas.RoundRect(r.R, r.A, r.B);
            break;
        case mrEllipse:
            canvas.Ellipse(r.R);
            break;
        case mrFillRect:
            canvas.FillRect(r.R);
            break;
        case mrFrameRect:
            canvas.FrameRect(r.R);
            break;
        case mrSetPixel:
            canvas.SetPixel(r.A, r.B, r.Color);
            break;
        case mrExtTextOut:
            canvas.ExtTextOut(r.A, r.B, r.Options, r.HasRect ? &r.R : nullptr, r.Text, r.Dx);
            break;
        case mrDrawBitmap:
            canvas.DrawBitmap(r.R, *r.Bitmap, r.SourceRect);
            break;
        case mrIntersectClipRect:
            canvas.IntersectClipRect(r.R);
            break;
        case mrSaveState:
            canvas.SaveState();
            ++depth;
            break;
        case mrRestoreState:
            if (depth > 0) {
                canvas.RestoreState();
                --depth;
            }
            break;
        case mrResetClip: {
            // back to the clip the target had when playing began
            canvas.ResetClip();
            if (startHasClip) {
                TXForm current = canvas.GetWorldTransform();
                canvas.SetWorldTransform(TXForm{});
                canvas.IntersectClipRect(startClip);
                canvas.SetWorldTransform(current);
            }
            break;
        }
        case mrSetWorldTransform:
            canvas.SetWorldTransform(r.XForm.Then(base));
            break;
        }
    }
    for (; depth > 0; --depth)
        canvas.RestoreState();
    canvas.RestoreState();
    canvas.Pen().SetData(pen);
    canvas.Brush().SetData(brush);
    canvas.Font().SetData(font);
    canvas.SetBkMode(bkMode);
    canvas.SetBkColor(bkColor);
    canvas.SetStretchFilter(filter);
}

void TMetafile::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    using namespace graphics_detail;
    bool enhanced;
    TMetafileContent content;
    if (IsEmfData(bytes)) {
        content = ReadEmf(bytes);
        enhanced = true;
    } else if (IsPlaceableWmfData(bytes)) {
        content = ReadWmf(bytes);
        enhanced = false;
    } else {
        throw EInvalidGraphic(u"The data is neither an enhanced nor a placeable metafile");
    }
    FWidth = content.Width;
    FHeight = content.Height;
    FRecords = std::move(content.Records);
    FEnhanced = enhanced;
    FSource.assign(bytes.begin(), bytes.end());
    Changed();
}

std::vector<std::uint8_t> TMetafile::SaveToBytes() const {
    if (!FSource.empty())
        return FSource;
    return FEnhanced ? graphics_detail::WriteEmf(*this) : graphics_detail::WriteWmf(*this);
}

void TMetafile::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    auto* mf = dynamic_cast<const TMetafile*>(&source);
    if (!mf)
        AssignError(source);
    FWidth = mf->FWidth;
    FHeight = mf->FHeight;
    FRecords = mf->FRecords;
    FEnhanced = mf->FEnhanced;
    FSource = mf->FSource;
    FTransparent = mf->FTransparent;
    Changed();
}

std::unique_ptr<TGraphic> TMetafile::Clone() const {
    auto copy = std::make_unique<TMetafile>();
    copy->Assign(*this);
    return copy;
}

TMetafileRecord TMetafileCanvas::Make(TMetafileRecordKind kind) const {
    TMetafileRecord r;
    r.Kind = kind;
    r.Pen = FPen.Data();
    r.Brush = FBrush.Data();
    r.Font = FFont.Data();
    r.BkMode = FBkMode;
    r.BkColor = FBkColor;
    r.BkColorSet = FBkColorSet;
    r.Filter = FStretchFilter;
    r.Antialias = FAntialias;
    return r;
}

void TMetafileCanvas::LineTo(int x, int y) {
    TMetafileRecord r = Make(mrLineTo);
    r.From = FPenPos;
    r.Points = {Point(x, y)};
    FMetafile.AddRecord(std::move(r));
    FPenPos = Point(x, y);
}

void TMetafileCanvas::Polyline(std::span<const TPoint> points) {
    TMetafileRecord r = Make(mrPolyline);
    r.Points.assign(points.begin(), points.end());
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::Polygon(std::span<const TPoint> points) {
    TMetafileRecord r = Make(mrPolygon);
    r.Points.assign(points.begin(), points.end());
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::Rectangle(const TRect& rect) {
    TMetafileRecord r = Make(mrRectangle);
    r.R = rect;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::RoundRect(const TRect& rect, int cornerWidth, int cornerHeight) {
    TMetafileRecord r = Make(mrRoundRect);
    r.R = rect;
    r.A = cornerWidth;
    r.B = cornerHeight;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::Ellipse(const TRect& rect) {
    TMetafileRecord r = Make(mrEllipse);
    r.R = rect;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::FillRect(const TRect& rect) {
    TMetafileRecord r = Make(mrFillRect);
    r.R = rect;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::FrameRect(const TRect& rect) {
    TMetafileRecord r = Make(mrFrameRect);
    r.R = rect;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::SetPixel(int x, int y, TColor color) {
    TMetafileRecord r = Make(mrSetPixel);
    r.A = x;
    r.B = y;
    r.Color = color;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::ExtTextOut(int x, int y, int options, const TRect* rect, StringView text,
                                 std::span<const int> dx) {
    TMetafileRecord r = Make(mrExtTextOut);
    r.A = x;
    r.B = y;
    r.Options = options;
    r.HasRect = rect != nullptr;
    if (rect)
        r.R = *rect;
    r.Text = String(text);
    r.Dx.assign(dx.begin(), dx.end());
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::DrawBitmap(const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    TMetafileRecord r = Make(mrDrawBitmap);
    r.R = dest;
    auto copy = std::make_shared<TBitmap>();
    copy->Assign(source);
    r.Bitmap = std::move(copy);
    r.SourceRect = sourceRect;
    FMetafile.AddRecord(std::move(r));
}

void TMetafileCanvas::IntersectClipRect(const TRect& rect) {
    TCanvas::IntersectClipRect(rect);
    TMetafileRecord r = Make(mrIntersectClipRect);
    r.R = rect;
    FMetafile.AddRecord(std::move(r));
}

int TMetafileCanvas::SaveState() {
    FMetafile.AddRecord(Make(mrSaveState));
    return TCanvas::SaveState();
}

void TMetafileCanvas::RestoreState() {
    if (FSaved.empty())
        return;
    TCanvas::RestoreState();
    FMetafile.AddRecord(Make(mrRestoreState));
}

void TMetafileCanvas::ResetClip() {
    TCanvas::ResetClip();
    FMetafile.AddRecord(Make(mrResetClip));
}

void TMetafileCanvas::SetWorldTransform(const TXForm& xform) {
    TCanvas::SetWorldTransform(xform);
    TMetafileRecord r = Make(mrSetWorldTransform);
    r.XForm = xform;
    FMetafile.AddRecord(std::move(r));
}

} // namespace vgl
