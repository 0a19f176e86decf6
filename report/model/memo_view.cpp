#include "report/model/memo_view.h"

#include <cmath>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/charset_conversion.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_escaping.h"
#include "report/foundation/xml_item.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/bands.h"
#include "report/model/data_set.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/styles.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxVAlign, u"vaTop", u"vaBottom", u"vaCenter")
VGL_DEFINE_ENUM(TfrxUnderlinesTextMode, u"ulmNone", u"ulmUnderlinesAll", u"ulmUnderlinesText",
                u"ulmUnderlinesTextAndEmptyLines")
VGL_DEFINE_ENUM(TfrxDuplicateMerge, u"dmShow", u"dmHide", u"dmClear", u"dmMerge")

// The properties both published memo classes share, in the order the full memo publishes them.
#define VGL_MEMO_COMMON_PROPERTIES(b)                                                                                  \
    b.Property(u"AutoWidth", &TfrxCustomMemoView::AutoWidth, &TfrxCustomMemoView::SetAutoWidth).Default(false);        \
    b.Property(u"CharSpacing", &TfrxCustomMemoView::CharSpacing, &TfrxCustomMemoView::SetCharSpacing)                  \
        .Stored(&TfrxCustomMemoView::IsCharSpacingStored);                                                             \
    b.Property(u"Color", &TfrxView::Color, &TfrxView::SetColor).Type(ColorTypeInfo());                                 \
    b.Property(u"DisplayFormat", &TfrxCustomMemoView::DisplayFormat, &TfrxCustomMemoView::SetDisplayFormat)            \
        .Stored(&TfrxCustomMemoView::IsDisplayFormatStored);                                                           \
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);                                                             \
    b.Property(u"Frame", &TfrxView::Frame, &TfrxView::SetFrame);                                                       \
    b.Property(u"FillType", &TfrxView::FillType, &TfrxView::SetFillType).Default(ftBrush);                             \
    b.Property(u"Fill", &TfrxView::Fill, &TfrxView::SetFill);                                                          \
    b.Property(u"GapX", &TfrxCustomMemoView::GapX, &TfrxCustomMemoView::SetGapX)                                       \
        .Stored(&TfrxCustomMemoView::IsGapXStored);                                                                    \
    b.Property(u"GapY", &TfrxCustomMemoView::GapY, &TfrxCustomMemoView::SetGapY)                                       \
        .Stored(&TfrxCustomMemoView::IsGapYStored);                                                                    \
    b.Property(u"HAlign", &TfrxCustomMemoView::HAlign, &TfrxCustomMemoView::SetHAlign).Default(haLeft);                \
    b.Property(u"HideZeros", &TfrxCustomMemoView::HideZeros, &TfrxCustomMemoView::SetHideZeros).Default(false);        \
    b.Property(u"Highlight", &TfrxCustomMemoView::Highlight, &TfrxCustomMemoView::SetHighlight)                        \
        .Stored(&TfrxCustomMemoView::IsHighlightStored);                                                               \
    b.Property(u"ParentFont", &TfrxComponent::ParentFont, &TfrxComponent::SetParentFont).Default(true);                \
    b.Property(u"Processing", &TfrxView::Processing, &TfrxView::SetProcessing);                                        \
    b.Property(u"Rotation", &TfrxCustomMemoView::Rotation, &TfrxCustomMemoView::SetRotation).Default(0);               \
    b.Property(u"RTLReading", &TfrxCustomMemoView::RTLReading, &TfrxCustomMemoView::SetRTLReading).Default(false);     \
    b.Property(u"Style", &TfrxCustomMemoView::Style, &TfrxCustomMemoView::SetStyle);                                   \
    b.Property(u"SuppressRepeated", &TfrxCustomMemoView::SuppressRepeated, &TfrxCustomMemoView::SetSuppressRepeated)   \
        .Default(false);                                                                                               \
    b.Property(u"Duplicates", &TfrxCustomMemoView::Duplicates, &TfrxCustomMemoView::SetDuplicates).Default(dmShow);    \
    b.Property(u"VAlign", &TfrxCustomMemoView::VAlign, &TfrxCustomMemoView::SetVAlign).Default(vaTop);                 \
    b.Property(u"WordWrap", &TfrxCustomMemoView::WordWrap, &TfrxCustomMemoView::SetWordWrap).Default(true)

VGL_DEFINE_CLASS(TfrxCustomMemoView) {}

VGL_DEFINE_CLASS(TfrxMemoView) {
    VGL_MEMO_COMMON_PROPERTIES(b);
    b.Property(u"AllowExpressions", &TfrxCustomMemoView::AllowExpressions, &TfrxCustomMemoView::SetAllowExpressions)
        .Default(true);
    b.Property(u"AllowHTMLTags", &TfrxCustomMemoView::AllowHTMLTags, &TfrxCustomMemoView::SetAllowHTMLTags)
        .Default(false);
    b.Property(u"Clipped", &TfrxCustomMemoView::Clipped, &TfrxCustomMemoView::SetClipped).Default(true);
    b.Property(u"DataField", &TfrxView::DataField, &TfrxView::SetDataField);
    b.Property(u"DataLink", &TfrxCustomMemoView::DataLink, &TfrxCustomMemoView::SetDataLink)
        .Stored(&TfrxCustomMemoView::IsDataLinkStored);
    b.Property(u"DataSetName", &TfrxView::DataSetName, &TfrxView::SetDataSetName);
    b.Property(u"ExpressionDelimiters", &TfrxCustomMemoView::ExpressionDelimiters,
               &TfrxCustomMemoView::SetExpressionDelimiters)
        .Stored(&TfrxCustomMemoView::IsExpressionDelimitersStored);
    b.Property(u"LineSpacing", &TfrxCustomMemoView::LineSpacing, &TfrxCustomMemoView::SetLineSpacing)
        .Stored(&TfrxCustomMemoView::IsLineSpacingStored);
    b.Property(u"ParagraphGap", &TfrxCustomMemoView::ParagraphGap, &TfrxCustomMemoView::SetParagraphGap)
        .Stored(&TfrxCustomMemoView::IsParagraphGapStored);
    b.Property(u"TagStr", &TfrxView::TagStr, &TfrxView::SetTagStr);
    b.Property(u"Underlines", &TfrxCustomMemoView::Underlines, &TfrxCustomMemoView::SetUnderlines).Stored(false);
    b.Property(u"UnderlinesTextMode", &TfrxCustomMemoView::UnderlinesTextMode,
               &TfrxCustomMemoView::SetUnderlinesTextMode)
        .Default(ulmNone);
    b.Property(u"URL", &TfrxView::URL, &TfrxView::SetURL).Stored(false);
    b.Property(u"UseDefaultCharset", &TfrxCustomMemoView::UseDefaultCharset, &TfrxCustomMemoView::SetUseDefaultCharset)
        .Default(false);
    b.Property(u"WordBreak", &TfrxCustomMemoView::WordBreak, &TfrxCustomMemoView::SetWordBreak).Default(false);
    b.Property(u"Wysiwyg", &TfrxCustomMemoView::Wysiwyg, &TfrxCustomMemoView::SetWysiwyg).Default(true);
    b.Property(u"FirstParaBreak", &TfrxCustomMemoView::FirstParaBreak, &TfrxCustomMemoView::SetFirstParaBreak)
        .Default(false);
    b.Property(u"LastParaBreak", &TfrxCustomMemoView::LastParaBreak, &TfrxCustomMemoView::SetLastParaBreak)
        .Default(false);
}

VGL_DEFINE_CLASS(TfrxSysMemoView) {
    VGL_MEMO_COMMON_PROPERTIES(b);
}

namespace {

String Attr(StringView name, const String& value) {
    return u" " + String(name) + u"=\"" + value + u"\"";
}

String BoolText(bool v) {
    return VariantToXMLText(Variant(v));
}

bool Differs(long double a, long double b) {
    return std::fabs(a - b) > 0.0001L;
}

/// Nearest integer, halves to even (the default rounding mode).
long double Rnd(long double v) {
    return std::nearbyint(v);
}

bool IsTextValue(const Variant& v) {
    const TVarType t = v.VType();
    return t == varString || t == varUString || t == varOleStr;
}

/// Position of `what` in `s` from `from` on, ASCII case-insensitive; npos if none.
std::size_t FindNoCase(const String& s, StringView what, std::size_t from) {
    const String upper = UpperCase(s);
    const String key = UpperCase(what);
    return upper.find(key, from);
}

} // namespace

// ---- TfrxCustomMemoView ---------------------------------------------------------------------

TfrxCustomMemoView::TfrxCustomMemoView(TComponent* owner)
    : TfrxStretcheable(owner), FFormats(std::make_unique<TfrxFormatCollection>()),
      FHighlights(std::make_unique<TfrxHighlightCollection>()), FLastValue(Null()) {
    frComponentStyle().Exclude(csDefaultDiff);
    frComponentStyle().Include(csHandlesNestedProperties);
    SetParentFont(true);
}

TfrxCustomMemoView::~TfrxCustomMemoView() {
    // A band's fill memo freed by anything else than DisposeFillMemo leaves no link behind.
    if (auto* band = dynamic_cast<TfrxBand*>(Parent()); band && band->FillMemo == this)
        band->FillMemo = nullptr;
    if (FFlowTo)
        FFlowTo->RemoveFreeNotification(this);
}

String TfrxCustomMemoView::GetDescription() const {
    return frxResourcesInstance().Get(u"obText");
}

String TfrxSysMemoView::GetDescription() const {
    return frxResourcesInstance().Get(u"obSysText");
}

TfrxFormat* TfrxCustomMemoView::DisplayFormat() const {
    if (FFormats->Count() == 0)
        FFormats->Add();
    return FFormats->Items(0);
}

TfrxHighlight* TfrxCustomMemoView::Highlight() const {
    if (FHighlights->Count() == 0)
        FHighlights->Add();
    return FHighlights->Items(0);
}

bool TfrxCustomMemoView::IsHighlightStored() const {
    return FHighlights->Count() == 1 && !Trim(FHighlights->Items(0)->Condition()).empty();
}

void TfrxCustomMemoView::SetFlowTo(TfrxCustomMemoView* v) {
    if (FFlowTo == v)
        return;
    if (FFlowTo)
        FFlowTo->RemoveFreeNotification(this);
    FFlowTo = v;
    if (FFlowTo)
        FFlowTo->FreeNotification(this);
}

void TfrxCustomMemoView::Notification(TComponent* component, TOperation operation) {
    TfrxStretcheable::Notification(component, operation);
    if (operation == opRemove && component == FFlowTo)
        FFlowTo = nullptr;
}

int TfrxCustomMemoView::ReducedAngle() const {
    const int a = FRotation % 360;
    return a < 0 ? a + 360 : a;
}

void TfrxCustomMemoView::SetUnderlines(bool v) {
    if (!v)
        FUnderlinesTextMode = ulmNone;
    else if (FUnderlinesTextMode == ulmNone)
        FUnderlinesTextMode = ulmUnderlinesAll;
}

// ---- Charset conversions -------------------------------------------------------------------

bool TfrxCustomMemoView::ConvertsCharset() const {
    return Font().GetCharset() != kDefaultCharset && !FUseDefaultCharset;
}

String TfrxCustomMemoView::SystemToFontCharset(const String& s) const {
    if (!ConvertsCharset())
        return s;
    return AnsiTextToWide(WideTextToAnsi(s, kDefaultCharset, GetACP()), Font().GetCharset());
}

String TfrxCustomMemoView::FontCharsetToSystem(const String& s) const {
    if (!ConvertsCharset())
        return s;
    return AnsiTextToWide(WideTextToAnsi(s, Font().GetCharset()), kDefaultCharset, GetACP());
}

AnsiString TfrxCustomMemoView::AnsiText() const {
    return WideTextToAnsi(Text(), Font().GetCharset());
}

void TfrxCustomMemoView::SetAnsiText(std::string_view v) {
    SetText(AnsiTextToWide(v, Font().GetCharset()));
}

// ---- Data link ------------------------------------------------------------------------------

TfrxDataLink* TfrxCustomMemoView::DataLink() const {
    if (!FDataLink)
        FDataLink = std::make_unique<TfrxDataLink>();
    return FDataLink.get();
}

String TfrxCustomMemoView::GetLink(TfrxDataLinkLoadMethod method) const {
    return TfrxDataLink::GetLink(FDataLink.get(), method);
}

String TfrxCustomMemoView::DataLinkForGetData(bool& isExpression) {
    isExpression = IsExpressionLink();
    return GetLink(dlmOnGetData);
}

bool TfrxCustomMemoView::LoadDataFromStream(TStream& stream, const String&) {
    try {
        std::string bytes;
        constexpr std::int64_t block = 1 << 20;
        std::vector<char> buffer(block);
        for (;;) {
            const std::int64_t n = stream.Read(buffer.data(), block);
            if (n <= 0)
                break;
            if (std::int64_t(bytes.size()) + n > kMaxDataStreamSize)
                return false;
            bytes.append(buffer.data(), std::size_t(n));
        }
        SetText(AnsiTextToWide(bytes, Font().GetCharset()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

// ---- Printing -------------------------------------------------------------------------------

void TfrxCustomMemoView::BeforePrint() {
    TfrxStretcheable::BeforePrint();
    if (!IsDataField())
        FTempMemo = Text();
    TfrxDataLink::SaveState(FDataLink.get());
}

void TfrxCustomMemoView::AfterPrint() {
    if (!IsDataField())
        SetText(FTempMemo);
    if (FHighlightActivated)
        RestoreHighlightState();
    TfrxDataLink::RestoreState(FDataLink.get());
    TfrxStretcheable::AfterPrint();
}

void TfrxCustomMemoView::ExpandExpressions() {
    String s = Text();
    const String& delimiters = FExpressionDelimiters;
    const std::size_t comma = delimiters.find(u',');
    const String open = comma == String::npos ? delimiters : delimiters.substr(0, comma);
    const String close = comma == String::npos ? String() : delimiters.substr(comma + 1, 255);
    if (open.empty() || close.empty() || s.find(open) == String::npos)
        return;
    int i = 1, j = 0, k = 0;
    do {
        while (i < int(s.size()) && s.compare(std::size_t(i - 1), open.size(), open) != 0)
            ++i;
        // An opening text without its closing text is no expression: i = j ends the walk and
        // the rest of the text stays as written.
        const String inner = ExtractBracketedExpression(s, open, close, i, j);
        if (i != j) {
            s.erase(std::size_t(i - 1), std::size_t(j - i + 1));
            const String value = CalcAndFormat(inner, FFormats->Items(k));
            s.insert(std::size_t(i - 1), value);
            i += int(value.size());
            j = 0;
            if (k < FFormats->Count() - 1)
                ++k;
        }
    } while (i != j);
    SetText(s);
}

void TfrxCustomMemoView::GetData() {
    TfrxStretcheable::GetData();
    if (FFormats->Count() == 0)
        FFormats->Add();
    if (IsDataField())
        GetDataFieldValue();
    else if (FAllowExpressions)
        ExpandExpressions();

    TfrxComponent* reportComponent = GetReport();
    auto* report = dynamic_cast<TfrxReport*>(reportComponent);
    if (report)
        report->SetLocalValue(FValue);

    for (int n = 0; n < FHighlights->Count(); ++n) {
        TfrxHighlight* h = FHighlights->Items(n);
        if (h->Condition().empty())
            continue;
        const Variant result = Calc(h->Condition());
        if (result.VType() == varBoolean && result.AsBoolean()) {
            SaveHighlightState();
            ApplyHighlight(h);
            break;
        }
    }

    if (FSuppressRepeated) {
        const String text = Text();
        if (!FLastValue.IsNull() && !FLastValue.IsEmpty() && VarToStr(FLastValue) == text)
            SetText(String());
        else
            FLastValue = Variant(text);
    }

    if (FFlowTo) {
        InitPart();
        DrawPart();
        FFlowTo->SetText(FPartMemo);
        FFlowTo->SetAllowExpressions(false);
    }
}

String TfrxCustomMemoView::CalcAndFormat(const String& exprText, TfrxFormat* format) {
    String expr = exprText;
    std::unique_ptr<TfrxFormat> inlineFormat;
    const std::size_t mark = expr.find(u" #");
    if (mark != String::npos) {
        const String rest = expr.substr(mark + 2);
        if (rest.find(u')') == String::npos) {
            expr = expr.substr(0, mark);
            inlineFormat = std::make_unique<TfrxFormat>(nullptr);
            String fs = rest.empty() ? String() : rest.substr(1, 255);
            const Char kind = rest.empty() ? Char(0) : rest[0];
            if (kind == u'N' || kind == u'n') {
                inlineFormat->Kind = fkNumeric;
                for (Char& c : fs)
                    if (c == u',' || c == u'-' || c == u'.') {
                        inlineFormat->DecimalSeparator = String(1, c);
                        c = u'.';
                    }
            } else if (kind == u'D' || kind == u'd' || kind == u'T' || kind == u't') {
                inlineFormat->Kind = fkDateTime;
            } else if (kind == u'B' || kind == u'b') {
                inlineFormat->Kind = fkBoolean;
            }
            inlineFormat->FormatStr = fs;
            format = inlineFormat.get();
        }
    }

    if (SameText(expr, u"TOTALPAGES#"))
        FValue = Variant(String(u"[TotalPages#]"));
    else if (SameText(expr, u"COPYNAME#"))
        FValue = Variant(String(u"[CopyName#]"));
    else
        FValue = Calc(FontCharsetToSystem(expr));

    if (HidesZero(FValue))
        return {};
    return FormatData(FValue, format);
}

bool TfrxCustomMemoView::HidesZero(const Variant& value) {
    if (!FHideZeros || value.IsNull() || value.IsEmpty() || IsTextValue(value))
        return false;
    long double precision = 1e-17L;
    if (auto* report = dynamic_cast<TfrxReport*>(GetReport()))
        precision = report->EngineOptions()->ZeroPrecisionValue();
    try {
        return std::fabs(value.AsExtended()) <= precision;
    } catch (const Exception&) {
        return false; // not a number: formatted as it is
    }
}

void TfrxCustomMemoView::GetDataFieldValue() {
    TfrxDataSet* dataSet = DataSet();
    const String& field = DataField();
    if (dataSet->IsBlobField(field)) {
        // The data set writes the field's content into the lines; Value stays as it was.
        dataSet->AssignBlobTo(field, &FMemo);
        return;
    }
    FValue = dataSet->GetValue(field);
    if (DisplayFormat()->Kind != fkText)
        SetText(FormatData(FValue));
    else
        SetText(SystemToFontCharset(dataSet->GetDisplayText(field)));
    if (HidesZero(FValue))
        SetText(String());
}

String TfrxCustomMemoView::FormatData(const Variant& value, TfrxFormat* format) {
    if (!format)
        format = DisplayFormat();
    if (value.IsNull() || value.IsEmpty())
        return {};
    auto plain = [&value]() -> String {
        try {
            return VarToStr(value);
        } catch (const Exception&) {
            return {};
        }
    };
    try {
        const String& fs = format->FormatStr;
        switch (format->Kind) {
        case fkText:
            return SystemToFontCharset(plain());
        case fkNumeric: {
            String r;
            if (fs.find(u'#') != String::npos || (!fs.empty() && fs[0] == u'0'))
                r = FormatFloat(fs, value.AsExtended());
            else if (fs.find(u'd') != String::npos || fs.find(u'u') != String::npos)
                r = Format(fs, {TVarRec((long long)value.AsInt64())});
            else
                r = Format(fs, {TVarRec(value.AsExtended())});
            const TFormatSettings& locale = FormatSettings();
            const std::size_t decimalPos = r.rfind(locale.DecimalSeparator);
            if (format->ThousandSeparator.size() == 1 && format->ThousandSeparator[0] != locale.ThousandSeparator)
                for (Char& c : r)
                    if (c == locale.ThousandSeparator)
                        c = format->ThousandSeparator[0];
            if (format->DecimalSeparator.size() == 1 && format->DecimalSeparator[0] != locale.DecimalSeparator &&
                decimalPos != String::npos)
                r[decimalPos] = format->DecimalSeparator[0];
            return r;
        }
        case fkDateTime:
            return FormatDateTime(fs, value.AsDate());
        case fkBoolean: {
            const std::size_t comma = fs.find(u',');
            const String falseText = comma == String::npos ? fs : fs.substr(0, comma);
            const String trueText = comma == String::npos ? String() : fs.substr(comma + 1);
            const bool isTrue = value.VType() == varBoolean && value.AsBoolean();
            return isTrue ? trueText : falseText;
        }
        }
    } catch (const Exception&) {
        // a value the format cannot take prints as plain text
    }
    return plain();
}

void TfrxCustomMemoView::SaveHighlightState() {
    FHighlightActivated = true;
    FSavedFill = NewFillOfKind(FillType());
    FSavedFill->Assign(Fill());
    FSavedFont = std::make_unique<TFont>();
    FSavedFont->Assign(Font());
    FSavedParentFont = ParentFont();
    FSavedFrame = std::make_unique<TfrxFrame>();
    FSavedFrame->Assign(Frame());
    FSavedVisible = Visible();
}

void TfrxCustomMemoView::RestoreHighlightState() {
    FHighlightActivated = false;
    if (FSavedFill)
        SetFill(FSavedFill.get());
    if (FSavedFont) {
        SetFont(*FSavedFont);
        if (FSavedParentFont)
            SetParentFont(true);
    }
    if (FSavedFrame)
        SetFrame(FSavedFrame.get());
    SetVisible(FSavedVisible);
    FSavedFill.reset();
    FSavedFont.reset();
    FSavedFrame.reset();
}

void TfrxCustomMemoView::ApplyHighlight(TfrxHighlight* highlight) {
    if (!highlight)
        return;
    if (highlight->ApplyFont())
        SetFont(*highlight->Font());
    if (highlight->ApplyFill())
        SetFill(highlight->Fill());
    if (highlight->ApplyFrame())
        SetFrame(highlight->Frame());
    SetVisible(highlight->Visible());
}

void TfrxCustomMemoView::SetStyle(const String& v) {
    FStyle = v;
    if (IsLoading())
        return;
    if (auto* report = dynamic_cast<TfrxReport*>(GetReport()); report && report->Styles())
        ApplyStyle(report->Styles()->Find(v));
}

void TfrxCustomMemoView::Loaded() {
    TfrxStretcheable::Loaded();
    if (!FStyle.empty())
        if (auto* report = dynamic_cast<TfrxReport*>(GetReport()); report && report->Styles())
            ApplyStyle(report->Styles()->Find(FStyle));
}

void TfrxCustomMemoView::ApplyStyle(const TfrxStyleItem* style) {
    if (!style)
        return;
    if (style->ApplyFill())
        SetFill(style->Fill());
    if (style->ApplyFont())
        SetFont(*style->Font());
    if (style->ApplyFrame())
        SetFrame(style->Frame());
}

void TfrxCustomMemoView::ApplyPreviewHighlight() {
    if (FHighlights->Count() > 0 && FHighlights->Items(0)->Active())
        ApplyHighlight(FHighlights->Items(0));
}

void TfrxCustomMemoView::ExtractMacros() {
    if (!FAllowExpressions)
        return;
    String s = Text();
    bool changed = false;
    for (std::size_t p = FindNoCase(s, u"[TOTALPAGES#]", 0); p != String::npos;) {
        const String value = IntToStr(TotalPages);
        s.replace(p, 13, value);
        changed = true;
        p = FindNoCase(s, u"[TOTALPAGES#]", p + value.size());
    }
    for (std::size_t p = FindNoCase(s, u"[COPYNAME#]", 0); p != String::npos;) {
        Variant v;
        const String value = frxGetGlobalVariable(u"CopyName" + IntToStr(CopyNo), v) ? VarToStr(v) : String();
        s.replace(p, 11, value);
        changed = true;
        p = FindNoCase(s, u"[COPYNAME#]", p + value.size());
    }
    if (changed)
        SetText(s);
}

String TfrxCustomMemoView::GetComponentText() {
    String s = Text();
    if (FAllowExpressions) {
        const std::size_t p = FindNoCase(s, u"[TOTALPAGES]", 0);
        if (p != String::npos)
            s.replace(p, 12, IntToStr(TotalPages));
    }
    return s;
}

String TfrxCustomMemoView::DiffText() {
    String value;
    if (FMemo.Count() == 1)
        value = FMemo.Get(0);
    else if (FMemo.Count() > 1) {
        value = Text();
        if (value.size() >= 2 && value.compare(value.size() - 2, 2, u"\r\n") == 0)
            value.resize(value.size() - 2);
    }
    return Attr(u"u", XMLEscapeText(value));
}

String TfrxCustomMemoView::Diff(TfrxComponent* component) {
    String s = TfrxStretcheable::Diff(component);
    if (auto* m = dynamic_cast<TfrxCustomMemoView*>(component)) {
        if (FAutoWidth != m->FAutoWidth)
            s += Attr(u"AutoWidth", BoolText(FAutoWidth));
        if (Differs(FCharSpacing, m->FCharSpacing))
            s += Attr(u"CharSpacing", FloatToStr(FCharSpacing));
        if (Differs(FGapX, m->FGapX))
            s += Attr(u"GapX", FloatToStr(FGapX));
        if (Differs(FGapY, m->FGapY))
            s += Attr(u"GapY", FloatToStr(FGapY));
        if (FHAlign != m->FHAlign)
            s += Attr(u"HAlign", IntToStr(int(FHAlign)));
        if (Differs(FLineSpacing, m->FLineSpacing))
            s += Attr(u"LineSpacing", FloatToStr(FLineSpacing));
        if (FUseDefaultCharset != m->FUseDefaultCharset)
            s += Attr(u"UseDefaultCharset", BoolText(FUseDefaultCharset));
        s += DiffText();
        if (!Hint().empty())
            s += Attr(u"Hint", XMLEscapeText(Hint()));
        if (Differs(FParagraphGap, m->FParagraphGap))
            s += Attr(u"ParagraphGap", FloatToStr(FParagraphGap));
        if (FRotation != m->FRotation)
            s += Attr(u"Rotation", IntToStr(FRotation));
        if (FRTLReading != m->FRTLReading)
            s += Attr(u"RTLReading", BoolText(FRTLReading));
        if (FUnderlinesTextMode != m->FUnderlinesTextMode)
            s += Attr(u"UnderlinesTextMode", IntToStr(int(FUnderlinesTextMode)));
        if (FVAlign != m->FVAlign)
            s += Attr(u"VAlign", IntToStr(int(FVAlign)));
        if (FWordWrap != m->FWordWrap)
            s += Attr(u"WordWrap", BoolText(FWordWrap));
        if (FFormats->Count() == 1) {
            const TfrxFormat* f = FFormats->Items(0);
            const TfrxFormat* r = m->DisplayFormat();
            if (f->Kind != r->Kind)
                s += Attr(u"DisplayFormat.Kind", IntToStr(int(f->Kind)));
            if (f->DecimalSeparator != r->DecimalSeparator)
                s += Attr(u"DisplayFormat.DecimalSeparator", XMLEscapeText(f->DecimalSeparator));
            if (f->ThousandSeparator != r->ThousandSeparator)
                s += Attr(u"DisplayFormat.ThousandSeparator", XMLEscapeText(f->ThousandSeparator));
            if (f->FormatStr != r->FormatStr)
                s += Attr(u"DisplayFormat.FormatStr", XMLEscapeText(f->FormatStr));
        }
    }
    if (FFirstParaBreak)
        s += Attr(u"FirstParaBreak", u"1");
    if (FLastParaBreak)
        s += Attr(u"LastParaBreak", u"1");
    // The next part of a split memo starts with the break state where this part ended.
    FFirstParaBreak = FLastParaBreak;
    FLastParaBreak = false;
    return s;
}

void TfrxCustomMemoView::MirrorContent(TfrxMirrorControlModes mirrorModes) {
    TfrxStretcheable::MirrorContent(mirrorModes);
    if (mirrorModes.Contains(mcmRTLContent)) {
        if (FHAlign == haLeft)
            FHAlign = haRight;
        else if (FHAlign == haRight)
            FHAlign = haLeft;
    }
    if (mirrorModes.Contains(mcmBTTContent)) {
        if (FVAlign == vaTop)
            FVAlign = vaBottom;
        else if (FVAlign == vaBottom)
            FVAlign = vaTop;
    }
    if (mirrorModes.Contains(mcmRTLSpecial))
        FRTLReading = true;
}

// ---- Layout ---------------------------------------------------------------------------------

long double TfrxCustomMemoView::GetTextGapWidth() const {
    const TfrxFrame& f = *Frame();
    long double r = 2 * FGapX;
    if (f.Typ().Contains(ftLeft))
        r += (f.Width() - 1) / 2;
    if (f.Typ().Contains(ftRight))
        r += f.Width() / 2;
    if (f.DropShadow())
        r += f.ShadowWidth();
    return r;
}

long double TfrxCustomMemoView::GetTextGapHeight() const {
    const TfrxFrame& f = *Frame();
    long double r = 2 * FGapY;
    if (f.Typ().Contains(ftTop))
        r += (f.Width() - 1) / 2;
    if (f.Typ().Contains(ftBottom))
        r += f.Width() / 2;
    if (f.DropShadow())
        r += f.ShadowWidth();
    return r;
}

TRect TfrxCustomMemoView::CalcTextRect(long double scaleX, long double scaleY, long double offsetX,
                                       long double offsetY) const {
    const TfrxFrame& f = *Frame();
    const int l = DeviceInt(offsetX + scaleX * AbsLeft());
    const int t = DeviceInt(offsetY + scaleY * AbsTop());
    const long double shadow = f.DropShadow() ? f.ShadowWidth() : 0;
    const int w = DeviceInt(scaleX * (Width() - shadow));
    const int h = DeviceInt(scaleY * (Height() - shadow));
    const int gx = DeviceInt(scaleX * FGapX);
    const int gy = DeviceInt(scaleY * FGapY);
    TRect r;
    r.Left = l + gx + (f.Typ().Contains(ftLeft) ? DeviceInt((scaleX * f.Width() - 1) / 2) : 0);
    r.Top = t + gy + (f.Typ().Contains(ftTop) ? DeviceInt((scaleY * f.Width() - 1) / 2) : 0);
    r.Right = l + w - (f.Typ().Contains(ftRight) ? DeviceInt(scaleX * f.Width() / 2) : 0) - gx + 1;
    r.Bottom = t + h - (f.Typ().Contains(ftBottom) ? DeviceInt(scaleY * f.Width() / 2) : 0) - gy + 1;
    return r;
}

void TfrxCustomMemoView::ConfigureLayout(TfrxDrawText& dt, bool forDrawing) const {
    dt.SetFont(Font());
    dt.SetOptions(FWordWrap, FAllowHTMLTags, FRTLReading, FWordBreak, FClipped, FWysiwyg, FRotation);
    dt.SetGaps(FParagraphGap, FCharSpacing, FLineSpacing);
    if (forDrawing) {
        dt.SetUseDefaultCharset(FUseDefaultCharset);
        dt.SetUseMonoFont(DrawAsMask());
    }
}

void TfrxCustomMemoView::AutoWidthStep() {
    if (IsDesigning() || !FAutoWidth)
        return;
    // The measurement runs on the shared layout object: it takes that object's lock (recursive,
    // so the callers that already hold it keep working).
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    ConfigureLayout(dt, true);
    const TRect unbounded{0, 0, 10000, 10000};
    dt.SetDimensions(1, 1, 1, unbounded, unbounded);
    dt.SetText(FMemo);
    const long double oldWidth = Width();
    const long double newWidth = (IsVertical() ? dt.CalcHeight() : dt.CalcWidth()) + GetTextGapWidth();
    SetWidth(newWidth);
    if (FHAlign == haRight)
        SetLeft(oldWidth + Left() - newWidth);
    else if (FHAlign == haCenter)
        SetLeft((oldWidth - newWidth) / 2 + Left());
    if (Parent())
        Parent()->AlignChildren();
}

void TfrxCustomMemoView::BeginDrawNoCanvas(long double scaleX, long double scaleY, long double offsetX,
                                           long double offsetY) {
    AutoWidthStep();
    FScaledRect = CalcTextRect(scaleX, scaleY, offsetX, offsetY);
    FTextRect = CalcTextRect(1, 1, 0, 0);
}

void TfrxCustomMemoView::BeginDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                   long double offsetY) {
    AutoWidthStep();
    TfrxStretcheable::BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    FScaledRect = CalcTextRect(scaleX, scaleY, offsetX, offsetY);
    FTextRect = CalcTextRect(1, 1, 0, 0);
}

void TfrxCustomMemoView::PrepareDrawText(TfrxDrawText& dt, long double scaleX, long double scaleY, long double offsetX,
                                         long double offsetY) {
    ConfigureLayout(dt, true);
    if (!IsPrinting())
        FPrintScale = 1;
    const bool scaled = scaleX != 1 || scaleY != 1 || offsetX != 0 || offsetY != 0;
    dt.SetDimensions(scaleX, scaleY, FPrintScale, FTextRect, scaled ? FScaledRect : FTextRect);
    dt.SetText(FMemo, FFirstParaBreak);
    dt.SetParaBreaks(FFirstParaBreak, FLastParaBreak);
}

void TfrxCustomMemoView::DrawMemoText() {
    if (!IsDesigning())
        ExtractMacros();
    TCanvas* canvas = Canvas();
    if (!canvas)
        return;
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    PrepareDrawText(dt, ScaleX(), ScaleY(), OffsetX(), OffsetY());
    if (FUnderlinesTextMode != ulmNone && FRotation == 0) {
        canvas->Pen().SetColor(Frame()->Color());
        canvas->Pen().SetWidth(FrameWidth());
        canvas->Pen().SetStyle(psSolid);
    }
    // While GetVectorCanvas records the text, the canvas is its scratch bitmap, which is thrown
    // away: the runs are only recorded, not rasterised there.
    dt.SetVC(VC(), VC() == nullptr);
    TScopeExit resetVC([&dt] { dt.SetVC(nullptr); });
    dt.DrawText(*canvas, FHAlign, FVAlign, FUnderlinesTextMode, -1);
}

void TfrxCustomMemoView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                              long double offsetY) {
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    if (!VC()) {
        DrawBackground();
        DrawFrame();
    }
    DrawMemoText();
}

long double TfrxCustomMemoView::CalcHeight() {
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    ConfigureLayout(dt, false);
    if (IsVertical() || FAutoWidth) {
        const TRect unbounded{0, 0, 10000, 10000};
        dt.SetDimensions(1, 1, 1, unbounded, unbounded);
    } else {
        BeginDrawNoCanvas(1, 1, 0, 0);
        dt.SetDimensions(1, 1, 1, FTextRect, FTextRect);
    }
    dt.SetText(FMemo);
    return Rnd((IsVertical() ? dt.CalcWidth() : dt.CalcHeight()) + GetTextGapHeight());
}

long double TfrxCustomMemoView::CalcWidth() {
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    ConfigureLayout(dt, false);
    if (IsVertical()) {
        FTextRect = CalcTextRect(1, 1, 0, 0);
        dt.SetDimensions(1, 1, 1, FTextRect, FTextRect);
    } else {
        const TRect unbounded{0, 0, 10000, 10000};
        dt.SetDimensions(1, 1, 1, unbounded, unbounded);
    }
    dt.SetText(FMemo);
    return Rnd((IsVertical() ? dt.CalcHeight() : dt.CalcWidth()) + GetTextGapWidth());
}

void TfrxCustomMemoView::InitPart() {
    FPartMemo = Text();
    FFirstParaBreak = false;
    FLastParaBreak = false;
}

long double TfrxCustomMemoView::DrawPart() {
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    SetText(FPartMemo);
    BeginDrawNoCanvas(1, 1, 0, 0);
    PrepareDrawText(dt, 1, 1, 0, 0);
    bool paraBreak = false;
    SetPartMemo(dt.GetOutBoundsText(paraBreak));
    SetText(dt.GetInBoundsText());
    FLastParaBreak = paraBreak;
    const long double unused = dt.UnusedSpace();
    return unused == 0 ? Height() : unused + 2 * FGapY;
}

String TfrxCustomMemoView::WrapText(bool wrapWords, TStrings* lines) {
    TfrxDrawText& dt = GetDrawTextObject();
    TfrxDrawTextLock lock(dt);
    BeginDrawNoCanvas(1, 1, 0, 0);
    PrepareDrawText(dt, 1, 1, 0, 0);
    String result = wrapWords ? dt.WrappedText() : dt.DeleteTags(Text());
    if (lines) {
        lines->SetText(result);
        if (lines->Count() == dt.Text().Count())
            for (int i = 0; i < lines->Count(); ++i)
                lines->PutObject(i, dt.Text().GetObject(i));
    }
    return result;
}

// ---- Storage --------------------------------------------------------------------------------

void TfrxCustomMemoView::WriteNestedProperties(TfrxXMLItem& item, TPersistent* ancestor) {
    if (FFormats->Count() > 1)
        SaveCollectionToXML(*FFormats, u"Formats", item, nullptr, this);
    if (FHighlights->Count() > 1) {
        auto* ancestorMemo = dynamic_cast<TfrxCustomMemoView*>(ancestor);
        SaveCollectionToXML(*FHighlights, u"Highlights", item, ancestorMemo ? ancestorMemo->FHighlights.get() : nullptr,
                            this);
    }
}

bool TfrxCustomMemoView::ReadNestedProperty(TfrxXMLItem& item) {
    if (SameText(item.Name(), u"Formats")) {
        LoadCollectionFromXML(*FFormats, item, this);
        return true;
    }
    if (SameText(item.Name(), u"Highlights")) {
        LoadCollectionFromXML(*FHighlights, item, this);
        return true;
    }
    return false;
}

// ---- Band fill memo -------------------------------------------------------------------------

void CreateFillMemo(TfrxBand* band) {
    if (!band)
        return;
    const auto* brush = dynamic_cast<const TfrxBrushFill*>(band->Fill());
    const bool emptyFill =
        brush && brush->BackColor() == clNone && brush->ForeColor() == clBlack && brush->Style() == bsSolid;
    if (emptyFill && band->Frame()->Typ().Empty())
        return;
    auto* memo = dynamic_cast<TfrxMemoView*>(band->FillMemo);
    if (!memo) {
        memo = new TfrxMemoView(band);
        band->FillMemo = memo;
        memo->SetAlign(baHidden);
        // The memo goes first among the band's objects: the others leave and come back after it.
        std::vector<TfrxComponent*> others(band->Objects().Items().begin(), band->Objects().Items().end());
        for (TfrxComponent* c : others)
            c->SetParent(nullptr);
        memo->SetParent(band);
        for (TfrxComponent* c : others)
            c->SetParent(band);
    }
    memo->SetFillType(band->FillType());
    memo->SetFill(band->Fill());
    memo->SetFrame(band->Frame());
    const TfrxFillGaps& gap = *band->FillGap();
    memo->SetHeight(band->Height() - gap.Top() - gap.Bottom());
    memo->SetWidth(band->Width() - gap.Left() - gap.Right());
    memo->SetTop(gap.Top());
    memo->SetLeft(gap.Left());
}

void DisposeFillMemo(TfrxBand* band) {
    if (!band || !band->FillMemo)
        return;
    // The band owns the memo; freeing it takes it out of the band's objects and its owner.
    std::unique_ptr<TfrxComponent> memo(band->FillMemo);
    band->FillMemo = nullptr;
}

} // namespace vgl
