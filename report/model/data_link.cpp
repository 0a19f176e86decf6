#include "report/model/data_link.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxDataLinkProcessing, u"dpString", u"dpExpression")
VGL_DEFINE_ENUM(TfrxDataLinkLoadType, u"dltOnGetData", u"dltOnPreview")
VGL_DEFINE_SET(TfrxDataLinkLoading, TfrxDataLinkLoadType)

VGL_DEFINE_CLASS(TfrxDataLink) {
    b.Property(u"Link", &TfrxDataLink::Link, &TfrxDataLink::SetLink);
    b.Property(u"ProcessingType", &TfrxDataLink::ProcessingType, &TfrxDataLink::SetProcessingType).Default(dpString);
    b.Property(u"LoadingType", &TfrxDataLink::LoadingType, &TfrxDataLink::SetLoadingType)
        .Default(TfrxDataLinkLoading{dltOnGetData});
}

void TfrxDataLink::Assign(const TPersistent* source) {
    if (const auto* link = dynamic_cast<const TfrxDataLink*>(source)) {
        FLink = link->FLink;
        FProcessingType = link->FProcessingType;
        FLoadingType = link->FLoadingType;
        return;
    }
    TPersistent::Assign(source);
}

TfrxDataLinkLoadType TfrxDataLink::GetLoadType(TfrxDataLinkLoadMethod method) {
    return method == dlmOnGetData ? dltOnGetData : dltOnPreview;
}

String TfrxDataLink::GetLink(const TfrxDataLink* link, TfrxDataLinkLoadMethod method) {
    if (link && (method == dlmGetLink || link->FLoadingType.Contains(GetLoadType(method))))
        return link->FLink;
    return {};
}

bool TfrxDataLink::IsExpressionLink(const TfrxDataLink* link) {
    return link && link->FProcessingType == dpExpression;
}

void TfrxDataLink::SaveState(TfrxDataLink* link) {
    if (IsExpressionLink(link))
        link->FTempLink = link->FLink;
}

void TfrxDataLink::RestoreState(TfrxDataLink* link) {
    if (IsExpressionLink(link)) {
        link->FLink = link->FTempLink;
        link->FTempLink.clear();
    }
}

bool TfrxDataLink::IsDataLinkStored(const TfrxDataLink* link, const TfrxComponentState& state) {
    return link && !link->FLink.empty() &&
           (link->FLoadingType.Contains(dltOnPreview) || !state.Contains(csFrxSerializeToDict));
}

String TfrxDataLink::Diff(const String& propName, const TfrxDataLink* other) const {
    if (!FLoadingType.Contains(dltOnPreview) || (other && other->FLink == FLink))
        return {};
    const int loading = (FLoadingType.Contains(dltOnGetData) ? 1 : 0) | (FLoadingType.Contains(dltOnPreview) ? 2 : 0);
    return u" " + propName + u".Link=\"" + XMLEscapeText(FLink) + u"\" " + propName + u".LoadingType=\"" +
           IntToStr(loading) + u"\"";
}

} // namespace vgl
