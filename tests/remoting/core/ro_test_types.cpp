#include "tests/remoting/core/ro_test_types.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl {

VGL_DEFINE_RO_ENUM(TTestCODType, u"codUnknown", u"codNone", u"codCash", u"codCrossedCheque", u"codCreditCard")
VGL_DEFINE_RO_ENUM(TTestResultType, u"resGeoLabel", u"resHazlqLabel", u"resSWAPLabel")
VGL_DEFINE_ENUM(TTestPlainEnum, u"peOne", u"peTwo")
VGL_DEFINE_ENUM(TTestFlag, u"tfA", u"tfB")
VGL_DEFINE_SET(TTestFlags, TTestFlag)

VGL_DEFINE_CLASS(TTestCountryInfo) {
    b.Property(u"iso_3166n", &TTestCountryInfo::Fiso_3166n);
    b.Property(u"iso_3166a2", &TTestCountryInfo::Fiso_3166a2);
    b.Property(u"countryname", &TTestCountryInfo::Fcountryname);
    b.Property(u"IsEU", &TTestCountryInfo::FIsEU);
}

VGL_DEFINE_CLASS(TTestLabelData) {
    TTestLabelData_FIELDS(VGL_PUBLISH_FIELD)
}

const std::vector<String> TestLabelDataFieldNames = {u"ParcelNumber",
                                                     u"ServiceCode",
                                                     u"ASCode",
                                                     u"ProductName",
                                                     u"SendParcelRef1",
                                                     u"SendParcelRef2",
                                                     u"SendParcelRef3",
                                                     u"SendParcelRef4",
                                                     u"ParcelRank",
                                                     u"MPSCount",
                                                     u"MPSID",
                                                     u"DeclaredWeight_dg",
                                                     u"HazLQ",
                                                     u"PrintSWAPLabel",
                                                     u"PrintReceiptLabel",
                                                     u"PrintReturnLabel",
                                                     u"RName1",
                                                     u"RName2",
                                                     u"RStreet",
                                                     u"RPropNum",
                                                     u"RStreet2",
                                                     u"RZipCode",
                                                     u"RTown",
                                                     u"RCountry",
                                                     u"RContact",
                                                     u"RContactPho1",
                                                     u"RCustID",
                                                     u"SCustAccNumber",
                                                     u"SName1",
                                                     u"SName2",
                                                     u"SStreet",
                                                     u"SPropNum",
                                                     u"SZipCode",
                                                     u"STown",
                                                     u"SCountry",
                                                     u"SPhone",
                                                     u"SDepot",
                                                     u"SDepotName",
                                                     u"SDepotStreet",
                                                     u"SDepotPropNum",
                                                     u"SDepotZipCode",
                                                     u"SDepotTown",
                                                     u"SDepotCountry",
                                                     u"SDepotPhone",
                                                     u"CODType",
                                                     u"CODCurrency",
                                                     u"CODAmount",
                                                     u"CODPurpose",
                                                     u"RoutBarcodeId",
                                                     u"RoutBarcodePostcode",
                                                     u"RoutNetworkcode",
                                                     u"RoutServiceText",
                                                     u"RoutServiceMark",
                                                     u"RoutDDepotCountry",
                                                     u"RoutBUAlphaStr",
                                                     u"RoutDDepotStr",
                                                     u"RoutSSort",
                                                     u"RoutOSort",
                                                     u"RoutDSort",
                                                     u"RoutCSort",
                                                     u"RoutDCountry",
                                                     u"RoutVersion",
                                                     u"BarcodeString",
                                                     u"ActDepotNumber",
                                                     u"ActWorkStationID",
                                                     u"MiscDisclaimerText",
                                                     u"MiscSoftwareInfoText"};

VGL_DEFINE_CLASS(TTestResultInfo) {
    b.Property(u"ResultType", &TTestResultInfo::FResultType);
    b.Property(u"ResultBase64", &TTestResultInfo::FResultBase64);
}

VGL_DEFINE_CLASS(TTestResultArray) {}
VGL_DEFINE_CLASS(TTestIntArray) {}

VGL_DEFINE_CLASS(TTestNameOrder) {
    b.Property(u"Zeta", &TTestNameOrder::FZeta);
    b.Property(u"alpha", &TTestNameOrder::Falpha);
    b.Property(u"Beta", &TTestNameOrder::FBeta);
    b.Property(u"a_b", &TTestNameOrder::Fa_b);
    b.Property(u"ab", &TTestNameOrder::Fab);
}

VGL_DEFINE_CLASS(TTestBase) {
    b.Property(u"b2", &TTestBase::Fb2);
    b.Property(u"a1", &TTestBase::Fa1);
}

VGL_DEFINE_CLASS(TTestDerived) {
    b.Property(u"d2", &TTestDerived::Fd2);
    b.Property(u"c1", &TTestDerived::Fc1);
    b.Property(u"Country", &TTestDerived::FCountry);
}

VGL_DEFINE_CLASS(TTestOther) {
    b.Property(u"d2", &TTestOther::Fd2);
}

VGL_DEFINE_CLASS(TTestKinds) {
    b.Property(u"Renamed", &TTestKinds::FRenamed);
    AddROAttribute(b, ROCustomAttribute(u"SoapName", u"Foo"));
    b.Property(u"When", &TTestKinds::FWhen).Type(DateTimeTypeInfo());
    b.Property(u"Big", &TTestKinds::FBig);
    b.Property(u"Ansi", &TTestKinds::FAnsi);
    b.Property(u"Any", &TTestKinds::FAny);
    b.Property(u"Cod", &TTestKinds::FCod);
    b.Property(u"Id", &TTestKinds::FId).Type(GuidTypeInfo());
}

VGL_DEFINE_CLASS(TTestWithSet) {
    b.Property(u"Flags", &TTestWithSet::FFlags);
}

VGL_DEFINE_CLASS(TTestAttributed) {
    AddROClassAttribute(b, ROCustomAttribute(u"Namespace", u"urn:test"));
}

VGL_DEFINE_CLASS(TTestPlain) {
    b.Property(u"Small", &TTestPlain::FSmall);
    b.Property(u"Name", &TTestPlain::FName);
    b.Property(u"Kind", &TTestPlain::FKind);
    b.Property(u"Price", &TTestPlain::FCurrency).Type(CurrencyTypeInfo());
    b.Property(u"Bytes", &TTestPlain::FBytes);
}

void RegisterTestTypes() {
    for (TClass cls :
         {&TTestCountryInfo::StaticClassInfo(), &TTestLabelData::StaticClassInfo(), &TTestResultInfo::StaticClassInfo(),
          &TTestResultArray::StaticClassInfo(), &TTestIntArray::StaticClassInfo(), &TTestNameOrder::StaticClassInfo(),
          &TTestBase::StaticClassInfo(), &TTestDerived::StaticClassInfo(), &TTestKinds::StaticClassInfo()})
        RegisterRttiType(cls->Type());
    RegisterRttiType(TypeInfoFor(TypeTag<TTestCODType>{}));
    RegisterRttiType(TypeInfoFor(TypeTag<TTestResultType>{}));
    RegisterRttiType(TypeInfoFor(TypeTag<TTestPlainEnum>{}));
}

// ---- TRecordingSerializer -----------------------------------------------------------------

void TRecordingSerializer::Add(StringView op, const String& name, const String& detail) {
    Log.push_back(String(op) + u" " + name + (detail.empty() ? String() : u" " + detail));
}

std::vector<String> TRecordingSerializer::Names(StringView op) const {
    std::vector<String> names;
    for (const String& entry : Log) {
        auto space = entry.find(u' ');
        if (!op.empty() && StringView(entry).substr(0, space) != op)
            continue;
        auto end = entry.find(u' ', space + 1);
        names.push_back(entry.substr(space + 1, end == String::npos ? String::npos : end - space - 1));
    }
    return names;
}

String TRecordingSerializer::Take(const String& name) const {
    auto it = Input.find(name);
    return it == Input.end() ? String() : it->second;
}

namespace {

// Readers of numbers and enumerations take a missing input as the zero value.
std::int64_t Number(const String& text) {
    return text.empty() ? 0 : StrToInt64(text);
}
long double Float(const String& text) {
    return text.empty() ? 0 : StrToFloat(text);
}

} // namespace

void TRecordingSerializer::WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int) {
    Add(u"WriteInteger", aName, GetEnumName(TypeInfoFor(TypeTag<TOrdType>{}), anOrdType) + u"=" + IntToStr(Ref));
}
void TRecordingSerializer::WriteInt64(const String& aName, std::int64_t Ref, int) {
    Add(u"WriteInt64", aName, IntToStr(Ref));
}
void TRecordingSerializer::WriteEnumerated(const String& aName, const TypeInfo& type, std::int64_t Ref, int) {
    Add(u"WriteEnumerated", aName, GetEnumName(type, Ref));
}
void TRecordingSerializer::WriteUnicodeString(const String& aName, const String& Ref, int) {
    Add(u"WriteUnicodeString", aName, Ref);
}
void TRecordingSerializer::WriteLegacyString(const String& aName, const String& Ref, TParamAttributes attrs, int) {
    Add(u"WriteLegacyString", aName, SetToString(TypeInfoFor(TypeTag<TParamAttributes>{}), attrs.Bits()) + u"=" + Ref);
}
void TRecordingSerializer::WriteDateTime(const String& aName, TDateTime Ref, int) {
    Add(u"WriteDateTime", aName, FloatToStr(Ref));
}
void TRecordingSerializer::WriteDouble(const String& aName, TFloatType, long double Ref, int) {
    Add(u"WriteDouble", aName, FloatToStr(double(Ref)));
}
void TRecordingSerializer::WriteVariant(const String& aName, const Variant& Ref, int) {
    Add(u"WriteVariant", aName, VarToStr(Ref));
}
void TRecordingSerializer::WriteGuid(const String& aName, const String& Ref, int) {
    Add(u"WriteGuid", aName, Ref);
}
void TRecordingSerializer::WriteDecimal(const String& aName, const Variant& Ref, int) {
    Add(u"WriteDecimal", aName, VarToStr(Ref));
}
void TRecordingSerializer::WriteBinary(const String& aName, const TObject*, int) {
    Add(u"WriteBinary", aName);
}
void TRecordingSerializer::WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int) {
    Add(u"WriteStruct", aName, aClass->Name());
    if (Ref)
        const_cast<TROComplexType*>(static_cast<const TROComplexType*>(Ref))->WriteComplex(*this);
}
void TRecordingSerializer::WriteArray(const String& aName, const TObject* Ref, TClass aClass, int) {
    Add(u"WriteArray", aName, aClass->Name());
    if (Ref)
        const_cast<TROComplexType*>(static_cast<const TROComplexType*>(Ref))->WriteComplex(*this);
}
void TRecordingSerializer::WriteException(const String& aName, const TObject*, int) {
    Add(u"WriteException", aName);
}
void TRecordingSerializer::ChangeClass(TClass aClass) {
    Add(u"ChangeClass", aClass->Name());
}

void TRecordingSerializer::ReadInteger(const String& aName, TOrdType, std::int64_t& Ref, int) {
    Add(u"ReadInteger", aName);
    Ref = Number(Take(aName));
}
void TRecordingSerializer::ReadInt64(const String& aName, std::int64_t& Ref, int) {
    Add(u"ReadInt64", aName);
    Ref = Number(Take(aName));
}
void TRecordingSerializer::ReadEnumerated(const String& aName, const TypeInfo& type, std::int64_t& Ref, int) {
    Add(u"ReadEnumerated", aName);
    String text = Take(aName);
    Ref = text.empty() ? 0 : GetEnumValue(type, text);
    if (Ref < 0)
        throw EConvertError(u"Invalid enumeration value");
}
void TRecordingSerializer::ReadUnicodeString(const String& aName, String& Ref, int, int aMaxLength) {
    Add(u"ReadUnicodeString", aName, IntToStr(aMaxLength));
    Ref = Take(aName);
}
void TRecordingSerializer::ReadLegacyString(const String& aName, String& Ref, TParamAttributes attrs, int,
                                            int aMaxLength) {
    Add(u"ReadLegacyString", aName,
        SetToString(TypeInfoFor(TypeTag<TParamAttributes>{}), attrs.Bits()) + u"=" + IntToStr(aMaxLength));
    Ref = Take(aName);
}
void TRecordingSerializer::ReadDateTime(const String& aName, TDateTime& Ref, int) {
    Add(u"ReadDateTime", aName);
    Ref = Float(Take(aName));
}
void TRecordingSerializer::ReadDouble(const String& aName, TFloatType, long double& Ref, int) {
    Add(u"ReadDouble", aName);
    Ref = Float(Take(aName));
}
void TRecordingSerializer::ReadVariant(const String& aName, Variant& Ref, int) {
    Add(u"ReadVariant", aName);
    Ref = Variant(Take(aName));
}
void TRecordingSerializer::ReadGuid(const String& aName, String& Ref, int) {
    Add(u"ReadGuid", aName);
    Ref = Take(aName);
}
void TRecordingSerializer::ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int) {
    Add(u"ReadBinary", aName);
    Ref = std::make_unique<TROBinaryMemoryStream>(AnsiString(StringToUtf8(Take(aName))));
}
bool TRecordingSerializer::ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int) {
    Add(u"ReadStruct", aName, aClass->Name());
    if (Take(aName) == u"nil")
        return false;
    Ref = aClass->Create();
    static_cast<TROComplexType*>(Ref.get())->ReadComplex(*this);
    return true;
}
bool TRecordingSerializer::ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int) {
    Add(u"ReadArray", aName, aClass->Name());
    Ref = aClass->Create();
    auto* array = static_cast<TROArray*>(Ref.get());
    array->Resize(StrToInt(Take(aName)));
    array->ReadComplex(*this);
    return true;
}

} // namespace vgl
