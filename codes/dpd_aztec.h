#pragma once
// The carrier's Aztec content: an ISO/IEC 15434 message with the ISO block (format "01"), the STD
// block (format "07") and up to eight optional format-"07" blocks S01-S08, fitted into 1000
// characters by dropping low-priority fields, and its symbol drawn into a 600 x 600 picture.
//
// Building (AsString read) never checks values. Parsing (SetAsString), the field rules
// (CheckValues) and the block rules (Validations) are in codes/aztec_content_parser.cpp.

#include <array>
#include <memory>
#include <string_view>

#include "codes/aztec_fields.h"
#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TImage;
class TBarcode2D_AztecCode;

/// The content text: bytes in ISO-8859-1 (code page 28591).
using Latin1String = AnsiString;

// Every field of the content in declaration order (which is content order), with its access:
// RW a property that may replace the field object, RO a read-only property, NONE no property,
// ART an article field reached through S03_Articles.
#define VGL_DPD_AZTEC_ARTICLE_FIELDS(X, i)                                                                             \
    X(S03_Art_Desc##i, ART)                                                                                            \
    X(S03_Art_Qty##i, ART)                                                                                             \
    X(S03_Art_Weigth##i, ART)                                                                                          \
    X(S03_Art_Value##i, ART)                                                                                           \
    X(S03_Art_ComCode##i, ART)                                                                                         \
    X(S03_Art_OriginCountry##i, ART)

#define VGL_DPD_AZTEC_FIELDS(X)                                                                                        \
    X(ISO_Header, RO)                                                                                                  \
    X(ISO_Version, RO)                                                                                                 \
    X(ISO_DestZipCode, RW)                                                                                             \
    X(ISO_DestCountryCode, RW)                                                                                         \
    X(ISO_SOCode, RW)                                                                                                  \
    X(ISO_ParcelNumber, RW)                                                                                            \
    X(ISO_SCAC, RW)                                                                                                    \
    X(ISO_CustAccNumber, RW)                                                                                           \
    X(ISO_JDPickup, RW)                                                                                                \
    X(ISO_ConsCustRef1, RW)                                                                                            \
    X(ISO_RangInNumber, RW)                                                                                            \
    X(ISO_DeclaredWeight, RW)                                                                                          \
    X(ISO_CrossMatch, RW)                                                                                              \
    X(ISO_RecStreet, RW)                                                                                               \
    X(ISO_RecTown, RW)                                                                                                 \
    X(ISO_RecState, RW)                                                                                                \
    X(ISO_RecCompName1, RW)                                                                                            \
    X(STD_Header2, RO)                                                                                                 \
    X(STD_FormatID, RO)                                                                                                \
    X(STD_BarcodeOF, NONE)                                                                                             \
    X(STD_NoHandWoutData, RW)                                                                                          \
    X(STD_RoutingNec, RW)                                                                                              \
    X(STD_RecComment, RW)                                                                                              \
    X(STD_RecCompName2, RW)                                                                                            \
    X(STD_RecContact, RW)                                                                                              \
    X(STD_RecContactPho1, RW)                                                                                          \
    X(STD_RecContactPho2, RW)                                                                                          \
    X(STD_RecNotifMob, RW)                                                                                             \
    X(STD_RecNotifEMail, RW)                                                                                           \
    X(STD_RecPropNum, RW)                                                                                              \
    X(STD_RecAdd2, RW)                                                                                                 \
    X(STD_RecAdd3, RW)                                                                                                 \
    X(STD_NotifType, RW)                                                                                               \
    X(STD_TotalWeight, RW)                                                                                             \
    X(STD_NotifSenderComp, RW)                                                                                         \
    X(STD_NotifSenderContact, RW)                                                                                      \
    X(STD_SendParcelRef, RW)                                                                                           \
    X(STD_RecParcelRef, RW)                                                                                            \
    X(STD_ConsType, RW)                                                                                                \
    X(STD_ContDescr, RW)                                                                                               \
    X(STD_ConsCustRef2, RW)                                                                                            \
    X(STD_LimitedQtyHaz, RW)                                                                                           \
    X(STD_ASCode, RW)                                                                                                  \
    X(S01_Header, RO)                                                                                                  \
    X(S01_FormatID, RW)                                                                                                \
    X(S01_SendCompName, RW)                                                                                            \
    X(S01_SendPhone, RW)                                                                                               \
    X(S01_Contact, RW)                                                                                                 \
    X(S01_SendPropNum, RW)                                                                                             \
    X(S01_SendStreet, RW)                                                                                              \
    X(S01_SendAddr2, RW)                                                                                               \
    X(S01_SendTown, RW)                                                                                                \
    X(S01_SendZipCode, RW)                                                                                             \
    X(S01_SendCountryCode, RW)                                                                                         \
    X(S02_Header, RO)                                                                                                  \
    X(S02_FormatID, RW)                                                                                                \
    X(S02_Curr, RW)                                                                                                    \
    X(S02_Amount, RW)                                                                                                  \
    X(S02_CollectType, RW)                                                                                             \
    X(S03_Header, RO)                                                                                                  \
    X(S03_FormatID, RW)                                                                                                \
    X(S03_CompInformation, NONE)                                                                                       \
    X(S03_RecVAT, RW)                                                                                                  \
    X(S03_SendVAT, RW)                                                                                                 \
    X(S03_ComBillRecName, RW)                                                                                          \
    X(S03_ComBillRecPropNum, RW)                                                                                       \
    X(S03_ComBillRecStreet, RW)                                                                                        \
    X(S03_ComBillRecCity, RW)                                                                                          \
    X(S03_ComBillRecCountryCode, RW)                                                                                   \
    X(S03_ComBillRecZipCode, RW)                                                                                       \
    X(S03_ComBillRecContact, RW)                                                                                       \
    X(S03_ComBillRecPhone, RW)                                                                                         \
    X(S03_TotalValue, RW)                                                                                              \
    X(S03_Currency, RW)                                                                                                \
    X(S03_Incoterm, RW)                                                                                                \
    X(S03_DestCountryReg, RW)                                                                                          \
    X(S03_ArticleNumber, RW)                                                                                           \
    VGL_DPD_AZTEC_ARTICLE_FIELDS(X, 0)                                                                                 \
    VGL_DPD_AZTEC_ARTICLE_FIELDS(X, 1)                                                                                 \
    VGL_DPD_AZTEC_ARTICLE_FIELDS(X, 2)                                                                                 \
    VGL_DPD_AZTEC_ARTICLE_FIELDS(X, 3)                                                                                 \
    VGL_DPD_AZTEC_ARTICLE_FIELDS(X, 4)                                                                                 \
    X(S04_Header, RO)                                                                                                  \
    X(S04_FormatID, RW)                                                                                                \
    X(S04_RecComment, RW)                                                                                              \
    X(S04_RecCompName2, RW)                                                                                            \
    X(S04_RecContact, RW)                                                                                              \
    X(S04_RecContactPho1, RW)                                                                                          \
    X(S04_RecContactPho2, RW)                                                                                          \
    X(S04_RecNotifMob, RW)                                                                                             \
    X(S04_RecNotifEMail, RW)                                                                                           \
    X(S04_RecPropNum, RW)                                                                                              \
    X(S04_RecAdd2, RW)                                                                                                 \
    X(S04_RecAdd3, RW)                                                                                                 \
    X(S04_NotifType, RW)                                                                                               \
    X(S04_SOCode, RW)                                                                                                  \
    X(S04_ASCode, RW)                                                                                                  \
    X(S05_Header, RO)                                                                                                  \
    X(S05_FormatID, RW)                                                                                                \
    X(S05_Paid, RW)                                                                                                    \
    X(S05_Size, RW)                                                                                                    \
    X(S06_Header, RO)                                                                                                  \
    X(S06_FormatID, RW)                                                                                                \
    X(S06_GoodsType, RW)                                                                                               \
    X(S06_FeaturesCode, RW)                                                                                            \
    X(S06_ExpirationDate, RW)                                                                                          \
    X(S07_Header, RO)                                                                                                  \
    X(S07_FormatID, RW)                                                                                                \
    X(S07_DeliveryDateFrom, RW)                                                                                        \
    X(S07_DeliveryDateTo, RW)                                                                                          \
    X(S07_DeliveryTimeFrom, RW)                                                                                        \
    X(S07_DeliveryTimeTo, RW)                                                                                          \
    X(S08_Header, RO)                                                                                                  \
    X(S08_FormatID, RW)                                                                                                \
    X(S08_Latitude, RW)                                                                                                \
    X(S08_Longitude, RW)                                                                                               \
    X(S08_Quality, RW)                                                                                                 \
    X(S08_DataOrigin, RW)

/// The fields of the content, in declaration order.
enum TDPDAztecFieldId : int {
#define VGL_DPD_AZTEC_ID(Name, Access) fi##Name,
    VGL_DPD_AZTEC_FIELDS(VGL_DPD_AZTEC_ID)
#undef VGL_DPD_AZTEC_ID
        fiCount
};

/// Number of optional blocks (S01-S08) and of article records in block S03.
inline constexpr int DPDAztecBlockCount = 8;
inline constexpr int DPDAztecArticleCount = 5;

/// The parcel flags that drive the block rules: each "0", "1" or a blank (not set).
class TDPDParcelInfo : public TObject {
public:
    TDPDParcelInfo() { Clear(); }
    String ClassName() const override { return u"TDPDParcelInfo"; }

    /// Sets all five flags to a blank.
    void Clear();
    /// Raises Exception 64731 naming the first flag (declaration order) that is neither "0" nor "1".
    void CheckAllValuesSet() const;

    Char IsSenderInEU() const { return FIsSenderInEU; }
    void SetIsSenderInEU(Char value) { FIsSenderInEU = value; }
    Char IsReceiverInEU() const { return FIsReceiverInEU; }
    void SetIsReceiverInEU(Char value) { FIsReceiverInEU = value; }
    Char IsPredict() const { return FIsPredict; }
    void SetIsPredict(Char value) { FIsPredict = value; }
    Char IsCOD() const { return FIsCOD; }
    void SetIsCOD(Char value) { FIsCOD = value; }
    Char IsCustom() const { return FIsCustom; }
    void SetIsCustom(Char value) { FIsCustom = value; }

private:
    Char FIsSenderInEU = u' ';
    Char FIsReceiverInEU = u' ';
    Char FIsPredict = u' ';
    Char FIsCOD = u' ';
    Char FIsCustom = u' ';
};

/// One article of the customs block S03 (references to fields that TDPDAztec owns).
struct TDPDAztecArticleRec {
    TDPDAztecField* Art_Desc = nullptr;
    TDPDAztecField* Art_Qty = nullptr;
    TDPDAztecField* Art_Weigth = nullptr;
    TDPDAztecField* Art_Value = nullptr;
    TDPDAztecField* Art_ComCode = nullptr;
    TDPDAztecField* Art_OriginCountry = nullptr;
};

#define VGL_DPD_AZTEC_ACCESS_RW(Name)                                                                                  \
    TDPDAztecField* Name() const {                                                                                     \
        return Field(fi##Name);                                                                                        \
    }                                                                                                                  \
    void Set##Name(std::unique_ptr<TDPDAztecField> value) {                                                            \
        SetField(fi##Name, std::move(value));                                                                          \
    }
#define VGL_DPD_AZTEC_ACCESS_RO(Name)                                                                                  \
    TDPDAztecField* Name() const {                                                                                     \
        return Field(fi##Name);                                                                                        \
    }
#define VGL_DPD_AZTEC_ACCESS_NONE(Name)
#define VGL_DPD_AZTEC_ACCESS_ART(Name)
#define VGL_DPD_AZTEC_ACCESS(Name, Access) VGL_DPD_AZTEC_ACCESS_##Access(Name)

class TDPDAztec : public TObject {
public:
    /// The ISO and STD fields with their defaults, all optional blocks off, a 600 x 600 picture.
    TDPDAztec();
    ~TDPDAztec() override;
    TDPDAztec(const TDPDAztec&) = delete;
    TDPDAztec& operator=(const TDPDAztec&) = delete;
    String ClassName() const override { return u"TDPDAztec"; }

    /// Back to the state after construction: parcel 1 of 1, all blocks off, every field at its
    /// default, parcel flags blank.
    void Clear();

    /// The content text, fitted into MaxChars characters (see the builder in dpd_aztec.cpp).
    /// Writes STD_BarcodeOF and, with block S03 on, S03_CompInformation. Characters above
    /// U+00FF become "?".
    Latin1String AsString();
    /// Parses a content text back into the fields (after Clear). Raises Exception for a
    /// malformed envelope, header, version, ISO or STD block; an optional block with a missing
    /// item is switched off again and parsing goes on.
    void SetAsString(std::string_view value);

    /// The symbol of AsString, drawn with every byte taken literally (no escape sequences) into
    /// the 600 x 600 picture. Raises Exception when the content cannot be encoded, so that no
    /// label is produced without its code.
    TImage& AsImage();

    /// Tests and normalises every field (the generic checks and the field rules), the parcel
    /// flags in their declaration place; the first failure raises.
    void CheckValues();
    /// The block rules that depend on the parcel flags; the first violated rule raises.
    void Validations();

    const String& GeoLabelVersion() const { return FGeoLabelVersion; }
    void SetGeoLabelVersion(const String& value) { FGeoLabelVersion = value; }
    int MaxChars() const { return FMaxChars; }
    /// Raises EArgumentOutOfRangeException for a negative value.
    void SetMaxChars(int value);
    TDPDParcelInfo& ParcelInfo() { return *FParcelInfo; }
    const TDPDParcelInfo& ParcelInfo() const { return *FParcelInfo; }
    /// Set by the rule of ISO_RangInNumber: this parcel's number and the parcel count.
    int MPSParcelNumber() const { return FMPSParcelNumber; }
    int MPSParcelCount() const { return FMPSParcelCount; }

    /// Switches optional block `block` (1-8) on (creating its fields with their defaults) or off
    /// (releasing them); an unchanged value does nothing.
    bool IsDefined(int block) const;
    void SetIsDefined(int block, bool value);
    bool S01_IsDefined() const { return IsDefined(1); }
    void SetS01_IsDefined(bool value) { SetIsDefined(1, value); }
    bool S02_IsDefined() const { return IsDefined(2); }
    void SetS02_IsDefined(bool value) { SetIsDefined(2, value); }
    bool S03_IsDefined() const { return IsDefined(3); }
    void SetS03_IsDefined(bool value) { SetIsDefined(3, value); }
    bool S04_IsDefined() const { return IsDefined(4); }
    void SetS04_IsDefined(bool value) { SetIsDefined(4, value); }
    bool S05_IsDefined() const { return IsDefined(5); }
    void SetS05_IsDefined(bool value) { SetIsDefined(5, value); }
    bool S06_IsDefined() const { return IsDefined(6); }
    void SetS06_IsDefined(bool value) { SetIsDefined(6, value); }
    bool S07_IsDefined() const { return IsDefined(7); }
    void SetS07_IsDefined(bool value) { SetIsDefined(7, value); }
    bool S08_IsDefined() const { return IsDefined(8); }
    void SetS08_IsDefined(bool value) { SetIsDefined(8, value); }

    /// The field object, or none while its block is off.
    TDPDAztecField* Field(TDPDAztecFieldId id) const;
    /// Replaces a field object (the old one is freed). Raises EArgumentException for a field
    /// without a writable property, for no object, and for a field of a block that is off.
    void SetField(TDPDAztecFieldId id, std::unique_ptr<TDPDAztecField> value);

    /// The references of article `index` (0-4); all none while block S03 is off. Raises
    /// EArgumentOutOfRangeException for another index.
    TDPDAztecArticleRec S03_Articles(int index) const;

    VGL_DPD_AZTEC_FIELDS(VGL_DPD_AZTEC_ACCESS)

private:
    // Builder (dpd_aztec.cpp).
    String Build(int level, bool reduce);
    String Compound(TDPDAztecFieldId first, int count, int limit, bool reduce) const;
    void CreateField(TDPDAztecFieldId id);
    void ReleaseBlock(int block);
    // Field rules (aztec_content_parser.cpp): the rule of a field, none for a field without one.
    TDPDAztecFieldCheckEvent FieldRule(TDPDAztecFieldId id);
    const String& Value(TDPDAztecFieldId id) const;
    /// The first field of optional block `block` (1-8); BlockStart(9) ends block 8.
    static int BlockStart(int block);

    std::unique_ptr<TImage> FAztecImage;
    std::unique_ptr<TBarcode2D_AztecCode> FAztecCode;
    String FGeoLabelVersion = u"Ref: 2017 0123 Geolabel V4.3";
    int FMaxChars = 1000;
    int FMPSParcelNumber = 1;
    int FMPSParcelCount = 1;
    std::unique_ptr<TDPDParcelInfo> FParcelInfo;
    std::array<std::unique_ptr<TDPDAztecField>, fiCount> FFields;
    std::array<bool, DPDAztecBlockCount + 1> FIsDefined{}; // index 1-8
    bool FImageFailed = false;
};

#undef VGL_DPD_AZTEC_ACCESS
#undef VGL_DPD_AZTEC_ACCESS_RW
#undef VGL_DPD_AZTEC_ACCESS_RO
#undef VGL_DPD_AZTEC_ACCESS_NONE
#undef VGL_DPD_AZTEC_ACCESS_ART

} // namespace vgl
