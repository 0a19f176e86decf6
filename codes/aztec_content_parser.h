#pragma once
// Reading an Aztec content text back, and the pure pieces of the content rules. The parser and
// the rules themselves are members of TDPDAztec (codes/dpd_aztec.h): SetAsString, CheckValues,
// Validations and the field rules are defined in aztec_content_parser.cpp.

#include <optional>
#include <string_view>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

/// The items of one content block (the block's text split at every GS).
using TAztecContentBlock = std::vector<String>;

/// Splits a content text (ISO-8859-1 bytes) into its blocks and their items. The text must
/// begin with "[)>" RS and end with EOT; between them it is split at every RS into blocks and
/// each block at every GS into items, empty pieces kept. Raises Exception
/// "invalid Aztec-String: <text>" for a text without that envelope.
std::vector<TAztecContentBlock> SplitAztecContent(std::string_view content);

/// The number of a weight text "<number>KG" ("KG" in any case; the number with "." as its only
/// decimal separator); none when the text does not end with "KG" or the number is unreadable
/// or not finite.
std::optional<long double> ReadAztecWeight(StringView value);

/// A weight as "#0.00KG"; when that is longer than maxChars, "#0.0KG", and when still longer,
/// "#0KG" (which may still be longer).
String FormatAztecWeight(long double weight, int maxChars);

} // namespace vgl
