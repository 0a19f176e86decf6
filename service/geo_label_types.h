#pragma once
// The label service's wire types: the request record TGeoLabelData with its country records
// TCountryInfo, the result document TResultInfo, the result list TResultArray and the
// enumerations TResultType, TImageType and TCODType.
//
// Field names, field order, field types, value names and documentation texts are the service's
// public contract: the SOAP layer reads and writes these types from their published fields and
// the service description is built from the same tables. A new object holds empty texts, zeros,
// false, no country records, no stream and codUnknown. The types add no behaviour of their own.

#include <cstdint>
#include <memory>

#include "platform/rtl/reflection.h"
#include "platform/rtl/reflection_fields.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_types.h"

namespace vgl {

/// Which label a result document is.
enum TResultType { resGeoLabel, resHazlqLabel, resSWAPLabel, resReceiptLabel, resReturnLabel };
VGL_DECLARE_ENUM(TResultType);
/// The picture format of an image answer.
enum TImageType { imgBMP, imgJPEG, imgTIFF, imgGIF };
VGL_DECLARE_ENUM(TImageType);
/// The kind of cash on delivery. Every value but codNone, codUnknown included, counts as cash on
/// delivery.
enum TCODType { codUnknown, codNone, codCash, codCrossedCheque, codCreditCard };
VGL_DECLARE_ENUM(TCODType);

/// The default of ActWorkStationID and MiscSoftwareInfoText, and the built-in disclaimer sentence
/// that is the default of MiscDisclaimerText (see docs/DECISIONS.md).
inline constexpr const char16_t* DefaultWorkStationID = u"999";
inline constexpr const char16_t* DefaultSoftwareInfoText = u"VELMORA Labelprint";
inline constexpr const char16_t* DefaultDisclaimerText =
    u"The terms and conditions of services of DPD apply; they can be read on its public web site at www.dpd.com.";

/// A country: numeric and alpha-2 ISO 3166-1 codes, the printed name, membership of the EU.
class TCountryInfo : public TROComplexType {
    VGL_CLASS(TCountryInfo, TROComplexType)
    TCountryInfo() = default;

    std::int32_t Fiso_3166n = 0;
    String Fiso_3166a2;
    String Fcountryname;
    bool FIsEU = false;
};

/// The request record's fields, in wire order: type and name (the member is F<name>).
#define TGeoLabelData_FIELDS(X)                                                                                        \
    X(String, ParcelNumber)                                                                                            \
    X(String, ServiceCode)                                                                                             \
    X(String, ASCode)                                                                                                  \
    X(String, ProductName)                                                                                             \
    X(String, SendParcelRef1)                                                                                          \
    X(String, SendParcelRef2)                                                                                          \
    X(String, SendParcelRef3)                                                                                          \
    X(String, SendParcelRef4)                                                                                          \
    X(std::int32_t, ParcelRank)                                                                                        \
    X(std::int32_t, MPSCount)                                                                                          \
    X(String, MPSID)                                                                                                   \
    X(std::int32_t, DeclaredWeight_dg)                                                                                 \
    X(bool, HazLQ)                                                                                                     \
    X(bool, PrintSWAPLabel)                                                                                            \
    X(bool, PrintReceiptLabel)                                                                                         \
    X(bool, PrintReturnLabel)                                                                                          \
    X(String, RName1)                                                                                                  \
    X(String, RName2)                                                                                                  \
    X(String, RStreet)                                                                                                 \
    X(String, RPropNum)                                                                                                \
    X(String, RStreet2)                                                                                                \
    X(String, RZipCode)                                                                                                \
    X(String, RTown)                                                                                                   \
    X(std::unique_ptr<TCountryInfo>, RCountry)                                                                         \
    X(String, RContact)                                                                                                \
    X(String, RContactPho1)                                                                                            \
    X(String, RCustID)                                                                                                 \
    X(String, SCustAccNumber)                                                                                          \
    X(String, SName1)                                                                                                  \
    X(String, SName2)                                                                                                  \
    X(String, SStreet)                                                                                                 \
    X(String, SPropNum)                                                                                                \
    X(String, SZipCode)                                                                                                \
    X(String, STown)                                                                                                   \
    X(std::unique_ptr<TCountryInfo>, SCountry)                                                                         \
    X(String, SPhone)                                                                                                  \
    X(String, SDepot)                                                                                                  \
    X(String, SDepotName)                                                                                              \
    X(String, SDepotStreet)                                                                                            \
    X(String, SDepotPropNum)                                                                                           \
    X(String, SDepotZipCode)                                                                                           \
    X(String, SDepotTown)                                                                                              \
    X(std::unique_ptr<TCountryInfo>, SDepotCountry)                                                                    \
    X(String, SDepotPhone)                                                                                             \
    X(TCODType, CODType)                                                                                               \
    X(String, CODCurrency)                                                                                             \
    X(double, CODAmount)                                                                                               \
    X(String, CODPurpose)                                                                                              \
    X(String, RoutBarcodeId)                                                                                           \
    X(String, RoutBarcodePostcode)                                                                                     \
    X(String, RoutNetworkcode)                                                                                         \
    X(String, RoutServiceText)                                                                                         \
    X(String, RoutServiceMark)                                                                                         \
    X(String, RoutDDepotCountry)                                                                                       \
    X(String, RoutBUAlphaStr)                                                                                          \
    X(String, RoutDDepotStr)                                                                                           \
    X(String, RoutSSort)                                                                                               \
    X(String, RoutOSort)                                                                                               \
    X(String, RoutDSort)                                                                                               \
    X(String, RoutCSort)                                                                                               \
    X(String, RoutDCountry)                                                                                            \
    X(String, RoutVersion)                                                                                             \
    X(String, BarcodeString)                                                                                           \
    X(String, ActDepotNumber)                                                                                          \
    X(String, ActWorkStationID)                                                                                        \
    X(String, MiscDisclaimerText)                                                                                      \
    X(String, MiscSoftwareInfoText)

/// The request of every label operation: one parcel. It owns its three country records; an
/// element the request leaves out is absent (none).
class TGeoLabelData : public TROComplexType {
    VGL_CLASS(TGeoLabelData, TROComplexType)
    TGeoLabelData() = default;

    TGeoLabelData_FIELDS(VGL_DECLARE_FIELD)
};

/// One result document: which label it is and its bytes (PDF or image file), owned.
class TResultInfo : public TROComplexType {
    VGL_CLASS(TResultInfo, TROComplexType)
    TResultInfo() = default;

    TResultType FResultType = resGeoLabel;
    std::unique_ptr<TROBinaryMemoryStream> FResultBase64;
};

/// The result list: owns its items, which keep the order in which they were added.
class TResultArray : public TROArrayOf<TResultInfo> {
    VGL_CLASS(TResultArray, TROArrayOf<TResultInfo>)
    TResultArray() = default;
};

/// Adds the four classes and three enumerations to the remoting type registry's RTTI context, so
/// that the SOAP layer and the service description find them. Called once at start-up, before
/// the server starts; calling it again does nothing more.
void InitializeServiceTypes();

} // namespace vgl
