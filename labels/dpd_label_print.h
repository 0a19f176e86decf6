#pragma once
// TDMDPDLabelPrint: the label data module. One module serves one service call: the caller clears
// it, fills the parcel data of one label (flags, routing barcode text, text lists, the Aztec
// builder) and prints; the module is freed with the call. Nothing of a module is shared.
//
// This file holds the module's state and the operations on it. The print road (the label
// templates, the export components and the Print* operations) joins the class where marked
// below, together with the geometry that creation reads from the templates.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "codes/dpd_aztec.h"
#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

namespace vgl {

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

    /// Creates the module and runs DataModuleCreate: an empty text list per table entry, the
    /// Aztec builder in its cleared state, every flag false, no printed stream.
    explicit TDMDPDLabelPrint(TComponent* owner = nullptr);
    ~TDMDPDLabelPrint() override;

    /// Creation handler: sets StreamPrinted to none. (The print road adds here the geometry read
    /// from the templates.)
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

    /// The output of the last export; none before the first export and after a print to a
    /// printer. The caller copies it after each print.
    std::unique_ptr<TStream> StreamPrinted;

    // ---- Print road ---------------------------------------------------------------------------
    // The templates (frxGeoLabel, frxLimitedQty, frxSWAP, frxReceipt, frxReturn, frxGeoLabelFR,
    // frxKombiLabel, ...), the PDF and image export components and the Print* operations
    // (PrintLabel, PrintGeoLabel, ...) belong here; they need the report classes.

private:
    // Read and used by the print road only; kept here so that the module's state is complete.
    // Geometry of the templates in report pixels, read at creation.
    [[maybe_unused]] long double txtRoutDestText_MaxWidth = 0;
    [[maybe_unused]] long double txtRoutDestText_MinLeft = 0;
    [[maybe_unused]] long double txtOptParcelRef1_Top_FR = 0;
    [[maybe_unused]] long double txtOptParcelRef2_Top_FR = 0;
    // While PrintShortCuts runs: lines "barcode=shortcut text" (not owned) and the current line.
    [[maybe_unused]] TStrings* ShortCutList = nullptr;
    [[maybe_unused]] int ShortCutListIndex = 0;
    // Geometry of frxKombiLabel, read at creation.
    [[maybe_unused]] long double KombiLeftPos = 0;
    [[maybe_unused]] long double KombiMaxWidth = 0;
    [[maybe_unused]] long double KombiAdrWidth = 0;
    [[maybe_unused]] long double KombiASGLeft = 0;
    [[maybe_unused]] long double KombiASGWidth = 0;
};

} // namespace vgl
