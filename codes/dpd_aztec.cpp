#include "codes/dpd_aztec.h"

#include "codes/aztec_barcode.h"
#include "codes/aztec_messages.h"
#include "codes/typed_barcode.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr Char RS = 0x1E;
constexpr Char GS = 0x1D;
constexpr Char US = 0x1F;
constexpr Char EOT = 0x04;

constexpr int kTopLevel = 10;
constexpr int kImageSide = 600;

// Compound limits in characters.
constexpr int kReceiverLimit = 150;
constexpr int kSenderLimit = 140;
constexpr int kArticleLimit = 45;
constexpr int kReceiverMembers = fiSTD_RecAdd3 - fiSTD_RecComment + 1;
constexpr int kSenderMembers = fiS01_SendCountryCode - fiS01_SendCompName + 1;
constexpr int kArticleMembers = fiS03_Art_Desc1 - fiS03_Art_Desc0;
static_assert(kReceiverMembers == 10 && kSenderMembers == 9 && kArticleMembers == 6);

constexpr const char16_t* kFieldNames[] = {
#define VGL_DPD_AZTEC_NAME(Name, Access) u"" #Name,
    VGL_DPD_AZTEC_FIELDS(VGL_DPD_AZTEC_NAME)
#undef VGL_DPD_AZTEC_NAME
};

#define VGL_DPD_AZTEC_WRITABLE_RW true
#define VGL_DPD_AZTEC_WRITABLE_ART true
#define VGL_DPD_AZTEC_WRITABLE_RO false
#define VGL_DPD_AZTEC_WRITABLE_NONE false
constexpr bool kWritable[] = {
#define VGL_DPD_AZTEC_WRITABLE(Name, Access) VGL_DPD_AZTEC_WRITABLE_##Access,
    VGL_DPD_AZTEC_FIELDS(VGL_DPD_AZTEC_WRITABLE)
#undef VGL_DPD_AZTEC_WRITABLE
};

// First field of each optional block 1-8; index 9 ends block 8.
constexpr TDPDAztecFieldId kBlockStart[] = {fiISO_Header, fiS01_Header, fiS02_Header, fiS03_Header, fiS04_Header,
                                            fiS05_Header, fiS06_Header, fiS07_Header, fiS08_Header, fiCount};

int BlockOf(int id) {
    for (int block = DPDAztecBlockCount; block >= 1; --block)
        if (id >= kBlockStart[block])
            return block;
    return 0;
}

struct FieldSpec {
    int MaxChars = 0;
    const char16_t* Priority = u"";
    const char16_t* Default = u"";
    TDPDAztecFieldOptions Options;
};

constexpr TDPDAztecFieldOptions kNone{};
constexpr TDPDAztecFieldOptions kNumFill{dpdafoNumbersOnly, dpdafoFillWithZero};
constexpr TDPDAztecFieldOptions kNum{dpdafoNumbersOnly};
constexpr TDPDAztecFieldOptions kTrim{dpdafoTrimAllSpaces};
constexpr TDPDAztecFieldOptions kBool{dpdafoBoolean};
constexpr TDPDAztecFieldOptions kPhone{dpdafoPhoneNumber};
constexpr TDPDAztecFieldOptions kDecimal{dpdafoDecimalValue};
constexpr TDPDAztecFieldOptions kDate{dpdafoDMYDate};
constexpr TDPDAztecFieldOptions kTime{dpdafoTime};

struct FieldRow {
    TDPDAztecFieldId Id;
    FieldSpec Spec;
};

// Every field except the block headers, the format ids and the articles, which follow a pattern.
constexpr FieldRow kFieldRows[] = {
    {fiISO_Header, {2, u"1", u"01", kNumFill}},
    {fiISO_Version, {2, u"1", u"02", kNumFill}},
    {fiISO_DestZipCode, {9, u"1", u"", kTrim}},
    {fiISO_DestCountryCode, {3, u"1", u"", kNumFill}},
    {fiISO_SOCode, {3, u"1", u"", kTrim}},
    {fiISO_ParcelNumber, {14, u"1", u"", kTrim}},
    {fiISO_SCAC, {4, u"1", u"", kNone}},
    {fiISO_CustAccNumber, {17, u"10", u"", kNone}},
    {fiISO_JDPickup, {3, u"1", u"", kNumFill}},
    {fiISO_ConsCustRef1, {35, u"5", u"", kNone}},
    {fiISO_RangInNumber, {7, u"1", u"001/001", kNone}},
    {fiISO_DeclaredWeight, {7, u"1", u"", kNone}},
    {fiISO_CrossMatch, {1, u"1", u"N", kNone}},
    {fiISO_RecStreet, {35, u"1", u"", kNone}},
    {fiISO_RecTown, {35, u"1", u"", kNone}},
    {fiISO_RecState, {2, u"X", u"", kNone}},
    {fiISO_RecCompName1, {35, u"X", u"", kNone}},
    {fiSTD_Header2, {2, u"1", u"07", kNumFill}},
    {fiSTD_FormatID, {3, u"1", u"G03", kNone}},
    {fiSTD_BarcodeOF, {1, u"1", u"", kBool}},
    {fiSTD_NoHandWoutData, {1, u"2", u"", kBool}},
    {fiSTD_RoutingNec, {1, u"1", u"", kBool}},
    {fiSTD_RecComment, {70, u"5", u"", kNone}},
    {fiSTD_RecCompName2, {35, u"10", u"", kNone}},
    {fiSTD_RecContact, {35, u"X", u"", kNone}},
    {fiSTD_RecContactPho1, {25, u"X", u"", kPhone}},
    {fiSTD_RecContactPho2, {25, u"10", u"", kPhone}},
    {fiSTD_RecNotifMob, {25, u"X", u"", kPhone}},
    {fiSTD_RecNotifEMail, {50, u"X", u"", kNone}},
    {fiSTD_RecPropNum, {8, u"2", u"", kNone}},
    {fiSTD_RecAdd2, {35, u"2", u"", kNone}},
    {fiSTD_RecAdd3, {35, u"2", u"", kNone}},
    {fiSTD_NotifType, {1, u"X", u"", kNone}},
    {fiSTD_TotalWeight, {8, u"X", u"", kNone}},
    {fiSTD_NotifSenderComp, {35, u"X", u"", kNone}},
    {fiSTD_NotifSenderContact, {35, u"X", u"", kNone}},
    {fiSTD_SendParcelRef, {35, u"5", u"", kNone}},
    {fiSTD_RecParcelRef, {35, u"5", u"", kNone}},
    {fiSTD_ConsType, {1, u"X", u"", kNone}},
    {fiSTD_ContDescr, {50, u"X", u"", kNone}},
    {fiSTD_ConsCustRef2, {35, u"5", u"", kNone}},
    {fiSTD_LimitedQtyHaz, {1, u"X", u"0", kBool}},
    {fiSTD_ASCode, {6, u"X", u"", kNone}},
    {fiS01_SendCompName, {35, u"X", u"", kNone}},
    {fiS01_SendPhone, {25, u"2", u"", kPhone}},
    {fiS01_Contact, {35, u"X", u"", kNone}},
    {fiS01_SendPropNum, {8, u"2", u"", kNone}},
    {fiS01_SendStreet, {35, u"1", u"", kNone}},
    {fiS01_SendAddr2, {35, u"2", u"", kNone}},
    {fiS01_SendTown, {35, u"1", u"", kNone}},
    {fiS01_SendZipCode, {9, u"2", u"", kTrim}},
    {fiS01_SendCountryCode, {3, u"1", u"", kNumFill}},
    {fiS02_Curr, {3, u"1", u"", kNone}},
    {fiS02_Amount, {10, u"1", u"", kDecimal}},
    {fiS02_CollectType, {1, u"1", u"", kNum}},
    {fiS03_CompInformation, {1, u"1", u"", kBool}},
    {fiS03_RecVAT, {20, u"X", u"", kNone}},
    {fiS03_SendVAT, {20, u"X", u"", kNone}},
    {fiS03_ComBillRecName, {35, u"X", u"", kNone}},
    {fiS03_ComBillRecPropNum, {8, u"X", u"", kNone}},
    {fiS03_ComBillRecStreet, {35, u"X", u"", kNone}},
    {fiS03_ComBillRecCity, {25, u"X", u"", kNone}},
    {fiS03_ComBillRecCountryCode, {3, u"X", u"", kNumFill}},
    {fiS03_ComBillRecZipCode, {9, u"X", u"", kTrim}},
    {fiS03_ComBillRecContact, {35, u"10", u"", kNone}},
    {fiS03_ComBillRecPhone, {25, u"10", u"", kPhone}},
    {fiS03_TotalValue, {12, u"1", u"", kDecimal}},
    {fiS03_Currency, {3, u"1", u"", kNone}},
    {fiS03_Incoterm, {3, u"1", u"", kNone}},
    {fiS03_DestCountryReg, {15, u"2", u"", kNone}},
    {fiS03_ArticleNumber, {3, u"1", u"", kNum}},
    {fiS04_RecComment, {70, u"5", u"", kNone}},
    {fiS04_RecCompName2, {35, u"10", u"", kNone}},
    {fiS04_RecContact, {35, u"X", u"", kNone}},
    {fiS04_RecContactPho1, {25, u"X", u"", kPhone}},
    {fiS04_RecContactPho2, {25, u"10", u"", kPhone}},
    {fiS04_RecNotifMob, {25, u"X", u"", kPhone}},
    {fiS04_RecNotifEMail, {50, u"X", u"", kNone}},
    {fiS04_RecPropNum, {8, u"2", u"", kNone}},
    {fiS04_RecAdd2, {35, u"2", u"", kNone}},
    {fiS04_RecAdd3, {35, u"2", u"", kNone}},
    {fiS04_NotifType, {1, u"X", u"", kNone}},
    {fiS04_SOCode, {3, u"1", u"", kNone}},
    {fiS04_ASCode, {6, u"X", u"", kNone}},
    {fiS05_Paid, {1, u"1", u"", kNone}},
    {fiS05_Size, {2, u"C", u"", kNone}},
    {fiS06_GoodsType, {3, u"1", u"", kNum}},
    {fiS06_FeaturesCode, {3, u"1", u"", kNum}},
    {fiS06_ExpirationDate, {8, u"1", u"", kDate}},
    {fiS07_DeliveryDateFrom, {8, u"X", u"", kDate}},
    {fiS07_DeliveryDateTo, {8, u"X", u"", kDate}},
    {fiS07_DeliveryTimeFrom, {5, u"X", u"", kTime}},
    {fiS07_DeliveryTimeTo, {5, u"X", u"", kTime}},
    {fiS08_Latitude, {10, u"1", u"", kDecimal}},
    {fiS08_Longitude, {10, u"1", u"", kDecimal}},
    {fiS08_Quality, {1, u"1", u"", kNum}},
    {fiS08_DataOrigin, {1, u"X", u"", kNone}},
};

// The members of an article compound, in order.
constexpr FieldSpec kArticleSpecs[kArticleMembers] = {
    {35, u"2", u"", kNone},    {2, u"2", u"", kNum},   {4, u"2", u"", kNum},
    {12, u"2", u"", kDecimal}, {10, u"2", u"", kNone}, {3, u"2", u"", kNumFill},
};

// The settings of every field, indexed by id.
const std::array<FieldSpec, fiCount>& FieldSpecs() {
    static const std::array<FieldSpec, fiCount> specs = [] {
        std::array<FieldSpec, fiCount> result{};
        for (const FieldRow& row : kFieldRows)
            result[row.Id] = row.Spec;
        for (int block = 1; block <= DPDAztecBlockCount; ++block) {
            result[kBlockStart[block]] = {2, u"1", u"07", kNumFill};
            result[kBlockStart[block] + 1] = {block <= 3 ? 4 : 6, u"1", u"", kNone};
        }
        for (int id = fiS03_Art_Desc0; id <= fiS03_Art_OriginCountry4; ++id)
            result[id] = kArticleSpecs[(id - fiS03_Art_Desc0) % kArticleMembers];
        return result;
    }();
    return specs;
}

void CheckBlock(int block) {
    if (block < 1 || block > DPDAztecBlockCount)
        throw EArgumentOutOfRangeException(u"No optional Aztec block " + IntToStr(block));
}

} // namespace

// ---- TDPDParcelInfo --------------------------------------------------------------------------

void TDPDParcelInfo::Clear() {
    FIsSenderInEU = FIsReceiverInEU = FIsPredict = FIsCOD = FIsCustom = u' ';
}

void TDPDParcelInfo::CheckAllValuesSet() const {
    const std::pair<const char16_t*, Char> flags[] = {{u"IsSenderInEU", FIsSenderInEU},
                                                      {u"IsReceiverInEU", FIsReceiverInEU},
                                                      {u"IsPredict", FIsPredict},
                                                      {u"IsCOD", FIsCOD},
                                                      {u"IsCustom", FIsCustom}};
    for (const auto& [name, value] : flags)
        if (value != u'0' && value != u'1')
            throw Exception(AztecMessage(SAztecValueHasToBe, {name, AztecChoiceList({u"0", u"1"})}));
}

// ---- TDPDAztec: objects and fields -----------------------------------------------------------

TDPDAztec::TDPDAztec() {
    FAztecCode = std::make_unique<TBarcode2D_AztecCode>(nullptr);
    // Escapes stay off: the symbol always carries the content text byte for byte, whatever
    // backslashes the field values hold.
    FAztecCode->SetAllowEscape(false);
    FAztecCode->SetStretch(true);
    FAztecCode->OnInvalidLength = [this](TObject*, const String&, bool) { FImageFailed = true; };
    FAztecCode->OnInvalidChar = [this](TObject*, int, Char, bool) { FImageFailed = true; };
    FParcelInfo = std::make_unique<TDPDParcelInfo>();
    for (int id = fiISO_Header; id < kBlockStart[1]; ++id)
        CreateField(static_cast<TDPDAztecFieldId>(id));
}

// The component is destroyed before the picture it draws into (declaration order).
TDPDAztec::~TDPDAztec() = default;

void TDPDAztec::CreateField(TDPDAztecFieldId id) {
    const FieldSpec& spec = FieldSpecs()[id];
    FFields[id] = std::make_unique<TDPDAztecField>(kFieldNames[id], spec.MaxChars, spec.Priority, spec.Default,
                                                   spec.Options, FieldRule(id));
}

void TDPDAztec::ReleaseBlock(int block) {
    for (int id = kBlockStart[block]; id < kBlockStart[block + 1]; ++id)
        FFields[id].reset();
}

TDPDAztecField* TDPDAztec::Field(TDPDAztecFieldId id) const {
    if (id < 0 || id >= fiCount)
        throw EArgumentOutOfRangeException(u"No Aztec field with the id " + IntToStr(id));
    return FFields[id].get();
}

void TDPDAztec::SetField(TDPDAztecFieldId id, std::unique_ptr<TDPDAztecField> value) {
    Field(id); // range check
    if (!kWritable[id])
        throw EArgumentException(String(kFieldNames[id]) + u" cannot be replaced");
    if (!value)
        throw EArgumentException(String(kFieldNames[id]) + u" needs a field object");
    const int block = BlockOf(id);
    if (block != 0 && !FIsDefined[block])
        throw EArgumentException(String(kFieldNames[id]) + u" belongs to block S0" + IntToStr(block) +
                                 u", which is not defined");
    FFields[id] = std::move(value);
}

int TDPDAztec::BlockStart(int block) {
    return kBlockStart[block];
}

const String& TDPDAztec::Value(TDPDAztecFieldId id) const {
    static const String empty;
    return FFields[id] ? FFields[id]->FieldValue() : empty;
}

TDPDAztecArticleRec TDPDAztec::S03_Articles(int index) const {
    if (index < 0 || index >= DPDAztecArticleCount)
        throw EArgumentOutOfRangeException(u"No Aztec article " + IntToStr(index));
    const int first = fiS03_Art_Desc0 + index * kArticleMembers;
    return {FFields[first].get(),     FFields[first + 1].get(), FFields[first + 2].get(),
            FFields[first + 3].get(), FFields[first + 4].get(), FFields[first + 5].get()};
}

void TDPDAztec::SetMaxChars(int value) {
    if (value < 0)
        throw EArgumentOutOfRangeException(u"MaxChars must not be negative");
    FMaxChars = value;
}

bool TDPDAztec::IsDefined(int block) const {
    CheckBlock(block);
    return FIsDefined[block];
}

void TDPDAztec::SetIsDefined(int block, bool value) {
    CheckBlock(block);
    if (FIsDefined[block] == value)
        return;
    if (value) {
        for (int id = kBlockStart[block]; id < kBlockStart[block + 1]; ++id)
            CreateField(static_cast<TDPDAztecFieldId>(id));
    } else {
        ReleaseBlock(block);
    }
    FIsDefined[block] = value;
}

void TDPDAztec::Clear() {
    FMPSParcelNumber = 1;
    FMPSParcelCount = 1;
    for (int block = 1; block <= DPDAztecBlockCount; ++block)
        SetIsDefined(block, false);
    FParcelInfo->Clear();
    for (auto& field : FFields)
        if (field)
            field->SetFieldValue(field->DefaultValue());
}

// ---- Builder ---------------------------------------------------------------------------------

// A compound runs its own level from 10 down: with `reduce` it drops members until the joined
// text fits `limit` (or level 1 was joined); without, one pass at level 10. Members left empty
// give the empty text, without separators.
String TDPDAztec::Compound(TDPDAztecFieldId first, int count, int limit, bool reduce) const {
    String joined;
    bool allEmpty = true;
    for (int level = kTopLevel;;) {
        joined.clear();
        allEmpty = true;
        for (int member = 0; member < count; ++member) {
            if (member > 0)
                joined += US;
            const String value = FFields[first + member]->ValueByPriority(level);
            allEmpty = allEmpty && value.empty();
            joined += value;
        }
        --level;
        if (!reduce || joined.size() <= static_cast<size_t>(limit) || level == 0)
            break;
    }
    return allEmpty ? String() : joined;
}

// One build at `level`: every field whose priority lies above the level contributes the empty
// text but keeps its separators, so each block always has the same number of items.
String TDPDAztec::Build(int level, bool reduce) {
    String text = u"[)>";
    text += RS;
    const auto items = [&](int first, int last) {
        for (int id = first; id <= last; ++id) {
            if (id != first)
                text += GS;
            text += FFields[id]->ValueByPriority(level);
        }
    };

    items(fiISO_Header, fiISO_RecCompName1);
    text += RS;

    items(fiSTD_Header2, fiSTD_RoutingNec);
    text += GS;
    text += Compound(fiSTD_RecComment, kReceiverMembers, kReceiverLimit, reduce);
    text += GS;
    items(fiSTD_NotifType, fiSTD_ASCode);
    text += RS;

    for (int block = 1; block <= DPDAztecBlockCount; ++block) {
        if (!FIsDefined[block])
            continue;
        const int header = kBlockStart[block];
        if (block == 3)
            FFields[fiS03_CompInformation]->SetFieldValue(level == kTopLevel ? u"0" : u"1");
        if (block == 1) {
            items(header, header + 1);
            text += GS;
            text += Compound(fiS01_SendCompName, kSenderMembers, kSenderLimit, reduce);
        } else if (block == 3) {
            items(header, fiS03_ArticleNumber);
            for (int article = 0; article < DPDAztecArticleCount; ++article) {
                text += GS;
                if (level > 1)
                    text += Compound(static_cast<TDPDAztecFieldId>(fiS03_Art_Desc0 + article * kArticleMembers),
                                     kArticleMembers, kArticleLimit, reduce);
            }
        } else {
            items(header, kBlockStart[block + 1] - 1);
        }
        text += RS;
    }
    text += EOT;
    return text;
}

// Attempts: level 10 as it stands, then level 10 to 1 with the compounds reduced; when even
// level 1 is too long, the text says so in STD_BarcodeOF and is returned at its full length.
Latin1String TDPDAztec::AsString() {
    TDPDAztecField& overflow = *FFields[fiSTD_BarcodeOF];
    overflow.SetFieldValue(u"0");
    String text = Build(kTopLevel, false);
    const auto fits = [this](const String& s) { return s.size() <= static_cast<size_t>(FMaxChars); };
    for (int level = kTopLevel; level >= 1 && !fits(text); --level)
        text = Build(level, true);
    if (!fits(text)) {
        overflow.SetFieldValue(u"1");
        text = Build(1, true);
    }
    return StringToLatin1(text);
}

TImage& TDPDAztec::AsImage() {
    const Latin1String content = AsString();
    const String text = Latin1ToString(content);
    const bool changed = FAztecCode->GetBarcode() != text;
    FImageFailed = false;
    bool drawn = false;
    // The picture is made when first asked for, so that an object only built or parsed never
    // pays for filling 600 x 600 pixels. New content goes in before the picture is attached
    // (without a picture nothing is drawn), so attaching it draws the symbol once, with that
    // content; failures come through the events.
    if (!FAztecImage) {
        FAztecImage = std::make_unique<TImage>();
        FAztecImage->Width = kImageSide;
        FAztecImage->Height = kImageSide;
        if (changed)
            FAztecCode->SetBarcode(text);
        FAztecCode->SetImage(FAztecImage.get());
        drawn = changed;
        if (!drawn)
            FImageFailed = false;
    }
    if (!drawn) {
        if (changed)
            FAztecCode->SetBarcode(text); // redraws; failures come through the events
        else if (!FAztecCode->Draw())
            FImageFailed = true;
    }
    if (FImageFailed)
        throw EBarcodeException(u"The Aztec content of " + IntToStr(static_cast<std::int64_t>(content.size())) +
                                u" bytes cannot be encoded in an Aztec symbol");
    return *FAztecImage;
}

} // namespace vgl
