#pragma once
// TfrxDrawText: the text layout engine of every text object. It measures at 600 pixels per inch
// on its own measuring canvas, wraps source lines into output lines (word wrap, Russian syllable
// breaking, forced breaks, first-line indent), answers height and width questions, cuts the text
// at the bottom of a rectangle so that the rest continues elsewhere, and draws the lines on an
// output canvas so that the drawing follows the 600-dpi measurement.
//
// Report units are 96-dpi pixels (ScrPPI); measuring units are 600-dpi pixels (DefPPI);
// k = DefPPI / ScrPPI = 6.25. All rounding is to nearest with halves to even.
//
// Every use of an instance takes that instance's lock (Lock/Unlock or TfrxDrawTextLock) for its
// whole sequence: SetFont, SetOptions, SetGaps, SetDimensions, SetText,
// SetParaBreaks (when splitting), then the queries or DrawText. CalcWidth and DrawText consume the
// run-start flags of the tags, so SetText runs again before each such pass.

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "report/foundation/html_tags.h"
#include "report/foundation/vector_canvas.h"
#include "report/foundation/wide_strings.h"

namespace vgl {

enum TfrxHAlign { haLeft, haRight, haCenter, haBlock };
enum TfrxVAlign { vaTop, vaBottom, vaCenter };
enum TfrxUnderlinesTextMode { ulmNone, ulmUnderlinesAll, ulmUnderlinesText, ulmUnderlinesTextAndEmptyLines };

/// Paragraph flags of an output line (held in the line's object slot of `Text`).
constexpr int pfFirstLine = 1; ///< the first line of a paragraph
constexpr int pfLastLine = 2;  ///< the last line of a paragraph

/// Adds `step` to `n` of the positions values[a..b], spread evenly by halving the range: the
/// left half gets n div 2 of them, the right half the rest; one increment goes to the middle
/// (left of centre). Nothing when n <= 0 or the range is empty.
void SpreadIncrements(std::span<int> values, int a, int b, int step, int n);

class TfrxDrawText : public TObject {
public:
    TfrxDrawText();
    ~TfrxDrawText() override;
    TfrxDrawText(const TfrxDrawText&) = delete;
    TfrxDrawText& operator=(const TfrxDrawText&) = delete;
    String ClassName() const override { return u"TfrxDrawText"; }

    /// Enter / leave this instance's recursive lock, which serialises the sequences of its users.
    /// Instances share nothing that needs it: each report's layout runs beside the others.
    void Lock();
    void Unlock();
    /// Lock / unlock this instance's measuring canvas.
    void LockCanvas();
    void UnlockCanvas();

    /// Copies the font into the measuring canvas at height round(Size × 600 / 72).
    void SetFont(const TFont& font);
    /// `rotation` in degrees is stored normalised into 0..359 (-90 becomes 270).
    void SetOptions(bool wordWrap, bool htmlTags, bool rtlReading, bool wordBreak, bool clipped, bool wysiwyg,
                    int rotation);
    /// Indent of a paragraph's first line, extra advance per character, extra space between lines
    /// (report units; line spacing may be negative).
    void SetGaps(long double paragraphGap, long double charSpacing, long double lineSpacing);
    /// `originalRect`: the text area in report units (wrapping, splitting); `scaledRect`: the area
    /// on the output canvas in its pixels (drawing, clipping).
    void SetDimensions(long double scaleX, long double scaleY, long double printScale, const TRect& originalRect,
                       const TRect& scaledRect);
    /// Wraps the source lines from `topLineIndex` on into `Text`. An empty source line becomes one
    /// blank. With `firstParaBreak` the first line is not indented.
    void SetText(const TStrings& text, bool firstParaBreak = false, int topLineIndex = 0);
    /// `firstParaBreak`: the first line continues a paragraph (not a first line any more);
    /// `lastParaBreak`: the paragraph goes on after the last line (justified like a middle line).
    void SetParaBreaks(bool firstParaBreak, bool lastParaBreak);
    /// `txt` without the tags that would be recognised.
    String DeleteTags(StringView txt) const;

    /// Draws the output lines of the last SetText on `c` inside ScaledRect; `selectedLine` (-1 for
    /// none) is drawn on a highlight bar. The caller sets c's pen for underlines.
    void DrawText(TCanvas& c, TfrxHAlign hAlign, TfrxVAlign vAlign, TfrxUnderlinesTextMode underlinesTextMode,
                  int selectedLine);

    /// Height of the wrapped text in report units (0 without lines).
    long double CalcHeight();
    /// Width of the widest output line in report units (0 without lines).
    long double CalcWidth();
    /// GetFontHeight(measuring canvas) / k + LineSpacing.
    long double LineHeight();
    /// The measuring font's em height in report units.
    long double TextHeight();
    /// The free height below the last whole line that fits OriginalRect (0 when none fits; an
    /// exact 0 is reported as 0.0001).
    long double UnusedSpace();
    /// The text that does not fit OriginalRect, with tags that restore the style of its first
    /// character when tags are allowed; cuts Text and the in-bounds text to what fits.
    /// `paraBreak` tells that the last kept line ends inside a paragraph.
    String GetOutBoundsText(bool& paraBreak);
    /// The processed source text (after GetOutBoundsText: the part that fits), CR LF after lines.
    String GetInBoundsText() const { return FPlainText; }
    /// The y of every drawn line plus one closing entry.
    std::vector<int> GetLineY();
    /// The line font height on `canvas`: minus its font Height with UseOldLineHeight, else the
    /// text-metric height.
    int GetFontHeight(TCanvas& canvas) const;

    TCanvas& Canvas() { return *FCanvas; }
    int DefPPI() const { return FDefPPI; }
    int ScrPPI() const { return FScrPPI; }
    int Rotation() const { return FRotation; }
    const TfrxWideStrings& Text() const { return FText; }
    /// The output lines, each followed by CR LF.
    String WrappedText() const { return FText.Text(); }
    /// The paragraph flags (pfFirstLine, pfLastLine) of output line `line`; 0 outside.
    int ParagraphFlags(int line) const;
    /// The tag lists of the output lines.
    TfrxHTMLTagsList& HTMLTags() { return FHTMLTags; }

    bool UseDefaultCharset() const { return FUseDefaultCharset; }
    void SetUseDefaultCharset(bool value) { FUseDefaultCharset = value; }
    bool UseMonoFont() const { return FMonoFont; }
    void SetUseMonoFont(bool value) { FMonoFont = value; }
    bool UseOldLineHeight() const { return FUseOldLineHeight; }
    void SetUseOldLineHeight(bool value) { FUseOldLineHeight = value; }
    /// A recorder that receives a copy of every text run drawn while Wysiwyg is on (not owned).
    /// With `drawRuns` false the runs go to the recorder only and not to DrawText's canvas (lines
    /// and fills still do): for a scratch canvas whose pixels nobody reads. Setting no recorder
    /// draws the runs again.
    TVectorCanvas* VC() const { return FVC; }
    void SetVC(TVectorCanvas* value, bool drawRuns = true) {
        FVC = value;
        FDrawRecordedRuns = value == nullptr || drawRuns;
    }

private:
    struct Device;
    long double K() const { return (long double)FDefPPI / FScrPPI; }
    void WrapLine(String s, int maxWidth, int charSpacing, int firstWidth);
    void SetParagraphFlags(int line, int flags);
    int TextMetricHeight(TCanvas& canvas) const;
    void ApplyTagFont(TCanvas& c, const TfrxHTMLTag& tag, const Device& device, int dpi) const;
    void DrawTextLine(TCanvas& c, const String& line, TfrxHAlign align, int index, int width, int y, int x,
                      const Device& device);
    void DrawSelectedLine(TCanvas& c, const String& line, TfrxHAlign align, int index, int width, int y, int x,
                          const Device& device);

    std::unique_ptr<TBitmap> FBMP;
    TCanvas* FCanvas = nullptr;
    std::recursive_mutex FCanvasMutex;
    std::recursive_mutex FLayoutMutex;
    int FDefPPI = 600;
    int FScrPPI = 96;
    std::vector<int> FTempArray;
    int FFontSize = 10;
    TfrxHTMLTagsList FHTMLTags;
    long double FCharSpacing = 0;
    long double FLineSpacing = 0;
    long double FParagraphGap = 0;
    int FOptions = 0;
    TRect FOriginalRect;
    TRect FScaledRect;
    long double FScaleX = 1, FScaleY = 1, FPrintScale = 1;
    String FPlainText;
    int FRotation = 0;
    bool FRTLReading = false;
    TfrxWideStrings FText;
    bool FWordBreak = false;
    bool FWordWrap = false;
    bool FWysiwyg = true;
    bool FMonoFont = false;
    bool FUseDefaultCharset = false;
    TVectorCanvas* FVC = nullptr;
    bool FDrawRecordedRuns = true;
    bool FUseOldLineHeight = true;
    std::vector<int> FLineY;
};

/// Holds the layout lock of `drawText` for its lifetime.
class TfrxDrawTextLock {
public:
    explicit TfrxDrawTextLock(TfrxDrawText& drawText) : FDrawText(drawText) { FDrawText.Lock(); }
    ~TfrxDrawTextLock() { FDrawText.Unlock(); }
    TfrxDrawTextLock(const TfrxDrawTextLock&) = delete;
    TfrxDrawTextLock& operator=(const TfrxDrawTextLock&) = delete;

private:
    TfrxDrawText& FDrawText;
};

/// The process-wide instance, for users without a report of their own (created on first use).
TfrxDrawText& frxDrawText();

} // namespace vgl
