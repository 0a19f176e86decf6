#pragma once
// TfrxPDFExport: the export filter that writes the prepared pages of a report as one PDF
// document: its options with their interplay, the road from Start to Finish, the page geometry
// and the document structure (header, stream objects, page objects, page tree, information
// dictionary, catalog, cross-reference table and trailer).
//
// Still to come, and refused until then so that no document passes without what was asked
// for: encryption (a user or owner password), PDF/A, the document outline and interactive
// forms. Memo views are written as text, shape and line views as vectors,
// every other view through the raster path.

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/graphics/brush.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "report/export/export_dialog_filter.h"
#include "report/export/pdf_objects.h"
#include "report/export/pdf_values.h"
#include "report/model/fills.h"

namespace vgl {

class TfrxView;
class TfrxCustomIOTransport;
class TfrxFrame;
class TfrxFrameLine;
class TfrxShapeView;
class TfrxCustomLineView;
class TfrxCustomMemoView;
class TfrxExportFont;
class TVector_ExtTextOut;

enum TPDFVersion { pv14, pv15, pv16, pv17 };
VGL_DECLARE_ENUM(TPDFVersion);
enum TPDFStandard { psNone, psPDFA_1a, psPDFA_1b, psPDFA_2a, psPDFA_2b, psPDFA_3a, psPDFA_3b };
VGL_DECLARE_ENUM(TPDFStandard);
enum TfrxPDFEncBit { ePrint, eModify, eCopy, eAnnot };
VGL_DECLARE_ENUM(TfrxPDFEncBit);
VGL_DECLARE_SET(TfrxPDFEncBits, TfrxPDFEncBit);
enum TEmbeddedRelation { erData, erSource, erAlternative, erSupplement, erUnspecified };
VGL_DECLARE_ENUM(TEmbeddedRelation);
enum TZUGFeRD_ConformanceLevel { clMINIMUM, clBASIC, clCOMFORT, clEXTENDED };
VGL_DECLARE_ENUM(TZUGFeRD_ConformanceLevel);
enum TSignatureErrorHandling { seShowDialog, seCancelExport, seIgnoreCertificate };
VGL_DECLARE_ENUM(TSignatureErrorHandling);

/// "1.4" .. "1.7".
String PDFVersionName(TPDFVersion version);
/// "None", "PDF/A-1a" .. "PDF/A-3b".
String PDFStandardName(TPDFStandard standard);
/// The version of that name (exact comparison); Exception "Unknown/unsupported PDF version:
/// "<name>"" for any other.
TPDFVersion StrToPDFVersion(StringView name);
/// The standard of that name; Exception "Unknown/unsupported PDF standard: "<name>"".
TPDFStandard StrToPDFStandard(StringView name);
/// pv14 for PDF/A-1, pv17 for PDF/A-2 and PDF/A-3, nothing for psNone.
std::optional<TPDFVersion> StandardVersion(TPDFStandard standard);
bool IsPDFA(TPDFStandard standard);
bool IsPDFA_1(TPDFStandard standard);

/// Writes a stream object's entries and data: "<<" when `open`; "/Length" with the size and,
/// when `compress`, the data deflated (zlib, fastest level) with "/Filter/FlateDecode"; ">>" and
/// a line end when `close`, else only the line end; "stream", the data (encrypted with the
/// object's key when `encrypt`), a LF, "endstream" and "endobj". `encrypt` without an
/// encryption raises EInvalidOperation.
void WriteStreamObject(TStream& pdf, TStream& data, int objectNumber, bool compress, bool encrypt, bool open,
                       bool close, const TPDFStringEncryption& encryption = {});

/// The dash operator of a frame style at a line width in pixels ("[] 0 d" below 0.01, for solid
/// and double lines); the dotted styles begin with their own line-cap line.
AnsiString DashPattern(TfrxFrameStyle style, long double width);

/// Four upper-case hexadecimal digits per glyph id (a code unit of `glyphs`).
AnsiString GlyphHex(StringView glyphs);
/// GlyphHex with ">" + n + "<" after every space glyph (id 3), n = Trunc(a) + Trunc(carry +
/// Frac(a)) written only when not 0, carry := Frac(carry + Frac(a)) from 0: the fractions of the
/// adjustment `a` add up over the line. `a` is kept within ±10⁹; EConvertError when not finite.
AnsiString GlyphHexJustified(StringView glyphs, long double adjustment);
/// The ToUnicode CMap program of a font (lines ending in CR LF): every used glyph with a text
/// maps to all UTF-16 units of that text, in used order, in bfchar blocks of at most 100.
RawByteString ToUnicodeCMap(const TfrxExportFont& font, const AnsiString& fontName);

class TfrxPDFExport : public TfrxBaseDialogExportFilter {
    VGL_CLASS(TfrxPDFExport, TfrxBaseDialogExportFilter)
    explicit TfrxPDFExport(TComponent* owner);
    explicit TfrxPDFExport(TfrxNoRegister n);
    ~TfrxPDFExport() override;

    String GetDescription() const override;
    String ExportDialogClass() const override { return u"TfrxPDFExportDialog"; }

    /// False without FileName and Stream. Refuses the options whose writers are not built
    /// (ENotSupportedException naming the option; nothing is written); otherwise opens the
    /// output, makes the date and identifier, writes the header and reserves the page tree.
    bool Start() override;
    void StartPage(TfrxComponent* page, int index) override;
    /// Views in vsExport (or unprintable ones with the base's ExportNotPrintable) go to the
    /// writer of their kind with the exporting state bits set for the time of the call.
    void ExportObject(TfrxComponent* obj) override;
    void FinishPage(TfrxComponent* page, int index) override;
    /// "q", the view's rectangle with its frame lines as a path, "W", "n": later output is clipped
    /// to it until EndClip writes "Q".
    void BeginClip(TfrxComponent* obj) override;
    void EndClip() override;
    /// Page tree, information dictionary, catalog, cross-reference table and trailer; then the
    /// per-export lists are cleared and a transport's stream is handed back.
    void Finish() override;

    // ---- Published options -------------------------------------------------------------------
    bool Compressed() const { return FCompressed; }
    void SetCompressed(bool v) { FCompressed = v; }
    bool EmbeddedFonts() const { return FEmbeddedFonts; }
    /// True under PDF/A whatever the value.
    void SetEmbeddedFonts(bool v);
    bool EmbedFontsIfProtected() const { return FEmbedProt; }
    void SetEmbedFontsIfProtected(bool v) { FEmbedProt = v; }
    bool InteractiveForms() const { return FInteractiveForms; }
    /// True only for True with version 1.5 to 1.7 and no PDF/A standard.
    void SetInteractiveForms(bool v);
    const String& InteractiveFormsFontSubset() const { return FInteractiveFormsFontSubset; }
    void SetInteractiveFormsFontSubset(const String& v) { FInteractiveFormsFontSubset = v; }
    bool PrintOptimized() const { return FPrintOpt; }
    void SetPrintOptimized(bool v) { FPrintOpt = v; }
    bool Outline() const { return FOutline; }
    void SetOutline(bool v) { FOutline = v; }
    bool Background() const { return FBackground; }
    void SetBackground(bool v) { FBackground = v; }
    bool HTMLTags() const { return FTags; }
    void SetHTMLTags(bool v) { FTags = v; }
    int Quality() const { return FQuality; }
    void SetQuality(int v) { FQuality = v; }
    bool Transparency() const { return FTransparency; }
    /// False under PDF/A-1 whatever the value.
    void SetTransparency(bool v);
    const String& Title() const { return FTitle; }
    void SetTitle(const String& v) { FTitle = v; }
    const String& Author() const { return FAuthor; }
    void SetAuthor(const String& v) { FAuthor = v; }
    const String& Subject() const { return FSubject; }
    void SetSubject(const String& v) { FSubject = v; }
    const String& Keywords() const { return FKeywords; }
    void SetKeywords(const String& v) { FKeywords = v; }
    const String& Creator() const { return FCreator; }
    void SetCreator(const String& v) { FCreator = v; }
    const String& Producer() const { return FProducer; }
    void SetProducer(const String& v) { FProducer = v; }
    const AnsiString& UserPassword() const { return FUserPassword; }
    void SetUserPassword(const AnsiString& v) { FUserPassword = v; }
    const AnsiString& OwnerPassword() const { return FOwnerPassword; }
    void SetOwnerPassword(const AnsiString& v) { FOwnerPassword = v; }
    TfrxPDFEncBits ProtectionFlags() const { return FProtectionFlags; }
    /// Also the permission bits: -64 + 4 × the set's four bits as a number.
    void SetProtectionFlags(TfrxPDFEncBits v);
    std::int32_t EncBits() const { return FEncBits; }
    bool HideToolbar() const { return FHideToolbar; }
    void SetHideToolbar(bool v) { FHideToolbar = v; }
    bool HideMenubar() const { return FHideMenubar; }
    void SetHideMenubar(bool v) { FHideMenubar = v; }
    bool HideWindowUI() const { return FHideWindowUI; }
    void SetHideWindowUI(bool v) { FHideWindowUI = v; }
    bool FitWindow() const { return FFitWindow; }
    void SetFitWindow(bool v) { FFitWindow = v; }
    bool CenterWindow() const { return FCenterWindow; }
    void SetCenterWindow(bool v) { FCenterWindow = v; }
    bool PrintScaling() const { return FPrintScaling; }
    void SetPrintScaling(bool v) { FPrintScaling = v; }
    bool PdfA() const { return FPdfA; }
    /// psPDFA_2a for True, psNone for False.
    void SetPdfA(bool v);
    TPDFStandard PDFStandard() const { return FPDFStandard; }
    /// Under PDF/A: the standard's version, embedded fonts, and no transparency for PDF/A-1.
    void SetPDFStandard(TPDFStandard v);
    TPDFVersion PDFVersion() const { return FPDFVersion; }
    /// Ignored while a PDF/A standard is set.
    void SetPDFVersion(TPDFVersion v);

    // ---- Public options ----------------------------------------------------------------------
    bool SaveOriginalImages() const { return FSaveOriginalImages; }
    /// True sets PictureDPI to 0.
    void SetSaveOriginalImages(bool v);
    int PictureDPI() const { return FPictureDPI; }
    /// A positive value turns SaveOriginalImages off.
    void SetPictureDPI(int v);
    int CurvePrecision() const { return FCurvePrecision; }
    /// Limited to 0..2.
    void SetCurvePrecision(int v);
    bool UsePNGAlpha() const { return FUsePNGAlpha; }
    void SetUsePNGAlpha(bool v) { FUsePNGAlpha = v; }
    String DigitalSignLocation, DigitalSignReason, DigitalSignContactInfo, DigitalSignCertificatePath;
    AnsiString DigitalSignCertificatePassword;
    TSignatureErrorHandling SignErrorHandling = seShowDialog;

    bool IsPDFA() const { return vgl::IsPDFA(FPDFStandard); }
    bool IsPDFA_1() const { return vgl::IsPDFA_1(FPDFStandard); }

    /// The document date (local time); Now unless a test sets another clock.
    std::function<TDateTime()> Clock;
    /// The GUID text the document identifier is made from; a new GUID's unless a test sets it.
    std::function<String()> NewGUIDText;

    // ---- The state of the running export, for the writers and tests ---------------------------
    const AnsiString& FileID() const { return FFileID; }
    const AnsiString& CreationDateTime() const { return FCreationDateTime; }
    const AnsiString& CreationDateTimeMeta() const { return FCreationDateTimeMeta; }
    long double PageWidth() const { return FWidth; }
    long double PageHeight() const { return FHeight; }
    long double MarginLeft() const { return FMarginLeft; }
    long double MarginTop() const { return FMarginTop; }
    const TfrxRect& PageRect() const { return FPageRect; }
    /// The current view's rectangle texts: left, top, right, bottom and "left bottom right top".
    const AnsiString& stLeft() const { return FstLeft; }
    const AnsiString& stTop() const { return FstTop; }
    const AnsiString& stRight() const { return FstRight; }
    const AnsiString& stBottom() const { return FstBottom; }
    const AnsiString& stRect() const { return FstRect; }

    // ---- Vector writers, into the current page's content ---------------------------------------
    /// The view's rectangle in points without its shadow.
    TfrxRect ObjectRect(const TfrxView& view) const;
    /// The rectangle grown by the extent of each present frame line (moved inwards when
    /// `inner`), without the shadow.
    TfrxRect ObjectRectWithFrame(const TfrxView& view, bool inner) const;
    /// "q", the drop shadow, the present lines (bottom, left, top, right), "Q"; nothing for a
    /// frame without shadow and lines.
    void WriteFrame(const TfrxFrame& frame, const TfrxRect& rect);
    /// One side's stroke (twice for a double line); nothing for clNone or a width below 0.01.
    void WriteFrameLine(const TfrxFrameLine& line, TfrxFrameType side, const TfrxRect& rect);
    /// The view's fill: brush (with its hatch), gradient or glass.
    void WriteFill(const TfrxView& view);
    /// Lines 8 pixels apart in the brush style's directions, clipped to the view's shape.
    void WriteHatch(const TfrxView& view, TColor color, TBrushStyle style);
    /// The path operands of the view's shape, without painting.
    void WriteShapePath(const TfrxView& view);
    /// A shape view: fill and outline, or the stroke of a diagonal.
    void WriteShape(const TfrxShapeView& shape);
    /// A line view: its stroke (two for a straight double line) and its arrows.
    void WriteLine(const TfrxCustomLineView& line);
    /// An arrow head with its tip at (x1, y1) on the line to (x2, y2), points.
    void WriteArrow(const TfrxCustomLineView& line, long double x1, long double y1, long double x2, long double y2);
    /// Draws the view into a bitmap at the raster scale, writes it as a JPEG image XObject
    /// unless an identical one exists, places it and draws the frame. Returns the image index
    /// (-1 when the view has no pixels). An exception while the view draws passes to the caller.
    int WriteRasterView(TfrxView& view);
    /// Writes (or finds) the soft mask of one byte per pixel; returns its object number.
    int WriteSoftMask(const RawByteString& mask, int width, int height);
    // ---- Text writers, into the current page's content (objects at Finish) -----------------------
    /// A memo: its fill, its text (rotated memos and memos with a negative gap through
    /// WriteVectorText), its frame. `selectedLine` (-1: none) is written on a highlight bar.
    void WriteMemo(TfrxCustomMemoView& memo, int selectedLine = -1);
    /// The memo's recorded text output, each text record through WriteExtTextOut, inside "q" … "Q".
    void WriteVectorText(TfrxCustomMemoView& memo);
    /// One recorded text call between "%--Vector Begin" and "%--Vector End", turned by the
    /// memo's angle; nothing for an empty text.
    void WriteExtTextOut(TfrxCustomMemoView& memo, const TVector_ExtTextOut& record);
    /// The font's objects: the packed font file with EmbeddedFonts (not for a font whose file was
    /// never read), descriptor, ToUnicode map, CIDSystemInfo, CID font and the Type0 font at its
    /// reserved number.
    void WriteFontObjects(TfrxPDFFont& font);

    /// How many JPEG images this export has encoded (a test hook for the encode-once lookup).
    int JpegEncodeCount() const { return FJpegEncodes; }

protected:
    /// Computes the view's rectangle texts and hands it to the writer of its kind.
    virtual void ExportViewObject(TfrxView& view);

private:
    struct TfrxPDFPage {
        bool BackPictureVisible = false;
        bool BackPictureStretched = false;
        double Height = 0;
    };

    void ClearLists();
    void WriteMemoLines(TfrxCustomMemoView& memo, int selectedLine);
    void WritePageTree();
    int WriteInfo();
    int WriteCatalog();
    void WriteXRefAndTrailer(int catalog, int info);
    TfrxCustomIOTransport* Transport();
    void Init();
    void PlaceImage(int index, long double left, long double top, long double width, long double height);
    void WriteGradientRun(long double x1, long double y1, long double dx, long double dy, long double extentPx,
                          TColor start, TColor end, int n);

    bool FCompressed = true, FEmbeddedFonts = false, FEmbedProt = false, FPrintOpt = false;
    bool FOutline = false, FBackground = false, FTags = true, FProtection = false;
    int FQuality = 95;
    String FSubject = u"DudeZirare PDF export", FAuthor = u"DudeZirare", FCreator = u"DudeZirare";
    AnsiString FUserPassword, FOwnerPassword;
    TfrxPDFEncBits FProtectionFlags{ePrint, eModify, eCopy, eAnnot};
    String FKeywords, FTitle, FProducer;
    bool FPrintScaling = false, FFitWindow = false, FHideMenubar = false, FCenterWindow = false;
    bool FHideWindowUI = false, FHideToolbar = false, FTransparency = true, FSaveOriginalImages = true;
    bool FPdfA = false;
    TPDFStandard FPDFStandard = psNone;
    TPDFVersion FPDFVersion = pv17;
    bool FUsePNGAlpha = true;
    int FPictureDPI = 0;
    bool FInteractiveForms = false;
    String FInteractiveFormsFontSubset = u"A-Z,a-z,0-9,#43-#47 ";
    int FCurvePrecision = 2;
    std::int32_t FEncBits = 0;

    TStream* pdf = nullptr;
    bool FPdfFromTransport = false;
    std::int64_t FStartXRef = 0;
    int FPageTreeNo = 0;
    std::unique_ptr<TPDFObjectsHelper> FPOH;
    long double FWidth = 0, FHeight = 0, FMarginLeft = 0, FMarginTop = 0;
    TfrxRect FPageRect{};
    AnsiString FFileID, FCreationDateTime, FCreationDateTimeMeta;
    String FID;
    TDateTime FDateTime = 0;
    std::unique_ptr<TMemoryStream> OutStream;
    std::vector<TfrxPDFPage> FPages;
    TReferenceArray* FPageAnnots = nullptr;
    TPageByPageReferenceArray FPageAnnotsArray;
    TfrxPDFXObjectArray FXObjects;
    TPageByPageReferenceArray FPageXObjectsArray;
    std::unique_ptr<TPDFGLobalFonts> FFonts;
    TPageByPageReferenceArray FPageFontsArray;
    TReferenceArray FPagesRef;
    int FFirstNextId = 1;
    int FCurrentPageNo = 0, FCurrentPageIndex = 0;
    AnsiString FstLeft, FstTop, FstRight, FstBottom, FstRect;
    TPDFColorCache FColorCache;
    long double FGradientSpan = 0;
    int FJpegEncodes = 0;
    /// Image index of each picture drawn so far, by the drawing's parameters, with the graphic's
    /// bytes it was drawn from.
    std::multimap<AnsiString, std::pair<std::vector<std::uint8_t>, int>> FDrawnImages;
};

} // namespace vgl
