#pragma once
// The label templates the program carries: report XML documents embedded as resources of type
// "XML", each under the component name of its template.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

class TfrxXMLDocument;

/// Component names of the embedded templates: the five templates the service prints object by
/// object (frxGeoLabel, frxLimitedQty, frxSWAP, frxReceipt, frxReturn), then the two read when
/// the label module is created (frxGeoLabelFR, frxKombiLabel).
const std::vector<String>& LabelTemplateNames();

/// The report XML of a template by component name (ASCII case-insensitive). Raises
/// EResNotFound "Label template %s not found" for an unknown name.
std::span<const std::uint8_t> LabelTemplate(StringView name);

/// The template's document as read once in the process (on first use) and never changed after:
/// what every module's own copy of the template is read from. Raises like LabelTemplate.
const TfrxXMLDocument& LabelTemplateDocument(StringView name);

} // namespace vgl
