#include "labels/label_templates.h"

#include <memory>
#include <utility>

#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/xml_document.h"

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

const TfrxXMLDocument& LabelTemplateDocument(StringView name) {
    // Read-only after this initialisation, so modules on several threads read the same trees.
    static const std::vector<std::pair<String, std::unique_ptr<TfrxXMLDocument>>> documents = [] {
        std::vector<std::pair<String, std::unique_ptr<TfrxXMLDocument>>> read;
        for (const String& templateName : LabelTemplateNames()) {
            auto document = std::make_unique<TfrxXMLDocument>();
            TBytesStream stream(LabelTemplate(templateName));
            document->LoadFromStream(stream);
            read.emplace_back(templateName, std::move(document));
        }
        return read;
    }();
    for (const auto& [templateName, document] : documents)
        if (SameText(templateName, name))
            return *document;
    LabelTemplate(name); // raises for a name that is not embedded
    throw EResNotFound(u"Label template " + String(name) + u" not found");
}

} // namespace vgl
