#include "service/geo_label_mapping.h"

#include <optional>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

/// The service code left-filled with "0" to three characters; a longer code stays as it is.
String S3(const String& code) {
    return code.size() < 3 ? String(3 - code.size(), u'0') + code : code;
}

/// The street line of an address, built only when street or house number is given: the house
/// number first in France (250), else after the street.
std::optional<String> StreetLine(const TCountryInfo* country, const String& street, const String& number) {
    if (street.empty() && number.empty())
        return std::nullopt;
    if (country && country->Fiso_3166n == 250)
        return Trim(number + u" " + street);
    return Trim(street + u" " + number);
}

/// The place line of an address: postcode and town, after the country's alpha-2 code and " - "
/// when the country record gives one.
String PlaceLine(const TCountryInfo* country, const String& zipCode, const String& town) {
    String place = Trim(zipCode + u" " + town);
    if (country && !country->Fiso_3166a2.empty())
        return country->Fiso_3166a2 + u" - " + place;
    return place;
}

void Set(TStrings& list, const String& value) {
    TDMDPDLabelPrint::SetText(list, value);
}

void Add(TStrings& list, const String& value) {
    TDMDPDLabelPrint::AddLine(list, value);
}

void SetField(TDPDAztecField* field, const String& value) {
    field->SetFieldValue(value);
}

Char EUFlag(const TCountryInfo* country) {
    return country && country->FIsEU ? u'1' : u'0';
}

} // namespace

void MapGeoLabelData(TGeoLabelData& r, TDMDPDLabelPrint& m, const TGeoLabelClock& clock) {
    // 1. Fixed formats, whatever the host: "/" between date parts, ":" in times, "." decimals.
    TFormatSettings fs = TFormatSettings::Create();
    fs.DateSeparator = u'/';
    fs.TimeSeparator = u':';
    fs.DecimalSeparator = u'.';

    const TCountryInfo* receiverCountry = r.FRCountry.get();
    const TCountryInfo* senderCountry = r.FSCountry.get();
    const TCountryInfo* depotCountry = r.FSDepotCountry.get();

    // 2. Label flags.
    m.IsDestExport = true;
    m.IsCollectionRequest = false;
    m.IsPredict = false;
    m.IsMedical = false;
    m.IsPUDODelivery = false;
    m.IsSpecialOperation = false;
    m.IsCollectionRequestPickup = false;
    m.IsPUDODeliveryReturn = false;
    m.IsPUDOReturn = false;
    m.IsOfflineMode = !r.FBarcodeString.empty();

    // 3., 4. Parcel number and header.
    Set(m.txtParcelNumber, r.FParcelNumber);
    if (r.FMiscDisclaimerText.empty())
        r.FMiscDisclaimerText = DefaultDisclaimerText;
    Set(m.txtHeader, r.FMiscDisclaimerText);

    // 5. Receiver.
    if (!r.FRName1.empty()) {
        Add(m.txtDestAddress, r.FRName1);
        Add(m.txtReceiptRecipient, r.FRName1);
        Add(m.txtReturnRecipient, r.FRName1);
    }
    if (!r.FRName2.empty()) {
        Add(m.txtDestAddress, r.FRName2);
        Add(m.txtReturnRecipient, r.FRName2);
    }
    if (auto street = StreetLine(receiverCountry, r.FRStreet, r.FRPropNum)) {
        Add(m.txtDestAddress, *street);
        Add(m.txtReceiptRecipient, *street);
        Add(m.txtReturnRecipient, *street);
    }
    Add(m.txtDestAddress, r.FRStreet2);
    const String receiverPlace = Trim(r.FRZipCode + u" " + r.FRTown);
    Add(m.txtDestAddress, receiverPlace);
    Add(m.txtReturnRecipient, receiverPlace);
    if (receiverCountry) {
        Add(m.txtDestAddress, receiverCountry->Fcountryname);
        Add(m.txtReturnRecipient, receiverCountry->Fcountryname);
    }
    Add(m.txtReceiptRecipient, PlaceLine(receiverCountry, r.FRZipCode, r.FRTown));
    Set(m.txtDestContact, r.FRContact);
    Set(m.txtDestPhone, r.FRContactPho1);
    Set(m.txtDestInfo, r.FRCustID);
    Set(m.txtDestMPSID, r.FMPSID);

    // 6. Routing barcode text.
    const String serviceCode = S3(r.FServiceCode);
    m.Bic3BarcodeTxt = StringToAnsi(!r.FBarcodeString.empty() ? r.FBarcodeString
                                                              : r.FRoutBarcodeId + r.FRoutBarcodePostcode +
                                                                    r.FParcelNumber + serviceCode + r.FRoutNetworkcode);

    // 7. Routing texts; a hyphen joins each part to a following one that is given.
    Set(m.txtRoutServiceText, r.FRoutServiceText);
    Set(m.txtRoutServiceMarker, r.FRoutServiceMark);
    Set(m.txtRoutdDepotCountry, r.FRoutDDepotCountry + (r.FRoutBUAlphaStr.empty() ? u"" : u"-"));
    Set(m.txtRoutbuAlphaStr, r.FRoutBUAlphaStr + (r.FRoutDDepotStr.empty() ? u"" : u"-"));
    Set(m.txtRoutdDepotStr, r.FRoutDDepotStr + (r.FRoutSSort.empty() ? u"" : u"-"));
    Set(m.txtRoutSSort, r.FRoutSSort);
    Set(m.txtRoutOSort, r.FRoutOSort);
    Set(m.txtRoutDSort, r.FRoutDSort);
    Set(m.txtRoutServiceCodeAndDest, serviceCode + (r.FASCode.empty() ? String() : u"/" + r.FASCode) + u"-" +
                                         r.FRoutDCountry + u"-" + r.FRoutBarcodePostcode);

    // 8., 9. Defaults, then the origin and version line.
    if (r.FMiscSoftwareInfoText.empty())
        r.FMiscSoftwareInfoText = DefaultSoftwareInfoText;
    if (r.FActWorkStationID.empty())
        r.FActWorkStationID = DefaultWorkStationID;
    const TDateTime now = clock ? clock() : Now();
    Set(m.txtRoutOriginVersion, FormatDateTime(u"yy/mm/dd hh:nn", now, fs) + u" " + r.FRoutVersion + u" " +
                                    r.FActDepotNumber + u"/" + r.FActWorkStationID + u" " + r.FMiscSoftwareInfoText);

    // 10. Parcel count and rank text.
    if (r.FMPSCount < 1)
        r.FMPSCount = 1;
    const String rank = r.FParcelRank >= 1 ? IntToStr(r.FParcelRank) : r.FMPSCount == 1 ? u"1" : u"?";
    const String count = IntToStr(r.FMPSCount);

    // 11. Aztec parcel flags.
    TDPDAztec& aztec = m.Aztec;
    aztec.ParcelInfo().SetIsSenderInEU(EUFlag(senderCountry));
    aztec.ParcelInfo().SetIsReceiverInEU(EUFlag(receiverCountry));
    aztec.ParcelInfo().SetIsCOD(r.FCODType == codNone ? u'0' : u'1');
    aztec.ParcelInfo().SetIsCustom(u'0');

    // 12. Aztec fields.
    SetField(aztec.ISO_DestZipCode(), r.FRZipCode);
    if (receiverCountry)
        SetField(aztec.ISO_DestCountryCode(), IntToStr(receiverCountry->Fiso_3166n));
    SetField(aztec.ISO_SOCode(), serviceCode);
    SetField(aztec.ISO_SCAC(), u"GEOP");
    SetField(aztec.ISO_CustAccNumber(), r.FSCustAccNumber);
    SetField(aztec.ISO_RangInNumber(), rank + u"/" + count);
    const long double weightKg = static_cast<long double>(r.FDeclaredWeight_dg) / 100;
    SetField(aztec.ISO_DeclaredWeight(), FormatFloat(u"#0.00", weightKg, fs) + u"KG");
    SetField(aztec.ISO_RecStreet(), r.FRStreet);
    SetField(aztec.ISO_RecTown(), r.FRTown);
    SetField(aztec.ISO_RecCompName1(), r.FRName1);
    SetField(aztec.STD_RoutingNec(), u"1");
    SetField(aztec.STD_RecCompName2(), r.FRName2);
    SetField(aztec.STD_RecContact(), r.FRContact);
    SetField(aztec.STD_RecContactPho1(), r.FRContactPho1);
    SetField(aztec.STD_RecPropNum(), r.FRPropNum);
    SetField(aztec.STD_RecAdd2(), r.FRStreet2);
    SetField(aztec.STD_SendParcelRef(), r.FSendParcelRef1);
    SetField(aztec.STD_ConsCustRef2(), r.FSendParcelRef2);
    SetField(aztec.STD_LimitedQtyHaz(), r.FHazLQ ? u"1" : u"0");
    SetField(aztec.STD_ASCode(), r.FASCode);

    // 13. Sender block S01: defined by a name, street, postcode or town (not by a house number
    // or phone alone).
    const bool senderGiven =
        !r.FSName1.empty() || !r.FSName2.empty() || !r.FSStreet.empty() || !r.FSZipCode.empty() || !r.FSTown.empty();
    aztec.SetS01_IsDefined(senderGiven);
    if (senderGiven) {
        SetField(aztec.S01_FormatID(), u"S010");
        SetField(aztec.S01_SendCompName(), r.FSName1);
        SetField(aztec.S01_SendPhone(), r.FSPhone);
        SetField(aztec.S01_SendPropNum(), r.FSPropNum);
        SetField(aztec.S01_SendStreet(), r.FSStreet);
        SetField(aztec.S01_SendTown(), r.FSTown);
        SetField(aztec.S01_SendZipCode(), r.FSZipCode);
        if (senderCountry)
            SetField(aztec.S01_SendCountryCode(), IntToStr(senderCountry->Fiso_3166n));
    }

    // 14. Cash-on-delivery block S02 for every kind but codNone.
    const bool cod = r.FCODType != codNone;
    if (cod) {
        aztec.SetS02_IsDefined(true);
        SetField(aztec.S02_FormatID(), u"S020");
        SetField(aztec.S02_Curr(), r.FCODCurrency);
        SetField(aztec.S02_Amount(), FormatFloat(u"#0.###", r.FCODAmount, fs));
        switch (r.FCODType) {
        case codCash:
            SetField(aztec.S02_CollectType(), u"0");
            break;
        case codCrossedCheque:
            SetField(aztec.S02_CollectType(), u"1");
            break;
        case codCreditCard:
            SetField(aztec.S02_CollectType(), u"2");
            break;
        default:
            break;
        }
    }

    // 15. Sender texts.
    Set(m.txtSenderAccount, r.FSCustAccNumber);
    if (!r.FSName1.empty()) {
        Add(m.txtSenderAddress, r.FSName1);
        Add(m.txtReceiptSender, r.FSName1);
    }
    if (!r.FSName2.empty())
        Add(m.txtSenderAddress, r.FSName2);
    if (auto street = StreetLine(senderCountry, r.FSStreet, r.FSPropNum)) {
        Add(m.txtSenderAddress, *street);
        Add(m.txtReceiptSender, *street);
    }
    const String senderPlace = PlaceLine(senderCountry, r.FSZipCode, r.FSTown);
    Add(m.txtSenderAddress, senderPlace);
    Add(m.txtReceiptSender, senderPlace);
    Set(m.txtSenderPhone, r.FSPhone);

    // 16. Depot texts.
    Set(m.txtBUDepot, r.FSDepot);
    if (!r.FSDepotName.empty())
        Add(m.txtBUAddress, r.FSDepotName);
    if (auto street = StreetLine(depotCountry, r.FSDepotStreet, r.FSDepotPropNum))
        Add(m.txtBUAddress, *street);
    Add(m.txtBUAddress, PlaceLine(depotCountry, r.FSDepotZipCode, r.FSDepotTown));
    Set(m.txtBUTel, r.FSDepotPhone);

    // 17.-19. Packages, weight, product.
    Set(m.txtPackages, rank + u" of " + count);
    if (r.FDeclaredWeight_dg > 0)
        Set(m.txtWeight, FormatFloat(u"#0.##", weightKg, fs) + u" Kg");
    Set(m.txtOptProductText, r.FProductName);

    // 20. The return label's line: parcel number and the given references.
    String references = r.FParcelNumber;
    for (const String* ref : {&r.FSendParcelRef1, &r.FSendParcelRef2, &r.FSendParcelRef3, &r.FSendParcelRef4})
        if (!ref->empty())
            references += u", " + *ref;
    if (!r.FSendParcelRef1.empty())
        Add(m.txtOptParcelRef1, r.FSendParcelRef1);
    Add(m.txtReturnParcelnumberAndRef, references);

    // 21. Without cash on delivery the further references are printed; with it, the amount.
    if (!cod) {
        for (const String* ref : {&r.FSendParcelRef2, &r.FSendParcelRef3, &r.FSendParcelRef4})
            if (!ref->empty())
                Add(m.txtOptParcelRef1, *ref);
    } else {
        const char16_t* suffix = u"";
        switch (r.FCODType) {
        case codCash:
            suffix = u"  cash";
            break;
        case codCrossedCheque:
            suffix = u"  crossed cheque";
            break;
        case codCreditCard:
            suffix = u"  credit card";
            break;
        default:
            break;
        }
        Set(m.txtOptCODAmount, Trim(r.FCODCurrency + u" " + FormatFloat(u"#0.00", r.FCODAmount, fs) + suffix));
        Set(m.txtOptCODPurpose, r.FCODPurpose);
    }

    // 22. Optional C sort.
    Set(m.txtOptCSort, r.FRoutCSort);
}

} // namespace vgl
