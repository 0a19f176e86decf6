#include "report/foundation/draw_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>

#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/printers.h"
#include "report/foundation/syllable_breaking.h"

namespace vgl {

namespace {

int RoundInt(long double v) {
    return int(Round(v));
}

int TruncInt(long double v) {
    return int(Trunc(v));
}

/// Restores a canvas font's orientation when drawing ends, on every path.
class TOrientationGuard {
public:
    TOrientationGuard(TFont& font, int orientation) : FFont(font), FOld(font.GetOrientation()) {
        FFont.SetOrientation(orientation);
    }
    ~TOrientationGuard() { FFont.SetOrientation(FOld); }
    TOrientationGuard(const TOrientationGuard&) = delete;
    TOrientationGuard& operator=(const TOrientationGuard&) = delete;

private:
    TFont& FFont;
    int FOld;
};

/// Restores the measuring font's style when a pass ends, on every path.
class TStyleGuard {
public:
    explicit TStyleGuard(TFont& font) : FFont(font), FOld(font.GetStyle()) {}
    ~TStyleGuard() { FFont.SetStyle(FOld); }
    TStyleGuard(const TStyleGuard&) = delete;
    TStyleGuard& operator=(const TStyleGuard&) = delete;

private:
    TFont& FFont;
    TFontStyles FOld;
};

} // namespace

/// What DrawText needs to know of the output device: its resolution and whether it is a
/// printer. A resolution of 0 (a printer canvas before its printer is set up) counts as 96 on
/// either axis, so the block height never divides by zero.
struct TfrxDrawText::Device {
    bool Printer = false;
    int DpiX = 96;
    int DpiY = 96;
    static Device Of(const TCanvas& c) {
        const TPoint ppi = c.Resolution();
        return Device{IsPrinterCanvas(c), ppi.X > 0 ? ppi.X : 96, ppi.Y > 0 ? ppi.Y : 96};
    }
};

void SpreadIncrements(std::span<int> values, int a, int b, int step, int n) {
    if (n <= 0 || b < a || a < 0 || size_t(b) >= values.size())
        return;
    int h = std::max((b - a + 1) / 2, 1);
    if (n == 1) {
        values[size_t(a + h - 1)] += step;
        return;
    }
    SpreadIncrements(values, a, a + h - 1, step, n / 2);
    SpreadIncrements(values, a + h, b, step, n - n / 2);
}

TfrxDrawText& frxDrawText() {
    static TfrxDrawText instance;
    return instance;
}

// The work array grows to each line it measures (every use sizes it first and reads only what
// it wrote), so a layout object that never lays text out costs no large zeroed block.
TfrxDrawText::TfrxDrawText() : FBMP(std::make_unique<TBitmap>(1, 1)) {
    FCanvas = &FBMP->Canvas();
}

TfrxDrawText::~TfrxDrawText() = default;

void TfrxDrawText::Lock() {
    FLayoutMutex.lock();
}

void TfrxDrawText::Unlock() {
    FLayoutMutex.unlock();
}

void TfrxDrawText::LockCanvas() {
    FCanvasMutex.lock();
}

void TfrxDrawText::UnlockCanvas() {
    FCanvasMutex.unlock();
}

void TfrxDrawText::SetFont(const TFont& font) {
    FFontSize = font.GetSize();
    int h = RoundInt((long double)FFontSize * FDefPPI / 72);
    std::lock_guard lock(FCanvasMutex);
    TFontData data = FCanvas->Font().Data();
    data.Name = font.GetName();
    data.Height = -h;
    data.Style = font.GetStyle();
    data.Charset = font.GetCharset();
    data.Color = FMonoFont ? clBlack : font.GetColor();
    FCanvas->Font().SetData(data);
}

void TfrxDrawText::SetOptions(bool wordWrap, bool htmlTags, bool rtlReading, bool wordBreak, bool clipped, bool wysiwyg,
                              int rotation) {
    FWordWrap = wordWrap;
    FHTMLTags.SetAllowTags(htmlTags);
    FRTLReading = rtlReading;
    FWordBreak = wordBreak;
    FWysiwyg = wysiwyg;
    FOptions = (rtlReading ? ETO_RTLREADING : 0) | (clipped ? ETO_CLIPPED : 0);
    FRotation = ((rotation % 360) + 360) % 360;
}

void TfrxDrawText::SetGaps(long double paragraphGap, long double charSpacing, long double lineSpacing) {
    FParagraphGap = paragraphGap;
    FCharSpacing = charSpacing;
    FLineSpacing = lineSpacing;
}

void TfrxDrawText::SetDimensions(long double scaleX, long double scaleY, long double printScale,
                                 const TRect& originalRect, const TRect& scaledRect) {
    FScaleX = scaleX;
    FScaleY = scaleY;
    // A print scale of zero, below zero or not a number would divide by zero on the printer path
    // (q := DefPPI / dpiY / PrintScale): such a scale counts as 1.
    FPrintScale = (printScale > 0 && std::isfinite(double(printScale))) ? printScale : 1;
    FOriginalRect = originalRect;
    FScaledRect = scaledRect;
}

int TfrxDrawText::ParagraphFlags(int line) const {
    if (line < 0 || line >= FText.Count())
        return 0;
    return int(reinterpret_cast<std::intptr_t>(FText.GetObject(line)));
}

void TfrxDrawText::SetParagraphFlags(int line, int flags) {
    FText.PutObject(line, reinterpret_cast<TObject*>(std::intptr_t(flags)));
}

void TfrxDrawText::SetText(const TStrings& text, bool firstParaBreak, int topLineIndex) {
    std::lock_guard lock(FCanvasMutex);
    FPlainText.clear();
    FText.Clear();
    FHTMLTags.Clear();
    if (text.Count() == 0)
        return;
    TFont& font = FCanvas->Font();
    FHTMLTags.SetDefaults(font.GetColor(), FFontSize, font.GetStyle());
    TStyleGuard styleGuard(font);

    long double w = FOriginalRect.Right - FOriginalRect.Left;
    if ((FRotation >= 90 && FRotation <= 179) || (FRotation >= 270 && FRotation <= 359))
        w = FOriginalRect.Bottom - FOriginalRect.Top;
    int maxWidth = RoundInt(w * K());
    int charSpacing = RoundInt(FCharSpacing * K());
    for (int i = std::max(topLineIndex, 0); i < text.Count(); ++i) {
        String s = text.Get(i);
        if (s.empty())
            s.assign(1, u' ');
        FPlainText += s;
        FPlainText += u"\r\n";
        int firstWidth = firstParaBreak && i <= 0 ? maxWidth : RoundInt((w - FParagraphGap) * K());
        int c = FText.Count();
        WrapLine(std::move(s), maxWidth, charSpacing, firstWidth);
        int added = FText.Count() - c;
        if (added > 0) {
            SetParagraphFlags(c, pfFirstLine);
            if (added == 1)
                SetParagraphFlags(c, pfFirstLine | pfLastLine);
            else
                SetParagraphFlags(FText.Count() - 1, pfLastLine);
        }
    }
}

void TfrxDrawText::WrapLine(String s, int maxWidth, int charSpacing, int firstWidth) {
    FHTMLTags.NewLine();
    FHTMLTags.ExpandHTMLTags(s);
    FHTMLTags.SetPosition(FHTMLTags.Position() + 2); // the CR LF
    const int len = int(s.size());

    if (len < 2 || !FWordWrap) {
        FText.Add(s);
        const TfrxHTMLTags& tags = FHTMLTags.GetItems(FHTMLTags.Count() - 1);
        if (tags.Count() > 0 && !tags.GetItems(0).Default)
            FCanvas->Font().SetStyle(tags.GetItems(0).Style);
        return;
    }

    int total =
        FHTMLTags.FillCharWidths(FTempArray, s, FUseDefaultCharset, true, charSpacing, FHTMLTags.Count() - 1, *FCanvas);
    if (total < firstWidth) {
        FText.Add(s);
        return;
    }

    // Positions are 1-based: P(n) is the width of the first n characters.
    auto P = [&](int n) { return n > 0 ? FTempArray[size_t(n - 1)] : 0; };
    auto sub = [&](int from, int to) {
        return from <= to ? s.substr(size_t(from - 1), size_t(to - from + 1)) : String();
    };
    int start = 1, lastBlank = 1, used = 0, limit = firstWidth;
    for (int i = 1; i <= len; ++i) {
        if (s[size_t(i - 1)] == u' ') {
            const TfrxHTMLTags& tags = FHTMLTags.GetItems(FHTMLTags.Count() - 1);
            int t = i - start;
            bool dontWrap = FHTMLTags.AllowTags() && t < tags.Count() && tags.GetItems(t).DontWRAP;
            if (!dontWrap)
                lastBlank = i;
        }
        if (P(i) - used <= limit)
            continue;
        if (lastBlank == start) {
            if (i == start) {
                // One character wider than the line stands alone.
                FText.Add(sub(start, start));
                FHTMLTags.BreakLine(1, false);
            } else if (FWordBreak) {
                String part = SyllableBreakPart(s, start, i, len);
                if (!part.empty()) {
                    FText.Add(part + u"-");
                    FHTMLTags.BreakLine(int(part.size()), true);
                } else {
                    part = sub(start, i - 1);
                    FText.Add(part);
                    FHTMLTags.BreakLine(int(part.size()), false);
                }
                lastBlank = start + int(part.size()) - 1;
            } else {
                FText.Add(sub(start, i - 1));
                FHTMLTags.BreakLine(i - start, false);
                lastBlank = i - 1;
            }
        } else if (FWordBreak) {
            String part = SyllableBreakPart(s, lastBlank + 1, i, len);
            if (!part.empty()) {
                FText.Add(sub(start, lastBlank) + part + u"-");
                int n = lastBlank - start + 1 + int(part.size());
                FHTMLTags.BreakLine(n, true);
                lastBlank = start + n - 1;
            } else {
                FText.Add(sub(start, lastBlank - 1));
                FHTMLTags.BreakLine(lastBlank - start + 1, false);
            }
        } else {
            FText.Add(sub(start, lastBlank - 1)); // the blank is dropped
            FHTMLTags.BreakLine(lastBlank - start + 1, false);
        }
        used = P(lastBlank);
        i = lastBlank;
        start = lastBlank + 1;
        lastBlank = start;
        limit = maxWidth;
    }
    if (start <= len)
        FText.Add(sub(start, len));
}

void TfrxDrawText::SetParaBreaks(bool firstParaBreak, bool lastParaBreak) {
    if (FText.Count() == 0)
        return;
    if (firstParaBreak)
        SetParagraphFlags(0, ParagraphFlags(0) & ~pfFirstLine);
    if (lastParaBreak) {
        int last = FText.Count() - 1;
        SetParagraphFlags(last, ParagraphFlags(last) & ~pfLastLine);
    }
}

String TfrxDrawText::DeleteTags(StringView txt) const {
    TfrxHTMLTagsList tags;
    tags.SetAllowTags(FHTMLTags.AllowTags());
    String s(txt);
    tags.ExpandHTMLTags(s);
    return s;
}

int TfrxDrawText::TextMetricHeight(TCanvas& canvas) const {
    try {
        return canvas.GetTextMetrics().tmHeight;
    } catch (const Exception&) {
        return -canvas.Font().GetHeight();
    }
}

int TfrxDrawText::GetFontHeight(TCanvas& canvas) const {
    if (FUseOldLineHeight)
        return -canvas.Font().GetHeight();
    return TextMetricHeight(canvas);
}

long double TfrxDrawText::CalcHeight() {
    if (FText.Count() == 0)
        return 0;
    std::lock_guard lock(FCanvasMutex);
    int fh = GetFontHeight(*FCanvas);
    int tm = TextMetricHeight(*FCanvas);
    long double h = (fh / K() + FLineSpacing) * FText.Count();
    if (FLineSpacing < 0)
        h -= FLineSpacing;
    if (FFontSize > 12 && (tm - fh) / K() > 0)
        h += (tm - fh) / K();
    return h;
}

long double TfrxDrawText::CalcWidth() {
    if (FText.Count() == 0)
        return 0;
    std::lock_guard lock(FCanvasMutex);
    TFont& font = FCanvas->Font();
    int widest = 0;
    for (int i = 0; i < FText.Count(); ++i) {
        String line = FText.Get(i);
        int w = 0;
        if (FHTMLTags.AllowTags() && i < FHTMLTags.Count() && FHTMLTags.GetItems(i).Count() > 0) {
            TStyleGuard styleGuard(font);
            std::vector<TfrxHTMLTag>& tags = FHTMLTags.GetItems(i).Items();
            font.SetStyle(tags[0].Style);
            size_t runStart = 0;
            for (size_t j = 1; j <= line.size(); ++j) {
                if (j < line.size() && (j >= tags.size() || tags[j].Default))
                    continue;
                w += FCanvas->TextWidth(StringView(line).substr(runStart, j - runStart));
                if (j < line.size()) {
                    tags[j].Default = true;
                    font.SetStyle(tags[j].Style);
                }
                runStart = j;
            }
        } else {
            w = FCanvas->TextWidth(line);
        }
        w += RoundInt(K() * (long double)line.size() * FCharSpacing);
        if (ParagraphFlags(i) & pfFirstLine)
            w += RoundInt(K() * FParagraphGap);
        widest = std::max(widest, w);
    }
    return widest / K();
}

long double TfrxDrawText::LineHeight() {
    std::lock_guard lock(FCanvasMutex);
    return GetFontHeight(*FCanvas) / K() + FLineSpacing;
}

long double TfrxDrawText::TextHeight() {
    std::lock_guard lock(FCanvasMutex);
    return -FCanvas->Font().GetHeight() / K();
}

long double TfrxDrawText::UnusedSpace() {
    long double l = LineHeight();
    long double a = FOriginalRect.Bottom - FOriginalRect.Top + 1;
    // A line pitch of zero or less (a negative line spacing as large as the font) has no
    // last line: nothing is left over.
    if (l <= 0 || a <= 0)
        return 0;
    std::int64_t n = Trunc(a / l);
    if (n == 0)
        return 0;
    long double result = a - l * n;
    return result == 0 ? 0.0001L : result;
}

String TfrxDrawText::GetOutBoundsText(bool& paraBreak) {
    paraBreak = false;
    if (FText.Count() == 0)
        return {};
    int fit = FText.Count();
    {
        long double l = LineHeight();
        long double a = FOriginalRect.Bottom - FOriginalRect.Top + 1;
        if (l > 0)
            fit = int(std::clamp<std::int64_t>(a > 0 ? Trunc(a / l) : 0, 0, FText.Count()));
    }
    if (fit >= FHTMLTags.Count())
        return {};
    while (FText.Count() > fit)
        FText.Delete(FText.Count() - 1);
    if (fit > 0 && ParagraphFlags(fit - 1) < pfLastLine)
        paraBreak = true;

    // The first kept-out character's source position; an empty line list points past the text.
    int p = int(FPlainText.size()) + 1;
    for (int i = fit; i < FHTMLTags.Count(); ++i)
        if (FHTMLTags.GetItems(i).Count() > 0) {
            p = std::clamp(FHTMLTags.GetItems(i).GetItems(0).Position, 1, int(FPlainText.size()) + 1);
            break;
        }
    String result = FPlainText.substr(size_t(p - 1));
    if (paraBreak && !result.empty() && result[0] == u' ')
        result.erase(0, 1);
    FPlainText.resize(size_t(p - 1));

    // A word cut with a hyphen keeps its hyphen in the text that fits. Only a cut inside a
    // paragraph has one: a kept line that ends the paragraph with its own "-" gets nothing.
    if (FWordBreak && paraBreak) {
        String kept = WrappedText();
        if (kept.size() > 2 && kept[kept.size() - 3] == u'-')
            FPlainText += u"-";
    }

    if (FHTMLTags.AllowTags() && fit < FHTMLTags.Count() && FHTMLTags.GetItems(fit).Count() > 0) {
        const TfrxHTMLTag& t = FHTMLTags.GetItems(fit).GetItems(0);
        if (t.Style.Contains(fsBold))
            result = u"<b>" + result;
        if (t.Style.Contains(fsItalic))
            result = u"<i>" + result;
        if (t.Style.Contains(fsUnderline))
            result = u"<u>" + result;
        if (t.SubType == ssSubscript)
            result = u"<sub>" + result;
        else if (t.SubType == ssSuperscript)
            result = u"<sup>" + result;
        TColor rgb = ColorToRGB(t.Color);
        result = u"<font color=\"#" + IntToHex(GetRValue(rgb), 2) + IntToHex(GetGValue(rgb), 2) +
                 IntToHex(GetBValue(rgb), 2) + u"\">" + result;
    }
    return result;
}

std::vector<int> TfrxDrawText::GetLineY() {
    std::vector<int> result = FLineY;
    int next = RoundInt(LineHeight() * FScaleY) + 1;
    if (!result.empty())
        next += result.back();
    result.push_back(next);
    return result;
}

// ---- Drawing ----

void TfrxDrawText::ApplyTagFont(TCanvas& c, const TfrxHTMLTag& tag, const Device& device, int dpi) const {
    TFontData data = c.Font().Data();
    data.Height = device.Printer ? -RoundInt((long double)tag.Size * dpi * FPrintScale / 72)
                                 : -RoundInt((long double)tag.Size * FScaleY * 96 / 72);
    data.Style = tag.Style;
    data.Color = FMonoFont ? clBlack : tag.Color;
    c.Font().SetData(data);
}

void TfrxDrawText::DrawText(TCanvas& c, TfrxHAlign hAlign, TfrxVAlign vAlign, TfrxUnderlinesTextMode underlinesTextMode,
                            int selectedLine) {
    const int n = FText.Count();
    FLineY.assign(size_t(n), 0);
    if (!((n > 0 && FHTMLTags.Count() > 0) || underlinesTextMode != ulmNone))
        return;
    std::lock_guard lock(FCanvasMutex);
    const Device device = Device::Of(c);

    TFontData base = FCanvas->Font().Data();
    base.Height = device.Printer ? -RoundInt((long double)FFontSize * device.DpiY * FPrintScale / 72)
                                 : -RoundInt((long double)FFontSize * FScaleY * 96 / 72);
    base.Orientation = c.Font().GetOrientation();
    base.PixelsPerInch = c.Font().GetPixelsPerInch(); // the output font stays at its device's resolution
    c.Font().SetData(base);
    const int fh = GetFontHeight(c);
    const int mh = GetFontHeight(*FCanvas);
    if (n > 0 && FHTMLTags.Count() > 0 && FHTMLTags.GetItems(0).Count() > 0) {
        TfrxHTMLTag& first = FHTMLTags.GetItems(0).GetItems(0);
        if (!first.Default)
            ApplyTagFont(c, first, device, device.DpiY);
        first.Default = true;
    }
    std::optional<TOrientationGuard> rotated;
    if (FRotation != 0)
        rotated.emplace(c.Font(), FRotation * 10);

    // Height of the text block in canvas pixels, as measured at 600 dpi.
    int t;
    if (device.Printer) {
        long double q = (long double)FDefPPI / device.DpiY / FPrintScale;
        t = RoundInt((FLineSpacing * FScaleY * q * n + (long double)mh * n) / q);
    } else {
        long double q = (long double)FDefPPI / 96;
        t = RoundInt((FLineSpacing * q * n + (long double)mh * n) / q * FScaleY);
    }
    const int ls = RoundInt(FLineSpacing * FScaleY);
    const int extra = FWysiwyg ? t - (ls * n + fh * n) : 0;

    // Start of the block by rotation, then the vertical alignment.
    const long double rad = FRotation * std::numbers::pi_v<long double> / 180;
    const long double cosR = std::cos(rad), sinR = std::sin(rad);
    const long double ac = std::fabs(cosR), as = std::fabs(sinR);
    const int l = FScaledRect.Left, tp = FScaledRect.Top, rt = FScaledRect.Right, b = FScaledRect.Bottom;
    const int r = FRotation;
    int x0 = l, y0 = tp, w = rt - l, avail = b - tp;
    long double cs = 1, sn = 0;
    auto wf = [&] { return ac == 0 ? 0 : RoundInt((rt - l - as * t) / ac); };
    if (r == 0) {
    } else if (r < 90) {
        w = wf();
        y0 = tp + RoundInt(as * w);
        avail = t + b - y0 - RoundInt(ac * t);
    } else if (r == 90) {
        y0 = b;
        w = b - tp;
        avail = rt - l;
        cs = 0;
        sn = 1;
    } else if (r < 180) {
        w = wf();
        x0 = l + RoundInt(ac * w);
        y0 = b;
        avail = t + b - tp - RoundInt(ac * t + as * w);
        cs = -1;
    } else if (r == 180) {
        x0 = rt;
        y0 = b;
        cs = -1;
    } else if (r < 270) {
        w = wf();
        x0 = rt;
        y0 = b - RoundInt(as * w);
        avail = t + y0 - tp - RoundInt(ac * t);
        cs = -1;
    } else if (r == 270) {
        x0 = rt;
        w = b - tp;
        avail = rt - l;
        cs = 0;
        sn = -1;
    } else {
        w = wf();
        x0 = l + RoundInt(as * t);
        avail = t + b - tp - RoundInt(as * w + ac * t);
    }
    int f = t;
    if (FLineSpacing < 0 && vAlign != vaTop)
        f += std::abs(RoundInt(2 * FLineSpacing));
    const int d = avail - f;
    if (vAlign == vaBottom) {
        y0 += RoundInt(cs * d);
        x0 += RoundInt(d * sn);
    } else if (vAlign == vaCenter) {
        y0 += RoundInt(cs * d / 2);
        x0 += RoundInt(d * sn / 2);
    }

    // Line steps: fh + line spacing, with the difference to the measured block spread over them.
    std::vector<int> step(size_t(n), fh + ls);
    if (n > 0)
        step[size_t(n - 1)] = 0;
    if (n > 1) {
        int sign = extra < 0 ? -1 : 1;
        int e = std::abs(extra);
        if (e < n) {
            SpreadIncrements(step, 0, n - 2, sign, e);
        } else {
            int each = e / (n - 1);
            for (int i = 0; i < n - 1; ++i)
                step[size_t(i)] += each * sign;
            SpreadIncrements(step, 0, n - 2, sign, e - (n - 1) * each);
        }
    }
    c.SetBkMode(TRANSPARENT);

    // Underline geometry.
    long double g = device.Printer ? device.DpiY * FPrintScale / 96 : FScaleY;
    int off = device.Printer ? RoundInt(FLineSpacing * g) : RoundInt((FLineSpacing - FScaleY) * FScaleY);
    int pitch = fh + RoundInt(FLineSpacing * g);
    auto rule = [&](int xStart, int y) {
        c.MoveTo(xStart, y);
        c.LineTo(xStart + w, y);
    };
    const bool underlines = underlinesTextMode != ulmNone && pitch > 0;
    if (n == 0 && underlinesTextMode == ulmUnderlinesAll && pitch > 0) {
        int count = TruncInt((long double)(b - tp) / pitch) + 1;
        for (int j = 1; j <= count; ++j)
            if (int y = j * pitch - off + tp; y < b)
                rule(x0, y);
    }

    for (int i = 0; i < n; ++i) {
        const int flags = ParagraphFlags(i);
        TfrxHAlign align = hAlign;
        int indent =
            (flags & pfFirstLine) && (hAlign == haLeft || hAlign == haBlock) ? RoundInt(FParagraphGap * FScaleX) : 0;
        if ((flags & pfLastLine) && hAlign == haBlock)
            align = FRTLReading ? haRight : haLeft;
        int x = x0 + RoundInt(cosR * indent);
        int y = y0 - RoundInt(sinR * indent);
        FLineY[size_t(i)] = y;
        String line = FText.Get(i);
        if (i == selectedLine)
            DrawSelectedLine(c, line, align, i, w - indent, y, x, device);
        else
            DrawTextLine(c, line, align, i, w - indent, y, x, device);

        if (underlines) {
            if (underlinesTextMode == ulmUnderlinesAll && i == 0 && vAlign != vaTop && y0 >= tp) {
                int count = TruncInt((long double)(y0 - tp) / pitch);
                for (int j = 0; j <= count; ++j)
                    if (int yy = y0 - (j * pitch + off); yy > tp)
                        rule(x0, yy);
            }
            int own = y0 + pitch - off;
            bool skip = underlinesTextMode == ulmUnderlinesText && Trim(line).empty();
            if (!skip && tp < own && own <= b)
                rule(x0, own);
            if (underlinesTextMode == ulmUnderlinesAll && i == n - 1 && vAlign != vaBottom) {
                int count = TruncInt((long double)(b - y0) / pitch);
                for (int j = 2; j <= count; ++j)
                    if (int yy = y0 + j * pitch - off; yy <= b)
                        rule(x0, yy);
            }
        }
        y0 += RoundInt(step[size_t(i)] * cosR);
        x0 += RoundInt(step[size_t(i)] * sinR);
    }
}

void TfrxDrawText::DrawTextLine(TCanvas& c, const String& line, TfrxHAlign align, int index, int width, int y, int x,
                                const Device& device) {
    const String text = FontCharsetText(line, c.Font().GetCharset(), FUseDefaultCharset);
    const int n = int(text.size());
    if (n == 0)
        return;
    std::lock_guard lock(FCanvasMutex);
    if (FTempArray.size() < size_t(n))
        FTempArray.resize(size_t(n));
    const TFontStyles style = c.Font().GetStyle();
    FCanvas->Font().SetStyle(style);

    // Widths at 600 dpi, then the advances on the output canvas, which stay in the work array.
    const int cs1 = RoundInt(FCharSpacing * K());
    const int mw = FHTMLTags.FillCharWidths(FTempArray, line, FUseDefaultCharset, false, cs1, index, *FCanvas);
    const int cs2 = RoundInt(FCharSpacing * FScaleX);
    int tw = FHTMLTags.FillCharWidths(FTempArray, line, FUseDefaultCharset, false, cs2, index, c);
    c.Font().SetStyle(style);

    const int r = FRotation;
    const long double rad = r * std::numbers::pi_v<long double> / 180;
    const long double cosR = std::cos(rad), sinR = std::sin(rad);
    int v = device.Printer ? RoundInt((mw - cs1) * FPrintScale / ((long double)FDefPPI / device.DpiX))
                           : RoundInt((mw - cs1) / ((long double)FDefPPI / 96) * FScaleX);
    tw -= cs2;
    if (!FWysiwyg)
        v = tw;
    int delta = v - tw;

    const int free = width - v;
    std::vector<int> blanks;
    if (align == haRight) {
        x += RoundInt((free + 1) * cosR);
        y -= RoundInt((free + 1) * sinR);
        x -= 1;
        if ((style.Contains(fsBold) || style.Contains(fsItalic)) && r == 0)
            x -= 1;
    } else if (align == haCenter) {
        x += RoundInt(free / 2.0L * cosR);
        y -= RoundInt(free / 2.0L * sinR);
    } else if (align == haBlock) {
        for (int i = 0; i < n; ++i)
            if (text[size_t(i)] == u' ' || text[size_t(i)] == 0xA0)
                blanks.push_back(i);
        if (!blanks.empty())
            delta = std::abs(width) - tw;
        else
            align = haLeft;
    }

    const int sign = delta < 0 ? -1 : 1;
    delta = std::abs(delta);
    std::span<int> adv(FTempArray.data(), size_t(n));
    if (align == haBlock) {
        int bcount = int(blanks.size());
        for (int k = 0; k < bcount; ++k)
            adv[size_t(blanks[size_t(k)])] += (delta / bcount) * sign + (k < delta % bcount ? sign : 0);
    } else if (delta < n) {
        SpreadIncrements(adv, 0, n - 1, sign, delta);
    } else {
        int each = delta / n;
        for (int& a : adv)
            a += each * sign;
        SpreadIncrements(adv, 0, n - 1, sign, delta - n * each);
    }

    TfrxHTMLTags* tags = index < FHTMLTags.Count() ? &FHTMLTags.GetItems(index) : nullptr;
    auto tagAt = [&](int i) -> TfrxHTMLTag* { return tags && i < tags->Count() ? &tags->GetItems(i) : nullptr; };
    auto addYOf = [&](const TfrxHTMLTag* tag) { return tag ? RoundInt(tag->AddY * tag->Size * FScaleY) : 0; };
    auto runWidth = [&](int from, int to) {
        int sum = 0;
        for (int k = from; k < to; ++k)
            sum += adv[size_t(k)];
        return sum;
    };
    auto output = [&](int from, int to, int addY) {
        if (to <= from)
            return;
        int px = x + RoundInt(sinR * addY), py = y + RoundInt(cosR * addY);
        StringView part = StringView(text).substr(size_t(from), size_t(to - from));
        std::span<const int> dx =
            FWysiwyg ? std::span<const int>(adv.subspan(size_t(from), size_t(to - from))) : std::span<const int>();
        if (FDrawRecordedRuns)
            c.ExtTextOut(px, py, FOptions, &FScaledRect, part, dx);
        if (FVC && FWysiwyg)
            FVC->ExtTextOutW(px, py, FOptions, FScaledRect, part, dx);
    };
    auto advance = [&](int wRun) {
        if (r == 0) {
            x += wRun;
        } else {
            x += RoundInt(wRun * cosR);
            y -= RoundInt(wRun * sinR);
        }
    };

    if (!FHTMLTags.AllowTags() || !FRTLReading) {
        int addY = addYOf(tagAt(0));
        int start = 0, i = 0;
        do {
            i = start;
            while (i < n) {
                TfrxHTMLTag* tag = tagAt(i);
                if (tag && !tag->Default) {
                    tag->Default = true;
                    break;
                }
                ++i;
            }
            output(start, i, addY);
            if (i < n) {
                ApplyTagFont(c, *tagAt(i), device, device.DpiY);
                addY = addYOf(tagAt(i));
                advance(runWidth(start, i));
                start = i;
            }
        } while (i < n);
    } else {
        int end = n, j = n - 1;
        while (end > 0) {
            while (j > 0) {
                TfrxHTMLTag* tag = tagAt(j);
                if (tag && !tag->Default)
                    break;
                --j;
            }
            TfrxHTMLTag* tag = tagAt(j);
            if (tag) {
                tag->Default = true;
                ApplyTagFont(c, *tag, device, device.DpiY);
            }
            output(j, end, addYOf(tag));
            if (j > 0)
                advance(runWidth(j, end));
            end = j;
            j -= 1;
        }
    }
}

void TfrxDrawText::DrawSelectedLine(TCanvas& c, const String& line, TfrxHAlign align, int index, int width, int y,
                                    int x, const Device& device) {
    TBrushData savedBrush = c.Brush().Data();
    c.Brush().SetColor(clHighlight);
    int top = std::min(FLineY[size_t(index)], FScaledRect.Bottom) + 1;
    int bottom = std::min(FLineY[size_t(index)] + RoundInt(LineHeight() * FScaleY), FScaledRect.Bottom);
    c.FillRect(Rect(FScaledRect.Left + 1, top, FScaledRect.Right, bottom));
    c.Brush().SetData(savedBrush);
    TColor savedColor = c.Font().GetColor();
    c.Font().SetColor(clHighlightText);
    c.SetBkMode(TRANSPARENT);
    DrawTextLine(c, line, align, index, width, y, x, device);
    c.Font().SetColor(savedColor);
}

} // namespace vgl
