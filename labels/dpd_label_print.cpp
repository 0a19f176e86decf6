#include "labels/dpd_label_print.h"

#include <algorithm>
#include <cmath>

#include "codes/typed_barcode.h"
#include "labels/label_templates.h"
#include "platform/graphics/color.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/export/image_export.h"
#include "report/export/pdf_export.h"
#include "report/foundation/xml_document.h"
#include "report/model/barcode_view.h"
#include "report/model/data_set.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_page.h"

namespace vgl {

VGL_DEFINE_CLASS(TDMDPDLabelPrint) {}

namespace {

String RemoveLineBreaks(const String& s) {
    String result;
    result.reserve(s.size());
    for (char16_t c : s)
        if (c != u'\r' && c != u'\n')
            result += c;
    return result;
}

/// The characters of `raw` with a blank after every fourth one.
String GroupByFour(const String& raw) {
    String result;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        result += raw[i];
        if (i % 4 == 3)
            result += u' ';
    }
    return result;
}

/// The tracking number in the three parts the labels print it in: the first 4 characters; 5 to
/// 8, 9 to 12 and 13 to 14 separated by blanks; the last character. An empty number gives three
/// empty parts.
struct TTrackingParts {
    String First, Middle, Last;
};

TTrackingParts SplitTrackingNumber(const String& number) {
    if (number.empty())
        return {};
    return {Copy(number, 1, 4), Copy(number, 5, 4) + u" " + Copy(number, 9, 4) + u" " + Copy(number, 13, 2),
            Copy(number, int(number.size()), 1)};
}

/// Runs one print operation. A failure of the runtime's exception family leaves as Exception
/// "TDMLabelPrint.<operation> <cause>", and without a printed stream: callers copy StreamPrinted
/// whatever the result, so no half-written document may stay there.
bool Wrapped(const char16_t* operation, std::unique_ptr<TStream>& printed, const std::function<bool()>& body) {
    try {
        return body();
    } catch (const Exception& e) {
        printed.reset();
        throw Exception(u"TDMLabelPrint." + String(operation) + u" " + e.Message());
    }
}

TDataEmbedded* MakePicture(TComponent* owner, const String& name) {
    auto* component = new TDataEmbedded(owner);
    component->SetName(name);
    auto bytes = FindResource(name, u"RCDATA");
    if (!bytes)
        throw EInvalidOperation(u"The picture resource %s is missing", {name});
    TBytesStream data(*bytes);
    component->SetData(data);
    return component;
}

template <class T> T* Find(const TfrxReport& report, StringView name) {
    return dynamic_cast<T*>(report.FindObject(name));
}

/// An object that a step cannot go without: raises naming it when the template lacks it.
template <class T> T& Need(const TfrxReport& report, StringView name) {
    T* object = Find<T>(report, name);
    if (!object)
        throw EInvalidOperation(u"The template %s has no object %s", {report.Name(), String(name)});
    return *object;
}

bool Shown(const TfrxComponent* object) {
    return object && object->Visible();
}

long double BarcodeWidth(TfrxBarCodeView& view) {
    const TfrxRect bounds = view.GetRealBounds();
    return bounds.Right - bounds.Left;
}

void Hide(const TfrxReport& report, StringView name) {
    if (auto* object = Find<TfrxComponent>(report, name))
        object->SetVisible(false);
}

} // namespace

TDMDPDLabelPrint::TDMDPDLabelPrint(TComponent* owner) : TComponent(owner) {
    SetName(u"DMDPDLabelPrint");
    FfrxGeoLabelFR = CreateTemplate(u"frxGeoLabelFR");

    FfrxDataSetShortCuts = new TfrxUserDataSet(this);
    FfrxDataSetShortCuts->SetName(u"frxDataSetShortCuts");
    FfrxDataSetShortCuts->SetUserName(u"frxDataSetShortCuts");
    for (const char16_t* field : {u"Shortcut", u"Barcode", u"BarcodeTxt"})
        FfrxDataSetShortCuts->Fields()->Add(field);

    FpicMedical = MakePicture(this, u"picMedical");
    FpicPickup = MakePicture(this, u"picPickup");
    FpicPredict = MakePicture(this, u"picPredict");
    FfrxGeoLabel = CreateTemplate(u"frxGeoLabel");

    FPDFExport = new TfrxPDFExport(this);
    FPDFExport->SetName(u"PDFExport");
    FPDFExport->SetShowDialog(false);
    FPDFExport->SetUseFileCache(true);
    FPDFExport->SetShowProgress(false);
    FPDFExport->SetOverwritePrompt(false);
    FPDFExport->SetDataOnly(false);
    FPDFExport->SetCompressed(false);
    FPDFExport->SetEmbeddedFonts(true);
    FPDFExport->SetEmbedFontsIfProtected(false);
    FPDFExport->SetInteractiveFormsFontSubset(u"A-Z,a-z,0-9,#43-#47 ");
    FPDFExport->SetOpenAfterExport(false);
    FPDFExport->SetPrintOptimized(true);
    FPDFExport->SetOutline(false);
    FPDFExport->SetBackground(false);
    FPDFExport->SetHTMLTags(true);
    FPDFExport->SetQuality(100);
    FPDFExport->SetTransparency(false);
    FPDFExport->SetAuthor(u"DudeZirare");
    FPDFExport->SetSubject(u"DudeZirare PDF export");
    FPDFExport->SetCreator(u"DudeZirare");
    FPDFExport->SetProtectionFlags(TfrxPDFEncBits{ePrint, eModify, eCopy, eAnnot});
    FPDFExport->SetHideToolbar(false);
    FPDFExport->SetHideMenubar(false);
    FPDFExport->SetHideWindowUI(false);
    FPDFExport->SetFitWindow(false);
    FPDFExport->SetCenterWindow(false);
    FPDFExport->SetPrintScaling(false);
    FPDFExport->SetPdfA(false);
    FPDFExport->SetPDFStandard(psNone);
    FPDFExport->SetPDFVersion(pv17);

    const auto imageExport = [this](TfrxCustomImageExport* filter, const String& name) {
        filter->SetName(name);
        filter->SetShowDialog(false);
        filter->SetUseFileCache(true);
        filter->SetShowProgress(false);
        filter->SetOverwritePrompt(false);
        filter->SetDataOnly(false);
    };
    imageExport(FBMPExport = new TfrxBMPExport(this), u"BMPExport");
    imageExport(FJPEGExport = new TfrxJPEGExport(this), u"JPEGExport");
    FJPEGExport->SetJPEGQuality(100);
    imageExport(FTIFFExport = new TfrxTIFFExport(this), u"TIFFExport");
    imageExport(FGIFExport = new TfrxGIFExport(this), u"GIFExport");

    FfrxLimitedQty = CreateTemplate(u"frxLimitedQty", true);
    FfrxSWAP = CreateTemplate(u"frxSWAP", true);
    FfrxReceipt = CreateTemplate(u"frxReceipt", true);
    FfrxReturn = CreateTemplate(u"frxReturn", true);
    FfrxKombiLabel = CreateTemplate(u"frxKombiLabel");

    DataModuleCreate(this);
}

TDMDPDLabelPrint::~TDMDPDLabelPrint() {
    DataModuleDestroy(this);
}

TfrxReport* TDMDPDLabelPrint::CreateTemplate(const String& name, bool deferred) {
    auto* report = new TfrxReport(this);
    if (deferred) {
        report->SetName(name);
        FUnreadTemplates.emplace_back(report, name);
        return report;
    }
    LoadTemplate(*report, name);
    return report;
}

void TDMDPDLabelPrint::LoadTemplate(TfrxReport& report, const String& name) {
    // The stored-form route: every published value as the template stores it, read from the
    // document the process parsed once.
    const TfrxXMLDocument& stored = LabelTemplateDocument(name);
    report.LoadFromXMLItem(*stored.Root(), stored.OldVersion());
    report.SetName(name);
    // No one is there to see a message box: engine errors raise and end the print.
    report.EngineOptions()->SetNewSilentMode(simReThrow);
    // The templates carry no script and no events, so a preparation leaves their objects as the
    // print filled them; saving the whole template before each run and reading it back after
    // (pictures as hex text included) would only cost the time of both.
    report.EngineOptions()->SetDestroyForms(false);
}

TfrxReport* TDMDPDLabelPrint::Used(TfrxReport* report) const {
    const auto unread = std::find_if(FUnreadTemplates.begin(), FUnreadTemplates.end(),
                                     [&](const auto& t) { return t.first == report; });
    if (unread != FUnreadTemplates.end()) {
        LoadTemplate(*report, unread->second);
        FUnreadTemplates.erase(unread);
    }
    return report;
}

void TDMDPDLabelPrint::DataModuleCreate(TObject*) {
    // The text lists and the Aztec builder are members, made with the module in their first
    // state; the table of lists cannot be empty (checked at compile time).
    StreamPrinted.reset();

    auto& depotCountry = Need<TfrxComponent>(*FfrxGeoLabelFR, u"txtRoutdDepotCountry");
    txtRoutDestText_MaxWidth = depotCountry.Width();
    txtRoutDestText_MinLeft = depotCountry.Left();
    txtOptParcelRef1_Top_FR = Need<TfrxComponent>(*FfrxGeoLabelFR, u"txtOptParcelRef1").Top();
    txtOptParcelRef2_Top_FR = Need<TfrxComponent>(*FfrxGeoLabelFR, u"txtOptParcelRef2").Top();

    auto& picKombi = Need<TfrxComponent>(*FfrxKombiLabel, u"picKombi");
    KombiLeftPos = picKombi.Left();
    KombiMaxWidth = picKombi.Width();
    KombiAdrWidth = Need<TfrxComponent>(*FfrxKombiLabel, u"Lbl_neueAdresse").Width();
    auto& asg = Need<TfrxComponent>(*FfrxKombiLabel, u"txtASG");
    KombiASGLeft = asg.Left();
    KombiASGWidth = asg.Width();
}

void TDMDPDLabelPrint::DataModuleDestroy(TObject*) {
    std::unique_ptr<TStream> stream = std::move(StreamPrinted);
}

void TDMDPDLabelPrint::Clear() {
    Bic3BarcodeTxt.clear();
    Aztec.Clear();
    ForEachTextList([](const String&, TWideStringList& list) { list.Clear(); });
    ForEachFlag([](const String&, bool& flag) { flag = false; });
}

void TDMDPDLabelPrint::SetText(TStrings& list, StringView value) {
    list.SetText(value);
}

void TDMDPDLabelPrint::AddLine(TStrings& list, const String& value) {
    list.Add(value);
}

void TDMDPDLabelPrint::ForEachTextList(const std::function<void(const String& name, TWideStringList& list)>& f) {
#define VGL_DPD_LABEL_VISIT_LIST(Name) f(u"" #Name, Name);
    VGL_DPD_LABEL_TEXT_LISTS(VGL_DPD_LABEL_VISIT_LIST)
#undef VGL_DPD_LABEL_VISIT_LIST
}

void TDMDPDLabelPrint::ForEachFlag(const std::function<void(const String& name, bool& flag)>& f) {
#define VGL_DPD_LABEL_VISIT_FLAG(Name) f(u"" #Name, Name);
    VGL_DPD_LABEL_FLAGS(VGL_DPD_LABEL_VISIT_FLAG)
#undef VGL_DPD_LABEL_VISIT_FLAG
}

// ---- Print road ------------------------------------------------------------------------------

bool TDMDPDLabelPrint::PrintLabel(TfrxReport* report, TPrintTo printTo) {
    return Wrapped(u"PrintLabel", StreamPrinted, [&] {
        if (!report)
            throw EInvalidOperation(u"No label template");
        return DoPrintLabel(*report, printTo);
    });
}

bool TDMDPDLabelPrint::DoPrintLabel(TfrxReport& report, TPrintTo printTo) {
    // 1. No stream of an earlier print survives this one.
    StreamPrinted.reset();

    // 2. The Aztec content carries the predict flag.
    Aztec.ParcelInfo().SetIsPredict(IsPredict ? u'1' : u'0');

    // 3. The typed routing barcode, which validates Bic3BarcodeTxt; T is the tracking text and
    // P the parcel number.
    std::unique_ptr<TDpdBarcode> barcode;
    String trackingText, parcelNumber;
    if (IsOfflineMode) {
        trackingText = RemoveLineBreaks(txtParcelNumber.Text());
    } else if (IsCollectionRequestPickup) {
        auto trackingNumber = std::make_unique<TDpdTrackingNumber>();
        trackingNumber->SetBarcode(Bic3BarcodeTxt);
        trackingText = AnsiToString(trackingNumber->BarcodeText());
        parcelNumber = AnsiToString(trackingNumber->ParcelNumber());
        barcode = std::move(trackingNumber);
    } else {
        auto bic3 = std::make_unique<TBic3>();
        bic3->SetBarcode(Bic3BarcodeTxt);
        trackingText = AnsiToString(bic3->trackingNumber());
        parcelNumber = AnsiToString(bic3->ParcelNumber());
        barcode = std::move(bic3);
    }

    // 4. Report name; the Aztec content gets the parcel number of the routing barcode.
    if (IsOfflineMode)
        report.ReportOptions()->SetName(AnsiToString(Bic3BarcodeTxt));
    else if (IsCollectionRequestPickup)
        report.ReportOptions()->SetName(RemoveLineBreaks(txtTourNumber.Text()) + u"_" + parcelNumber);
    else
        report.ReportOptions()->SetName(parcelNumber);
    if (barcode)
        Aztec.ISO_ParcelNumber()->SetFieldValue(parcelNumber);

    // 5. Visibility by the flags; the road never makes an object visible.
    const bool collectionOnly = IsCollectionRequest && !IsCollectionRequestPickup;
    const auto hideIf = [&report](bool condition, std::initializer_list<const char16_t*> names) {
        if (condition)
            for (const char16_t* name : names)
                Hide(report, name);
    };
    hideIf(IsPUDODeliveryReturn, {u"txtSenderAccount", u"txtSenderAddress"});
    hideIf(!collectionOnly, {u"txtOptCollReqSenderContact"});
    hideIf(IsCollectionRequest || IsCollectionRequestPickup, {u"txtOptProductText"});
    hideIf(!IsCollectionRequestPickup, {u"txtOptCollReqPickupSenderAddress"});
    hideIf(!collectionOnly, {u"txtOptCollSenderAddress"});
    hideIf(!((IsPUDODeliveryReturn || IsPUDOReturn) && !IsCollectionRequestPickup), {u"txtOptRetOriginalParcelNumber"});
    hideIf(IsCollectionRequestPickup, {u"txtOptParcelRef1"});

    // 6. The first parcel reference takes the place of the hidden second one, or goes back to
    // its designed place on the French label.
    if (!IsCollectionRequestPickup) {
        const auto moveRef1 = [&report](long double top) {
            for (const char16_t* name : {u"txtOptParcelRef1", u"fixOptParcelRef1"})
                if (auto* object = Find<TfrxComponent>(report, name))
                    object->SetTop(top);
        };
        if (IsCollectionRequest)
            moveRef1(txtOptParcelRef2_Top_FR);
        else if (&report == FfrxGeoLabelFR)
            moveRef1(txtOptParcelRef1_Top_FR);
    }

    hideIf(IsCollectionRequest || IsCollectionRequestPickup, {u"txtOptParcelRef2"});
    hideIf(IsCollectionRequestPickup, {u"txtOptCSort"});
    hideIf(!IsSpecialOperation, {u"fixSpecialOperation"});
    hideIf(!IsCollectionRequestPickup,
           {u"fixCollReqWeighed", u"fixCollectionRequest", u"fixTourNumber", u"txtTourNumber"});
    hideIf(IsCollectionRequestPickup,
           {u"txtRoutServiceText", u"txtRoutServiceMarker", u"txtRoutdDepotCountry", u"txtRoutbuAlphaStr",
            u"txtRoutdDepotStr", u"txtRoutSSort", u"txtRoutOSort", u"txtRoutDSort"});

    // 7. The option picture.
    if (auto* picOpt = Find<TfrxPictureView>(report, u"picOpt")) {
        TDataEmbedded* source = nullptr;
        if (IsSpecialOperation)
            source = nullptr;
        else if (IsPredict && !IsDestExport)
            source = FpicPredict;
        else if (IsPUDODelivery || IsPUDOReturn || IsPUDODeliveryReturn)
            source = FpicPickup;
        else if (IsMedical && !IsDestExport)
            source = FpicMedical;
        if (source) {
            TMemoryStream& data = source->Data();
            data.SetPosition(0);
            picOpt->Picture()->LoadFromStream(data);
        } else {
            picOpt->SetVisible(false);
        }
    }

    // 8. Text lists to their memos; an empty list hides its memo, a hidden memo its caption.
    ForEachTextList([&report](const String& name, TWideStringList& list) {
        auto* object = Find<TfrxComponent>(report, name);
        if (!object)
            return;
        if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(object))
            memo->Lines().Assign(list);
        if (list.Count() == 0)
            object->SetVisible(false);
        if (!object->Visible())
            Hide(report, u"fix" + name.substr(3));
    });

    // 9. The tracking number in three parts, each starting where the previous one ends.
    long double right = 0;
    const auto trackingPart = [&](const char16_t* name, int size, const String& text, bool follows) {
        auto* memo = Find<TfrxCustomMemoView>(report, name);
        if (!Shown(memo))
            return;
        memo->Font().SetSize(size);
        memo->SetText(text);
        if (follows)
            memo->SetLeft(right);
        right = memo->Left() + memo->CalcWidth();
    };
    const TTrackingParts parts = SplitTrackingNumber(trackingText);
    trackingPart(u"txtRoutTrackingNumber1", IsDestExport ? 22 : 20, parts.First, false);
    trackingPart(u"txtRoutTrackingNumber2", IsDestExport ? 18 : 16, parts.Middle, true);
    trackingPart(u"txtRoutTrackingNumber3", IsDestExport ? 18 : 16, parts.Last, true);

    // 10. The service text shrinks until it fits between the tracking number and its right edge.
    if (auto* memo = Find<TfrxCustomMemoView>(report, u"txtRoutServiceText"); Shown(memo)) {
        int size = 18;
        memo->Font().SetSize(size);
        while (memo->CalcWidth() > memo->GetRealBounds().Right - right) {
            if (size <= MinServiceTextSize)
                throw Exception(u"txtRoutServiceText does not fit");
            memo->Font().SetSize(--size);
        }
    }

    // 11. The service marker.
    if (auto* memo = Find<TfrxCustomMemoView>(report, u"txtRoutServiceMarker"); Shown(memo)) {
        memo->SetHeight(IsDestExport ? 21 : 18);
        memo->SetWidth(IsDestExport ? 15 : 14);
        memo->Font().SetSize(IsDestExport ? 17 : 15);
    }

    // 12. The routing barcode's text in groups of four, then its check character.
    if (auto* memo = Find<TfrxCustomMemoView>(report, u"txtRoutBarcodeText"); Shown(memo)) {
        String text;
        if (auto* bic3 = dynamic_cast<TBic3*>(barcode.get()))
            text = GroupByFour(AnsiToString(bic3->BarcodeRaw())) + AnsiToString(bic3->checksum());
        else if (barcode)
            text = GroupByFour(AnsiToString(barcode->BarcodeRaw())) +
                   AnsiToString(TDpdBarcode::CheckDigit(std::string_view(barcode->BarcodeRaw())));
        else
            text = GroupByFour(AnsiToString(Bic3BarcodeTxt));
        memo->SetText(text);
    }

    // 13. The destination info: at most two lines of 20 characters.
    if (auto* memo = Find<TfrxCustomMemoView>(report, u"txtDestInfo"); Shown(memo)) {
        TStringList lines;
        lines.Assign(memo->Lines());
        if (lines.Count() > 2) {
            String joined;
            for (int i = 0; i < lines.Count(); ++i)
                joined += (i > 0 ? u" " : u"") + Trim(lines[i]);
            lines.Clear();
            lines.Add(joined);
        }
        lines.SetText(Trim(lines.Text()));
        if (lines.Count() > 0 && lines[0].size() > 20) {
            const String text = lines.Text();
            lines.SetText(Copy(text, 1, 20) + u"\r\n" + Trim(Copy(text, 21, int(text.size()))));
        }
        if (lines.Count() > 1 && lines[1].size() > 20)
            lines.Put(1, Copy(lines[1], 1, 20));
        memo->Lines().Assign(lines);
    }

    // 14. The routing barcode's content.
    auto* routingBarcode = Find<TfrxBarCodeView>(report, u"Barcode128Rout");
    if (Shown(routingBarcode))
        routingBarcode->SetText(AnsiToString(barcode ? barcode->Barcode() : Bic3BarcodeTxt));

    // 15. The routing destination line, centred in its place unless it fills it.
    {
        TfrxCustomMemoView* parts[] = {&Need<TfrxCustomMemoView>(report, u"txtRoutdDepotCountry"),
                                       &Need<TfrxCustomMemoView>(report, u"txtRoutbuAlphaStr"),
                                       &Need<TfrxCustomMemoView>(report, u"txtRoutdDepotStr"),
                                       &Need<TfrxCustomMemoView>(report, u"txtRoutSSort")};
        long double widths[4];
        long double total = 0;
        for (int i = 0; i < 4; ++i)
            total += widths[i] = parts[i]->CalcWidth();
        parts[0]->SetLeft(total >= txtRoutDestText_MaxWidth
                              ? txtRoutDestText_MinLeft
                              : txtRoutDestText_MinLeft + (txtRoutDestText_MaxWidth - total) / 2);
        for (int i = 1; i < 4; ++i)
            parts[i]->SetLeft(parts[i - 1]->Left() + widths[i - 1]);

        TfrxCustomMemoView& sSort = *parts[3];
        const bool inverse = !IsDestExport && sSort.Lines().Count() >= 1;
        sSort.SetColor(inverse ? clBlack : clWhite);
        sSort.Font().SetColor(inverse ? clWhite : clBlack);
        for (const char16_t* name : {u"txtRoutOSort", u"txtRoutDSort"}) {
            auto* memo = Find<TfrxCustomMemoView>(report, name);
            if (!Shown(memo))
                continue;
            const bool marked = !IsDestExport && !memo->Text().empty();
            memo->Font().SetSize(marked ? 26 : 24);
            memo->SetColor(marked ? clBlack : clWhite);
            memo->Font().SetColor(marked ? clWhite : clBlack);
        }
    }

    // 16. The Aztec symbol; content that no symbol holds ends the print (AsImage raises), so no
    // label leaves without its code.
    if (auto* picAztec = Find<TfrxPictureView>(report, u"picAztec"); Shown(picAztec))
        picAztec->Picture()->Assign(Aztec.AsImage().Picture());

    // 17. The routing barcode narrows in steps of 0.01 of zoom until it fits. Its width grows
    // with the zoom, so the first step that fits is found by halving the range of steps (each
    // measurement encodes the whole text); no step down to 0.01 fitting raises.
    if (routingBarcode && BarcodeWidth(*routingBarcode) > MaxBarcodeWidth) {
        const long double start = routingBarcode->Zoom();
        const auto zoomAt = [start](long long steps) { return start - 0.01L * static_cast<long double>(steps); };
        long long tooWide = 0;
        long long fits = static_cast<long long>(std::floor((start - MinBarcodeZoom) / 0.01L + 1e-6L));
        routingBarcode->SetZoom(zoomAt(fits));
        if (fits < 1 || BarcodeWidth(*routingBarcode) > MaxBarcodeWidth)
            throw Exception(u"Barcode128Rout does not fit");
        while (fits - tooWide > 1) {
            const long long middle = tooWide + (fits - tooWide) / 2;
            routingBarcode->SetZoom(zoomAt(middle));
            (BarcodeWidth(*routingBarcode) > MaxBarcodeWidth ? tooWide : fits) = middle;
        }
        routingBarcode->SetZoom(zoomAt(fits));
    }

    // 18. The target.
    return PrintToTarget(report, printTo);
}

std::unique_ptr<TStream> TDMDPDLabelPrint::NewPrintStream() {
    return std::make_unique<TMemoryStream>();
}

bool TDMDPDLabelPrint::PrintToTarget(TfrxReport& report, TPrintTo printTo) {
    TfrxCustomExportFilter* filter = nullptr;
    TfrxCustomImageExport* image = nullptr;
    switch (printTo) {
    case prnPrinter:
        throw ENotSupportedException(u"printing is not supported");
    case prnPDF:
        filter = FPDFExport;
        break;
    case prnBMP:
        filter = image = FBMPExport;
        break;
    case prnJPEG:
        filter = image = FJPEGExport;
        break;
    case prnTIFF:
        filter = image = FTIFFExport;
        break;
    case prnGIF:
        filter = image = FGIFExport;
        break;
    default:
        return false;
    }
    // PrepareReport raises for engine errors (simReThrow); a run that ends without pages or is
    // refused leaves its reasons in Errors.
    if (!report.PrepareReport(true))
        throw Exception(u"The label could not be prepared" +
                        (report.Errors().Count() > 0 ? u": " + Trim(report.Errors().Text()) : String()));
    if (image)
        image->SetResolution(300);
    StreamPrinted = NewPrintStream();
    filter->SetStream(StreamPrinted.get());
    const TScopeExit forgetStream([filter] { filter->SetStream(nullptr); });
    if (!report.Export(filter))
        throw Exception(u"The label could not be exported" +
                        (report.Errors().Count() > 0 ? u": " + Trim(report.Errors().Text()) : String()));
    return true;
}

bool TDMDPDLabelPrint::PrintLimitedQtyLabel(const String& trackingNumber, TPrintTo printTo) {
    return Wrapped(u"PrintLimitedQtyLabel", StreamPrinted, [&] {
        StreamPrinted.reset();
        TfrxReport& report = *Used(FfrxLimitedQty);
        report.ReportOptions()->SetName(Copy(trackingNumber, 1, 14) + u"_LimitedQty");
        // Each part starts at the right edge of the one before; the template's fonts stay.
        const TTrackingParts parts = SplitTrackingNumber(trackingNumber);
        auto& first = Need<TfrxCustomMemoView>(report, u"txtRoutTrackingNumber1");
        auto& middle = Need<TfrxCustomMemoView>(report, u"txtRoutTrackingNumber2");
        auto& last = Need<TfrxCustomMemoView>(report, u"txtRoutTrackingNumber3");
        first.SetText(parts.First);
        middle.SetText(parts.Middle);
        middle.SetLeft(first.Left() + first.CalcWidth());
        last.SetText(parts.Last);
        last.SetLeft(middle.Left() + middle.CalcWidth());
        return PrintToTarget(report, printTo);
    });
}

bool TDMDPDLabelPrint::PrintFilledLabel(TfrxReport& report, const char16_t* suffix, TPrintTo printTo) {
    StreamPrinted.reset();
    report.ReportOptions()->SetName(RemoveLineBreaks(txtParcelNumber.Text()) + suffix);
    // Every list that has an object of its name in the template fills it; nothing is hidden.
    ForEachTextList([&report](const String& name, TWideStringList& list) {
        if (auto* memo = Find<TfrxCustomMemoView>(report, name))
            memo->Lines().Assign(list);
    });
    return PrintToTarget(report, printTo);
}

bool TDMDPDLabelPrint::PrintSWAPLabel(TPrintTo printTo) {
    return Wrapped(u"PrintSWAPLabel", StreamPrinted,
                   [&] { return PrintFilledLabel(*Used(FfrxSWAP), u"_SWAP", printTo); });
}

bool TDMDPDLabelPrint::PrintReceiptLabel(TPrintTo printTo) {
    return Wrapped(u"PrintReceiptLabel", StreamPrinted,
                   [&] { return PrintFilledLabel(*Used(FfrxReceipt), u"_Receipt", printTo); });
}

bool TDMDPDLabelPrint::PrintReturnLabel(TPrintTo printTo) {
    return Wrapped(u"PrintReturnLabel", StreamPrinted,
                   [&] { return PrintFilledLabel(*Used(FfrxReturn), u"_Return", printTo); });
}

bool TDMDPDLabelPrint::PrintGeoLabel(TPrintTo printTo) {
    return Wrapped(u"PrintGeoLabel", StreamPrinted, [&] {
        // 1. The label's own page length (page 0 is the data page).
        auto* page = dynamic_cast<TfrxReportPage*>(FfrxGeoLabel->Pages(1));
        if (!page)
            throw EInvalidOperation(u"The template frxGeoLabel has no report page");
        page->SetPaperHeight(152.6L);
        // 2. Every view shows again, and the routing part that a routing label moved up goes back
        // below the address part. A view that refuses is left as it is.
        for (TfrxComponent* object : std::vector<TfrxComponent*>(FfrxGeoLabel->AllObjects())) {
            try {
                auto* view = dynamic_cast<TfrxView*>(object);
                if (!view)
                    continue;
                view->SetVisible(true);
                if (SameText(view->TagStr(), u"ROUTING") && view->Top() < 340) {
                    view->SetTop(view->Top() + 340);
                    if (view->Top() < 390)
                        view->SetTop(view->Top() + 5);
                    if (view->Top() < 430)
                        view->SetTop(view->Top() + 5);
                }
            } catch (const Exception&) {
            }
        }
        // 3. The print road.
        return PrintLabel(FfrxGeoLabel, printTo);
    });
}

} // namespace vgl
