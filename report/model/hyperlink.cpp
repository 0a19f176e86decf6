#include "report/model/hyperlink.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/report_variables.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxHyperlinkKind, u"hkURL", u"hkAnchor", u"hkPageNumber", u"hkDetailReport", u"hkDetailPage",
                u"hkCustom", u"hkNone")

VGL_DEFINE_CLASS(TfrxHyperlink) {
    b.Property(u"Kind", &TfrxHyperlink::Kind, &TfrxHyperlink::SetKind).Default(hkURL);
    b.Property(u"DetailReport", &TfrxHyperlink::DetailReport, &TfrxHyperlink::SetDetailReport);
    b.Property(u"DetailPage", &TfrxHyperlink::DetailPage, &TfrxHyperlink::SetDetailPage);
    b.Property(u"Expression", &TfrxHyperlink::Expression, &TfrxHyperlink::SetExpression);
    b.Property(u"ReportVariable", &TfrxHyperlink::ReportVariable, &TfrxHyperlink::SetReportVariable);
    b.Property(u"Value", &TfrxHyperlink::Value, &TfrxHyperlink::SetValue);
    b.Property(u"ValuesSeparator", &TfrxHyperlink::ValuesSeparator, &TfrxHyperlink::SetValuesSeparator)
        .Stored(&TfrxHyperlink::IsValuesSeparatorStored);
    b.Property(u"TabCaption", &TfrxHyperlink::TabCaption, &TfrxHyperlink::SetTabCaption);
}

std::vector<String> SplitAtSeparator(const String& text, const String& separator) {
    std::vector<String> parts;
    if (text.empty())
        return parts;
    if (separator.empty()) {
        parts.push_back(text);
        return parts;
    }
    const Char c = separator[0];
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(c, start);
        if (at == String::npos) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    return parts;
}

void TfrxHyperlink::Assign(const TPersistent* source) {
    const auto* s = dynamic_cast<const TfrxHyperlink*>(source);
    if (!s)
        return;
    FKind = s->FKind;
    FDetailReport = s->FDetailReport;
    FDetailPage = s->FDetailPage;
    FReportVariable = s->FReportVariable;
    FExpression = s->FExpression;
    FValue = s->FValue;
    FValuesSeparator = s->FValuesSeparator;
    FTabCaption = s->FTabCaption;
}

bool TfrxHyperlink::IsEmpty() const {
    switch (FKind) {
    case hkURL:
    case hkAnchor:
    case hkPageNumber:
        return FValue.empty();
    case hkDetailPage:
        return FDetailPage.empty();
    case hkDetailReport:
        return FDetailReport.empty();
    case hkNone:
        return true;
    case hkCustom:
        return false;
    }
    return false;
}

bool TfrxHyperlink::DetailIsEmpty() const {
    return (FKind == hkDetailReport && FDetailReport.empty()) || (FKind == hkDetailPage && FDetailPage.empty());
}

void TfrxHyperlink::AssignVariables(TfrxVariables& variables) const {
    auto set = [&](const String& name, const String& value) {
        if (variables.IndexOf(name) >= 0)
            variables.SetVariable(name, Variant(value));
    };
    if (!FValuesSeparator.empty() && FReportVariable.find(FValuesSeparator) != String::npos) {
        const std::vector<String> names = SplitAtSeparator(FReportVariable, FValuesSeparator);
        const std::vector<String> values = SplitAtSeparator(FValue, FValuesSeparator);
        String current = FValue;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i < values.size())
                current = values[i];
            set(names[i], current);
        }
    } else
        set(FReportVariable, FValue);
}

String TfrxHyperlink::Diff(const TfrxHyperlink* link, const String& add) const {
    String r;
    if (!link)
        return r;
    auto attr = [&](const char16_t* name, const String& value) { r += u" " + add + name + u"=\"" + value + u"\""; };
    if (FKind != link->FKind)
        attr(u".Kind", IntToStr(int(FKind)));
    auto text = [&](const char16_t* name, const String& mine, const String& theirs) {
        if (mine != theirs)
            attr(name, XMLEscapeText(mine));
    };
    text(u".DetailReport", FDetailReport, link->FDetailReport);
    text(u".DetailPage", FDetailPage, link->FDetailPage);
    text(u".ReportVariable", FReportVariable, link->FReportVariable);
    text(u".TabCaption", FTabCaption, link->FTabCaption);
    text(u".Value", FValue, link->FValue);
    text(u".ValuesSeparator", FValuesSeparator, link->FValuesSeparator);
    return r;
}

} // namespace vgl
