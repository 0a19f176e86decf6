#include "service/geo_label_types.h"

#include "platform/rtl/reflection_builder.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl {

VGL_DEFINE_RO_ENUM(TResultType, u"resGeoLabel", u"resHazlqLabel", u"resSWAPLabel", u"resReceiptLabel",
                   u"resReturnLabel")
VGL_DEFINE_RO_ENUM(TImageType, u"imgBMP", u"imgJPEG", u"imgTIFF", u"imgGIF")
VGL_DEFINE_RO_ENUM(TCODType, u"codUnknown", u"codNone", u"codCash", u"codCrossedCheque", u"codCreditCard")

VGL_DEFINE_CLASS(TCountryInfo) {
    b.Property(u"iso_3166n", &TCountryInfo::Fiso_3166n);
    b.Property(u"iso_3166a2", &TCountryInfo::Fiso_3166a2);
    b.Property(u"countryname", &TCountryInfo::Fcountryname);
    b.Property(u"IsEU", &TCountryInfo::FIsEU);
}

namespace {

/// The documentation text the service description publishes with a field whose empty value
/// stands for a default: none for the other fields.
String DefaultDocumentation(StringView field) {
    const char16_t* value = nullptr;
    if (field == u"ActWorkStationID")
        value = DefaultWorkStationID;
    else if (field == u"MiscDisclaimerText")
        value = DefaultDisclaimerText;
    else if (field == u"MiscSoftwareInfoText")
        value = DefaultSoftwareInfoText;
    return value ? u"If value is empty, default is \"" + String(value) + u"\"" : String();
}

} // namespace

// Each field in list order; a field with a default gets its documentation right after it.
#define VGL_PUBLISH_GEO_LABEL_FIELD(Type, Name)                                                                        \
    VGL_PUBLISH_FIELD(Type, Name)                                                                                      \
    if (String doc = DefaultDocumentation(u"" #Name); !doc.empty())                                                    \
        AddROAttribute(b, RODocumentationAttribute(doc));

VGL_DEFINE_CLASS(TGeoLabelData){TGeoLabelData_FIELDS(VGL_PUBLISH_GEO_LABEL_FIELD)}

#undef VGL_PUBLISH_GEO_LABEL_FIELD

VGL_DEFINE_CLASS(TResultInfo) {
    b.Property(u"ResultType", &TResultInfo::FResultType);
    b.Property(u"ResultBase64", &TResultInfo::FResultBase64);
}

VGL_DEFINE_CLASS(TResultArray) {}

void InitializeServiceTypes() {
    for (TClass cls : {&TCountryInfo::StaticClassInfo(), &TGeoLabelData::StaticClassInfo(),
                       &TResultInfo::StaticClassInfo(), &TResultArray::StaticClassInfo()})
        RegisterRttiType(cls->Type());
    RegisterRttiType(TypeInfoFor(TypeTag<TResultType>{}));
    RegisterRttiType(TypeInfoFor(TypeTag<TImageType>{}));
    RegisterRttiType(TypeInfoFor(TypeTag<TCODType>{}));
    // A registry built before this call sees the new types at its next type pass.
    ClearRttiClientCache();
}

} // namespace vgl
