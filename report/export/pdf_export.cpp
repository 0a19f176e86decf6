#include "report/export/pdf_export.h"

#include <cmath>
#include <cstdlib>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/guid.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "platform/zlib/compression.h"
#include "report/export/md5.h"
#include "report/foundation/resource_strings.h"
#include "report/model/io_transport.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "report/model/view.h"

namespace vgl {

VGL_DEFINE_ENUM(TPDFVersion, u"pv14", u"pv15", u"pv16", u"pv17")
VGL_DEFINE_ENUM(TPDFStandard, u"psNone", u"psPDFA_1a", u"psPDFA_1b", u"psPDFA_2a", u"psPDFA_2b", u"psPDFA_3a",
                u"psPDFA_3b")
VGL_DEFINE_ENUM(TfrxPDFEncBit, u"ePrint", u"eModify", u"eCopy", u"eAnnot")
VGL_DEFINE_SET(TfrxPDFEncBits, TfrxPDFEncBit)
VGL_DEFINE_ENUM(TEmbeddedRelation, u"erData", u"erSource", u"erAlternative", u"erSupplement", u"erUnspecified")
VGL_DEFINE_ENUM(TZUGFeRD_ConformanceLevel, u"clMINIMUM", u"clBASIC", u"clCOMFORT", u"clEXTENDED")
VGL_DEFINE_ENUM(TSignatureErrorHandling, u"seShowDialog", u"seCancelExport", u"seIgnoreCertificate")

// The published options in the order a stored form streams them, so that their setters run in
// that order.
VGL_DEFINE_CLASS(TfrxPDFExport) {
    using T = TfrxPDFExport;
    b.Property(u"Compressed", &T::Compressed, &T::SetCompressed).Default(true);
    b.Property(u"EmbeddedFonts", &T::EmbeddedFonts, &T::SetEmbeddedFonts).Default(false);
    b.Property(u"EmbedFontsIfProtected", &T::EmbedFontsIfProtected, &T::SetEmbedFontsIfProtected).Default(false);
    b.Property(u"InteractiveForms", &T::InteractiveForms, &T::SetInteractiveForms).Default(false);
    b.Property(u"InteractiveFormsFontSubset", &T::InteractiveFormsFontSubset, &T::SetInteractiveFormsFontSubset);
    b.Property(u"OpenAfterExport", &T::OpenAfterExport, &T::SetOpenAfterExport).Default(false);
    b.Property(u"PrintOptimized", &T::PrintOptimized, &T::SetPrintOptimized).Default(false);
    b.Property(u"Outline", &T::Outline, &T::SetOutline).Default(false);
    b.Property(u"Background", &T::Background, &T::SetBackground).Default(false);
    b.Property(u"HTMLTags", &T::HTMLTags, &T::SetHTMLTags).Default(true);
    b.Property(u"Quality", &T::Quality, &T::SetQuality).Default(95);
    b.Property(u"Transparency", &T::Transparency, &T::SetTransparency).Default(true);
    b.Property(u"Title", &T::Title, &T::SetTitle);
    b.Property(u"Author", &T::Author, &T::SetAuthor);
    b.Property(u"Subject", &T::Subject, &T::SetSubject);
    b.Property(u"Keywords", &T::Keywords, &T::SetKeywords);
    b.Property(u"Creator", &T::Creator, &T::SetCreator);
    b.Property(u"Producer", &T::Producer, &T::SetProducer);
    b.Property(u"UserPassword", &T::UserPassword, &T::SetUserPassword);
    b.Property(u"OwnerPassword", &T::OwnerPassword, &T::SetOwnerPassword);
    b.Property(u"ProtectionFlags", &T::ProtectionFlags, &T::SetProtectionFlags);
    b.Property(u"HideToolbar", &T::HideToolbar, &T::SetHideToolbar).Default(false);
    b.Property(u"HideMenubar", &T::HideMenubar, &T::SetHideMenubar).Default(false);
    b.Property(u"HideWindowUI", &T::HideWindowUI, &T::SetHideWindowUI).Default(false);
    b.Property(u"FitWindow", &T::FitWindow, &T::SetFitWindow).Default(false);
    b.Property(u"CenterWindow", &T::CenterWindow, &T::SetCenterWindow).Default(false);
    b.Property(u"PrintScaling", &T::PrintScaling, &T::SetPrintScaling).Default(false);
    b.Property(u"PdfA", &T::PdfA, &T::SetPdfA).Default(false);
    b.Property(u"PDFStandard", &T::PDFStandard, &T::SetPDFStandard).Default(psNone);
    b.Property(u"PDFVersion", &T::PDFVersion, &T::SetPDFVersion).Default(pv17);
}

namespace {

constexpr const char16_t* VersionNames[] = {u"1.4", u"1.5", u"1.6", u"1.7"};
constexpr const char16_t* StandardNames[] = {u"None",     u"PDF/A-1a", u"PDF/A-1b", u"PDF/A-2a",
                                             u"PDF/A-2b", u"PDF/A-3a", u"PDF/A-3b"};
constexpr long double PixelsToPoints = 0.75L;
constexpr long double MillimetresToPoints = 2.8346456692913384L;
// The page's margins (millimetres) enter positions with this factor, on purpose not the
// millimetre-to-point one: stored labels are laid out against it.
constexpr long double MarginFactor = 0.05L;

AnsiString Ascii(StringView text) {
    AnsiString out;
    out.reserve(text.size());
    for (Char c : text)
        out.push_back(c < 0x80 ? char(c) : '?');
    return out;
}

/// The zone offset of local time at `local`: sign, hours, "'", minutes, "'" with the separator
/// "'", else sign, hours, ":", minutes.
AnsiString TimeZoneOffset(TDateTime local, char separator) {
    const int east = GetUtcOffsetMinutes(local);
    const int bias = -east; // minutes to add to local time for UTC
    char buf[16];
    if (separator == '\'')
        std::snprintf(buf, sizeof buf, "%c%.2d'%.2d'", bias > 0 ? '-' : '+', std::abs(bias) / 60, std::abs(bias) % 60);
    else
        std::snprintf(buf, sizeof buf, "%c%.2d:%.2d", bias > 0 ? '-' : '+', std::abs(bias) / 60, std::abs(bias) % 60);
    return buf;
}

/// A numeric or Boolean property of the page when its class publishes it (report pages do),
/// else none.
std::optional<Variant> PageValue(const TfrxComponent& page, StringView name) {
    const PropInfo* prop = page.ClassType()->FindProperty(name);
    if (!prop)
        return std::nullopt;
    return GetPropValue(page, *prop, false);
}

long double PageNumber(const TfrxComponent& page, StringView name) {
    const std::optional<Variant> v = PageValue(page, name);
    return v ? v->AsExtended() : 0;
}

bool PageFlag(const TfrxComponent& page, StringView name) {
    const std::optional<Variant> v = PageValue(page, name);
    return v && v->AsBoolean();
}

} // namespace

// ---- Names ------------------------------------------------------------------------------------

String PDFVersionName(TPDFVersion version) {
    return VersionNames[version];
}

String PDFStandardName(TPDFStandard standard) {
    return StandardNames[standard];
}

TPDFVersion StrToPDFVersion(StringView name) {
    for (int i = 0; i < 4; ++i)
        if (name == VersionNames[i])
            return TPDFVersion(i);
    throw Exception(u"Unknown/unsupported PDF version: \"" + String(name) + u"\"");
}

TPDFStandard StrToPDFStandard(StringView name) {
    for (int i = 0; i < 7; ++i)
        if (name == StandardNames[i])
            return TPDFStandard(i);
    throw Exception(u"Unknown/unsupported PDF standard: \"" + String(name) + u"\"");
}

std::optional<TPDFVersion> StandardVersion(TPDFStandard standard) {
    if (standard == psNone)
        return std::nullopt;
    return IsPDFA_1(standard) ? pv14 : pv17;
}

bool IsPDFA(TPDFStandard standard) {
    return standard != psNone;
}

bool IsPDFA_1(TPDFStandard standard) {
    return standard == psPDFA_1a || standard == psPDFA_1b;
}

// ---- Stream objects ---------------------------------------------------------------------------

void WriteStreamObject(TStream& pdf, TStream& data, int objectNumber, bool compress, bool encrypt, bool open,
                       bool close, const TPDFStringEncryption& encryption) {
    if (encrypt && !encryption)
        throw EInvalidOperation(u"No stream encryption for a protected document");
    if (open)
        PutRaw(pdf, "<<");
    RawByteString bytes;
    if (compress) {
        TMemoryStream packed;
        ZCompressStream(data, packed, zcFastest);
        bytes.assign(reinterpret_cast<const char*>(packed.Memory()), std::size_t(packed.GetSize()));
    } else {
        bytes.resize(std::size_t(data.GetSize()));
        data.SetPosition(0);
        data.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
    }
    if (encrypt)
        bytes = encryption(bytes, objectNumber);
    PutRaw(pdf, "/Length " + std::to_string(bytes.size()));
    if (compress)
        PutRaw(pdf, "/Filter/FlateDecode");
    PutRawLine(pdf, close ? ">>" : "");
    PutRawLine(pdf, "stream");
    PutRaw(pdf, bytes);
    PutRaw(pdf, "\n");
    PutRawLine(pdf, "endstream");
    PutRawLine(pdf, "endobj");
}

// ---- TfrxPDFExport ----------------------------------------------------------------------------

TfrxPDFExport::TfrxPDFExport(TComponent* owner) : TfrxBaseDialogExportFilter(owner) {
    Init();
}

TfrxPDFExport::TfrxPDFExport(TfrxNoRegister n) : TfrxBaseDialogExportFilter(n) {
    Init();
}

void TfrxPDFExport::Init() {
    SetFilterDesc(frxResourcesInstance().Get(u"8707"));
    SetDefaultExt(frxResourcesInstance().Get(u"8708"));
    SetOpenAfterExport(false);
    SetInteractiveForms(false);
    FPOH = std::make_unique<TPDFObjectsHelper>();
    FPOH->FXObjects = &FXObjects;
    Clock = [] { return Now(); };
    NewGUIDText = [] { return GUIDToString(CreateGUID()); };
}

TfrxPDFExport::~TfrxPDFExport() {
    ClearLists();
}

String TfrxPDFExport::GetDescription() const {
    return frxResourcesInstance().Get(u"PDFexport");
}

void TfrxPDFExport::SetEmbeddedFonts(bool v) {
    FEmbeddedFonts = IsPDFA() || v;
    FPOH->FEmbedded = FEmbeddedFonts;
}

void TfrxPDFExport::SetInteractiveForms(bool v) {
    FInteractiveForms = v && FPDFVersion != pv14 && FPDFStandard == psNone;
}

void TfrxPDFExport::SetTransparency(bool v) {
    FTransparency = !IsPDFA_1() && v;
}

void TfrxPDFExport::SetProtectionFlags(TfrxPDFEncBits v) {
    FProtectionFlags = v;
    int bits = 0;
    for (TfrxPDFEncBit bit : {ePrint, eModify, eCopy, eAnnot})
        if (v.Contains(bit))
            bits |= 1 << int(bit);
    FEncBits = -64 + 4 * bits;
}

void TfrxPDFExport::SetPdfA(bool v) {
    FPdfA = v;
    SetPDFStandard(v ? psPDFA_2a : psNone);
}

void TfrxPDFExport::SetPDFStandard(TPDFStandard v) {
    FPDFStandard = v;
    if (const std::optional<TPDFVersion> version = StandardVersion(v))
        FPDFVersion = *version;
    if (IsPDFA())
        SetEmbeddedFonts(true);
    if (IsPDFA_1())
        FTransparency = false;
    FPdfA = IsPDFA();
}

void TfrxPDFExport::SetPDFVersion(TPDFVersion v) {
    if (!IsPDFA())
        FPDFVersion = v;
}

void TfrxPDFExport::SetSaveOriginalImages(bool v) {
    FSaveOriginalImages = v;
    if (v)
        FPictureDPI = 0;
}

void TfrxPDFExport::SetPictureDPI(int v) {
    FPictureDPI = v;
    if (v > 0)
        FSaveOriginalImages = false;
}

void TfrxPDFExport::SetCurvePrecision(int v) {
    FCurvePrecision = ClampInteger(v, 0, 2);
}

TfrxCustomIOTransport* TfrxPDFExport::Transport() {
    if (IOTransport())
        return IOTransport();
    TfrxCustomIOTransport* transport = GetDefaultIOTransport();
    transport->InitFromExport(*this);
    return transport;
}

void TfrxPDFExport::ClearLists() {
    FPages.clear();
    FPOH->Clear();
    FPagesRef.Clear();
    FPageAnnotsArray = TPageByPageReferenceArray();
    FPageXObjectsArray = TPageByPageReferenceArray();
    FPageFontsArray = TPageByPageReferenceArray();
    FPageAnnots = nullptr;
    FPOH->FPageXObjects = nullptr;
    FPOH->FPageFonts = nullptr;
    FFirstNextId = 1;
}

bool TfrxPDFExport::Start() {
    if (FileName().empty() && !Stream())
        return false;
    // Options whose writers do not exist yet: a document without the protection or structure
    // asked for must not pass as a success.
    auto refuse = [](const char16_t* option) {
        throw ENotSupportedException(String(u"The PDF export does not support the option ") + option + u" yet");
    };
    if (!FUserPassword.empty())
        refuse(u"UserPassword");
    if (!FOwnerPassword.empty())
        refuse(u"OwnerPassword");
    if (IsPDFA())
        refuse(u"PDFStandard");
    if (FOutline)
        refuse(u"Outline");
    if (FInteractiveForms)
        refuse(u"InteractiveForms");

    FProtection = false;
    FPOH->FProtection = FProtection;
    if (Stream()) {
        pdf = Stream();
        FPdfFromTransport = false;
    } else {
        pdf = Transport()->GetStream(FileName());
        if (!pdf)
            throw EFCreateError(u"Cannot create file \"" + FileName() + u"\"");
        FPdfFromTransport = true;
    }
    FPOH->FpdfStream = pdf;
    FPOH->FQuality = FQuality;
    FPOH->FEmbedded = FEmbeddedFonts;
    ClearLists();
    FXObjects.Clear();
    FDrawnImages.clear();
    FJpegEncodes = 0;

    FDateTime = Clock();
    FID = NewGUIDText();
    FCreationDateTime = Ascii(FormatDateTime(u"yyyymmddhhnnss", FDateTime)) + TimeZoneOffset(FDateTime, '\'');
    FCreationDateTimeMeta = Ascii(FormatDateTime(u"yyyy-mm-dd", FDateTime)) + "T" +
                            Ascii(FormatDateTime(u"hh:nn:ss", FDateTime)) + TimeZoneOffset(FDateTime, ':');
    FFileID = MD5String(Ascii(FID));

    PutRawLine(*pdf, "%PDF-" + Ascii(PDFVersionName(FPDFVersion)));
    PutRawLine(*pdf, "\x25\xE2\xE3\xCF\xD3");

    FPageTreeNo = FPOH->UpdateXRef();
    FFonts = std::make_unique<TPDFGLobalFonts>();
    FPOH->FFonts = FFonts.get();
    return true;
}

void TfrxPDFExport::StartPage(TfrxComponent* page, int index) {
    TfrxPDFPage pdfPage;
    pdfPage.BackPictureVisible = PageFlag(*page, u"BackPictureVisible");
    pdfPage.BackPictureStretched = PageFlag(*page, u"BackPictureStretched");
    pdfPage.Height = double(page->Height() * PixelsToPoints);
    FPages.push_back(pdfPage);

    FCurrentPageNo = FPOH->UpdateXRef();
    FCurrentPageIndex = index;
    FPageAnnotsArray.SetData(index, std::make_unique<TReferenceArray>());
    FPageXObjectsArray.SetData(index, std::make_unique<TReferenceArray>());
    FPageFontsArray.SetData(index, std::make_unique<TReferenceArray>());
    FPageAnnots = FPageAnnotsArray.GetData(index);
    FPOH->FPageXObjects = FPageXObjectsArray.GetData(index);
    FPOH->FPageFonts = FPageFontsArray.GetData(index);

    FWidth = page->Width() * PixelsToPoints;
    FHeight = page->Height() * PixelsToPoints;
    const long double left = PageNumber(*page, u"LeftMargin"), right = PageNumber(*page, u"RightMargin");
    const long double top = PageNumber(*page, u"TopMargin"), bottom = PageNumber(*page, u"BottomMargin");
    FMarginLeft = left * MarginFactor;
    FMarginTop = top * MarginFactor;
    const bool mirror = PageFlag(*page, u"MirrorMargins") && index % 2 == 1;
    FPageRect.Left = (mirror ? right : left) * MillimetresToPoints + 0.5L;
    FPageRect.Top = FHeight - top * MillimetresToPoints;
    FPageRect.Right = FWidth - (mirror ? left : right) * MillimetresToPoints + 0.5L;
    FPageRect.Bottom = bottom * MillimetresToPoints;
    OutStream = std::make_unique<TMemoryStream>();

    // The page colour (with Background) as a filled and stroked rectangle of line width 0 over
    // the printable area, then the page's frame around it.
    if (auto* reportPage = dynamic_cast<TfrxReportPage*>(page)) {
        TStream& out = *OutStream;
        if (FBackground && reportPage->Color() != clNone) {
            const AnsiString color = ColorTextShort(reportPage->Color());
            for (const AnsiString& line : {AnsiString("q"), color + " rg", color + " RG", AnsiString("0 w"),
                                           RectText(FPageRect, 2) + " re", AnsiString("B"), AnsiString("Q")})
                PutRawLine(out, line);
        }
        if (reportPage->Frame())
            WriteFrame(*reportPage->Frame(), FPageRect);
    }
}

void TfrxPDFExport::BeginClip(TfrxComponent* obj) {
    auto* view = dynamic_cast<TfrxView*>(obj);
    if (!view || !OutStream)
        return;
    TStream& out = *OutStream;
    PutRawLine(out, "q");
    PutRawLine(out, RectText(ObjectRectWithFrame(*view, false), 2) + " re");
    PutRawLine(out, "W");
    PutRawLine(out, "n");
}

void TfrxPDFExport::EndClip() {
    if (OutStream)
        PutRawLine(*OutStream, "Q");
}

void TfrxPDFExport::ExportObject(TfrxComponent* obj) {
    auto* view = dynamic_cast<TfrxView*>(obj);
    if (!view)
        return;
    if (!(view->Visibility().Contains(vsExport) ||
          (TfrxCustomExportFilter::ExportNotPrintable() && !view->Printable())))
        return;
    TfrxComponentState& state = view->frComponentState();
    state.Include(csFrxExporting);
    if (FInteractiveForms)
        state.Include(csFrxInteractiveForms);
    try {
        ExportViewObject(*view);
    } catch (...) {
        state.Exclude(csFrxExporting);
        state.Exclude(csFrxInteractiveForms);
        throw;
    }
    state.Exclude(csFrxExporting);
    state.Exclude(csFrxInteractiveForms);
}

void TfrxPDFExport::ExportViewObject(TfrxView& view) {
    const long double shadow = view.ShadowSize();
    const long double left = view.AbsLeft() * PixelsToPoints + FMarginLeft;
    const long double top = FHeight - FMarginTop - view.AbsTop() * PixelsToPoints;
    const long double right = left + (view.Width() - shadow) * PixelsToPoints;
    const long double bottom = top - (view.Height() - shadow) * PixelsToPoints;
    FstLeft = FloatToFixedAnsi(left, 2);
    FstTop = FloatToFixedAnsi(top, 2);
    FstRight = FloatToFixedAnsi(right, 2);
    FstBottom = FloatToFixedAnsi(bottom, 2);
    FstRect = FstLeft + " " + FstBottom + " " + FstRight + " " + FstTop;

    // The page background picture is left out unless the page background is written.
    const bool background = view.Name() == u"_pagebackground" && dynamic_cast<TfrxPictureView*>(&view);
    if (background && !(FBackground && !FPages.empty() && FPages.back().BackPictureVisible))
        return;
    // A line has no width or no height; it is left out only when it has neither.
    if (auto* line = dynamic_cast<TfrxCustomLineView*>(&view)) {
        if (view.Width() != 0 || view.Height() != 0)
            WriteLine(*line);
        return;
    }
    // A memo is written whatever its size: unclipped text may reach beyond an empty box.
    if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(&view)) {
        WriteMemo(*memo);
        return;
    }
    if (view.Width() == 0 || view.Height() == 0)
        return;
    if (auto* shape = dynamic_cast<TfrxShapeView*>(&view)) {
        WriteShape(*shape);
        return;
    }
    WriteRasterView(view);
}

void TfrxPDFExport::FinishPage(TfrxComponent*, int index) {
    const int content = FPOH->UpdateXRef();
    PutRawLine(*pdf, ObjectLine(content));
    WriteStreamObject(*pdf, *OutStream, content, FCompressed, false, true, true);
    FPageXObjectsArray.SetContents(index, content);

    FPOH->CRS().SetOffset(FCurrentPageNo, pdf->GetPosition());
    PutRawLine(*pdf, ObjectLine(FCurrentPageNo));
    PutRawLine(*pdf, "<<");
    PutRawLine(*pdf, "/Type /Page");
    PutRawLine(*pdf, "/MediaBox [0 0 " + FloatToTrimmedText(FWidth, 2) + " " + FloatToTrimmedText(FHeight, 2) + " ]");
    PutRawLine(*pdf, "/Parent " + ObjectRef(FPageTreeNo));
    if (FTransparency)
        PutRawLine(*pdf, "/Group << /Type /Group /S /Transparency /CS /DeviceRGB >>");
    PutRaw(*pdf, "/Resources << ");
    FPOH->OutPageFonts();
    if (const TReferenceArray* images = FPOH->FPageXObjects; images && images->Count() > 0) {
        AnsiString s = "/XObject << ";
        for (int i = 0; i < images->Count(); ++i) {
            const int imageIndex = images->GetNo(i);
            s += "/Im" + std::to_string(imageIndex) + " " + ObjectRef(FXObjects.GetId(imageIndex)) + " ";
        }
        PutRawLine(*pdf, s + ">>");
    }
    PutRawLine(*pdf, "/ProcSet [/PDF /Text /ImageC ]");
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "/Contents " + ObjectRef(content));
    if (FPageAnnots)
        FPageAnnots->WriteToStream(*pdf, "/Annots");
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "endobj");
    FPagesRef.Add(FCurrentPageNo);
    OutStream.reset();
}

void TfrxPDFExport::WritePageTree() {
    FPOH->CRS().SetOffset(FPageTreeNo, pdf->GetPosition());
    PutRawLine(*pdf, ObjectLine(FPageTreeNo));
    PutRawLine(*pdf, "<<");
    PutRawLine(*pdf, "/Type /Pages");
    AnsiString kids = "/Kids [";
    for (int i = 0; i < FPagesRef.Count(); ++i)
        kids += (i ? " " : "") + FPagesRef.GetRef(i);
    PutRawLine(*pdf, kids + "]");
    PutRawLine(*pdf, "/Count " + std::to_string(FPagesRef.Count()));
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "endobj");
}

int TfrxPDFExport::WriteInfo() {
    const int info = FPOH->UpdateXRef();
    PutRawLine(*pdf, ObjectLine(info));
    PutRawLine(*pdf, "<<");
    const std::pair<const char*, const String*> entries[] = {
        {"/Title ", &FTitle},       {"/Author ", &FAuthor},   {"/Subject ", &FSubject},
        {"/Keywords ", &FKeywords}, {"/Creator ", &FCreator}, {"/Producer ", &FProducer},
    };
    for (const auto& [key, value] : entries)
        PutRawLine(*pdf, key + UnicodeTextString(*value, info));
    const AnsiString date = HexTextString("D:" + FCreationDateTime, info);
    PutRawLine(*pdf, "/CreationDate " + date);
    PutRawLine(*pdf, "/ModDate " + date);
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "endobj");
    return info;
}

int TfrxPDFExport::WriteCatalog() {
    const int catalog = FPOH->UpdateXRef();
    PutRawLine(*pdf, ObjectLine(catalog));
    PutRawLine(*pdf, "<<");
    PutRawLine(*pdf, "/Type /Catalog");
    PutRawLine(*pdf, "/Version /" + Ascii(PDFVersionName(FPDFVersion)));
    PutRawLine(*pdf, "/MarkInfo << /Marked true >>");
    PutRawLine(*pdf, "/Pages " + ObjectRef(FPageTreeNo));
    PutRawLine(*pdf, FOutline ? "/PageMode /UseOutlines" : "/PageMode /UseNone");
    PutRawLine(*pdf, "/ViewerPreferences <<");
    if (!FTitle.empty())
        PutRawLine(*pdf, "/DisplayDocTitle true");
    if (FHideToolbar)
        PutRawLine(*pdf, "/HideToolbar true");
    if (FHideMenubar)
        PutRawLine(*pdf, "/HideMenubar true");
    if (FHideWindowUI)
        PutRawLine(*pdf, "/HideWindowUI true");
    if (FFitWindow)
        PutRawLine(*pdf, "/FitWindow true");
    if (FCenterWindow)
        PutRawLine(*pdf, "/CenterWindow true");
    if (!FPrintScaling)
        PutRawLine(*pdf, "/PrintScaling /None");
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "endobj");
    return catalog;
}

void TfrxPDFExport::WriteXRefAndTrailer(int catalog, int info) {
    FStartXRef = pdf->GetPosition();
    PutRawLine(*pdf, "xref");
    TCrossReferenceSection& section = FPOH->CRS();
    section.PrepareToOut();
    for (int i = 0; i < section.Count(); ++i) {
        AnsiString header;
        if (section.IsSubsection(i, header))
            PutRawLine(*pdf, header);
        PutRawLine(*pdf, section.OutLine(i));
    }
    PutRawLine(*pdf, "trailer");
    PutRawLine(*pdf, "<<");
    PutRawLine(*pdf, "/Size " + std::to_string(section.NextId()));
    PutRawLine(*pdf, "/Root " + ObjectRef(catalog));
    PutRawLine(*pdf, "/Info " + ObjectRef(info));
    PutRawLine(*pdf, "/ID [<" + FFileID + "><" + FFileID + ">]");
    PutRawLine(*pdf, ">>");
    PutRawLine(*pdf, "startxref");
    PutRawLine(*pdf, std::to_string(FStartXRef));
    PutRawLine(*pdf, "%%EOF");
}

void TfrxPDFExport::Finish() {
    if (!pdf)
        return;
    if (FFonts)
        for (int i = 0; i < FFonts->Count(); ++i)
            WriteFontObjects(*FFonts->Get(i));
    WritePageTree();
    const int info = WriteInfo();
    const int catalog = WriteCatalog();
    WriteXRefAndTrailer(catalog, info);
    ClearLists();
    TStream* written = pdf;
    pdf = nullptr;
    FPOH->FpdfStream = nullptr;
    FXObjects.Clear();
    FPOH->FFonts = nullptr;
    FFonts.reset();
    if (FPdfFromTransport)
        Transport()->FreeStream(written, FileName());
    FPdfFromTransport = false;
}

} // namespace vgl
