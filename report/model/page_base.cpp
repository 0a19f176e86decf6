#include "report/model/page_base.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/string_list.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxPage) {
    b.Property(u"HGuides", &TfrxPage::HGuides, &TfrxPage::SetHGuides);
    b.Property(u"VGuides", &TfrxPage::VGuides, &TfrxPage::SetVGuides);
}

TfrxPage::TfrxPage(TComponent* owner)
    : TfrxComponent(owner), FHGuides(std::make_unique<TStringList>()), FVGuides(std::make_unique<TStringList>()) {
    frComponentStyle().Include(csAcceptsFrxComponents);
}

TfrxPage::~TfrxPage() = default;

void TfrxPage::Draw(TCanvas&, long double, long double, long double, long double) {}

namespace {

void CopyLines(TStringList& target, TStringList* value) {
    if (!value)
        target.Clear();
    else if (value != &target)
        target.Assign(*value);
}

} // namespace

void TfrxPage::SetHGuides(TStringList* value) {
    CopyLines(*FHGuides, value);
}

void TfrxPage::SetVGuides(TStringList* value) {
    CopyLines(*FVGuides, value);
}

} // namespace vgl
