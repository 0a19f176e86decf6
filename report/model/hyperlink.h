#pragma once
// TfrxHyperlink: what a click on a view leads to (an address, an anchor or page of the same
// report, a detail report or page opened with report variables set from the clicked object, or
// a custom action), its emptiness tests, the report variables it sets and its short-form
// attributes.

#include "platform/rtl/persistent.h"
#include "platform/rtl/ustring.h"

#include <vector>

namespace vgl {

class TfrxVariables;

enum TfrxHyperlinkKind { hkURL, hkAnchor, hkPageNumber, hkDetailReport, hkDetailPage, hkCustom, hkNone };
VGL_DECLARE_ENUM(TfrxHyperlinkKind);

/// `text` split at `separator`'s first character. An empty separator splits nothing: the whole
/// text is one part (an empty text gives no part).
std::vector<String> SplitAtSeparator(const String& text, const String& separator);

class TfrxHyperlink : public TPersistent {
    VGL_CLASS(TfrxHyperlink, TPersistent)
    TfrxHyperlink() = default;

    TfrxHyperlinkKind Kind() const { return FKind; }
    void SetKind(TfrxHyperlinkKind v) { FKind = v; }
    const String& DetailReport() const { return FDetailReport; }
    void SetDetailReport(const String& v) { FDetailReport = v; }
    const String& DetailPage() const { return FDetailPage; }
    void SetDetailPage(const String& v) { FDetailPage = v; }
    const String& Expression() const { return FExpression; }
    void SetExpression(const String& v) { FExpression = v; }
    const String& ReportVariable() const { return FReportVariable; }
    void SetReportVariable(const String& v) { FReportVariable = v; }
    const String& Value() const { return FValue; }
    void SetValue(const String& v) { FValue = v; }
    const String& ValuesSeparator() const { return FValuesSeparator; }
    void SetValuesSeparator(const String& v) { FValuesSeparator = v; }
    const String& TabCaption() const { return FTabCaption; }
    void SetTabCaption(const String& v) { FTabCaption = v; }
    bool IsValuesSeparatorStored() const { return FValuesSeparator != u";"; }

    /// From another hyperlink; other sources are ignored.
    void Assign(const TPersistent* source) override;
    bool IsEmpty() const;
    bool DetailIsEmpty() const;
    /// Sets the variables of `variables` named by ReportVariable from Value; names the list
    /// does not have are ignored.
    void AssignVariables(TfrxVariables& variables) const;
    String Diff(const TfrxHyperlink* link, const String& add) const;

private:
    TfrxHyperlinkKind FKind = hkURL;
    String FDetailReport, FDetailPage, FExpression, FReportVariable, FValue;
    String FValuesSeparator = u";";
    String FTabCaption;
};

} // namespace vgl
