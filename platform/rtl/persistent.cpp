#include "platform/rtl/persistent.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TPersistent) {}

void TPersistent::Assign(const TPersistent* source) {
    if (!source)
        AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const {
    if (!dest)
        throw EConvertError(u"Cannot assign a " + ClassName() + u" to a nil.");
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    String sourceName = source ? source->ClassName() : String(u"nil");
    throw EConvertError(u"Cannot assign a %s to a %s.", {sourceName, ClassName()});
}

String TPersistent::GetNamePath() const {
    return ClassName();
}

void TPersistent::DefineProperties(TFiler&) {}

} // namespace vgl
