#include "report/model/data_page.h"

#include "platform/rtl/reflection_builder.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxDataPage) {
    // In the order stored templates carry them.
    b.Property(u"Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
}

TfrxDataPage::TfrxDataPage(TComponent* owner) : TfrxPage(owner) {
    SetWidth(1000);
    SetHeight(1000);
}

String TfrxDataPage::GetDescription() const {
    return frxResourcesInstance().Get(u"obDataPage");
}

} // namespace vgl
