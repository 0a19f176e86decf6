#pragma once
// Structures, arrays and enumerations that the remoting core tests serialize, and a serializer
// that records every typed call.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/rtl/reflection.h"
#include "platform/rtl/reflection_fields.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/ro_types.h"

namespace vgl {

enum TTestCODType { codUnknown, codNone, codCash, codCrossedCheque, codCreditCard };
VGL_DECLARE_ENUM(TTestCODType);
enum TTestResultType { resGeoLabel, resHazlqLabel, resSWAPLabel };
VGL_DECLARE_ENUM(TTestResultType);
/// No SOAP names: the type registry never files it.
enum TTestPlainEnum { peOne, peTwo };
VGL_DECLARE_ENUM(TTestPlainEnum);
enum TTestFlag { tfA, tfB };
VGL_DECLARE_ENUM(TTestFlag);
VGL_DECLARE_SET(TTestFlags, TTestFlag);

/// Counts its live instances, so tests see that owners free them.
class TTestCountryInfo : public TROComplexType {
    VGL_CLASS(TTestCountryInfo, TROComplexType)
    TTestCountryInfo() { ++Live; }
    ~TTestCountryInfo() override { --Live; }
    static inline int Live = 0;

    std::int32_t Fiso_3166n = 0;
    String Fiso_3166a2;
    String Fcountryname;
    bool FIsEU = false;
};

/// Shaped like the service's request record: 67 fields in declaration order, which is the wire
/// order. One list gives the members and the table (VGL_DECLARE_FIELD, VGL_PUBLISH_FIELD).
#define TTestLabelData_FIELDS(X)                                                                                       \
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
    X(std::unique_ptr<TTestCountryInfo>, RCountry)                                                                     \
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
    X(std::unique_ptr<TTestCountryInfo>, SCountry)                                                                     \
    X(String, SPhone)                                                                                                  \
    X(String, SDepot)                                                                                                  \
    X(String, SDepotName)                                                                                              \
    X(String, SDepotStreet)                                                                                            \
    X(String, SDepotPropNum)                                                                                           \
    X(String, SDepotZipCode)                                                                                           \
    X(String, SDepotTown)                                                                                              \
    X(std::unique_ptr<TTestCountryInfo>, SDepotCountry)                                                                \
    X(String, SDepotPhone)                                                                                             \
    X(TTestCODType, CODType)                                                                                           \
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
class TTestLabelData : public TROComplexType {
    VGL_CLASS(TTestLabelData, TROComplexType)
    TTestLabelData() = default;

    TTestLabelData_FIELDS(VGL_DECLARE_FIELD)
};

/// The declared field names of TTestLabelData, in order.
extern const std::vector<String> TestLabelDataFieldNames;

class TTestResultInfo : public TROComplexType {
    VGL_CLASS(TTestResultInfo, TROComplexType)
    TTestResultInfo() { ++Live; }
    ~TTestResultInfo() override { --Live; }
    static inline int Live = 0;

    TTestResultType FResultType = resGeoLabel;
    std::unique_ptr<TROBinaryMemoryStream> FResultBase64;
};

class TTestResultArray : public TROArrayOf<TTestResultInfo> {
    VGL_CLASS(TTestResultArray, TROArrayOf<TTestResultInfo>)
};

class TTestIntArray : public TROArrayOf<std::int32_t> {
    VGL_CLASS(TTestIntArray, TROArrayOf<std::int32_t>)
};

/// Fields whose names test the field order.
class TTestNameOrder : public TROComplexType {
    VGL_CLASS(TTestNameOrder, TROComplexType)
    std::int32_t FZeta = 0, Falpha = 0, FBeta = 0, Fa_b = 0, Fab = 0;
};

class TTestBase : public TROComplexType {
    VGL_CLASS(TTestBase, TROComplexType)
    String Fb2, Fa1;
};

class TTestDerived : public TTestBase {
    VGL_CLASS(TTestDerived, TTestBase)
    String Fd2, Fc1;
    std::unique_ptr<TTestCountryInfo> FCountry;
};

/// A sibling of TTestDerived: shares TTestBase's fields only.
class TTestOther : public TTestBase {
    VGL_CLASS(TTestOther, TTestBase)
    String Fd2;
};

/// One field travels as "Foo"; one field of every other value kind.
class TTestKinds : public TROComplexType {
    VGL_CLASS(TTestKinds, TROComplexType)
    String FRenamed;
    TDateTime FWhen = 0;
    std::int64_t FBig = 0;
    AnsiString FAnsi;
    Variant FAny;
    TTestCODType FCod = codUnknown;
    String FId;
};

class TTestWithSet : public TROComplexType {
    VGL_CLASS(TTestWithSet, TROComplexType)
    TTestFlags FFlags;
};

/// Carries class-level attributes: one ROCustomAttribute, one more through GetAttribute*.
class TTestAttributed : public TROComplexType {
    VGL_CLASS(TTestAttributed, TROComplexType)
    int GetAttributeCount() const override { return 1; }
    String GetAttributeName(int) const override { return u"Extra"; }
    String GetAttributeValue(int) const override { return u"x"; }
};

/// A published object that is no structure: the serializer walks its properties itself.
class TTestPlain : public TPersistent {
    VGL_CLASS(TTestPlain, TPersistent)
    std::int16_t FSmall = 0;
    String FName;
    TTestCODType FKind = codUnknown;
    std::int64_t FCurrency = 0; // scaled by 10,000
    AnsiString FBytes;
};

/// Records every typed call as "Operation name [detail]"; readers take their values from
/// `Input` (by element name) and raise EConvertError for a number they cannot read.
class TRecordingSerializer : public TROSerializer {
public:
    std::vector<String> Log;
    std::map<String, String> Input;
    bool Strict = false;

    bool GetRecordStrictOrder() const override { return Strict; }
    /// The names of the logged calls whose operation is `op` (all when empty).
    std::vector<String> Names(StringView op = {}) const;

    void WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) override;
    void WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) override;
    void WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                         int ArrayElementId) override;
    void WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                           int ArrayElementId) override;
    void WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) override;
    void WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) override;
    void WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) override;
    void WriteGuid(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteDecimal(const String& aName, const Variant& Ref, int ArrayElementId) override;
    void WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) override;
    void WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    void WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    void WriteException(const String& aName, const TObject* Ref, int ArrayElementId) override;
    void ChangeClass(TClass aClass) override;

    void ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) override;
    void ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) override;
    void ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                        int ArrayElementId) override;
    void ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength) override;
    void ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes, int ArrayElementId,
                          int aMaxLength) override;
    void ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) override;
    void ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) override;
    void ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) override;
    void ReadGuid(const String& aName, String& Ref, int ArrayElementId) override;
    void ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    bool ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    bool ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;

private:
    void Add(StringView op, const String& name, const String& detail = {});
    String Take(const String& name) const;
};

/// Adds the fixture classes and enumerations to the RTTI context (once).
void RegisterTestTypes();

} // namespace vgl
