#include "tests/remoting/server/ro_server_test_types.h"

#include "platform/rtl/reflection_builder.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl::srvtest {

VGL_DEFINE_RO_ENUM(TCODType, u"codUnknown", u"codNone", u"codCash", u"codCrossedCheque", u"codCreditCard")
VGL_DEFINE_RO_ENUM(TResultType, u"resGeoLabel", u"resHazlqLabel", u"resSWAPLabel")

VGL_DEFINE_CLASS(TCountryInfo) {
    b.Property(u"iso_3166n", &TCountryInfo::Fiso_3166n);
    b.Property(u"iso_3166a2", &TCountryInfo::Fiso_3166a2);
    b.Property(u"countryname", &TCountryInfo::Fcountryname);
    b.Property(u"IsEU", &TCountryInfo::FIsEU);
}

VGL_DEFINE_CLASS(TGeoLabelData) {
    b.Property(u"ParcelNumber", &TGeoLabelData::FParcelNumber);
    b.Property(u"ParcelRank", &TGeoLabelData::FParcelRank);
    b.Property(u"HazLQ", &TGeoLabelData::FHazLQ);
    b.Property(u"RTown", &TGeoLabelData::FRTown);
    b.Property(u"RCountry", &TGeoLabelData::FRCountry);
    b.Property(u"SCountry", &TGeoLabelData::FSCountry);
    b.Property(u"SDepotCountry", &TGeoLabelData::FSDepotCountry);
    b.Property(u"CODType", &TGeoLabelData::FCODType);
    b.Property(u"CODAmount", &TGeoLabelData::FCODAmount);
}

VGL_DEFINE_CLASS(TResultInfo) {
    b.Property(u"ResultType", &TResultInfo::FResultType);
    b.Property(u"ResultBase64", &TResultInfo::FResultBase64);
}

VGL_DEFINE_CLASS(TResultArray) {}

void RegisterServerTestTypes() {
    for (TClass cls : {&TCountryInfo::StaticClassInfo(), &TGeoLabelData::StaticClassInfo(),
                       &TResultInfo::StaticClassInfo(), &TResultArray::StaticClassInfo()})
        RegisterRttiType(cls->Type());
    RegisterRttiType(TypeInfoFor(TypeTag<TCODType>{}));
    RegisterRttiType(TypeInfoFor(TypeTag<TResultType>{}));
    ClearRttiClientCache();
}

} // namespace vgl::srvtest
