#pragma once
// TfrxDataLink: what a view holds to take its content from outside the report: the link text,
// whether it is a literal or an expression to evaluate first, and when the content is loaded.

#include "platform/rtl/reflection.h"
#include "report/foundation/data_links.h"
#include "report/model/report_component.h"

namespace vgl {

enum TfrxDataLinkProcessing { dpString, dpExpression };
VGL_DECLARE_ENUM(TfrxDataLinkProcessing);
enum TfrxDataLinkLoadType { dltOnGetData, dltOnPreview };
VGL_DECLARE_ENUM(TfrxDataLinkLoadType);
VGL_DECLARE_SET(TfrxDataLinkLoading, TfrxDataLinkLoadType);

class TfrxDataLink : public TPersistent {
    VGL_CLASS(TfrxDataLink, TPersistent)
    TfrxDataLink() = default;

    const String& Link() const { return FLink; }
    void SetLink(const String& value) {
        if (value != FLink)
            FLink = value;
    }
    TfrxDataLinkProcessing ProcessingType() const { return FProcessingType; }
    void SetProcessingType(TfrxDataLinkProcessing v) { FProcessingType = v; }
    TfrxDataLinkLoading LoadingType() const { return FLoadingType; }
    void SetLoadingType(TfrxDataLinkLoading v) { FLoadingType = v; }
    /// From another data link: the link, the processing and the loading types.
    void Assign(const TPersistent* source) override;

    /// dltOnGetData for dlmOnGetData, dltOnPreview for the other methods.
    static TfrxDataLinkLoadType GetLoadType(TfrxDataLinkLoadMethod method);
    /// The link's text when the method is dlmGetLink or its load type is in LoadingType.
    static String GetLink(const TfrxDataLink* link, TfrxDataLinkLoadMethod method);
    static bool IsExpressionLink(const TfrxDataLink* link);
    /// Keeps an expression while Link holds its value, and puts it back.
    static void SaveState(TfrxDataLink* link);
    static void RestoreState(TfrxDataLink* link);
    /// Whether a view writes the link: a link with text, loaded at preview or not written into
    /// the prepared pages' dictionary.
    static bool IsDataLinkStored(const TfrxDataLink* link, const TfrxComponentState& state);
    /// For a link loaded at preview whose text differs from `other`'s: the attributes
    /// <name>.Link and <name>.LoadingType; else empty.
    String Diff(const String& propName, const TfrxDataLink* other) const;

private:
    String FLink;
    String FTempLink;
    TfrxDataLinkProcessing FProcessingType = dpString;
    TfrxDataLinkLoading FLoadingType{dltOnGetData};
};

} // namespace vgl
