#pragma once
// TDMDPDLabelPrint: the label data module. One module serves one service call: the caller clears
// it, fills the parcel data of one label (flags, routing barcode text, text lists, the Aztec
// builder) and prints; the module is freed with the call. Nothing of a module is shared: every
// module loads its own copy of each label template.
//
// The print road (PrintLabel) fills a template from the module's fields and exports it. Every
// failure on it raises; a print that raises leaves no stream in StreamPrinted.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "codes/dpd_aztec.h"
#include "labels/embedded_data.h"
#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

namespace vgl {

class TfrxReport;
class TfrxUserDataSet;
class TfrxPDFExport;
class TfrxBMPExport;
class TfrxJPEGExport;
class TfrxTIFFExport;
class TfrxGIFExport;

/// The targets of a print.
enum TPrintTo { prnPrinter, prnPDF, prnBMP, prnJPEG, prnTIFF, prnGIF };

/// A list of UTF-16 lines (the runtime's strings are UTF-16 already).
using TWideStringList = TStringList;

/// The ten label flags that the print road reads, in declaration order.
#define VGL_DPD_LABEL_FLAGS(X)                                                                                         \
    X(IsDestExport)                                                                                                    \
    X(IsPredict)                                                                                                       \
    X(IsMedical)                                                                                                       \
    X(IsCollectionRequestPickup)                                                                                       \
    X(IsCollectionRequest)                                                                                             \
    X(IsPUDODelivery)                                                                                                  \
    X(IsPUDODeliveryReturn)                                                                                            \
    X(IsPUDOReturn)                                                                                                    \
    X(IsSpecialOperation)                                                                                              \
    X(IsOfflineMode)

/// The text lists, one per memo object of the same name in the templates, in the order in which
/// every walk over all lists visits them.
#define VGL_DPD_LABEL_TEXT_LISTS(X)                                                                                    \
    X(txtHeader)                                                                                                       \
    X(txtDestName)                                                                                                     \
    X(txtDestAddress)                                                                                                  \
    X(txtDestZipcode)                                                                                                  \
    X(txtDestCity)                                                                                                     \
    X(txtDestContact)                                                                                                  \
    X(txtDestPhone)                                                                                                    \
    X(txtDestInfo)                                                                                                     \
    X(txtDestMPSID)                                                                                                    \
    X(txtSenderAccount)                                                                                                \
    X(txtSenderAddress)                                                                                                \
    X(txtSenderPhone)                                                                                                  \
    X(txtBUName)                                                                                                       \
    X(txtBUAddress)                                                                                                    \
    X(txtBUTel)                                                                                                        \
    X(txtBUDepot)                                                                                                      \
    X(txtPackages)                                                                                                     \
    X(txtWeight)                                                                                                       \
    X(txtOptProductText)                                                                                               \
    X(txtOptParcelRef1)                                                                                                \
    X(txtOptParcelRef2)                                                                                                \
    X(txtOptCSort)                                                                                                     \
    X(txtOptRetOriginalParcelNumber)                                                                                   \
    X(txtOptCollReqSenderContact)                                                                                      \
    X(txtOptCollSenderAddress)                                                                                         \
    X(txtOptCollReqPickupSenderAddress)                                                                                \
    X(txtOptCODAmount)                                                                                                 \
    X(txtOptCODPurpose)                                                                                                \
    X(txtRoutServiceText)                                                                                              \
    X(txtRoutServiceMarker)                                                                                            \
    X(txtRoutdDepotCountry)                                                                                            \
    X(txtRoutbuAlphaStr)                                                                                               \
    X(txtRoutdDepotStr)                                                                                                \
    X(txtRoutSSort)                                                                                                    \
    X(txtRoutOSort)                                                                                                    \
    X(txtRoutDSort)                                                                                                    \
    X(txtRoutServiceCodeAndDest)                                                                                       \
    X(txtRoutOriginVersion)                                                                                            \
    X(txtTourNumber)                                                                                                   \
    X(txtParcelNumber)                                                                                                 \
    X(txtReceiptRecipient)                                                                                             \
    X(txtReceiptSender)                                                                                                \
    X(txtReturnRecipient)                                                                                              \
    X(txtReturnParcelnumberAndRef)

#define VGL_DPD_LABEL_COUNT_ONE(Name) +1
inline constexpr int DPDLabelFlagCount = 0 VGL_DPD_LABEL_FLAGS(VGL_DPD_LABEL_COUNT_ONE);
inline constexpr int DPDLabelTextListCount = 0 VGL_DPD_LABEL_TEXT_LISTS(VGL_DPD_LABEL_COUNT_ONE);
#undef VGL_DPD_LABEL_COUNT_ONE
static_assert(DPDLabelTextListCount > 0, "the label module needs its text lists");

class TDMDPDLabelPrint : public TComponent {
    VGL_CLASS(TDMDPDLabelPrint, TComponent)

    /// Creates the module's components (each template freshly loaded from the program's copy,
    /// with EngineOptions.NewSilentMode simReThrow and DestroyForms off, so a preparation does not
    /// save and reload the template; the shortcut data set, the export components,
    /// the option pictures) and runs DataModuleCreate. Raises when a template cannot be loaded or
    /// lacks an object that creation reads.
    explicit TDMDPDLabelPrint(TComponent* owner = nullptr);
    ~TDMDPDLabelPrint() override;

    /// Creation handler: no printed stream; reads the geometry of frxGeoLabelFR and
    /// frxKombiLabel (raises EInvalidOperation naming an object a template lacks). The text
    /// lists and the Aztec builder are members, made with the module in their first state.
    void DataModuleCreate(TObject* sender);
    /// Destruction handler: frees StreamPrinted (set to none first).
    void DataModuleDestroy(TObject* sender);

    /// Resets the label data before a new label: Bic3BarcodeTxt empty, the Aztec builder cleared
    /// (TDPDAztec::Clear), every text list empty and every flag false. StreamPrinted and what
    /// the print road keeps (templates, geometry, shortcut fields) stay as they are.
    void Clear();

    /// Replaces the whole text of `list` by `value`: line breaks (CR LF, CR or LF) inside it give
    /// several lines, a final line break adds no empty line, an empty value empties the list.
    static void SetText(TStrings& list, StringView value);
    /// Appends `value` as one more line, also when it is empty.
    static void AddLine(TStrings& list, const String& value);

    /// Calls `f(name, list)` for every text list, in table order.
    void ForEachTextList(const std::function<void(const String& name, TWideStringList& list)>& f);
    /// Calls `f(name, flag)` for every label flag, in declaration order.
    void ForEachFlag(const std::function<void(const String& name, bool& flag)>& f);

    /// The parcel label on frxGeoLabel: the report page 152.6 mm high, every view visible, the
    /// views tagged "ROUTING" that an earlier routing print moved up put back, then PrintLabel.
    /// A failure raises Exception "TDMLabelPrint.PrintGeoLabel " followed by PrintLabel's
    /// message. True when the target succeeded.
    bool PrintGeoLabel(TPrintTo printTo);

    /// The limited-quantity label on frxLimitedQty: report name the first 14 characters of
    /// `trackingNumber` followed by "_LimitedQty", the tracking number split onto the template's
    /// three tracking-number memos (fonts unchanged), then the target. An empty tracking number
    /// prints three empty memos. A failure raises Exception "TDMLabelPrint.PrintLimitedQtyLabel "
    /// followed by the cause (also when a tracking-number memo is missing); StreamPrinted is then
    /// none.
    bool PrintLimitedQtyLabel(const String& trackingNumber, TPrintTo printTo);
    /// The SWAP, receipt and return labels on frxSWAP, frxReceipt and frxReturn: report name the
    /// text of txtParcelNumber without line breaks followed by "_SWAP", "_Receipt" or "_Return";
    /// every text list that names an object of the template gives it its lines (nothing is
    /// hidden); then the target. A failure raises Exception "TDMLabelPrint.PrintSWAPLabel " (or
    /// PrintReceiptLabel, PrintReturnLabel) followed by the cause; StreamPrinted is then none.
    bool PrintSWAPLabel(TPrintTo printTo);
    bool PrintReceiptLabel(TPrintTo printTo);
    bool PrintReturnLabel(TPrintTo printTo);

    // ---- Label flags, read by the print road -------------------------------------------------
#define VGL_DPD_LABEL_DECLARE_FLAG(Name) bool Name = false;
    VGL_DPD_LABEL_FLAGS(VGL_DPD_LABEL_DECLARE_FLAG)
#undef VGL_DPD_LABEL_DECLARE_FLAG

    /// The routing barcode content as 8-bit text in the system ANSI code page (1252): a BIC3
    /// code, a tracking number for collection-request pickups, or any text in offline mode.
    AnsiString Bic3BarcodeTxt;

    /// The builder of the carrier's Aztec content and symbol.
    TDPDAztec Aztec;

    // ---- Text lists (one line per printed line) ----------------------------------------------
#define VGL_DPD_LABEL_DECLARE_LIST(Name) TWideStringList Name;
    VGL_DPD_LABEL_TEXT_LISTS(VGL_DPD_LABEL_DECLARE_LIST)
#undef VGL_DPD_LABEL_DECLARE_LIST

    /// The output of the last export; none before the first export, after a print that failed
    /// and after a print to a printer. The caller copies it after each print.
    std::unique_ptr<TStream> StreamPrinted;

    // ---- Components (owned by the module), in creation order ----------------------------------
    TfrxReport* frxGeoLabelFR() const {
        return FfrxGeoLabelFR;
    }
    TfrxUserDataSet* frxDataSetShortCuts() const {
        return FfrxDataSetShortCuts;
    }
    TDataEmbedded* picMedical() const {
        return FpicMedical;
    }
    TDataEmbedded* picPickup() const {
        return FpicPickup;
    }
    TDataEmbedded* picPredict() const {
        return FpicPredict;
    }
    TfrxReport* frxGeoLabel() const {
        return FfrxGeoLabel;
    }
    TfrxPDFExport* PDFExport() const {
        return FPDFExport;
    }
    TfrxBMPExport* BMPExport() const {
        return FBMPExport;
    }
    TfrxJPEGExport* JPEGExport() const {
        return FJPEGExport;
    }
    TfrxTIFFExport* TIFFExport() const {
        return FTIFFExport;
    }
    TfrxGIFExport* GIFExport() const {
        return FGIFExport;
    }
    TfrxReport* frxLimitedQty() const {
        return Used(FfrxLimitedQty);
    }
    TfrxReport* frxSWAP() const {
        return Used(FfrxSWAP);
    }
    TfrxReport* frxReceipt() const {
        return Used(FfrxReceipt);
    }
    TfrxReport* frxReturn() const {
        return Used(FfrxReturn);
    }
    TfrxReport* frxKombiLabel() const {
        return FfrxKombiLabel;
    }

    /// Lowest font size of the service text and lowest zoom of the routing barcode that the
    /// fitting loops try before they give up with "... does not fit".
    static constexpr int MinServiceTextSize = 1;
    static constexpr long double MinBarcodeZoom = 0.01L;
    /// Widest routing barcode, in report pixels.
    static constexpr long double MaxBarcodeWidth = 356;

protected:
    /// The print road: fills `report` (one of the module's templates) from the module's fields,
    /// lays out the routing part and sends it to `printTo`. Raises Exception
    /// "TDMLabelPrint.PrintLabel " followed by the cause for every failure: bad barcode content,
    /// Aztec content that no symbol holds, a text or barcode that does not fit at the smallest
    /// size, a missing routing object, a preparation or export that fails (with the report's
    /// Errors) and the printer target ("printing is not supported"). After a failure
    /// StreamPrinted is none. True when the export succeeded; False for a value outside
    /// TPrintTo.
    bool PrintLabel(TfrxReport* report, TPrintTo printTo);

    /// The stream a print to PDF or an image writes into; a new memory stream.
    virtual std::unique_ptr<TStream> NewPrintStream();

private:
    /// Loads the template stored under `name` into a new report owned by the module.
    /// A template report named `name`; read from its document now, or on first use (`Used`)
    /// when `deferred`.
    TfrxReport* CreateTemplate(const String& name, bool deferred = false);
    /// Reads the stored template `name` into `report` and sets the options every template runs
    /// with.
    static void LoadTemplate(TfrxReport& report, const String& name);
    /// `report`, read from its document first when it was made deferred and not read yet.
    TfrxReport* Used(TfrxReport* report) const;
    /// The steps of PrintLabel, unwrapped.
    bool DoPrintLabel(TfrxReport& report, TPrintTo printTo);
    /// The target switch that every print operation ends with: prepares `report` and exports it
    /// to PDF or, at 300 dpi, to an image, into a new stream left in StreamPrinted. Raises for the
    /// printer, for a preparation or export that fails (with the report's Errors); False for a
    /// value outside TPrintTo.
    bool PrintToTarget(TfrxReport& report, TPrintTo printTo);
    /// The SWAP, receipt and return labels: name, simple fill, target.
    bool PrintFilledLabel(TfrxReport& report, const char16_t* suffix, TPrintTo printTo);

    TfrxReport* FfrxGeoLabelFR = nullptr;
    TfrxUserDataSet* FfrxDataSetShortCuts = nullptr;
    TDataEmbedded* FpicMedical = nullptr;
    TDataEmbedded* FpicPickup = nullptr;
    TDataEmbedded* FpicPredict = nullptr;
    TfrxReport* FfrxGeoLabel = nullptr;
    TfrxPDFExport* FPDFExport = nullptr;
    TfrxBMPExport* FBMPExport = nullptr;
    TfrxJPEGExport* FJPEGExport = nullptr;
    TfrxTIFFExport* FTIFFExport = nullptr;
    TfrxGIFExport* FGIFExport = nullptr;
    TfrxReport* FfrxLimitedQty = nullptr;
    TfrxReport* FfrxSWAP = nullptr;
    TfrxReport* FfrxReceipt = nullptr;
    TfrxReport* FfrxReturn = nullptr;
    TfrxReport* FfrxKombiLabel = nullptr;
    // The additional labels' templates are read when a print (or a caller) first uses them: a
    // request asks for few of them, and reading one costs about as much as freeing it again.
    // These are the ones not read yet, with their template names.
    mutable std::vector<std::pair<TfrxReport*, String>> FUnreadTemplates;

    // Geometry of the templates in report pixels, read at creation.
    long double txtRoutDestText_MaxWidth = 0;
    long double txtRoutDestText_MinLeft = 0;
    long double txtOptParcelRef1_Top_FR = 0;
    long double txtOptParcelRef2_Top_FR = 0;
    // While PrintShortCuts runs: lines "barcode=shortcut text" (not owned) and the current line.
    [[maybe_unused]] TStrings* ShortCutList = nullptr;
    [[maybe_unused]] int ShortCutListIndex = 0;
    // Geometry of frxKombiLabel, read at creation (for its print operation).
    long double KombiLeftPos = 0;
    long double KombiMaxWidth = 0;
    long double KombiAdrWidth = 0;
    long double KombiASGLeft = 0;
    long double KombiASGWidth = 0;

public:
    /// The geometry read at creation, for the tests of creation.
    struct TGeometry {
        long double txtRoutDestText_MaxWidth, txtRoutDestText_MinLeft, txtOptParcelRef1_Top_FR, txtOptParcelRef2_Top_FR,
            KombiLeftPos, KombiMaxWidth, KombiAdrWidth, KombiASGLeft, KombiASGWidth;
    };
    TGeometry Geometry() const {
        return {txtRoutDestText_MaxWidth,
                txtRoutDestText_MinLeft,
                txtOptParcelRef1_Top_FR,
                txtOptParcelRef2_Top_FR,
                KombiLeftPos,
                KombiMaxWidth,
                KombiAdrWidth,
                KombiASGLeft,
                KombiASGWidth};
    }
};

} // namespace vgl
