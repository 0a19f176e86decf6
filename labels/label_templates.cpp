#include "labels/label_templates.h"

#include "platform/rtl/resources.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

const std::vector<String>& LabelTemplateNames() {
    static const std::vector<String> names{u"frxGeoLabel", u"frxLimitedQty", u"frxSWAP",      u"frxReceipt",
                                           u"frxReturn",   u"frxGeoLabelFR", u"frxKombiLabel"};
    return names;
}

std::span<const std::uint8_t> LabelTemplate(StringView name) {
    auto bytes = FindResource(name, u"XML");
    if (!bytes)
        throw EResNotFound(u"Label template " + String(name) + u" not found");
    return *bytes;
}

} // namespace vgl
