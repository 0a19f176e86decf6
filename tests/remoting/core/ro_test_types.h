#pragma once
// Structures, arrays and enumerations that the remoting core tests serialize, and a serializer
// that records every typed call.

#include <cstdint>
#include <map>
#include <vector>

#include "platform/rtl/reflection.h"
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

/// Shaped like the service's request record: 67 fields in declaration order.
class TTestLabelData : public TROComplexType {
    VGL_RO_CLASS(TTestLabelData, TROComplexType)
    TTestLabelData() = default;

    String FParcelNumber;
    String FServiceCode;
    String FASCode;
    String FProductName;
    String FSendParcelRef1;
    String FSendParcelRef2;
    String FSendParcelRef3;
    String FSendParcelRef4;
    std::int32_t FParcelRank = 0;
    std::int32_t FMPSCount = 0;
    String FMPSID;
    std::int32_t FDeclaredWeight_dg = 0;
    bool FHazLQ = false;
    bool FPrintSWAPLabel = false;
    bool FPrintReceiptLabel = false;
    bool FPrintReturnLabel = false;
    String FRName1;
    String FRName2;
    String FRStreet;
    String FRPropNum;
    String FRStreet2;
    String FRZipCode;
    String FRTown;
    TTestCountryInfo* FRCountry = nullptr;
    String FRContact;
    String FRContactPho1;
    String FRCustID;
    String FSCustAccNumber;
    String FSName1;
    String FSName2;
    String FSStreet;
    String FSPropNum;
    String FSZipCode;
    String FSTown;
    TTestCountryInfo* FSCountry = nullptr;
    String FSPhone;
    String FSDepot;
    String FSDepotName;
    String FSDepotStreet;
    String FSDepotPropNum;
    String FSDepotZipCode;
    String FSDepotTown;
    TTestCountryInfo* FSDepotCountry = nullptr;
    String FSDepotPhone;
    TTestCODType FCODType = codUnknown;
    String FCODCurrency;
    double FCODAmount = 0;
    String FCODPurpose;
    String FRoutBarcodeId;
    String FRoutBarcodePostcode;
    String FRoutNetworkcode;
    String FRoutServiceText;
    String FRoutServiceMark;
    String FRoutDDepotCountry;
    String FRoutBUAlphaStr;
    String FRoutDDepotStr;
    String FRoutSSort;
    String FRoutOSort;
    String FRoutDSort;
    String FRoutCSort;
    String FRoutDCountry;
    String FRoutVersion;
    String FBarcodeString;
    String FActDepotNumber;
    String FActWorkStationID;
    String FMiscDisclaimerText;
    String FMiscSoftwareInfoText;
};

/// The declared field names of TTestLabelData, in order.
extern const std::vector<String> TestLabelDataFieldNames;

class TTestResultInfo : public TROComplexType {
    VGL_CLASS(TTestResultInfo, TROComplexType)
    TTestResultInfo() { ++Live; }
    ~TTestResultInfo() override {
        FreeObjectFields();
        --Live;
    }
    static inline int Live = 0;

    TTestResultType FResultType = resGeoLabel;
    TROBinaryMemoryStream* FResultBase64 = nullptr;
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
    VGL_RO_CLASS(TTestDerived, TTestBase)
    String Fd2, Fc1;
    TTestCountryInfo* FCountry = nullptr;
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
