#include "report/model/barcode_view.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/scope_guard.h"
#include "report/foundation/resource_strings.h"
#include "report/model/data_set.h"
#include "report/model/fills.h"
#include "report/model/object_registries.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxHAlign, u"haLeft", u"haRight", u"haCenter", u"haBlock")

VGL_DEFINE_CLASS(TfrxBarCodeView) {
    b.Property(u"AutoSize", &TfrxBarCodeView::AutoSize, &TfrxBarCodeView::SetAutoSize).Default(true);
    b.Property(u"BarType", &TfrxBarCodeView::BarType, &TfrxBarCodeView::SetBarType).NoDefault();
    b.Property(u"BrushStyle", &TfrxView::BrushStyle, &TfrxView::SetBrushStyle).Default(bsSolid);
    b.Property(u"CalcCheckSum", &TfrxBarCodeView::CalcCheckSum, &TfrxBarCodeView::SetCalcCheckSum).Default(false);
    b.Property(u"Color", &TfrxView::Color, &TfrxView::SetColor).Type(ColorTypeInfo());
    b.Property(u"ColorBar", &TfrxBarCodeView::ColorBar, &TfrxBarCodeView::SetColorBar).Type(ColorTypeInfo());
    b.Property(u"Cursor", &TfrxView::Cursor, &TfrxView::SetCursor).Default(0);
    b.Property(u"DataField", &TfrxView::DataField, &TfrxView::SetDataField);
    b.Property(u"DataSetName", &TfrxView::DataSetName, &TfrxView::SetDataSetName);
    b.Property(u"Expression", &TfrxBarCodeView::Expression, &TfrxBarCodeView::SetExpression);
    b.Property(u"FillType", &TfrxView::FillType, &TfrxView::SetFillType).Default(ftBrush);
    b.Property(u"Fill", &TfrxView::Fill, &TfrxView::SetFill);
    b.Property(u"Frame", &TfrxView::Frame, &TfrxView::SetFrame);
    b.Property(u"HAlign", &TfrxBarCodeView::HAlign, &TfrxBarCodeView::SetHAlign).Default(haLeft);
    b.Property(u"Processing", &TfrxView::Processing, &TfrxView::SetProcessing);
    b.Property(u"Rotation", &TfrxBarCodeView::Rotation, &TfrxBarCodeView::SetRotation);
    b.Property(u"ShowText", &TfrxBarCodeView::ShowText, &TfrxBarCodeView::SetShowText).Default(true);
    b.Property(u"TagStr", &TfrxView::TagStr, &TfrxView::SetTagStr);
    b.Property(u"TestLine", &TfrxBarCodeView::TestLine, &TfrxBarCodeView::SetTestLine);
    b.Property(u"Text", &TfrxBarCodeView::Text, &TfrxBarCodeView::SetText);
    b.Property(u"URL", &TfrxView::URL, &TfrxView::SetURL).Stored(false);
    b.Property(u"WideBarRatio", &TfrxBarCodeView::WideBarRatio, &TfrxBarCodeView::SetWideBarRatio);
    b.Property(u"Zoom", &TfrxBarCodeView::Zoom, &TfrxBarCodeView::SetZoom);
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);
}

namespace {

bool IsEanLeft(TfrxBarcodeType t) {
    return t == bcCodeEAN13 || t == bcCodeUPC_A;
}
bool IsUpcRight(TfrxBarcodeType t) {
    return t == bcCodeUPC_A || t == bcCodeUPC_E0 || t == bcCodeUPC_E1;
}

int RoundInt(long double v) {
    return int(Round(v));
}

} // namespace

TfrxBarCodeView::TfrxBarCodeView(TComponent* owner)
    : TfrxView(owner), FBarCode(std::make_unique<TfrxBarcode>(nullptr)) {
    Font().SetName(u"Arial");
    Font().SetPixelsPerInch(96);
    Font().SetSize(9);
}

TfrxBarCodeView::~TfrxBarCodeView() = default;

void TfrxBarCodeView::DesignCreate(TComponent* owner, int flags) {
    TfrxView::DesignCreate(owner, flags);
    if (flags >= 0 && flags < BarcodeTypeCount) {
        SetBarType(TfrxBarcodeType(flags));
        SetSampleText(TfrxBarcodeType(flags));
    }
}

String TfrxBarCodeView::GetDescription() const {
    return frxResourcesInstance().Get(u"obBarC");
}

void TfrxBarCodeView::SetBarType(TfrxBarcodeType value) {
    if (value != FBarType) {
        FBarType = value;
        FFirstTryAfterSBT = true;
    }
}

void TfrxBarCodeView::SetText(const String& value) {
    FText = value;
    if (GetAlign() == baRight || GetAlign() == baCenter) {
        try {
            GetRealBounds();
        } catch (const Exception&) {
            // The text is kept; the refusal shows when the view is drawn or exported.
        }
    }
}

void TfrxBarCodeView::SetSampleText(TfrxBarcodeType barType) {
    switch (barType) {
    case bcCode_ITF_14:
        FText = u"12345678912345";
        break;
    case bcCodeUSPSIntelligentMail:
        FText = u"12345678901234567890";
        break;
    case bcCodePlessey:
        FText = u"0123456789ABCDEF";
        FCalcCheckSum = true;
        break;
    case bcGS1Code128:
        FText = u"(01)12345678901234";
        break;
    case bcPharmacode:
        FText = u"123456";
        break;
    case bcDeutsche_Post_Identcode:
        FText = u"01234567890";
        break;
    case bcDeutsche_Post_Leitcode:
        FText = u"0123456789012";
        FCalcCheckSum = true;
        break;
    default:
        FText = u"12345678";
        break;
    }
}

void TfrxBarCodeView::FontChanged() {
    TfrxView::FontChanged();
    if (!FInFontChange && Font().GetSize() > 9) {
        FInFontChange = true;
        const TScopeExit done([this] { FInFontChange = false; });
        Font().SetSize(9);
    }
}

void TfrxBarCodeView::Prepare(int& leftExtra, int& rightExtra) {
    for (;;) {
        TfrxBarcode& code = *FBarCode;
        code.SetAngle(FRotation);
        code.Font().Assign(Font());
        code.SetCheckSum(FCalcCheckSum);
        code.SetTyp(FBarType);
        code.SetRatio(double(FWideBarRatio));
        code.SetColor(clWhite);
        if (FillType() != ftBrush)
            code.SetColor(clNone);
        else if (Color() != clNone)
            code.SetColor(Color());
        const bool horizontal = Horizontal();
        const long double oldExtent = horizontal ? Width() : Height();
        code.SetText(StringToAnsi(FText));
        if (FZoom < 0.0001L)
            FZoom = 1;
        leftExtra = IsEanLeft(FBarType) ? 8 : 0;
        rightExtra = IsUpcRight(FBarType) ? 9 : 0;
        if (FRotation == 180 || FRotation == 270)
            std::swap(leftExtra, rightExtra);
        FErrorText.clear();
        long double newExtent = oldExtent;
        try {
            const int total = code.GetWidth() + leftExtra + rightExtra;
            if (FAutoSize)
                newExtent = total * FZoom;
            else if (total > 0)
                FZoom = oldExtent / total;
        } catch (const Exception& e) {
            // Only while designing is a freshly chosen type shown with its sample text.
            if (FFirstTryAfterSBT && IsDesigning()) {
                SetSampleText(FBarType);
                FFirstTryAfterSBT = false;
                continue;
            }
            FFirstTryAfterSBT = false;
            FErrorText = e.Message();
        }
        if (horizontal)
            SetWidth(newExtent);
        else
            SetHeight(newExtent);
        const long double shift = oldExtent - newExtent;
        const long double move = FHAlign == haRight ? shift : FHAlign == haCenter ? shift / 2 : 0;
        if (move != 0) {
            if (horizontal)
                SetLeft(Left() + move);
            else
                SetTop(Top() + move);
        }
        return;
    }
}

void TfrxBarCodeView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                           long double offsetY) {
    int leftExtra = 0, rightExtra = 0;
    Prepare(leftExtra, rightExtra);
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    TfrxBarcode& code = *FBarCode;
    if (!FErrorText.empty()) {
        // The refusal in red, word-wrapped inside the object.
        canvas.Font().SetName(u"Arial");
        canvas.Font().SetPixelsPerInch(96);
        canvas.Font().SetSize(std::max(1, RoundInt(8 * scaleY)));
        canvas.Font().SetStyle({});
        canvas.Font().SetColor(clRed);
        canvas.Font().SetOrientation(0);
        canvas.Brush().SetStyle(bsClear);
        const int left = X() + 2, right = X1();
        int y = Y() + 2;
        String line;
        auto flush = [&] {
            canvas.TextOut(left, y, line);
            y += canvas.TextHeight(u"Wg");
            line.clear();
        };
        std::size_t i = 0;
        while (i < FErrorText.size()) {
            std::size_t end = FErrorText.find(u' ', i);
            if (end == String::npos)
                end = FErrorText.size();
            const String word = FErrorText.substr(i, end - i);
            const String candidate = line.empty() ? word : line + u" " + word;
            if (!line.empty() && left + canvas.TextWidth(candidate) > right)
                flush(), line = word;
            else
                line = candidate;
            i = end + 1;
        }
        if (!line.empty())
            flush();
    } else {
        TRect r = Rect(X(), Y(), X1(), Y1());
        const int l = RoundInt(leftExtra * scaleX), rr = RoundInt(rightExtra * scaleX);
        if (Horizontal()) {
            r.Left += l;
            r.Right -= rr;
        } else {
            r.Top += l;
            r.Bottom -= rr;
        }
        code.DrawBarcode(canvas, r, false, 1, 1, FShowText);

        // Bearer bars of ITF-14 and the test line, in the bar colour without outline.
        const TBrushData savedBrush = canvas.Brush().Data();
        const TPenStyle savedPen = canvas.Pen().GetStyle();
        const TScopeExit restore([&] {
            canvas.Brush().SetData(savedBrush);
            canvas.Pen().SetStyle(savedPen);
        });
        canvas.Brush().SetStyle(bsSolid);
        canvas.Brush().SetColor(code.GetColorBar());
        canvas.Pen().SetStyle(psClear);
        if (FBarType == bcCode_ITF_14) {
            const int t = RoundInt((Frame()->Width() + 4) * scaleY);
            const int h = FShowText ? RoundInt((4 - Font().GetHeight()) * scaleY) : 0;
            const int s = FShowText ? RoundInt(scaleY) : 0;
            // In the code's own frame (rotation 0): along x from a to b, across y from top to bottom.
            auto fill = [&](int x0, int y0, int x1, int y1) {
                // Map the rotation-0 rectangle of the code box onto the rotated object.
                const int w = r.Right - r.Left, hh = r.Bottom - r.Top;
                TRect q;
                switch (FRotation) {
                case 90:
                    q = Rect(r.Left + y0, r.Top + (hh - x1), r.Left + y1, r.Top + (hh - x0));
                    break;
                case 180:
                    q = Rect(r.Left + (w - x1), r.Top + (hh - y1), r.Left + (w - x0), r.Top + (hh - y0));
                    break;
                case 270:
                    q = Rect(r.Left + (w - y1), r.Top + x0, r.Left + (w - y0), r.Top + x1);
                    break;
                default:
                    q = Rect(r.Left + x0, r.Top + y0, r.Left + x1, r.Top + y1);
                    break;
                }
                canvas.FillRect(q);
            };
            const int along = Horizontal() ? r.Right - r.Left : r.Bottom - r.Top;
            const int across = Horizontal() ? r.Bottom - r.Top : r.Right - r.Left;
            fill(0, 0, along, t);
            fill(0, across - h + s - t, along, across - h + s);
            if (!FTestLine) {
                fill(0, 0, t, across - h);
                fill(along - t, 0, along, across - h);
            }
        } else if (FTestLine) {
            const int t = RoundInt(2 * scaleY);
            canvas.FillRect(Rect(X(), Y(), X1(), Y() + t));
        }
    }
    DrawFrame();
}

void TfrxBarCodeView::RaiseError() const {
    throw Exception(FErrorText);
}

void TfrxBarCodeView::GetData() {
    TfrxView::GetData();
    if (IsDataField())
        FText = VarToStr(DataSet()->GetValue(DataField()));
    else if (!FExpression.empty())
        FText = VarToStr(Calc(FExpression));
}

TfrxRect TfrxBarCodeView::GetRealBounds() {
    TBitmap bitmap(1, 1);
    TCanvas canvas(&bitmap);
    Draw(canvas, 1, 1, 0, 0);
    TfrxRect bounds = TfrxView::GetRealBounds();
    if (Horizontal() && !IsEanLeft(FBarType) && !IsUpcRight(FBarType)) {
        TCanvas measure(&bitmap);
        measure.Font().Assign(Font());
        const int textWidth = measure.TextWidth(AnsiToString(FBarCode->GetText()));
        if (textWidth > Width()) {
            const long double grow = Round((textWidth - Width()) / 2) + 2;
            bounds.Left -= grow;
            bounds.Right += grow;
        }
    }
    if (!FErrorText.empty() && !IsDesigning())
        RaiseError();
    return bounds;
}

std::unique_ptr<TMetafile> TfrxBarCodeView::GetVectorGraphic(bool drawFill) {
    GetRealBounds();
    FExportExpance = 0;
    TBitmap bitmap(1, 1);
    TCanvas measure(&bitmap);
    measure.Font().Assign(Font());
    const long double textWidth = measure.TextWidth(FText) * FZoom;
    std::unique_ptr<TMetafile> picture = TfrxView::GetVectorGraphic(drawFill);
    const long double extent = Horizontal() ? picture->GetWidth() : picture->GetHeight();
    if (textWidth <= extent)
        return picture;
    FExportExpance = int(std::ceil(double(textWidth - extent) / 2));
    const int w = picture->GetWidth() + (Horizontal() ? 2 * FExportExpance : 0);
    const int h = picture->GetHeight() + (Horizontal() ? 0 : 2 * FExportExpance);
    auto wider = std::make_unique<TMetafile>(w, h);
    {
        TMetafileCanvas canvas(*wider);
        const int dx = Horizontal() ? FExportExpance : 0, dy = Horizontal() ? 0 : FExportExpance;
        canvas.StretchDraw(Rect(dx, dy, dx + picture->GetWidth(), dy + picture->GetHeight()), *picture);
    }
    return wider;
}

TfrxRect TfrxBarCodeView::GetExportBounds() {
    TfrxRect r = MakeFrxRect(AbsLeft(), AbsTop(), AbsLeft() + Width(), AbsTop() + Height());
    if (Horizontal()) {
        r.Left -= FExportExpance;
        r.Right += FExportExpance;
    } else {
        r.Top -= FExportExpance;
        r.Bottom += FExportExpance;
    }
    return r;
}

// ---- Start-up -----------------------------------------------------------------------------

void RegisterBarcodeView() {
    TfrxObjectCollection& objects = GetObjectCollection();
    objects.RegisterCategory(u"Barcode", nullptr, u"obBarC", 23);
    for (int t = 0; t < BarcodeTypeCount; ++t)
        if (BarcodeTypeSupported(TfrxBarcodeType(t)))
            objects.RegisterObject1(&TfrxBarCodeView::StaticClassInfo(), nullptr, BarcodeTypeName(TfrxBarcodeType(t)),
                                    u"Barcode", std::uint16_t(t));
}

void UnregisterBarcodeView() {
    GetObjectCollection().Unregister(&TfrxBarCodeView::StaticClassInfo());
}

} // namespace vgl
